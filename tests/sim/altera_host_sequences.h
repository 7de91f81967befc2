// The pin and channel sequences that the driver's Altera JTAG routines send (reading the user code,
// probing CONF_DONE, resetting, programming a raw bit file), played on a ScanEngine the way the host's
// channel carries them. The simulated device must answer these exactly.
#pragma once

#include <cstdint>
#include <span>

#include "zolta/sim/scan_engine.h"

namespace zsim::test {

struct ProgramOptions {
  int clockCycles = 175;     // TCK cycles with TDI high before the data
  size_t skipBytes = 0;      // leading bytes read but not sent
  int startupPairs = 200;    // pairs of Run-Test/Idle clocks under STARTUP
  bool activeDisengage = false;
};

class AlteraHostSequences {
 public:
  AlteraHostSequences(ScanEngine& engine, size_t chainLength) : e_(engine), chainLength_(chainLength) {}

  uint32_t readUserCode(size_t index) {
    e_.gotoState(TapState::Idle);
    e_.loadInstruction(7, index);
    return static_cast<uint32_t>(e_.scanData(0, 32, index));
  }

  // N, K: boundary length in groups of three and the CONF_DONE group.
  bool confDone(int n, int k, size_t index) {
    e_.loadInstruction(4, index);
    e_.moveState(TapState::Idle, TapState::DrShift);
    const long count = 3L * (n - k) + static_cast<long>(chainLength_) - static_cast<long>(index);
    for (long i = 0; i < count; ++i) e_.clockTms(false);
    const bool bit = e_.readPins();
    e_.clockTms(true);
    e_.moveState(TapState::DrExit1, TapState::Idle);
    return bit;
  }

  void reset(size_t index) {
    e_.gotoState(TapState::Idle);
    e_.loadInstruction(2, index);
    e_.gotoState(TapState::Idle);
  }

  void program(std::span<const uint8_t> file, size_t index, const ProgramOptions& o = {}) {
    if (o.activeDisengage) {
      e_.gotoState(TapState::Idle);
      e_.loadInstruction(0x2D0, index);
    }
    e_.gotoState(TapState::Idle);
    e_.loadInstruction(2, index);
    e_.setTdi(true);
    e_.writePins();
    e_.moveState(TapState::Idle, TapState::DrShift);
    for (int i = 0; i < o.clockCycles; ++i) clockPulse();
    e_.setTdi(false);
    e_.setTms(false);
    e_.setTck(false);
    e_.writePins();
    for (size_t i = o.skipBytes; i < file.size(); ++i)
      for (int b = 0; b < 8; ++b) {
        if (index > 0) {
          e_.setTck(false);
          e_.writePins();
        }
        dataBit((file[i] >> b) & 1u);
      }
    for (int i = 0; i < 128; ++i) dataBit(true);
    if (index == 0) {
      e_.setTck(false);
      e_.writePins();
    }
    e_.setTdi(false);
    e_.writePins();
    e_.setTck(false);
    e_.writePins();
    for (size_t i = 0; i < index; ++i) e_.clockTms(false);
    e_.clockTms(true);
    e_.moveState(TapState::DrExit1, TapState::Idle);
    // Start-up.
    e_.loadInstruction(3, index);
    for (int i = 0; i < o.startupPairs; ++i) {
      e_.setTdi(false);
      e_.writePins();
      e_.clockTms(false);
      e_.setTdi(true);
      e_.writePins();
      e_.clockTms(false);
    }
    e_.gotoState(TapState::Idle);
    e_.flush();
  }

 private:
  void clockPulse() {
    e_.setTck(false);
    e_.writePins();
    e_.setTck(true);
    e_.writePins();
  }
  void dataBit(bool b) {
    e_.setTck(false);
    e_.setTdi(b);
    e_.writePins();
    e_.setTck(true);
    e_.writePins();
  }

  ScanEngine& e_;
  size_t chainLength_;
};

}  // namespace zsim::test
