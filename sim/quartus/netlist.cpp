#include "zolta/quartus/netlist.h"

#include <array>
#include <sstream>

#include "zolta/quartus/text.h"

namespace zquartus {

namespace {

bool oneOf(std::string_view name, std::initializer_list<std::string_view> names) {
  for (std::string_view n : names)
    if (sameText(name, n)) return true;
  return false;
}

// The port name without a bus index ("A[3]" -> "A").
std::string_view stem(std::string_view port) {
  const size_t b = port.find('[');
  return b == std::string_view::npos ? port : port.substr(0, b);
}

// Names in the database are written with %XX escapes for blanks, '%' and control characters.
std::string escape(std::string_view s) {
  std::string r;
  for (unsigned char c : s) {
    if (c <= ' ' || c == '%' || c == 0x7F) {
      char buf[4];
      std::snprintf(buf, sizeof buf, "%%%02X", c);
      r += buf;
    } else {
      r += static_cast<char>(c);
    }
  }
  return r.empty() ? "%00" : r;
}

std::string unescape(std::string_view s) {
  if (s == "%00") return {};
  auto hexValue = [](char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
  };
  std::string r;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '%' && i + 2 < s.size() && hexValue(s[i + 1]) >= 0 && hexValue(s[i + 2]) >= 0) {
      r += static_cast<char>(hexValue(s[i + 1]) * 16 + hexValue(s[i + 2]));
      i += 2;
    } else {
      r += s[i];
    }
  }
  return r;
}

const char* dirText(PortDir d) { return d == PortDir::In ? "in" : d == PortDir::Out ? "out" : "inout"; }

const std::array<std::pair<CellClass, const char*>, 5> kClassNames = {{
    {CellClass::Register, "reg"},
    {CellClass::Logic, "logic"},
    {CellClass::Buffer, "buf"},
    {CellClass::Constant0, "gnd"},
    {CellClass::Constant1, "vcc"},
}};

}  // namespace

bool isClockPort(std::string_view port) { return oneOf(stem(port), {"CLK", "C", "CLOCK", "CK", "CP", "CLKIN"}); }

bool isAsyncControlPort(std::string_view port) {
  return oneOf(stem(port), {"CLRN", "PRN", "ACLR", "APRE", "ACLRN", "APRN", "CLR", "PRE", "ARESET", "ASET", "RN", "SN"});
}

CellClass classifyLeaf(std::string_view type, const std::vector<CellPin>& pins) {
  if (oneOf(type, {"GND", "LOGIC0", "ZERO", "VSS", "GROUND"})) return CellClass::Constant0;
  if (oneOf(type, {"VCC", "LOGIC1", "ONE", "VDD", "POWER"})) return CellClass::Constant1;
  if (oneOf(type, {"BUF", "BUFF", "WIRE", "INV", "NOT", "GLOBAL", "IBUF", "OBUF", "BUFG", "SOFT", "LCELL_BUF",
                   "CARRY", "CASCADE", "EXP"}))
    return CellClass::Buffer;
  const std::string t = upper(type);
  const bool registerName = t.rfind("DFF", 0) == 0 || t.rfind("TFF", 0) == 0 || t.rfind("JKFF", 0) == 0 ||
                            t.rfind("SRFF", 0) == 0 ||
                            oneOf(type, {"FD", "FDC", "FDCE", "FDE", "FDP", "FDPE", "FDR", "FDRE", "FDS", "FDSE",
                                         "FDCPE", "FF", "REG"});
  if (registerName)
    for (const CellPin& p : pins)
      if (p.dir == PortDir::In && isClockPort(p.port)) return CellClass::Register;
  return CellClass::Logic;
}

Connectivity connectivity(const Netlist& n) {
  Connectivity c;
  c.drivers.resize(n.nets.size());
  c.sinks.resize(n.nets.size());
  for (size_t p = 0; p < n.ports.size(); ++p) {
    const TopPort& port = n.ports[p];
    if (port.net < 0) continue;
    const PinRef ref{-1, static_cast<int>(p)};
    if (port.dir != PortDir::Out) c.drivers[static_cast<size_t>(port.net)].push_back(ref);
    if (port.dir != PortDir::In) c.sinks[static_cast<size_t>(port.net)].push_back(ref);
  }
  for (size_t i = 0; i < n.cells.size(); ++i) {
    const Cell& cell = n.cells[i];
    for (size_t k = 0; k < cell.pins.size(); ++k) {
      const CellPin& pin = cell.pins[k];
      if (pin.net < 0) continue;
      const PinRef ref{static_cast<int>(i), static_cast<int>(k)};
      if (pin.dir != PortDir::In) c.drivers[static_cast<size_t>(pin.net)].push_back(ref);
      if (pin.dir != PortDir::Out) c.sinks[static_cast<size_t>(pin.net)].push_back(ref);
    }
  }
  return c;
}

// Database layout, one record per line:
//   zquartus-netlist 1
//   design <name>
//   net <name>                         (nets in index order)
//   port <in|out|inout> <name> <net>
//   cell <class> <type> <name> <pin count>
//   pin <in|out|inout> <port> <net>    (the pins of the cell above)
std::string Netlist::toDatabase() const {
  std::ostringstream out;
  out << "zquartus-netlist 1\n";
  out << "design " << escape(design) << '\n';
  for (const std::string& net : nets) out << "net " << escape(net) << '\n';
  for (const TopPort& p : ports) out << "port " << dirText(p.dir) << ' ' << escape(p.name) << ' ' << p.net << '\n';
  for (const Cell& c : cells) {
    const char* cls = "logic";
    for (const auto& [k, name] : kClassNames)
      if (k == c.cls) cls = name;
    out << "cell " << cls << ' ' << escape(c.type) << ' ' << escape(c.name) << ' ' << c.pins.size() << '\n';
    for (const CellPin& p : c.pins) out << "pin " << dirText(p.dir) << ' ' << escape(p.port) << ' ' << p.net << '\n';
  }
  return out.str();
}

Netlist Netlist::fromDatabase(std::string_view text, const std::string& source) {
  Netlist n;
  std::istringstream in{std::string(text)};
  std::string line;
  int lineNo = 0;
  auto fail = [&](const std::string& why) {
    throw NetlistError("database file " + source + " is damaged at line " + std::to_string(lineNo) + ": " + why);
  };
  auto parseDir = [&](const std::string& s) {
    if (s == "in") return PortDir::In;
    if (s == "out") return PortDir::Out;
    if (s == "inout") return PortDir::InOut;
    fail("bad direction '" + s + "'");
    return PortDir::In;
  };
  auto checkNet = [&](long net) {
    if (net < -1 || net >= static_cast<long>(n.nets.size())) fail("net index " + std::to_string(net) + " out of range");
    return static_cast<int>(net);
  };
  size_t pinsLeft = 0;
  bool header = false;
  while (std::getline(in, line)) {
    ++lineNo;
    std::istringstream f(line);
    std::string kind;
    if (!(f >> kind)) continue;
    if (!header) {
      int version = 0;
      if (kind != "zquartus-netlist" || !(f >> version) || version != 1) fail("not a netlist database");
      header = true;
      continue;
    }
    if (pinsLeft > 0 && kind != "pin") fail("cell has fewer pins than announced");
    std::string a, b;
    long net = -1;
    if (kind == "design") {
      if (!(f >> a)) fail("design without a name");
      n.design = unescape(a);
    } else if (kind == "net") {
      if (!(f >> a)) fail("net without a name");
      n.nets.push_back(unescape(a));
    } else if (kind == "port") {
      if (!(f >> a >> b >> net)) fail("malformed port record");
      n.ports.push_back(TopPort{unescape(b), parseDir(a), checkNet(net)});
    } else if (kind == "cell") {
      std::string type, name;
      size_t count = 0;
      if (!(f >> a >> type >> name >> count)) fail("malformed cell record");
      Cell c;
      bool known = false;
      for (const auto& [k, text] : kClassNames)
        if (a == text) {
          c.cls = k;
          known = true;
        }
      if (!known) fail("unknown cell class '" + a + "'");
      c.type = unescape(type);
      c.name = unescape(name);
      n.cells.push_back(std::move(c));
      pinsLeft = count;
    } else if (kind == "pin") {
      if (pinsLeft == 0 || n.cells.empty()) fail("pin record outside a cell");
      if (!(f >> a >> b >> net)) fail("malformed pin record");
      n.cells.back().pins.push_back(CellPin{unescape(b), parseDir(a), checkNet(net)});
      --pinsLeft;
    } else {
      fail("unknown record '" + kind + "'");
    }
  }
  if (!header) fail("not a netlist database");
  if (pinsLeft > 0) fail("cell has fewer pins than announced");
  return n;
}

}  // namespace zquartus
