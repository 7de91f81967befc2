// The simulated Arria II GZ FPGA, one per device kind.
//
// Instruction register: 10 bits; Capture-IR loads 0101010101. Test-Logic-Reset selects IDCODE.
//
//   code   instruction       data register (bit 0 leaves first)
//   0x002  PROGRAM           1 bit; every bit shifted in goes to the configuration engine.
//                            Loading it clears the configuration: the device is unconfigured,
//                            its user code reads all ones and the engine looks for a new bit file.
//   0x003  STARTUP           BYPASS. With a complete, valid bit file loaded, kStartupClocks TCK cycles
//                            in Run-Test/Idle while STARTUP is the instruction finish configuration:
//                            the device is configured and its user code is the file's.
//   0x004  CHECK_STATUS      3*N cells (N the boundary length in groups of three, see the catalogue).
//                            All three cells of group N-K (K the configuration-done group), that is
//                            cells 3(N-K) .. 3(N-K)+2, capture the CONF_DONE level (1 = configured);
//                            the other cells capture 0. Reading from Run-Test/Idle, the bit shows up
//                            on TDO after 3(N-K) + chain length - chain index rising edges in
//                            Shift-DR, counted from the entry into Shift-DR, whether TDO is sampled
//                            with TCK high or low.
//   0x005  SAMPLE/PRELOAD    boundary register, 3*N cells: group g = pin g, cell 3g input (the pin
//                            level), 3g+1 output (what the core drives), 3g+2 output enable (1 =
//                            driven). Update-DR loads the update stage without touching the pins.
//   0x006  IDCODE            32 bits: the die's IDCODE.
//   0x007  USERCODE          32 bits: the loaded file's user code; 0xFFFFFFFF unconfigured.
//   0x00A  CLAMP             BYPASS; the pins are driven from the boundary update stage.
//   0x00B  HIGHZ             BYPASS; every pin is high-impedance.
//   0x00F  EXTEST            boundary register; the pins are driven from the update stage (output
//                            cell where the enable cell is 1); capture reads them back.
//   0x2D0  ACTIVE_DISENGAGE  BYPASS; disengages the active configuration controller (remembered only).
//   others                   BYPASS (1 bit, captures 0); 0x3FF is BYPASS proper.
//
// Pins: unconfigured, every pin floats with its weak pull-up and reads 1. Configured, pins with
// g % 4 == 3 are inputs of the design (pulled up, reading 1) and the others are outputs whose levels
// follow a counter that advances on every SAMPLE capture, so successive samples differ:
// level(g) = bit (g % 8) of the counter XOR bit (g % 32) of the user code.
//
// Configuration survives Test-Logic-Reset and TRST; only PROGRAM clears it.
#pragma once

#include <cstdint>
#include <vector>

#include "zolta/sim/chain.h"
#include "zolta/sim/configuration_engine.h"
#include "zolta/sim/device_catalogue.h"
#include "zolta/sim/shift_register.h"

namespace zsim {

class Arria2GZDevice final : public ChainDevice {
 public:
  enum Instruction : uint32_t {
    kProgram = 0x002,
    kStartup = 0x003,
    kCheckStatus = 0x004,
    kSample = 0x005,
    kIdcode = 0x006,
    kUsercode = 0x007,
    kClamp = 0x00A,
    kHighz = 0x00B,
    kExtest = 0x00F,
    kActiveDisengage = 0x2D0,
    kBypass = 0x3FF,
  };
  static constexpr int kIrLength = 10;
  static constexpr uint32_t kIrCapture = 0x155;  // 0101010101
  // TCK cycles in Run-Test/Idle under STARTUP that finish configuration (the host gives 400).
  static constexpr int kStartupClocks = 300;
  static constexpr uint32_t kUnconfiguredUserCode = 0xFFFFFFFFu;

  explicit Arria2GZDevice(const SimDeviceKind& kind);

  const SimDeviceKind& kind() const { return *kind_; }
  std::string name() const override { return kind_->name; }
  int irLength() const override { return kIrLength; }
  uint32_t idcode() const override { return kind_->base->idcode; }
  std::string status() const override;

  void testLogicReset() override;
  void captureIr() override { ir_.load(kIrCapture); }
  bool shiftIr(bool tdi) override { return ir_.shift(tdi); }
  void updateIr() override;
  void captureDr() override;
  bool shiftDr(bool tdi) override {
    if (instruction_ == kProgram) engine_.feedBit(tdi);
    return selected_->shift(tdi);
  }
  void shiftDrBits(uint8_t* bits, size_t count) override;
  void updateDr() override;
  void idleClock() override;
  bool irOut() const override { return ir_.out(); }
  bool drOut() const override { return selected_->out(); }

  uint32_t instruction() const { return instruction_; }
  bool configured() const { return configured_; }
  uint32_t userCode() const { return configured_ ? userCode_ : kUnconfiguredUserCode; }
  const ConfigurationEngine& engine() const { return engine_; }
  bool activeDisengaged() const { return activeDisengaged_; }
  // Pins, one per boundary group.
  int pinCount() const { return kind_->base->groups; }
  // The level pin `group` shows now, given the instruction and the configuration.
  bool pinLevel(int group) const;
  // The cell of the CHECK_STATUS register that first shows CONF_DONE: 3(N-K).
  int confDoneCell() const { return 3 * (kind_->base->groups - kind_->base->confDoneGroup); }

 private:
  // The design's output level of pin `group`; false for its inputs.
  bool designDrives(int group) const { return group % 4 != 3; }
  bool designLevel(int group) const;
  void select();

  const SimDeviceKind* kind_;
  ShiftRegister ir_{kIrLength};
  ShiftRegister bypass_{1};
  ShiftRegister id_{32};
  ShiftRegister program_{1};
  ShiftRegister boundary_;
  ShiftRegister status_;
  std::vector<uint8_t> boundaryUpdate_;  // the update stage of the boundary register
  ShiftRegister* selected_ = &id_;
  uint32_t instruction_ = kIdcode;
  ConfigurationEngine engine_;
  bool configured_ = false;
  uint32_t userCode_ = kUnconfiguredUserCode;
  int startupClocks_ = 0;
  uint64_t tick_ = 0;  // advances on each SAMPLE capture while configured
  bool activeDisengaged_ = false;
};

}  // namespace zsim
