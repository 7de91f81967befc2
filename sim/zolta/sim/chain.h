// A JTAG scan chain: devices sharing TCK, TMS and (optionally) TRST, with TDI entering the first device
// and TDO leaving the last. The chain runs one TAP controller on behalf of all its devices (they see
// the same TMS, so their controllers never differ) and calls each device's register actions on the
// TCK edges that IEEE 1149.1 puts them on:
//   rising edge:  Capture-xR captures, Shift-xR shifts (TDI sampled), Run-Test/Idle clocks count;
//                 then the state advances; entering Test-Logic-Reset resets every device;
//   falling edge: Update-xR updates; TDO changes (it shows bit 0 of the selected register in
//                 Shift-xR, and is inactive, read as 1, elsewhere).
// So TDO sampled with TCK low before a rising edge shows the bit that edge will shift out, and TDO
// sampled with TCK high right after a rising edge still shows the bit from before that edge.
//
// Chain description text (for `zolta sim serve --chain` and the simulated cable):
//
//   DEVICE[,DEVICE...]
//
// DEVICE is one of the 64 Arria II GZ device names of the catalogue (EP2AGZ225FF35C3 ...
// EP2AGZ350HF40I4N, any letter case), or "bypass" for a device with only a BYPASS register (no
// IDCODE; a 4-bit instruction register), or "bypass:N" for such a device with an N-bit instruction
// register (2..32). Blanks around names are ignored. Devices are listed from TDI to TDO: the first
// one is at chain index 0, the index the JTAG routines of the driver use (the device whose data
// reaches TDO last). An IDCODE scan therefore shifts out the last device's IDCODE first.
// Example: "EP2AGZ225FF35C3,bypass,EP2AGZ300FH29I4".
//
// A chain is used by one thread at a time (its cable's owner).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "zolta/sim/tap.h"

namespace zsim {

// One TAP on the chain. The chain calls these in TCK order; implementations keep their own registers.
class ChainDevice {
 public:
  virtual ~ChainDevice() = default;

  // "EP2AGZ225FF35C3", "bypass".
  virtual std::string name() const = 0;
  virtual int irLength() const = 0;
  // The IDCODE register value, 0 when the device has none (its BYPASS register is selected after
  // Test-Logic-Reset instead).
  virtual uint32_t idcode() const = 0;
  // One line about the device's state, for logs ("configured, user code 0x...").
  virtual std::string status() const { return {}; }

  // The TAP entered (or stays in) Test-Logic-Reset, by TMS or TRST.
  virtual void testLogicReset() = 0;
  virtual void captureIr() = 0;
  // One shift of the instruction register; answers the bit that leaves it towards TDO.
  virtual bool shiftIr(bool tdi) = 0;
  virtual void updateIr() = 0;
  virtual void captureDr() = 0;
  // One shift of the selected data register; answers the bit that leaves it towards TDO.
  virtual bool shiftDr(bool tdi) = 0;
  virtual void updateDr() = 0;
  // A rising TCK edge in Run-Test/Idle.
  virtual void idleClock() {}
  // Bit 0 of the instruction register's shift stage and of the selected data register: what this
  // device drives on its TDO in Shift-IR and Shift-DR.
  virtual bool irOut() const = 0;
  virtual bool drOut() const = 0;
};

class Chain {
 public:
  Chain() = default;
  Chain(const Chain&) = delete;
  Chain& operator=(const Chain&) = delete;

  // Appends a device at the TDO end.
  void add(std::unique_ptr<ChainDevice> device);
  size_t size() const { return devices_.size(); }
  // Index 0 is the device nearest TDI.
  ChainDevice& device(size_t index) const { return *devices_.at(index); }
  // The device at `index` as a T, or null when it is another kind.
  template <class T>
  T* deviceAs(size_t index) const {
    return dynamic_cast<T*>(devices_.at(index).get());
  }
  // The description text this chain answers to ("EP2AGZ225FF35C3,bypass").
  std::string describe() const;

  TapState state() const { return tap_.state(); }
  bool tck() const { return tck_; }
  bool tdo() const { return tdo_; }
  // Counts of TCK edges seen, for tests and logs.
  uint64_t risingEdges() const { return risingEdges_; }

  // Drives the three inputs; an edge of TCK runs the actions above.
  void setPins(bool tck, bool tms, bool tdi) {
    if (tck != tck_) {
      tck_ = tck;
      if (tck)
        risingEdge(tms, tdi);
      else
        fallingEdge();
    }
  }
  // TRST (true = asserted): the TAP goes to Test-Logic-Reset and stays there while asserted.
  void setTrst(bool asserted);

 private:
  void risingEdge(bool tms, bool tdi);
  void fallingEdge();

  std::vector<std::unique_ptr<ChainDevice>> devices_;
  TapController tap_;
  bool tck_ = false;
  bool tdo_ = true;
  bool trst_ = false;
  uint64_t risingEdges_ = 0;
};

// The chain a description text names (see above). Throws SimError naming the part of the text at fault.
std::unique_ptr<Chain> buildChain(std::string_view spec);

// The chain used when none is given: one EP2AGZ225FF35C3.
std::string_view defaultChainSpec();

}  // namespace zsim
