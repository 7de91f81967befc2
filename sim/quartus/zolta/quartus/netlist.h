// The flat netlist the tools work on: top-level ports, leaf cells (registers, logic gates, buffers and
// constants) and the nets between them. Analysis & Synthesis builds it from the EDIF netlist and keeps it
// in the project's database (db/<revision>.map.zdb) for the later modules.
#pragma once

#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace zquartus {

// A netlist that cannot be read: the message names the file and, where known, the line.
class NetlistError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

enum class PortDir { In, Out, InOut };

// What a leaf cell is, from its name (and, for registers, its clock port).
enum class CellClass {
  Register,   // DFF, DFFE, FDC, ...: a clock port, data and control inputs, outputs
  Logic,      // any other gate: one ALUT level
  Buffer,     // BUF, WIRE, INV, GLOBAL, ...: absorbed, no resources of its own
  Constant0,  // GND
  Constant1,  // VCC
};

struct CellPin {
  std::string port;  // "D", "A[3]"
  PortDir dir = PortDir::In;
  int net = -1;      // -1 when unconnected
};

struct Cell {
  std::string name;  // hierarchical instance name, levels joined by "|"
  std::string type;  // the leaf cell's name as written ("DFF")
  CellClass cls = CellClass::Logic;
  std::vector<CellPin> pins;
};

struct TopPort {
  std::string name;  // "CLK", "LED[7]"
  PortDir dir = PortDir::In;
  int net = -1;
};

struct Netlist {
  std::string design;  // the top-level entity
  std::vector<TopPort> ports;
  std::vector<Cell> cells;
  std::vector<std::string> nets;  // net names; a pin's `net` indexes this

  // Database text of the netlist and its reader (NetlistError naming `source` when malformed).
  std::string toDatabase() const;
  static Netlist fromDatabase(std::string_view text, const std::string& source);
};

// The class of a leaf cell named `type` with these pins.
CellClass classifyLeaf(std::string_view type, const std::vector<CellPin>& pins);
// A register's clock input ("CLK", "C", "CLOCK", "CK", "CP").
bool isClockPort(std::string_view port);
// A register's asynchronous clear or preset ("CLRN", "PRN", "ACLR", ...): not a timing end point.
bool isAsyncControlPort(std::string_view port);

// Who drives and who reads each net.
struct PinRef {
  int cell;  // -1 for a top-level port
  int pin;   // pin index of the cell, or the port index
};
struct Connectivity {
  std::vector<std::vector<PinRef>> drivers;  // cell outputs and top-level inputs
  std::vector<std::vector<PinRef>> sinks;    // cell inputs and top-level outputs
};
Connectivity connectivity(const Netlist& n);

}  // namespace zquartus
