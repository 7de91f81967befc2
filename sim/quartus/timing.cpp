#include "zolta/quartus/timing.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>

#include "zolta/quartus/text.h"

namespace zquartus {

namespace {

constexpr double kNone = -std::numeric_limits<double>::infinity();

struct Arrival {
  double max = kNone;
  double min = std::numeric_limits<double>::infinity();
  std::string from;
  bool valid() const { return max != kNone; }
};

// Delays of the slow model at speed grade 3, in ns.
struct DelayModel {
  double scale;
  double lut() const { return 0.35 * scale; }
  double route(int distance, int fanout) const {
    const double base = distance == 0 ? 0.10 : 0.22 + 0.045 * distance;
    return (base + 0.012 * std::min(fanout, 64)) * scale;
  }
  double tco() const { return 0.25 * scale; }
  double tsu() const { return 0.09 * scale; }
  double th() const { return 0.18 * scale; }
  double inputBuffer() const { return 0.95 * scale; }
  double outputBuffer() const { return 2.75 * scale; }
  double globalClock() const { return 2.15 * scale; }
  double localClock() const { return 3.00 * scale; }
};

}  // namespace

std::vector<TimingCorner> timingCorners(const Device& device, const ToolVersion& version) {
  if (!version.modernEra()) return {{"Slow Model", 1.0, true}, {"Fast Model", 0.62, false}};
  if (device.temperatureGrade() == 'I')
    return {{"Slow 900mV 100C Model", 1.03, true}, {"Slow 900mV -40C Model", 0.91, true}, {"Fast 900mV -40C Model", 0.58, false}};
  return {{"Slow 900mV 85C Model", 1.0, true}, {"Slow 900mV 0C Model", 0.93, true}, {"Fast 900mV 0C Model", 0.60, false}};
}

double fmaxLimit(const Device& device) { return device.speedGrade() == 3 ? 500.0 : 450.0; }

std::string mhzText(double mhz) {
  std::string s = fixed(mhz, 2);
  while (s.size() > 1 && s.back() == '0') s.pop_back();
  if (!s.empty() && s.back() == '.') s.pop_back();
  return s + " MHz";
}

std::string nsText(double ns) { return fixed(ns, 3) + " ns"; }

TimingResult analyzeTiming(const MappedDesign& design, const Placement& placement, const Device& device,
                           const std::vector<ClockDef>& clocks, double cornerFactor) {
  const Netlist& n = design.netlist();
  const double scale = cornerFactor * (device.speedGrade() == 4 ? 1.14 : 1.0) * (device.temperatureGrade() == 'I' ? 1.02 : 1.0);
  const DelayModel dm{scale};
  const size_t C = clocks.size();  // arrival classes: 0..C-1 launch clocks, C input pins

  TimingResult result;
  for (const ClockDef& c : clocks) {
    ClockResult r;
    r.clock = c;
    result.clocks.push_back(std::move(r));
  }

  std::map<int, size_t> clockIndex;
  for (size_t i = 0; i < C; ++i) clockIndex[clocks[i].net] = i;
  std::vector<double> insertion(C, 0);
  for (size_t i = 0; i < C; ++i) {
    const PinRef* d = design.driver(clocks[i].net);
    insertion[i] = d && d->cell < 0 ? dm.globalClock() : dm.localClock();
  }

  // Where each source net starts.
  std::vector<int> registerIndex(n.cells.size(), -1);
  for (size_t r = 0; r < design.registers().size(); ++r) registerIndex[static_cast<size_t>(design.registers()[r])] = static_cast<int>(r);
  auto pinPosition = [&](int port) { return device.dieCoordinates(placement.pins[static_cast<size_t>(port)].location); };
  auto positionOf = [&](int net, std::pair<int, int>& pos) {
    const PinRef* d = design.driver(net);
    if (!d) return false;
    if (d->cell < 0) {
      pos = pinPosition(d->pin);
      return true;
    }
    const int l = design.lutDriving(net);
    if (l >= 0) {
      pos = placement.luts[static_cast<size_t>(l)];
      return true;
    }
    const int r = registerIndex[static_cast<size_t>(d->cell)];
    if (r >= 0) {
      pos = placement.registers[static_cast<size_t>(r)];
      return true;
    }
    return false;
  };
  auto distance = [](std::pair<int, int> a, std::pair<int, int> b) { return std::abs(a.first - b.first) + std::abs(a.second - b.second); };
  auto routeTo = [&](int net, std::pair<int, int> dest) {
    std::pair<int, int> from{dest};
    positionOf(net, from);
    return dm.route(distance(from, dest), design.fanout(net));
  };

  std::vector<std::vector<Arrival>> arrival(n.nets.size());
  auto at = [&](int net) -> std::vector<Arrival>& {
    auto& a = arrival[static_cast<size_t>(net)];
    if (a.empty()) a.resize(C + 1);
    return a;
  };

  for (size_t p = 0; p < n.ports.size(); ++p)
    if (n.ports[p].dir != PortDir::Out && n.ports[p].net >= 0) {
      Arrival& a = at(n.ports[p].net)[C];
      a.max = a.min = dm.inputBuffer();
      a.from = n.ports[p].name;
    }
  std::vector<int> regClock(design.registers().size(), -1);
  for (size_t r = 0; r < design.registers().size(); ++r) {
    const int cell = design.registers()[r];
    auto it = clockIndex.find(design.clockOf(cell));
    if (it == clockIndex.end()) continue;
    regClock[r] = static_cast<int>(it->second);
    for (const CellPin& p : n.cells[static_cast<size_t>(cell)].pins)
      if (p.dir != PortDir::In && p.net >= 0) {
        Arrival& a = at(p.net)[it->second];
        a.max = a.min = insertion[it->second] + dm.tco();
        a.from = n.cells[static_cast<size_t>(cell)].name;
      }
  }

  // Through the ALUTs in order; an input from a later ALUT closes a loop and is cut.
  for (size_t l = 0; l < design.luts().size(); ++l) {
    const Lut& lut = design.luts()[l];
    const auto pos = placement.luts[l];
    std::vector<Arrival> out(C + 1);
    for (int s : lut.inputs) {
      const int from = design.lutDriving(s);
      if (from >= static_cast<int>(l)) {
        ++result.combinationalLoops;
        continue;
      }
      if (arrival[static_cast<size_t>(s)].empty()) continue;
      const double route = routeTo(s, pos);
      for (size_t k = 0; k <= C; ++k) {
        const Arrival& a = arrival[static_cast<size_t>(s)][k];
        if (!a.valid()) continue;
        if (a.max + route > out[k].max) {
          out[k].max = a.max + route;
          out[k].from = a.from;
        }
        out[k].min = std::min(out[k].min, a.min + route);
      }
    }
    const double delay = dm.lut() * lut.levels;
    for (Arrival& a : out)
      if (a.valid()) {
        a.max += delay;
        a.min += delay;
      }
    for (const CellPin& p : n.cells[static_cast<size_t>(lut.root)].pins)
      if (p.dir != PortDir::In && p.net >= 0) at(p.net) = out;
  }

  auto worse = [](PathFigure& f, double v, const std::string& from, const std::string& to, const std::string& clock) {
    if (!f.valid || v > f.value) f = PathFigure{true, v, from, to, clock};
  };

  // Register inputs.
  std::vector<bool> holdSeen(C, false);
  for (size_t r = 0; r < design.registers().size(); ++r) {
    if (regClock[r] < 0) continue;
    const size_t c = static_cast<size_t>(regClock[r]);
    const int cell = design.registers()[r];
    const std::string& name = n.cells[static_cast<size_t>(cell)].name;
    ClockResult& cr = result.clocks[c];
    double endpointPeriod = kNone, endpointHold = std::numeric_limits<double>::infinity();
    for (const CellPin& p : n.cells[static_cast<size_t>(cell)].pins) {
      if (p.dir != PortDir::In || p.net < 0 || isClockPort(p.port) || isAsyncControlPort(p.port)) continue;
      const int s = design.source(p.net);
      if (s < 0 || arrival[static_cast<size_t>(s)].empty()) continue;
      const double route = routeTo(s, placement.registers[r]);
      const Arrival& own = arrival[static_cast<size_t>(s)][c];
      if (own.valid()) {
        const double period = own.max + route - insertion[c] + dm.tsu();
        if (!cr.hasPaths || period > cr.period) {
          cr.period = period;
          cr.from = own.from;
          cr.to = name;
        }
        cr.hasPaths = true;
        endpointPeriod = std::max(endpointPeriod, period);
        endpointHold = std::min(endpointHold, own.min + route - insertion[c] - dm.th());
      }
      const Arrival& in = arrival[static_cast<size_t>(s)][C];
      if (in.valid()) {
        worse(result.tsu, in.max + route + dm.tsu() - insertion[c], in.from, name, cr.clock.name);
        worse(result.th, insertion[c] + dm.th() - (in.min + route), in.from, name, cr.clock.name);
      }
    }
    if (endpointPeriod != kNone && cr.clock.period > 0) {
      const double slack = cr.clock.period - endpointPeriod;
      if (slack < 0) {
        cr.setupTns += slack;
        ++cr.failedPaths;
      }
      if (endpointHold < 0) cr.holdTns += endpointHold;
    }
    if (endpointHold != std::numeric_limits<double>::infinity()) {
      cr.holdSlack = holdSeen[c] ? std::min(cr.holdSlack, endpointHold) : endpointHold;
      holdSeen[c] = true;
    }
  }

  // Output pins.
  for (size_t p = 0; p < n.ports.size(); ++p) {
    if (n.ports[p].dir == PortDir::In) continue;
    const int s = design.source(n.ports[p].net);
    if (s < 0 || arrival[static_cast<size_t>(s)].empty()) continue;
    const double route = routeTo(s, pinPosition(static_cast<int>(p))) + dm.outputBuffer();
    for (size_t k = 0; k <= C; ++k) {
      const Arrival& a = arrival[static_cast<size_t>(s)][k];
      if (!a.valid()) continue;
      if (k < C) worse(result.tco, a.max + route, a.from, n.ports[p].name, clocks[k].name);
      else worse(result.tpd, a.max + route, a.from, n.ports[p].name, "");
    }
  }

  const double limit = fmaxLimit(device);
  for (ClockResult& cr : result.clocks) {
    if (!cr.hasPaths) continue;
    cr.fmax = 1000.0 / std::max(cr.period, 0.001);
    cr.restrictedFmax = std::min(cr.fmax, limit);
    cr.setupSlack = cr.clock.period > 0 ? cr.clock.period - cr.period : 0;
  }
  return result;
}

}  // namespace zquartus
