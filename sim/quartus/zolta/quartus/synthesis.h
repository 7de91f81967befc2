// Analysis & Synthesis on the flat netlist: the checks the vendor's tool makes (errors for outputs without
// a driver and nets with several drivers; warnings for floating inputs, unused input pins and outputs stuck
// at a constant), removal of logic that drives nothing, and the technology view the later modules share:
// logic gates packed into 6-input ALUTs, registers, clocks and global signals.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "zolta/quartus/messages.h"
#include "zolta/quartus/netlist.h"

namespace zquartus {

// Checks `n` and removes cells that drive nothing, reporting through `log`. Answers false when an error
// was reported (the netlist must then not be used further).
bool synthesize(Netlist& n, MessageLog& log);

// One 6-input ALUT (or, for a gate wider than six inputs, the ALUTs it takes).
struct Lut {
  int root = -1;              // the logic cell whose output the ALUT computes
  std::vector<int> cells;     // logic cells packed into it, root included
  std::vector<int> inputs;    // source nets (after buffers) it reads
  int cost = 1;               // ALUTs
  int levels = 1;             // ALUT levels inside (more than one for wide gates)
};

// Fan-out figures of the report tables.
struct FanoutFigures {
  int maximum = 0;            // highest fan-out of a net
  std::string maximumNet;     // its name
  int maximumNonGlobal = 0;   // highest fan-out of a net off the global network
  int total = 0;
  int nets = 0;               // driven nets with fan-out
  double average() const { return nets ? static_cast<double>(total) / nets : 0.0; }
};

class MappedDesign {
 public:
  explicit MappedDesign(const Netlist& n);

  const Netlist& netlist() const { return *n_; }
  const Connectivity& connections() const { return conn_; }

  // The net that really drives `net`: walks back through buffers. -1 stays -1.
  int source(int net) const;
  // The driver of a source net: a cell pin or a top-level input; nothing when undriven.
  const PinRef* driver(int net) const;
  // The LUT computing `net` (a source net), or -1.
  int lutDriving(int net) const;

  const std::vector<Lut>& luts() const { return luts_; }
  const std::vector<int>& registers() const { return registers_; }
  // Source nets of register clocks, in first-use order.
  const std::vector<int>& clocks() const { return clocks_; }
  // Nets on the global network: clocks fed from pins, and asynchronous controls from pins with wide fanout.
  const std::vector<int>& globals() const { return globals_; }
  int aluts() const { return aluts_; }
  // Fan-out of a source net: cell inputs and top-level outputs it reaches through buffers.
  int fanout(int net) const;
  int inputPins() const;
  int outputPins() const;
  int bidirPins() const;
  // The clock source net of register cell `cell`, or -1.
  int clockOf(int cell) const;
  // ALUTs by inputs used: six or more, five, four, three or fewer.
  std::array<int, 4> lutsByInputs() const;
  FanoutFigures fanoutFigures() const;

 private:
  const Netlist* n_;
  Connectivity conn_;
  std::vector<int> sourceOf_;   // per net
  std::vector<int> lutOfNet_;   // per net: LUT index driving it
  std::vector<int> fanout_;     // per net (source nets only)
  std::vector<Lut> luts_;
  std::vector<int> registers_, clocks_, globals_;
  int aluts_ = 0;
};

}  // namespace zquartus
