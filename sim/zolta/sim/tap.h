// The IEEE 1149.1 TAP controller: the sixteen states, the TMS-driven transitions and the TMS paths
// between states.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace zsim {

// TAP states. The numbering is the one the host's JTAG channel uses for its state arguments
// (0 stands for "not known yet", before the first walk through Test-Logic-Reset).
enum class TapState : int {
  Undefined = 0,
  Reset = 1,  // Test-Logic-Reset
  Idle = 2,   // Run-Test/Idle
  DrSelect = 3,
  DrCapture = 4,
  DrShift = 5,
  DrExit1 = 6,
  DrPause = 7,
  DrExit2 = 8,
  DrUpdate = 9,
  IrSelect = 10,
  IrCapture = 11,
  IrShift = 12,
  IrExit1 = 13,
  IrPause = 14,
  IrExit2 = 15,
  IrUpdate = 16,
};

inline constexpr int kTapStateCount = 17;  // including Undefined

// The state after one rising TCK edge with the given TMS level. Undefined stays Undefined: a caller
// that does not know the state walks with tmsPath(), which starts with five TMS-high clocks.
TapState tapNext(TapState state, bool tms);

// The OpenOCD-style name ("RESET", "RUN/IDLE", "DRSHIFT", ...); "UNDEFINED" for Undefined.
std::string_view tapStateName(TapState state);

// True for the states in which the TAP may rest while TMS is held (Reset with TMS 1, Idle, DrPause,
// IrPause with TMS 0).
bool tapStateIsStable(TapState state);

// The shortest TMS sequence that walks from `from` to `to` (empty when they are equal, except that a
// walk to Reset always gives five TMS-high clocks, which reach it from any state). From Undefined the
// walk first gives the five TMS-high clocks.
std::vector<bool> tmsPath(TapState from, TapState to);

// One TAP controller. It starts in Test-Logic-Reset, as after power-up.
class TapController {
 public:
  TapState state() const { return state_; }
  // One rising TCK edge; answers the new state.
  TapState clock(bool tms) { return state_ = tapNext(state_, tms); }
  // Asynchronous reset (TRST).
  void reset() { state_ = TapState::Reset; }

 private:
  TapState state_ = TapState::Reset;
};

}  // namespace zsim
