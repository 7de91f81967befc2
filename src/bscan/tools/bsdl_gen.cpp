// Writes the BSDL files of the Arria II GZ die/package combinations for the host's BSDL library.
//
//   zolta_bsdl_gen DIR           writes DIR/<DEVICE><PACKAGE>.bsd for every combination
//   zolta_bsdl_gen --check DIR   compares the files in DIR with what it would write; exit code 1 and
//                                a line per difference when they disagree
//
// The files are demonstration and test data in the style of the vendor's descriptions; the ball
// assignment is synthetic. What is faithful: the IDCODEs, the 10-bit instruction register with the
// vendor's opcodes, and a boundary register of N groups of three cells (N per die from the CONF_DONE
// table: 758 for EP2AGZ225, 894 for EP2AGZ300/350). Cell 0 is next to TDO. An I/O pin's group g holds
// its input cell (3g), its output cell (3g+1) and the output enable (3g+2, 1 = driven), the layout the
// simulated device uses for SAMPLE and EXTEST. The CONF_DONE status sits
// in the middle cell of group K counted from the TDI end (1-based), that is BSDL cell 3*(N-K)+1: the
// bit that the CHECK_STATUS probe reads after 3*(N-K)+1 shifts on a one-device chain. Like the
// vendor's CONF_DONE, the port itself is a linkage pin; its status cell is an internal cell.
//
// Output is a pure function of the tables below, so the files are reproducible byte for byte.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Die {
  const char* name;
  uint32_t idCode;
  int groups;         // N: boundary-register groups of three cells
  int confDoneGroup;  // K: counted from the TDI end, 1-based
};

struct Package {
  const char* id;    // "F35"
  const char* name;  // "FBGA1152"
  int rows;          // ball grid rows = columns; the four corner balls are absent
  int userIO;        // inout user I/O pins
  int clockInputs;   // dedicated clock inputs
};

struct Device {
  const Die* die;
  char variant;  // 'F' or 'H', part of the base name
  const Package* package;
};

const Die kEP2AGZ225 = {"EP2AGZ225", 0x024810DD, 758, 186};
const Die kEP2AGZ300 = {"EP2AGZ300", 0x0240A0DD, 894, 190};
const Die kEP2AGZ350 = {"EP2AGZ350", 0x024820DD, 894, 190};

const Package kF35 = {"F35", "FBGA1152", 34, 538, 16};
const Package kF40 = {"F40", "FBGA1517", 39, 718, 16};
const Package kH29 = {"H29", "HBGA780", 28, 265, 16};

// One description per base device and package that the device catalogue holds.
const Device kDevices[] = {
    {&kEP2AGZ225, 'F', &kF35}, {&kEP2AGZ225, 'H', &kF40}, {&kEP2AGZ300, 'F', &kF35}, {&kEP2AGZ300, 'F', &kH29},
    {&kEP2AGZ300, 'H', &kF40}, {&kEP2AGZ350, 'F', &kF35}, {&kEP2AGZ350, 'F', &kH29}, {&kEP2AGZ350, 'H', &kF40},
};

const char* const kInstructions[][2] = {
    {"BYPASS", "1111111111"}, {"EXTEST", "0000001111"}, {"SAMPLE", "0000000101"}, {"IDCODE", "0000000110"},
    {"USERCODE", "0000000111"}, {"CLAMP", "0000001010"}, {"HIGHZ", "0000001011"}, {"CONFIG_IO", "0000001101"},
};

// Configuration pins: name and mode. MSEL is a three-bit vector.
struct ConfigPin {
  const char* name;
  const char* mode;
  int width;  // 0 for a single bit
};
const ConfigPin kConfigPins[] = {
    {"NCONFIG", "in", 0},      {"NSTATUS", "linkage", 0}, {"CONF_DONE", "linkage", 0}, {"NCE", "in", 0},
    {"NCEO", "linkage", 0},    {"DCLK", "linkage", 0},    {"MSEL", "linkage", 3},      {"PORSEL", "linkage", 0},
    {"NIO_PULLUP", "linkage", 0}, {"TEMPDIODEP", "linkage", 0}, {"TEMPDIODEN", "linkage", 0}, {"RREF", "linkage", 0},
};

// Supplies shared out in turn over the balls that are not ground.
const char* const kSupplyRotation[] = {"VCC", "VCCIO", "VCC", "VCCIO", "VCCPD", "VCC", "VCCA", "VCCAUX", "VCCD_PLL", "VCCPGM"};
const char* const kSupplyOrder[] = {"VCC", "VCCIO", "VCCPD", "VCCA", "VCCAUX", "VCCD_PLL", "VCCPGM"};

struct Ball {
  int row, col;  // 0-based
  std::string name;
};

std::string rowLabel(int r) {
  static const char* const kLetters = "ABCDEFGHJKLMNPRTUVWY";  // I, O, Q, S, X, Z are not used
  const int n = 20;
  std::string label;
  if (r >= n) label.push_back(kLetters[r / n - 1]);
  label.push_back(kLetters[r % n]);
  return label;
}

// The balls of a package grid without its four corners.
std::vector<Ball> ballsOf(const Package& p) {
  std::vector<Ball> balls;
  int s = p.rows;
  for (int r = 0; r < s; ++r)
    for (int c = 0; c < s; ++c) {
      bool corner = (r == 0 || r == s - 1) && (c == 0 || c == s - 1);
      if (corner) continue;
      std::string name = rowLabel(r);
      name.append(std::to_string(c + 1));
      balls.push_back({r, c, std::move(name)});
    }
  return balls;
}

int ringOf(const Ball& b, int s) { return std::min(std::min(b.row, b.col), std::min(s - 1 - b.row, s - 1 - b.col)); }

// Exact angle order around the grid centre (counter-clockwise from the positive column axis).
bool angleBefore(const Ball& a, const Ball& b, int s) {
  long ax = 2L * a.col - (s - 1), ay = (s - 1) - 2L * a.row;
  long bx = 2L * b.col - (s - 1), by = (s - 1) - 2L * b.row;
  auto half = [](long x, long y) { return (y < 0 || (y == 0 && x < 0)) ? 1 : 0; };
  int ha = half(ax, ay), hb = half(bx, by);
  if (ha != hb) return ha < hb;
  long cross = ax * by - ay * bx;
  if (cross != 0) return cross > 0;
  if (ringOf(a, s) != ringOf(b, s)) return ringOf(a, s) < ringOf(b, s);
  return a.row != b.row ? a.row < b.row : a.col < b.col;
}

struct Port {
  std::string name;
  std::string mode;
  std::vector<std::string> balls;  // one per bit
  bool vector = false;
  int first = 0;  // first index of a vector
};

struct Layout {
  std::vector<Port> io;       // inout user I/O, chain order
  std::vector<Port> clocks;   // clock inputs, chain order
  std::vector<std::pair<std::string, bool>> chain;  // port per bonded group in chain order, clock flag
  std::vector<Port> jtag;
  std::vector<Port> config;
  std::vector<Port> supplies;  // power vectors, then GND
};

Layout layoutOf(const Package& p) {
  const int s = p.rows;
  std::vector<Ball> balls = ballsOf(p);
  std::stable_sort(balls.begin(), balls.end(), [&](const Ball& a, const Ball& b) {
    int ra = ringOf(a, s), rb = ringOf(b, s);
    if (ra != rb) return ra < rb;
    return a.row != b.row ? a.row < b.row : a.col < b.col;
  });
  Layout l;
  size_t next = 0;
  const int bonded = p.userIO + p.clockInputs;
  std::vector<Ball> signal(balls.begin(), balls.begin() + bonded);
  next = size_t(bonded);
  std::sort(signal.begin(), signal.end(), [&](const Ball& a, const Ball& b) { return angleBefore(a, b, s); });
  // Clock inputs at even spacing along the chain.
  int clock = 0;
  for (int i = 0; i < bonded; ++i) {
    bool isClock = clock < p.clockInputs && i == (2 * clock + 1) * bonded / (2 * p.clockInputs);
    if (isClock) {
      Port c{"CLK" + std::to_string(clock), "in", {signal[size_t(i)].name}};
      l.chain.emplace_back(c.name, true);
      l.clocks.push_back(std::move(c));
      ++clock;
    } else {
      Port io{"IO" + signal[size_t(i)].name, "inout", {signal[size_t(i)].name}};
      l.chain.emplace_back(io.name, false);
      l.io.push_back(std::move(io));
    }
  }
  for (const char* name : {"TCK", "TMS", "TDI", "TDO", "TRST"})
    l.jtag.push_back({name, std::string(name) == "TDO" ? "out" : "in", {balls[next++].name}});
  for (const ConfigPin& c : kConfigPins) {
    Port port{c.name, c.mode, {}, c.width > 0, 0};
    for (int k = 0; k < std::max(1, c.width); ++k) port.balls.push_back(balls[next++].name);
    l.config.push_back(std::move(port));
  }
  // The rest: ground on one checkerboard colour, supplies in turn on the other.
  std::vector<Port> supplies;
  for (const char* name : kSupplyOrder) supplies.push_back({name, "linkage", {}, true, 1});
  Port gnd{"GND", "linkage", {}, true, 1};
  size_t turn = 0;
  for (; next < balls.size(); ++next) {
    const Ball& b = balls[next];
    if ((b.row + b.col) % 2 == 0) {
      gnd.balls.push_back(b.name);
    } else {
      std::string rail = kSupplyRotation[turn++ % (sizeof kSupplyRotation / sizeof *kSupplyRotation)];
      for (Port& sp : supplies)
        if (sp.name == rail) sp.balls.push_back(b.name);
    }
  }
  for (Port& sp : supplies)
    if (!sp.balls.empty()) l.supplies.push_back(std::move(sp));
  l.supplies.push_back(std::move(gnd));
  return l;
}

std::string pad(std::string s, size_t w) {
  if (s.size() < w) s.append(w - s.size(), ' ');
  return s;
}

std::string hex8(uint32_t v) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%08X", v);
  return buf;
}

std::string bits(uint32_t v, int from, int count) {
  std::string s;
  for (int i = from + count - 1; i >= from; --i) s += ((v >> i) & 1) ? '1' : '0';
  return s;
}

std::string generate(const Device& d) {
  const Die& die = *d.die;
  const Package& pkg = *d.package;
  const std::string base = std::string(die.name) + d.variant;
  const std::string entity = base + pkg.id;
  const Layout l = layoutOf(pkg);
  const int n = die.groups;
  const int confDoneGroup = n - die.confDoneGroup;  // counted from cell 0
  const int confDoneCell = 3 * confDoneGroup + 1;
  const int cells = 3 * n;

  std::ostringstream o;
  o << "-- BSDL description of the Altera Arria II GZ " << base << " in the " << pkg.name << " package ("
    << pkg.id << ").\n"
    << "--\n"
    << "-- Demonstration and test data of the zolta host's BSDL library, written by\n"
    << "-- src/bscan/tools/bsdl_gen.cpp: regenerate it rather than edit it. The ball assignment is\n"
    << "-- synthetic; the IDCODE, the instruction set and the boundary-register length follow the device.\n"
    << "--\n"
    << "-- Boundary register: " << n << " groups of three cells (" << cells << " cells), cell 0 next to TDO;\n"
    << "-- an I/O pin's group holds its input, its output and its output enable (1 = driven).\n"
    << "-- CONF_DONE status: internal cell " << confDoneCell << ", the middle cell of group " << die.confDoneGroup
    << " counted from TDI.\n\n";

  o << "entity " << entity << " is\n\n"
    << "-- This section identifies the default device package selected.\n\n"
    << "  generic (PHYSICAL_PIN_MAP : string := \"" << pkg.name << "\");\n\n"
    << "-- This section declares all the ports in the design.\n\n"
    << "  port (\n";
  auto scalarList = [&](const std::vector<Port>& ports, const char* mode) {
    for (size_t i = 0; i < ports.size(); i += 8) {
      o << "    ";
      for (size_t k = i; k < std::min(ports.size(), i + 8); ++k)
        o << pad(ports[k].name, 8) << (k + 1 < std::min(ports.size(), i + 8) ? ", " : "");
      o << (i + 8 < ports.size() ? ",\n" : std::string(" : ") + mode + " bit;\n");
    }
  };
  o << "--I/O Pins\n";
  scalarList(l.io, "inout");
  o << "--Dedicated Clock Inputs\n";
  scalarList(l.clocks, "in");
  o << "--JTAG Ports\n";
  for (const Port& p : l.jtag) o << "    " << pad(p.name, 12) << ": " << p.mode << " bit;\n";
  o << "--Configuration Pins\n";
  for (const Port& p : l.config) {
    o << "    " << pad(p.name, 12) << ": " << p.mode;
    if (p.vector) o << " bit_vector (0 to " << p.balls.size() - 1 << ");\n";
    else o << " bit;\n";
  }
  o << "--Power and Ground Pins\n";
  for (size_t i = 0; i < l.supplies.size(); ++i) {
    const Port& p = l.supplies[i];
    o << "    " << pad(p.name, 12) << ": linkage bit_vector (1 to " << p.balls.size() << ")"
      << (i + 1 < l.supplies.size() ? ";\n" : "\n");
  }
  o << "  );\n\n"
    << "  use STD_1149_1_2001.all;\n\n"
    << "  attribute COMPONENT_CONFORMANCE of " << entity << " : entity is \"STD_1149_1_2001\";\n\n"
    << "  attribute PIN_MAP of " << entity << " : entity is PHYSICAL_PIN_MAP;\n\n"
    << "-- This section specifies the pin map for the " << pkg.name << " package.\n\n"
    << "  constant " << pkg.name << " : PIN_MAP_STRING :=\n";
  std::vector<std::string> map;
  auto mapScalar = [&](const Port& p) { map.push_back(p.name + ":" + p.balls.front()); };
  auto mapVector = [&](const Port& p) {
    std::string s = p.name + ":(";
    for (size_t i = 0; i < p.balls.size(); ++i) s += (i ? "," : "") + p.balls[i];
    map.push_back(s + ")");
  };
  for (const Port& p : l.io) mapScalar(p);
  for (const Port& p : l.clocks) mapScalar(p);
  for (const Port& p : l.jtag) mapScalar(p);
  for (const Port& p : l.config) p.vector ? mapVector(p) : mapScalar(p);
  for (const Port& p : l.supplies) mapVector(p);
  // Long vectors are split into pieces of at most ~88 characters at their commas.
  std::vector<std::string> pieces;
  for (const std::string& m : map) {
    if (m.size() <= 80) {
      pieces.push_back(m);
      continue;
    }
    size_t start = 0;
    while (m.size() - start > 80) {
      size_t cut = m.rfind(',', start + 80);
      pieces.push_back(m.substr(start, cut - start) + ",");
      start = cut + 1;
    }
    pieces.push_back(m.substr(start));
  }
  {
    // Join pieces: a piece that ends in "," continues its vector without the list separator.
    std::string line;
    std::vector<std::string> lines;
    for (size_t i = 0; i < pieces.size(); ++i) {
      bool cont = pieces[i].back() == ',';
      std::string item = pieces[i] + (cont || i + 1 == pieces.size() ? "" : ", ");
      if (!line.empty() && line.size() + item.size() > 88) {
        lines.push_back(line);
        line.clear();
      }
      line += item;
    }
    lines.push_back(line);
    for (size_t i = 0; i < lines.size(); ++i)
      o << "    \"" << lines[i] << "\"" << (i + 1 < lines.size() ? " &\n" : ";\n");
  }

  o << "\n-- This section specifies the TAP ports.\n\n"
    << "  attribute TAP_SCAN_IN    of TDI  : signal is true;\n"
    << "  attribute TAP_SCAN_MODE  of TMS  : signal is true;\n"
    << "  attribute TAP_SCAN_OUT   of TDO  : signal is true;\n"
    << "  attribute TAP_SCAN_CLOCK of TCK  : signal is (10.00e6, BOTH);\n"
    << "  attribute TAP_SCAN_RESET of TRST : signal is true;\n\n"
    << "-- This section specifies the instructions.\n\n"
    << "  attribute INSTRUCTION_LENGTH of " << entity << " : entity is 10;\n\n"
    << "  attribute INSTRUCTION_OPCODE of " << entity << " : entity is\n";
  const size_t nInstr = sizeof kInstructions / sizeof *kInstructions;
  for (size_t i = 0; i < nInstr; ++i)
    o << "    \"" << pad(kInstructions[i][0], 10) << " (" << kInstructions[i][1] << ")"
      << (i + 1 < nInstr ? ",\" &\n" : "\";\n");
  o << "\n  attribute INSTRUCTION_CAPTURE of " << entity << " : entity is \"0101010X01\";\n\n"
    << "  attribute IDCODE_REGISTER of " << entity << " : entity is\n"
    << "    \"" << bits(die.idCode, 28, 4) << "\" &               -- 4-bit version\n"
    << "    \"" << bits(die.idCode, 12, 16) << "\" &   -- 16-bit part number (IDCODE 0x" << hex8(die.idCode)
    << ")\n"
    << "    \"" << bits(die.idCode, 1, 11) << "\" &        -- 11-bit manufacturer identity\n"
    << "    \"" << bits(die.idCode, 0, 1) << "\";                   -- mandatory LSB\n\n"
    << "  attribute USERCODE_REGISTER of " << entity << " : entity is\n"
    << "    \"XXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXX\";\n\n"
    << "  attribute REGISTER_ACCESS of " << entity << " : entity is\n"
    << "    \"DEVICE_ID    (IDCODE, USERCODE),\" &\n"
    << "    \"BYPASS       (BYPASS, CLAMP, HIGHZ),\" &\n"
    << "    \"BOUNDARY[" << cells << "] (EXTEST, SAMPLE)\";\n\n"
    << "-- This section specifies the boundary-scan register.\n\n"
    << "  attribute BOUNDARY_LENGTH of " << entity << " : entity is " << cells << ";\n\n"
    << "  attribute BOUNDARY_REGISTER of " << entity << " : entity is\n";

  // Bonded groups spread evenly over the groups other than the CONF_DONE group.
  const int bonded = int(l.chain.size());
  std::vector<int> portOfGroup(size_t(n), -1);
  {
    std::vector<int> free;
    for (int g = 0; g < n; ++g)
      if (g != confDoneGroup) free.push_back(g);
    for (int i = 0; i < bonded; ++i) portOfGroup[size_t(free[size_t(int64_t(i) * int64_t(free.size()) / bonded)])] = i;
  }
  auto cell = [&](int number, const std::string& body, bool last) {
    o << "    \"" << pad(std::to_string(number), 5) << "(" << body << ")" << (last ? "\";\n" : ",\" &\n");
  };
  for (int g = 0; g < n; ++g) {
    const int c0 = 3 * g;
    const bool lastGroup = g == n - 1;
    int port = portOfGroup[size_t(g)];
    if (g == confDoneGroup) {
      o << "--BSC group " << g << " for CONF_DONE status\n";
      cell(c0, "BC_4, *, INTERNAL, X", false);
      cell(c0 + 1, "BC_4, *, INTERNAL, X", false);
      cell(c0 + 2, "BC_4, *, INTERNAL, X", lastGroup);
    } else if (port < 0) {
      o << "--BSC group " << g << " for unbonded pad\n";
      cell(c0, "BC_4, *, INTERNAL, X", false);
      cell(c0 + 1, "BC_4, *, INTERNAL, X", false);
      cell(c0 + 2, "BC_4, *, INTERNAL, X", lastGroup);
    } else if (l.chain[size_t(port)].second) {
      const std::string& name = l.chain[size_t(port)].first;
      o << "--BSC group " << g << " for clock input " << name << "\n";
      cell(c0, "BC_4, " + name + ", INPUT, X", false);
      cell(c0 + 1, "BC_4, *, INTERNAL, X", false);
      cell(c0 + 2, "BC_4, *, INTERNAL, X", lastGroup);
    } else {
      const std::string& name = l.chain[size_t(port)].first;
      o << "--BSC group " << g << " for I/O pin " << name.substr(2) << "\n";
      cell(c0, "BC_4, " + name + ", INPUT, X", false);
      cell(c0 + 1, "BC_1, " + name + ", OUTPUT3, X, " + std::to_string(c0 + 2) + ", 0, Z", false);
      cell(c0 + 2, "BC_1, *, CONTROL, 0", lastGroup);
    }
  }
  o << "\n  attribute DESIGN_WARNING of " << entity << " : entity is\n"
    << "    \"Synthetic ball assignment for simulation and demonstration; do not use it for a board. \" &\n"
    << "    \"Internal cell " << confDoneCell << " shows CONF_DONE: 1 once the device is configured.\";\n\n"
    << "end " << entity << ";\n";
  return o.str();
}

std::string fileNameOf(const Device& d) { return std::string(d.die->name) + d.variant + d.package->id + ".bsd"; }

}  // namespace

int main(int argc, char** argv) {
  bool check = argc == 3 && std::string(argv[1]) == "--check";
  if (!(argc == 2 || check)) {
    std::cerr << "usage: zolta_bsdl_gen DIR | zolta_bsdl_gen --check DIR\n";
    return 2;
  }
  std::string dir = argv[argc - 1];
  int differences = 0;
  for (const Device& d : kDevices) {
    std::string path = dir + "/" + fileNameOf(d);
    std::string text = generate(d);
    if (check) {
      std::ifstream in(path, std::ios::binary);
      std::stringstream have;
      have << in.rdbuf();
      if (!in || have.str() != text) {
        std::cerr << path << ": differs from the generator's output; run zolta_bsdl_gen " << dir << "\n";
        ++differences;
      }
    } else {
      std::ofstream out(path, std::ios::binary);
      out << text;
      if (!out) {
        std::cerr << path << ": cannot write\n";
        return 1;
      }
      std::cout << path << "\n";
    }
  }
  return differences ? 1 : 0;
}
