#include "zolta/quartus/synthesis.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <set>

#include "zolta/quartus/text.h"

namespace zquartus {

namespace {

constexpr int kLutInputs = 6;
constexpr size_t kListed = 20;  // sub-messages listed before "and N more"

bool isConstant(CellClass c) { return c == CellClass::Constant0 || c == CellClass::Constant1; }

std::string pinName(const Netlist& n, const PinRef& r) {
  if (r.cell < 0) return n.ports[static_cast<size_t>(r.pin)].name;
  const Cell& c = n.cells[static_cast<size_t>(r.cell)];
  return c.name + "|" + c.pins[static_cast<size_t>(r.pin)].port;
}

// Removes cells none of whose outputs reach anything, repeatedly. Answers the removed cells.
std::vector<Cell> sweep(Netlist& n) {
  std::vector<Cell> removed;
  for (;;) {
    const Connectivity conn = connectivity(n);
    std::vector<bool> dead(n.cells.size(), false);
    bool any = false;
    for (size_t i = 0; i < n.cells.size(); ++i) {
      bool used = false, hasOutput = false;
      for (const CellPin& p : n.cells[i].pins) {
        if (p.dir == PortDir::In) continue;
        hasOutput = true;
        if (p.net < 0) continue;
        for (const PinRef& s : conn.sinks[static_cast<size_t>(p.net)])
          if (s.cell != static_cast<int>(i)) used = true;
      }
      if (hasOutput && !used) {
        dead[i] = true;
        any = true;
      }
    }
    if (!any) return removed;
    std::vector<Cell> kept;
    for (size_t i = 0; i < n.cells.size(); ++i) (dead[i] ? removed : kept).push_back(std::move(n.cells[i]));
    n.cells = std::move(kept);
  }
}

}  // namespace

bool synthesize(Netlist& n, MessageLog& log) {
  bool ok = true;
  {
    const Connectivity conn = connectivity(n);
    // Several drivers on one net.
    for (size_t net = 0; net < n.nets.size(); ++net) {
      const auto& drivers = conn.drivers[net];
      if (drivers.size() < 2) continue;
      const auto& sinks = conn.sinks[net];
      const std::string to = sinks.empty() ? n.nets[net] : pinName(n, sinks.front());
      log.error(12014, "Net " + inQuotes(n.nets[net]) + ", which fans out to " + inQuotes(to) +
                           ", cannot be assigned more than one value");
      for (const PinRef& d : drivers) log.error(12015, "Net is fed by " + inQuotes(pinName(n, d)), 1);
      ok = false;
    }
    // Outputs that nothing drives.
    for (const TopPort& p : n.ports) {
      if (p.dir != PortDir::Out) continue;
      if (p.net >= 0 && !conn.drivers[static_cast<size_t>(p.net)].empty()) continue;
      log.error(12061, "Output port " + inQuotes(p.name) + " of top-level entity " + inQuotes(n.design) +
                           " has no driver");
      ok = false;
    }
  }
  if (!ok) return false;

  // Cell inputs without a driver are tied to GND.
  {
    const Connectivity conn = connectivity(n);
    std::vector<std::string> floating;
    for (const Cell& c : n.cells)
      for (const CellPin& p : c.pins)
        if (p.dir == PortDir::In && (p.net < 0 || conn.drivers[static_cast<size_t>(p.net)].empty()))
          floating.push_back(c.name + "|" + p.port);
    if (!floating.empty()) {
      log.warning(12030, std::to_string(floating.size()) + " input port(s) of cells have no driver and are tied to GND");
      for (size_t i = 0; i < floating.size() && i < kListed; ++i)
        log.warning(12031, "Port " + inQuotes(floating[i]) + " has no driver", 1);
      if (floating.size() > kListed)
        log.warning(12031, "and " + std::to_string(floating.size() - kListed) + " more", 1);
    }
  }

  const std::vector<Cell> removed = sweep(n);
  if (!removed.empty()) {
    const auto registers = std::count_if(removed.begin(), removed.end(),
                                         [](const Cell& c) { return c.cls == CellClass::Register; });
    if (registers > 0)
      log.info(17049, std::to_string(registers) + " registers lost all their fanouts during netlist optimizations.");
    const auto logic = static_cast<long>(removed.size()) - registers;
    if (logic > 0) log.info(17050, "Removed " + std::to_string(logic) + " logic cells that drive nothing");
  }

  const MappedDesign mapped(n);
  // Input pins that drive nothing.
  std::vector<std::string> unused;
  for (const TopPort& p : n.ports)
    if (p.dir == PortDir::In && (p.net < 0 || mapped.fanout(p.net) == 0)) unused.push_back(p.name);
  if (!unused.empty()) {
    log.warning(21074, "Design contains " + std::to_string(unused.size()) + " input pin(s) that do not drive logic");
    for (const std::string& u : unused) log.warning(15610, "No output dependent on input pin " + inQuotes(u), 1);
  }
  // Outputs fed by a constant.
  std::vector<std::pair<std::string, bool>> stuck;
  for (const TopPort& p : n.ports) {
    if (p.dir != PortDir::Out) continue;
    const PinRef* d = mapped.driver(mapped.source(p.net));
    if (d && d->cell >= 0 && isConstant(n.cells[static_cast<size_t>(d->cell)].cls))
      stuck.emplace_back(p.name, n.cells[static_cast<size_t>(d->cell)].cls == CellClass::Constant1);
  }
  if (!stuck.empty()) {
    log.warning(13024, "Output pins are stuck at VCC or GND");
    for (const auto& [name, high] : stuck)
      log.warning(13410, "Pin " + inQuotes(name) + " is stuck at " + (high ? "VCC" : "GND"), 1);
  }
  return true;
}

MappedDesign::MappedDesign(const Netlist& n) : n_(&n), conn_(connectivity(n)) {
  const size_t nets = n.nets.size();
  // Sources: walk back through buffers (a buffer's only input).
  sourceOf_.assign(nets, -1);
  for (size_t net = 0; net < nets; ++net) {
    int cur = static_cast<int>(net);
    for (size_t guard = 0; guard <= n.cells.size(); ++guard) {
      const auto& d = conn_.drivers[static_cast<size_t>(cur)];
      if (d.size() != 1 || d[0].cell < 0) break;
      const Cell& c = n.cells[static_cast<size_t>(d[0].cell)];
      if (c.cls != CellClass::Buffer) break;
      int in = -1;
      for (const CellPin& p : c.pins)
        if (p.dir == PortDir::In) in = p.net;
      if (in < 0) break;
      cur = in;
    }
    sourceOf_[net] = cur;
  }

  // Fan-out of source nets: every non-buffer sink reached.
  fanout_.assign(nets, 0);
  for (size_t net = 0; net < nets; ++net)
    for (const PinRef& s : conn_.sinks[net]) {
      if (s.cell >= 0 && n.cells[static_cast<size_t>(s.cell)].cls == CellClass::Buffer) continue;
      ++fanout_[static_cast<size_t>(sourceOf_[net])];
    }

  // Registers and clocks.
  std::set<int> clockSet;
  for (size_t i = 0; i < n.cells.size(); ++i) {
    if (n.cells[i].cls != CellClass::Register) continue;
    registers_.push_back(static_cast<int>(i));
    const int clk = clockOf(static_cast<int>(i));
    if (clk >= 0 && clockSet.insert(clk).second) clocks_.push_back(clk);
  }
  auto fromPin = [&](int net) {
    const PinRef* d = driver(net);
    return d && d->cell < 0;
  };
  for (int clk : clocks_)
    if (fromPin(clk)) globals_.push_back(clk);
  std::set<int> controls;
  for (int r : registers_)
    for (const CellPin& p : n.cells[static_cast<size_t>(r)].pins)
      if (p.dir == PortDir::In && p.net >= 0 && isAsyncControlPort(p.port)) {
        const int s = source(p.net);
        if (fromPin(s) && fanout(s) >= 8 && !clockSet.count(s) && controls.insert(s).second) globals_.push_back(s);
      }

  // Logic cells in an order where drivers come before readers (back edges of loops ignored).
  std::vector<int> order;
  std::vector<int> state(n.cells.size(), 0);  // 0 new, 1 open, 2 done
  std::vector<std::pair<int, size_t>> stack;
  for (size_t start = 0; start < n.cells.size(); ++start) {
    if (n.cells[start].cls != CellClass::Logic || state[start]) continue;
    stack.push_back({static_cast<int>(start), 0});
    state[start] = 1;
    while (!stack.empty()) {
      const int cell = stack.back().first;
      size_t next = stack.back().second;
      const Cell& c = n.cells[static_cast<size_t>(cell)];
      int child = -1;
      while (next < c.pins.size() && child < 0) {
        const CellPin& p = c.pins[next++];
        if (p.dir != PortDir::In || p.net < 0) continue;
        const PinRef* d = driver(source(p.net));
        if (!d || d->cell < 0) continue;
        const size_t dc = static_cast<size_t>(d->cell);
        if (n.cells[dc].cls != CellClass::Logic || state[dc]) continue;
        child = d->cell;
      }
      stack.back().second = next;
      if (child >= 0) {
        state[static_cast<size_t>(child)] = 1;
        stack.push_back({child, 0});
      } else {
        state[static_cast<size_t>(cell)] = 2;
        order.push_back(cell);
        stack.pop_back();
      }
    }
  }

  // Pack: a gate takes in a single-output driver gate whose only reader it is, while six inputs suffice.
  std::vector<int> owner(n.cells.size(), -1);  // cell -> root cell of its LUT
  std::map<int, std::vector<int>> support;     // root -> source nets
  std::map<int, std::vector<int>> members;
  auto singleOutput = [&](const Cell& c) {
    int outs = 0, net = -1;
    for (const CellPin& p : c.pins)
      if (p.dir != PortDir::In) {
        ++outs;
        net = p.net;
      }
    return outs == 1 ? net : -1;
  };
  for (int g : order) {
    const Cell& c = n.cells[static_cast<size_t>(g)];
    std::vector<int> sup;
    for (const CellPin& p : c.pins)
      if (p.dir == PortDir::In && p.net >= 0) {
        const int s = source(p.net);
        if (std::find(sup.begin(), sup.end(), s) == sup.end()) sup.push_back(s);
      }
    std::vector<int> mem{g};
    for (size_t k = 0; k < sup.size();) {
      const int s = sup[k];
      const PinRef* d = driver(s);
      const int h = d && d->cell >= 0 ? d->cell : -1;
      const bool candidate = h >= 0 && h != g && n.cells[static_cast<size_t>(h)].cls == CellClass::Logic &&
                             owner[static_cast<size_t>(h)] == h && fanout(s) == 1 &&
                             singleOutput(n.cells[static_cast<size_t>(h)]) >= 0 && support.count(h);
      if (candidate) {
        std::vector<int> merged(sup.begin(), sup.end());
        merged.erase(merged.begin() + static_cast<long>(k));
        for (int x : support[h])
          if (std::find(merged.begin(), merged.end(), x) == merged.end()) merged.push_back(x);
        if (merged.size() <= kLutInputs) {
          for (int m : members[h]) {
            owner[static_cast<size_t>(m)] = g;
            mem.push_back(m);
          }
          support.erase(h);
          members.erase(h);
          sup = std::move(merged);
          k = 0;
          continue;
        }
      }
      ++k;
    }
    owner[static_cast<size_t>(g)] = g;
    support[g] = sup;
    members[g] = mem;
  }

  lutOfNet_.assign(nets, -1);
  for (int g : order) {
    auto it = support.find(g);
    if (it == support.end()) continue;
    Lut lut;
    lut.root = g;
    lut.cells = members[g];
    lut.inputs = it->second;
    const int width = static_cast<int>(lut.inputs.size());
    lut.cost = width <= kLutInputs ? 1 : (width - 1 + kLutInputs - 2) / (kLutInputs - 1);
    lut.levels = width <= kLutInputs ? 1 : static_cast<int>(std::ceil(std::log(width) / std::log(kLutInputs)));
    aluts_ += lut.cost;
    for (const CellPin& p : n.cells[static_cast<size_t>(g)].pins)
      if (p.dir != PortDir::In && p.net >= 0) lutOfNet_[static_cast<size_t>(p.net)] = static_cast<int>(luts_.size());
    luts_.push_back(std::move(lut));
  }
}

int MappedDesign::source(int net) const { return net < 0 ? -1 : sourceOf_[static_cast<size_t>(net)]; }

const PinRef* MappedDesign::driver(int net) const {
  if (net < 0) return nullptr;
  const auto& d = conn_.drivers[static_cast<size_t>(net)];
  return d.empty() ? nullptr : &d.front();
}

int MappedDesign::lutDriving(int net) const { return net < 0 ? -1 : lutOfNet_[static_cast<size_t>(net)]; }

int MappedDesign::fanout(int net) const { return net < 0 ? 0 : fanout_[static_cast<size_t>(source(net))]; }

int MappedDesign::inputPins() const {
  return static_cast<int>(std::count_if(n_->ports.begin(), n_->ports.end(), [](const TopPort& p) { return p.dir == PortDir::In; }));
}
int MappedDesign::outputPins() const {
  return static_cast<int>(std::count_if(n_->ports.begin(), n_->ports.end(), [](const TopPort& p) { return p.dir == PortDir::Out; }));
}
int MappedDesign::bidirPins() const {
  return static_cast<int>(std::count_if(n_->ports.begin(), n_->ports.end(), [](const TopPort& p) { return p.dir == PortDir::InOut; }));
}

std::array<int, 4> MappedDesign::lutsByInputs() const {
  std::array<int, 4> counts{};
  for (const Lut& l : luts_) {
    const size_t w = l.inputs.size();
    ++counts[w >= 6 ? 0 : w == 5 ? 1 : w == 4 ? 2 : 3];
  }
  return counts;
}

FanoutFigures MappedDesign::fanoutFigures() const {
  FanoutFigures f;
  const std::set<int> global(globals_.begin(), globals_.end());
  for (size_t net = 0; net < n_->nets.size(); ++net) {
    const int i = static_cast<int>(net);
    if (source(i) != i || !driver(i)) continue;
    const int fo = fanout(i);
    if (fo == 0) continue;
    ++f.nets;
    f.total += fo;
    if (fo > f.maximum) {
      f.maximum = fo;
      f.maximumNet = n_->nets[net];
    }
    if (!global.count(i)) f.maximumNonGlobal = std::max(f.maximumNonGlobal, fo);
  }
  return f;
}

int MappedDesign::clockOf(int cell) const {
  for (const CellPin& p : n_->cells[static_cast<size_t>(cell)].pins)
    if (p.dir == PortDir::In && isClockPort(p.port)) return source(p.net);
  return -1;
}

}  // namespace zquartus
