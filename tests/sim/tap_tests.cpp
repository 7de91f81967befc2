#include <gtest/gtest.h>

#include <memory>
#include <set>

#include "zolta/sim/cable.h"
#include "zolta/sim/chain.h"
#include "zolta/sim/scan_engine.h"
#include "zolta/sim/tap.h"

namespace zsim {
namespace {

constexpr TapState kAllStates[] = {
    TapState::Reset,    TapState::Idle,      TapState::DrSelect, TapState::DrCapture, TapState::DrShift,  TapState::DrExit1,
    TapState::DrPause,  TapState::DrExit2,   TapState::DrUpdate, TapState::IrSelect,  TapState::IrCapture, TapState::IrShift,
    TapState::IrExit1,  TapState::IrPause,   TapState::IrExit2,  TapState::IrUpdate};

TapState walk(TapState from, const std::vector<bool>& tms) {
  for (bool b : tms) from = tapNext(from, b);
  return from;
}

TEST(Tap, KnownPathsFollowTheStandardDiagram) {
  struct Case {
    TapState from, to;
    std::vector<bool> tms;
  };
  const Case cases[] = {
      {TapState::Reset, TapState::Idle, {false}},
      {TapState::Idle, TapState::DrShift, {true, false, false}},
      {TapState::Idle, TapState::IrShift, {true, true, false, false}},
      {TapState::DrShift, TapState::Idle, {true, true, false}},
      {TapState::DrExit1, TapState::Idle, {true, false}},
      {TapState::IrExit1, TapState::DrShift, {true, true, false, false}},
      {TapState::DrPause, TapState::DrShift, {true, false}},
      {TapState::IrUpdate, TapState::Idle, {false}},
      {TapState::IrShift, TapState::IrShift, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(tapStateName(c.from)) + " -> " + std::string(tapStateName(c.to)));
    EXPECT_EQ(tmsPath(c.from, c.to), c.tms);
  }
}

TEST(Tap, EveryPairIsReachedAndFiveOnesAlwaysReset) {
  for (TapState from : kAllStates) {
    EXPECT_EQ(walk(from, {true, true, true, true, true}), TapState::Reset) << tapStateName(from);
    for (TapState to : kAllStates) {
      SCOPED_TRACE(std::string(tapStateName(from)) + " -> " + std::string(tapStateName(to)));
      const std::vector<bool> path = tmsPath(from, to);
      EXPECT_EQ(walk(from, path), to);
      // The longest shortest path in the diagram is 8 clocks (DrShift to IrExit2); Reset always takes
      // exactly five.
      EXPECT_LE(path.size(), to == TapState::Reset ? 5u : 8u);
    }
  }
  // An unknown state goes through Reset first.
  const std::vector<bool> fromUnknown = tmsPath(TapState::Undefined, TapState::DrShift);
  ASSERT_EQ(fromUnknown.size(), 5u + 4u);
  EXPECT_EQ(walk(TapState::Reset, {fromUnknown.begin() + 5, fromUnknown.end()}), TapState::DrShift);
}

TEST(Tap, OnlyResetIdleShiftAndPauseStatesHold) {
  const std::set<TapState> holding = {TapState::Reset,   TapState::Idle,    TapState::DrShift,
                                      TapState::DrPause, TapState::IrShift, TapState::IrPause};
  for (TapState s : kAllStates) {
    const bool holds = tapNext(s, false) == s || tapNext(s, true) == s;
    EXPECT_EQ(holds, holding.count(s) == 1) << tapStateName(s);
    // The states a TAP may rest in between operations; the shift states hold only while clocking data.
    EXPECT_EQ(tapStateIsStable(s), holds && s != TapState::DrShift && s != TapState::IrShift) << tapStateName(s);
  }
  EXPECT_EQ(tapNext(TapState::Reset, true), TapState::Reset);
  EXPECT_EQ(tapNext(TapState::Undefined, false), TapState::Undefined);
}

// The chain follows the pins: walking the engine through all sixteen states over the simulated cable
// leaves the simulated TAP in each of them.
TEST(Tap, ChainWalksThroughAllSixteenStatesOverTheCable) {
  SimCable cable(buildChain("EP2AGZ225FF35C3"));
  ScanEngine engine(cable);
  ASSERT_EQ(engine.state(), TapState::Undefined);
  for (TapState to : kAllStates) {
    engine.gotoState(to);
    EXPECT_EQ(cable.chain().state(), to) << tapStateName(to);
    EXPECT_EQ(engine.state(), to);
  }
  // And back through every state in reverse order, from wherever the last walk left it.
  for (auto it = std::rbegin(kAllStates); it != std::rend(kAllStates); ++it) {
    engine.gotoState(*it);
    EXPECT_EQ(cable.chain().state(), *it) << tapStateName(*it);
  }
}

TEST(Tap, TrstHoldsTheTapInReset) {
  SimCable cable(buildChain("EP2AGZ225FF35C3"));
  ScanEngine engine(cable);
  engine.gotoState(TapState::DrShift);
  cable.setResets(true, false);
  EXPECT_EQ(cable.chain().state(), TapState::Reset);
  cable.write(false, false, false);
  cable.write(true, false, false);  // clocks do nothing while TRST is asserted
  EXPECT_EQ(cable.chain().state(), TapState::Reset);
  cable.setResets(false, false);
  cable.write(false, false, false);
  cable.write(true, false, false);
  EXPECT_EQ(cable.chain().state(), TapState::Idle);
}

}  // namespace
}  // namespace zsim
