// A device with only a BYPASS register, to build longer chains: every instruction selects the one-bit
// BYPASS register (capturing 0), there is no IDCODE, and Capture-IR loads ...01.
#pragma once

#include "zolta/sim/chain.h"
#include "zolta/sim/shift_register.h"

namespace zsim {

class BypassDevice final : public ChainDevice {
 public:
  static constexpr int kDefaultIrLength = 4;
  static constexpr int kMinIrLength = 2;
  static constexpr int kMaxIrLength = 32;

  // Throws SimError when irLength is outside 2..32.
  explicit BypassDevice(int irLength = kDefaultIrLength);

  std::string name() const override;
  int irLength() const override { return static_cast<int>(ir_.length()); }
  uint32_t idcode() const override { return 0; }
  std::string status() const override { return "bypass only"; }

  void testLogicReset() override { instruction_ = allOnes(); }
  void captureIr() override { ir_.load(0b01); }
  bool shiftIr(bool tdi) override { return ir_.shift(tdi); }
  void updateIr() override { instruction_ = static_cast<uint32_t>(ir_.value()); }
  void captureDr() override { bypass_.load(0); }
  bool shiftDr(bool tdi) override { return bypass_.shift(tdi); }
  void shiftDrBits(uint8_t* bits, size_t count) override { bypass_.shiftOneBitBlock(bits, count); }
  void updateDr() override {}
  bool irOut() const override { return ir_.out(); }
  bool drOut() const override { return bypass_.out(); }

  uint32_t instruction() const { return instruction_; }

 private:
  uint32_t allOnes() const {
    return ir_.length() >= 32 ? 0xFFFFFFFFu : static_cast<uint32_t>((uint64_t{1} << ir_.length()) - 1);
  }

  ShiftRegister ir_;
  ShiftRegister bypass_{1};
  uint32_t instruction_ = 0;
};

}  // namespace zsim
