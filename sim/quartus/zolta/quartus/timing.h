// Static timing analysis of a placed design. Delays come from a small model of the die: ALUT levels,
// routing that grows with the distance between LABs and with fan-out, register clock-to-output, set-up
// and hold times, I/O buffers and the global clock network, scaled for the speed grade and the timing
// corner. Paths run from input pins and register outputs through the ALUTs to register inputs and output
// pins; clock domains are analysed separately (paths between clocks are not timed).
#pragma once

#include <string>
#include <vector>

#include "zolta/quartus/device.h"
#include "zolta/quartus/placement.h"
#include "zolta/quartus/synthesis.h"
#include "zolta/quartus/version.h"

namespace zquartus {

struct TimingCorner {
  std::string name;  // "Slow 900mV 85C Model"
  double factor;     // delay scale against the slow model
  bool slow;         // Fmax is reported for slow corners only
};

// The corners the analyser runs for `device`: voltage and temperature corners in the modern era, a slow
// and a fast model in the classic era.
std::vector<TimingCorner> timingCorners(const Device& device, const ToolVersion& version);

// A clock: the source net it is on, its name and the required period (0 when unconstrained).
struct ClockDef {
  int net = -1;
  std::string name;
  double period = 0;
};

// The worst path of one kind.
struct PathFigure {
  bool valid = false;
  double value = 0;  // ns
  std::string from, to, clock;
};

struct ClockResult {
  ClockDef clock;
  bool hasPaths = false;  // register-to-register paths inside this clock domain
  double period = 0;      // worst data period (clock-to-output + logic + set-up), ns
  std::string from, to;   // its end points
  double fmax = 0;        // MHz
  double restrictedFmax = 0;
  double setupSlack = 0, setupTns = 0;  // against the required period (or none)
  double holdSlack = 0, holdTns = 0;
  int failedPaths = 0;    // end points with negative set-up slack
};

struct TimingResult {
  std::vector<ClockResult> clocks;  // in the order given
  PathFigure tsu, tco, th, tpd;
  int combinationalLoops = 0;       // ALUT inputs cut to break loops
};

// Highest clock frequency the die supports at `device`'s speed grade (MHz).
double fmaxLimit(const Device& device);

TimingResult analyzeTiming(const MappedDesign& design, const Placement& placement, const Device& device,
                           const std::vector<ClockDef>& clocks, double cornerFactor);

// "87.7 MHz" (two decimals, trailing zeros dropped).
std::string mhzText(double mhz);
// "2.110 ns"
std::string nsText(double ns);

}  // namespace zquartus
