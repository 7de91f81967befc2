#include "zolta/quartus/placement.h"

#include <algorithm>
#include <cstdlib>
#include <map>
#include <set>
#include <sstream>

#include "zolta/quartus/edif.h"
#include "zolta/quartus/text.h"

namespace zquartus {

namespace {

// LAB positions around (cx, cy) in rings of growing distance, each ring in a fixed order.
class Spiral {
 public:
  Spiral(int cx, int cy, int w, int h) : cx_(cx), cy_(cy), w_(w), h_(h) {}
  std::pair<int, int> next() {
    for (;;) {
      if (queue_.empty()) fillRing();
      const auto p = queue_.back();
      queue_.pop_back();
      if (p.first >= 0 && p.second >= 0 && p.first < w_ && p.second < h_) return p;
    }
  }

 private:
  void fillRing() {
    const int r = ring_++;
    if (r > w_ + h_) {  // every LAB handed out: wrap (the caller checks capacity first)
      ring_ = 0;
      fillRing();
      return;
    }
    std::vector<std::pair<int, int>> ring;
    if (r == 0) ring.push_back({cx_, cy_});
    for (int d = -r; d < r; ++d) ring.push_back({cx_ + d, cy_ - r});
    for (int d = -r; d < r; ++d) ring.push_back({cx_ + r, cy_ + d});
    for (int d = r; d > -r; --d) ring.push_back({cx_ + d, cy_ + r});
    for (int d = r; d > -r; --d) ring.push_back({cx_ - r, cy_ + d});
    queue_.assign(ring.rbegin(), ring.rend());
  }
  int cx_, cy_, w_, h_;
  int ring_ = 0;
  std::vector<std::pair<int, int>> queue_;
};

}  // namespace

bool sameNodeName(const std::string& target, const std::string& port) {
  if (target == port) return true;
  const std::string t = busBitName(trim(target));
  if (t.find_first_of("*?") != std::string::npos) return wildcardMatch(t, port, true);
  return sameText(t, port);
}

bool place(const MappedDesign& design, const Device& device, const Settings& settings, MessageLog& log, Placement& out) {
  const Netlist& n = design.netlist();
  out = Placement{};
  out.device = device.name();
  if (auto seed = settings.global("SEED")) {
    char* end = nullptr;
    const long v = std::strtol(seed->c_str(), &end, 10);
    if (end && *end == '\0' && v > 0) out.seed = static_cast<uint32_t>(v);
    else log.warning(15000, "Ignored illegal value " + inQuotes(*seed) + " of assignment SEED; using 1");
  }

  // Capacity first: nothing else is worth reporting for a design that cannot fit.
  const uint32_t pins = static_cast<uint32_t>(n.ports.size());
  const DieResources& die = device.die();
  std::vector<std::string> overflow;
  if (pins > device.ioPins())
    overflow.push_back("The design needs " + std::to_string(pins) + " I/O pins; device " + device.name() + " has " +
                       std::to_string(device.ioPins()));
  if (static_cast<uint32_t>(design.aluts()) > die.aluts)
    overflow.push_back("The design needs " + thousands(static_cast<uint64_t>(design.aluts())) + " ALUTs; device " +
                       device.name() + " has " + thousands(die.aluts));
  if (design.registers().size() > die.registers)
    overflow.push_back("The design needs " + thousands(design.registers().size()) + " registers; device " +
                       device.name() + " has " + thousands(die.registers));
  if (static_cast<int>(design.globals().size()) > device.globalClocks())
    overflow.push_back("The design needs " + std::to_string(design.globals().size()) + " global signals; device " +
                       device.name() + " has " + std::to_string(device.globalClocks()));
  if (!overflow.empty()) {
    log.error(171000, "Can't fit design in device");
    for (const std::string& o : overflow) log.error(171001, o, 1);
    return false;
  }

  // Pins: location and I/O standard assignments.
  bool ok = true;
  out.pins.assign(n.ports.size(), PinPlacement{});
  std::vector<bool> placed(n.ports.size(), false);
  std::map<std::pair<int, int>, std::vector<size_t>> byLocation;
  for (const Assignment* a : settings.find(AssignmentKind::Location)) {
    size_t port = n.ports.size();
    for (size_t i = 0; i < n.ports.size() && port == n.ports.size(); ++i)
      if (a->to == n.ports[i].name) port = i;
    for (size_t i = 0; i < n.ports.size() && port == n.ports.size(); ++i)
      if (sameNodeName(a->to, n.ports[i].name)) port = i;
    if (port == n.ports.size()) {
      log.warning(15706, "Node " + inQuotes(a->to) + " is assigned to location or region, but does not exist in design");
      continue;
    }
    if (!startsWithNoCase(trim(a->value), "PIN_")) continue;  // banks and regions do not fix a pin
    const std::optional<PinLocation> loc = device.pinLocation(a->value);
    if (!loc) {
      log.error(171016, "Can't place node " + inQuotes(n.ports[port].name) + " -- illegal location assignment " +
                            trim(a->value) + ": device " + device.name() + " has no such pin");
      ok = false;
      continue;
    }
    out.pins[port].location = *loc;
    out.pins[port].assigned = true;
    placed[port] = true;
  }
  for (size_t i = 0; i < n.ports.size(); ++i)
    if (placed[i]) byLocation[{out.pins[i].location.row, out.pins[i].location.column}].push_back(i);
  for (const auto& [loc, ports] : byLocation) {
    if (ports.size() < 2) continue;
    const std::string name = out.pins[ports[0]].location.name();
    log.error(176310, "Can't place multiple pins assigned to pin location " + name);
    for (size_t p : ports) log.info(176311, "Pin " + n.ports[p].name + " is assigned to pin location " + name, 1);
    ok = false;
  }
  for (size_t i = 0; i < n.ports.size(); ++i) {
    out.pins[i].ioStandard = std::string(kDefaultIoStandard);
    for (const Assignment* a : settings.find(AssignmentKind::Instance, "IO_STANDARD"))
      if (sameNodeName(a->to, n.ports[i].name)) out.pins[i].ioStandard = a->value;
  }
  if (!ok) return false;

  // Pins without a location take the next free ball.
  std::vector<size_t> unplaced;
  for (size_t i = 0; i < n.ports.size(); ++i)
    if (!placed[i]) unplaced.push_back(i);
  if (!unplaced.empty()) {
    log.criticalWarning(169085, "No exact pin location assignment(s) for " + std::to_string(unplaced.size()) +
                                    " pins of " + std::to_string(n.ports.size()) + " total pins");
    int next = 0;
    for (size_t i : unplaced) {
      log.info(169086, "Pin " + n.ports[i].name + " not assigned to an exact location on the device", 1);
      PinLocation loc;
      do loc = device.autoLocation(next++);
      while (byLocation.count({loc.row, loc.column}));
      byLocation[{loc.row, loc.column}].push_back(i);
      out.pins[i].location = loc;
    }
  }
  for (int g : design.globals()) {
    const PinRef* d = design.driver(g);
    if (d && d->cell < 0)
      log.info(176353, "Automatically promoted node " + n.ports[static_cast<size_t>(d->pin)].name + "~input (placed in " +
                           out.pins[static_cast<size_t>(d->pin)].location.name() + ")");
  }

  // Logic: start at the centre of the pins (moved a little by the seed) and fill LABs outwards, each
  // register next to the ALUT that feeds it.
  long sx = 0, sy = 0;
  for (const PinPlacement& p : out.pins) {
    const auto [x, y] = device.dieCoordinates(p.location);
    sx += x;
    sy += y;
  }
  const long count = std::max<long>(1, static_cast<long>(out.pins.size()));
  const uint64_t h = fnv1a(std::to_string(out.seed));
  const int cx = std::clamp(static_cast<int>(sx / count) + static_cast<int>(h % 5) - 2, 0, die.gridX - 1);
  const int cy = std::clamp(static_cast<int>(sy / count) + static_cast<int>((h >> 8) % 5) - 2, 0, die.gridY - 1);
  Spiral spiral(cx, cy, die.gridX, die.gridY);
  std::pair<int, int> lab = spiral.next();
  int lutsHere = 0, regsHere = 0;
  out.labs = 1;
  auto nextLab = [&] {
    lab = spiral.next();
    lutsHere = regsHere = 0;
    ++out.labs;
  };
  out.luts.assign(design.luts().size(), {-1, -1});
  out.registers.assign(design.registers().size(), {-1, -1});
  auto placeLut = [&](int l) {
    if (l < 0 || out.luts[static_cast<size_t>(l)].first >= 0) return;
    const int cost = design.luts()[static_cast<size_t>(l)].cost;
    if (lutsHere + cost > kLabAluts && lutsHere > 0) nextLab();
    out.luts[static_cast<size_t>(l)] = lab;
    lutsHere += cost;
    while (lutsHere > kLabAluts) {  // a wide gate spills over several LABs
      const int spill = lutsHere - kLabAluts;
      nextLab();
      lutsHere = spill;
    }
  };
  for (size_t r = 0; r < design.registers().size(); ++r) {
    if (regsHere >= kLabRegisters) nextLab();
    out.registers[r] = lab;
    ++regsHere;
    for (const CellPin& p : n.cells[static_cast<size_t>(design.registers()[r])].pins)
      if (p.dir == PortDir::In && !isClockPort(p.port) && !isAsyncControlPort(p.port))
        placeLut(design.lutDriving(design.source(p.net)));
  }
  for (size_t l = 0; l < design.luts().size(); ++l) placeLut(static_cast<int>(l));
  if (lutsHere == 0 && regsHere == 0) --out.labs;
  return true;
}

// Database layout:
//   zquartus-fit 1
//   device <name>
//   seed <n>
//   labs <n>
//   pin <port index> <location> <assigned 0|1> <I/O standard, rest of line>
//   lut <index> <x> <y>
//   reg <index> <x> <y>
std::string Placement::toDatabase() const {
  std::ostringstream out;
  out << "zquartus-fit 1\n";
  out << "device " << device << "\nseed " << seed << "\nlabs " << labs << "\n";
  for (size_t i = 0; i < pins.size(); ++i)
    out << "pin " << i << ' ' << pins[i].location.name() << ' ' << (pins[i].assigned ? 1 : 0) << ' ' << pins[i].ioStandard
        << '\n';
  for (size_t i = 0; i < luts.size(); ++i) out << "lut " << i << ' ' << luts[i].first << ' ' << luts[i].second << '\n';
  for (size_t i = 0; i < registers.size(); ++i)
    out << "reg " << i << ' ' << registers[i].first << ' ' << registers[i].second << '\n';
  return out.str();
}

Placement Placement::fromDatabase(std::string_view text, const std::string& source, const MappedDesign& design) {
  Placement p;
  std::istringstream in{std::string(text)};
  int lineNo = 0;
  auto fail = [&](const std::string& why) {
    throw NetlistError("database file " + source + " is damaged at line " + std::to_string(lineNo) + ": " + why);
  };
  p.pins.resize(design.netlist().ports.size());
  p.luts.assign(design.luts().size(), {-1, -1});
  p.registers.assign(design.registers().size(), {-1, -1});
  std::optional<Device> device;
  bool header = false;
  for (std::string line; std::getline(in, line);) {
    ++lineNo;
    std::istringstream f(line);
    std::string kind;
    if (!(f >> kind)) continue;
    if (!header) {
      int version = 0;
      if (kind != "zquartus-fit" || !(f >> version) || version != 1) fail("not a Fitter database");
      header = true;
      continue;
    }
    if (kind == "device") {
      f >> p.device;
      device = Device::find(p.device);
      if (!device) fail("unknown device '" + p.device + "'");
    } else if (kind == "seed") {
      if (!(f >> p.seed)) fail("bad seed");
    } else if (kind == "labs") {
      if (!(f >> p.labs)) fail("bad LAB count");
    } else if (kind == "pin") {
      size_t i = 0;
      std::string loc;
      int assigned = 0;
      if (!device) fail("pin before the device");
      if (!(f >> i >> loc >> assigned) || i >= p.pins.size()) fail("bad pin record");
      const auto l = device->pinLocation(loc);
      if (!l) fail("bad pin location '" + loc + "'");
      p.pins[i].location = *l;
      p.pins[i].assigned = assigned != 0;
      std::getline(f, p.pins[i].ioStandard);
      p.pins[i].ioStandard = trim(p.pins[i].ioStandard);
    } else if (kind == "lut" || kind == "reg") {
      size_t i = 0;
      int x = 0, y = 0;
      auto& list = kind == "lut" ? p.luts : p.registers;
      if (!(f >> i >> x >> y) || i >= list.size()) fail("bad " + kind + " record");
      list[i] = {x, y};
    } else {
      fail("unknown record '" + kind + "'");
    }
  }
  if (!header || !device) fail("not a Fitter database");
  for (const auto& l : p.luts)
    if (l.first < 0) fail("the placement does not match the netlist; run the Fitter again");
  for (const auto& r : p.registers)
    if (r.first < 0) fail("the placement does not match the netlist; run the Fitter again");
  return p;
}

}  // namespace zquartus
