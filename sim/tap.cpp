#include "zolta/sim/tap.h"

#include <array>
#include <deque>

namespace zsim {

namespace {

struct Transition {
  TapState onLow;
  TapState onHigh;
};

// Indexed by TapState; the IEEE 1149.1 state diagram.
constexpr std::array<Transition, kTapStateCount> kTransitions = {{
    {TapState::Undefined, TapState::Undefined},  // Undefined
    {TapState::Idle, TapState::Reset},           // Reset
    {TapState::Idle, TapState::DrSelect},        // Idle
    {TapState::DrCapture, TapState::IrSelect},   // DrSelect
    {TapState::DrShift, TapState::DrExit1},      // DrCapture
    {TapState::DrShift, TapState::DrExit1},      // DrShift
    {TapState::DrPause, TapState::DrUpdate},     // DrExit1
    {TapState::DrPause, TapState::DrExit2},      // DrPause
    {TapState::DrShift, TapState::DrUpdate},     // DrExit2
    {TapState::Idle, TapState::DrSelect},        // DrUpdate
    {TapState::IrCapture, TapState::Reset},      // IrSelect
    {TapState::IrShift, TapState::IrExit1},      // IrCapture
    {TapState::IrShift, TapState::IrExit1},      // IrShift
    {TapState::IrPause, TapState::IrUpdate},     // IrExit1
    {TapState::IrPause, TapState::IrExit2},      // IrPause
    {TapState::IrShift, TapState::IrUpdate},     // IrExit2
    {TapState::Idle, TapState::DrSelect},        // IrUpdate
}};

constexpr std::array<std::string_view, kTapStateCount> kNames = {
    "UNDEFINED", "RESET",   "RUN/IDLE", "DRSELECT", "DRCAPTURE", "DRSHIFT", "DREXIT1", "DRPAUSE", "DREXIT2",
    "DRUPDATE",  "IRSELECT", "IRCAPTURE", "IRSHIFT", "IREXIT1",   "IRPAUSE", "IREXIT2", "IRUPDATE"};

bool valid(TapState s) {
  const int i = static_cast<int>(s);
  return i >= 0 && i < kTapStateCount;
}

}  // namespace

TapState tapNext(TapState state, bool tms) {
  if (!valid(state)) return TapState::Undefined;
  const Transition& t = kTransitions[static_cast<size_t>(state)];
  return tms ? t.onHigh : t.onLow;
}

std::string_view tapStateName(TapState state) {
  return valid(state) ? kNames[static_cast<size_t>(state)] : kNames[0];
}

bool tapStateIsStable(TapState state) {
  return state == TapState::Reset || state == TapState::Idle || state == TapState::DrPause ||
         state == TapState::IrPause;
}

std::vector<bool> tmsPath(TapState from, TapState to) {
  std::vector<bool> path;
  if (!valid(to) || to == TapState::Undefined) return path;
  if (to == TapState::Reset) return std::vector<bool>(5, true);
  if (!valid(from) || from == TapState::Undefined) {
    path.assign(5, true);
    from = TapState::Reset;
  }
  if (from == to) return path;

  // Breadth-first search over the sixteen states; the first visit of a state is a shortest path.
  std::array<int, kTapStateCount> prev;
  std::array<bool, kTapStateCount> prevTms{};
  prev.fill(-1);
  std::deque<TapState> queue{from};
  prev[static_cast<size_t>(from)] = static_cast<int>(from);
  while (!queue.empty()) {
    const TapState s = queue.front();
    queue.pop_front();
    if (s == to) break;
    for (bool tms : {false, true}) {
      const TapState n = tapNext(s, tms);
      if (prev[static_cast<size_t>(n)] >= 0) continue;
      prev[static_cast<size_t>(n)] = static_cast<int>(s);
      prevTms[static_cast<size_t>(n)] = tms;
      queue.push_back(n);
    }
  }
  std::vector<bool> tail;
  for (TapState s = to; s != from; s = static_cast<TapState>(prev[static_cast<size_t>(s)]))
    tail.push_back(prevTms[static_cast<size_t>(s)]);
  path.insert(path.end(), tail.rbegin(), tail.rend());
  return path;
}

}  // namespace zsim
