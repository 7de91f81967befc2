// JTAG operations built once on top of a cable: TAP walks, instruction loads with the other devices of
// the chain in BYPASS, data scans, IDCODE scans. This is what a host's JTAG channel does with its cable;
// the engine tracks the TAP state it has driven the chain into.
//
// Chain indices count from TDI: index 0 is the device whose data reaches TDO last (see chain.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "zolta/sim/cable.h"
#include "zolta/sim/tap.h"

namespace zsim {

class ScanEngine {
 public:
  // The cable must outlive the engine. The TAP state is unknown until the first walk.
  explicit ScanEngine(Cable& cable) : cable_(cable) {}

  Cable& cable() const { return cable_; }
  TapState state() const { return state_; }

  // The instruction-register lengths of the chain's devices, by chain index. Needed by
  // loadInstruction() and scanData(); readChain() can fill it from the IDCODEs.
  void setIrLengths(std::vector<int> lengths) { irLengths_ = std::move(lengths); }
  const std::vector<int>& irLengths() const { return irLengths_; }

  // Pin level, as a bit-banging port has it: the engine keeps one level per pin; the set* calls change
  // the kept level only, writePins() drives all kept levels (a change of TCK is a clock edge),
  // readPins() samples TDO, tdo() answers the last sample. The kept levels are shared with the
  // operations below (a TAP walk leaves its last levels kept). Pin writes are queued and reach the
  // cable in blocks through Cable::writePins(): before any other use of the cable, on readPins() and
  // flush(), and every 64 Ki writes. A pin-level walk does not change the tracked TAP state; use
  // moveState() afterwards to say where it left the TAP.
  void setTck(bool level) { tck_ = level; }
  void setTms(bool level) { tms_ = level; }
  void setTdi(bool level) { tdi_ = level; }
  bool tckLevel() const { return tck_; }
  bool tmsLevel() const { return tms_; }
  bool tdiLevel() const { return tdi_; }
  void writePins() {
    pending_.push_back(pinLevels(tck_, tms_, tdi_));
    if (pending_.size() >= kPendingBlock) flush();
  }
  void writePins(bool tck, bool tms, bool tdi) {
    tck_ = tck;
    tms_ = tms;
    tdi_ = tdi;
    writePins();
  }
  bool readPins() {
    flush();
    return sampledTdo_ = cable_.readTdo();
  }
  bool tdo() const { return sampledTdo_; }
  // Sends the queued pin writes to the cable and flushes the cable.
  void flush();

  // One TCK cycle (TCK low with TMS, then high) with TDI kept; the tracked state follows.
  void clockTms(bool tms);
  // Walks to `to` on the shortest path from the tracked state. A walk to Reset always gives five
  // TMS-high clocks; an unknown state is left through Reset first.
  void gotoState(TapState to);
  // Walks from `from` to `to`, taking `from` as the state the chain is in.
  void moveState(TapState from, TapState to);
  // `cycles` TCK cycles in Run-Test/Idle (walking there first).
  void idleClocks(size_t cycles);

  // Shifts `in` through the whole instruction (or data) register chain, entering Shift-xR from the
  // tracked state and leaving it with the last bit, then walks to `end`. Bit 0 of `in` goes first and
  // ends up nearest TDO; answers the bits that came out, first out first.
  std::vector<bool> scanIr(const std::vector<bool>& in, TapState end = TapState::Idle);
  std::vector<bool> scanDr(const std::vector<bool>& in, TapState end = TapState::Idle);

  // Loads `code` into the instruction register of the device at `deviceIndex` and BYPASS (all ones)
  // into the others; ends in Run-Test/Idle. Throws SimError when the index is outside the chain.
  void loadInstruction(uint32_t code, size_t deviceIndex);
  // Shifts `bits` (1..64) bits of `value` through the data register of the device at `deviceIndex`,
  // the others being in BYPASS; answers the captured bits. Ends in Run-Test/Idle.
  uint64_t scanData(uint64_t value, int bits, size_t deviceIndex);

  // After Test-Logic-Reset every device shows its IDCODE register (32 bits, bit 0 set) or its BYPASS
  // register (1 bit, 0). Answers one entry per device in chain-index order, 0 for a device without
  // IDCODE; stops at `maxDevices`. Ends in Run-Test/Idle.
  std::vector<uint32_t> readIdcodes(size_t maxDevices = 32);
  // The total instruction-register length of the chain, measured by flushing it with zeros and
  // counting the shifts until a one comes out (leaves every device in BYPASS). Throws SimError when no
  // one comes out within `maxBits`.
  size_t measureIrChainLength(size_t maxBits = 4096);

 private:
  std::vector<bool> scan(bool ir, const std::vector<bool>& in, TapState end);
  size_t checkIndex(size_t deviceIndex) const;
  void sendPending() {
    if (!pending_.empty()) {
      cable_.writePins(pending_.data(), pending_.size());
      pending_.clear();
    }
  }

  static constexpr size_t kPendingBlock = 1 << 16;

  Cable& cable_;
  TapState state_ = TapState::Undefined;
  std::vector<int> irLengths_;
  bool tck_ = false, tms_ = false, tdi_ = false;
  bool sampledTdo_ = false;
  std::vector<uint8_t> pending_;
};

}  // namespace zsim
