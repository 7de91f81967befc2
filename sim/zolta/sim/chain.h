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
  // `count` shifts of the selected data register in one go. `bits` holds the incoming bits packed
  // least significant first (bit i enters at shift i) and receives the leaving bits in their place.
  // The default shifts one bit at a time; devices override it where a whole block is cheaper.
  virtual void shiftDrBits(uint8_t* bits, size_t count);
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
  ChainDevice& device(size_t index) const {
    flushShifts();
    return *devices_.at(index);
  }
  // The device at `index` as a T, or null when it is another kind.
  template <class T>
  T* deviceAs(size_t index) const {
    return dynamic_cast<T*>(&device(index));
  }
  // The description text this chain answers to ("EP2AGZ225FF35C3,bypass").
  std::string describe() const;

  TapState state() const { return tap_.state(); }
  bool tck() const { return tck_; }
  bool tdo() const {
    flushShifts();
    return tdo_;
  }
  // Counts of TCK edges seen, for tests and logs.
  uint64_t risingEdges() const { return risingEdges_; }

  // Drives the three inputs; an edge of TCK runs the actions above.
  //
  // Long data shifts are cheap: rising edges in Shift-DR with TMS low only collect their TDI bits,
  // and the devices shift the collected block in one go (shiftDrBits) as soon as anything else
  // happens or looks at the chain (another edge, TDO, a device, TRST), or the block is full.
  void setPins(bool tck, bool tms, bool tdi) {
    if (tck == tck_) return;
    tck_ = tck;
    if (!tck) {
      if (pendingCount_ == 0)
        fallingEdge();
      else
        fellSinceCollect_ = true;  // in a collected block a falling edge only moves TDO
      return;
    }
    if (!tms && !trst_ && tap_.state() == TapState::DrShift) {
      collect(tdi);
      return;
    }
    risingEdge(tms, tdi);
  }
  // TRST (true = asserted): the TAP goes to Test-Logic-Reset and stays there while asserted.
  void setTrst(bool asserted);

 private:
  static constexpr size_t kBlockBits = size_t{1} << 20;

  void risingEdge(bool tms, bool tdi);
  void fallingEdge();
  void collect(bool tdi) {
    const size_t byte = pendingCount_ >> 3;
    if (byte == pending_.size()) pending_.push_back(0);
    if (tdi) pending_[byte] |= static_cast<uint8_t>(1u << (pendingCount_ & 7));
    fellSinceCollect_ = false;
    ++pendingCount_;
    ++risingEdges_;
    if (pendingCount_ == kBlockBits) flushShifts();
  }
  // Shifts the collected block through the devices; TDO then shows what it would have shown bit by bit.
  void flushShifts() const {
    if (pendingCount_) shiftBlock();
  }
  void shiftBlock() const;

  // The devices and the collected block change when a block is shifted on an otherwise const look.
  mutable std::vector<std::unique_ptr<ChainDevice>> devices_;
  TapController tap_;
  bool tck_ = false;
  mutable bool tdo_ = true;
  bool trst_ = false;
  uint64_t risingEdges_ = 0;
  mutable std::vector<uint8_t> pending_;
  mutable size_t pendingCount_ = 0;
  bool fellSinceCollect_ = false;  // TCK fell after the last collected rising edge
};

// The chain a description text names (see above). Throws SimError naming the part of the text at fault.
std::unique_ptr<Chain> buildChain(std::string_view spec);

// The chain used when none is given: one EP2AGZ225FF35C3.
std::string_view defaultChainSpec();

}  // namespace zsim
