// EDIF reading and elaboration, the netlist database, Analysis & Synthesis checks, ALUT packing and the
// timing model, in process on small fixtures and the demo design.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "test_support.h"
#include "zolta/quartus/device.h"
#include "zolta/quartus/edif.h"
#include "zolta/quartus/placement.h"
#include "zolta/quartus/synthesis.h"
#include "zolta/quartus/text.h"
#include "zolta/quartus/timing.h"

namespace zquartus {
namespace {

using test::demoDir;
using test::slurp;

// A netlist with the usual primitive library and one top cell `top` with `interface` and `contents`.
std::string edif(const std::string& interface, const std::string& contents, const std::string& moreCells = "") {
  return "(edif t (edifVersion 2 0 0) (edifLevel 0) (keywordMap (keywordLevel 0))\n"
         " (external PRIMITIVES (edifLevel 0) (technology (numberDefinition))\n"
         "  (cell DFF (cellType GENERIC) (view netlist (viewType NETLIST) (interface (port D (direction INPUT))\n"
         "   (port CLK (direction INPUT)) (port Q (direction OUTPUT)))))\n"
         "  (cell AND2 (cellType GENERIC) (view netlist (viewType NETLIST) (interface (port IN1 (direction INPUT))\n"
         "   (port IN2 (direction INPUT)) (port OUT (direction OUTPUT)))))\n"
         "  (cell AND7 (cellType GENERIC) (view netlist (viewType NETLIST) (interface\n"
         "   (port (array I 7) (direction INPUT)) (port OUT (direction OUTPUT)))))\n"
         "  (cell VCC (cellType GENERIC) (view netlist (viewType NETLIST) (interface (port Y (direction OUTPUT)))))\n"
         "  (cell INV (cellType GENERIC) (view netlist (viewType NETLIST) (interface (port IN (direction INPUT))\n"
         "   (port OUT (direction OUTPUT))))))\n"
         " (library work (edifLevel 0) (technology (numberDefinition))\n" +
         moreCells + "  (cell top (cellType GENERIC) (view netlist (viewType NETLIST)\n   (interface " + interface +
         ")\n   (contents " + contents + "))))\n (design top (cellRef top (libraryRef work))))\n";
}

Netlist elaborateText(const std::string& text) { return EdifReader(text, "fixture.edf").elaborate(""); }

const TopPort& port(const Netlist& n, const std::string& name) {
  for (const TopPort& p : n.ports)
    if (p.name == name) return p;
  throw std::runtime_error("no port " + name);
}

const Cell& cell(const Netlist& n, const std::string& name) {
  for (const Cell& c : n.cells)
    if (c.name == name) return c;
  throw std::runtime_error("no cell " + name);
}

int pinNet(const Cell& c, const std::string& pin) {
  for (const CellPin& p : c.pins)
    if (p.port == pin) return p.net;
  return -2;
}

TEST(EdifReader, DemoCounterElaboratesWithItsBusBitsInTheRightOrder) {
  const Netlist n = EdifReader(slurp(demoDir() / "counter.edf"), "counter.edf").elaborate("counter");
  EXPECT_EQ(n.design, "counter");
  ASSERT_EQ(n.ports.size(), 10u);
  EXPECT_EQ(port(n, "CLK").dir, PortDir::In);
  EXPECT_EQ(port(n, "LED[0]").dir, PortDir::Out);
  EXPECT_EQ(std::count_if(n.cells.begin(), n.cells.end(), [](const Cell& c) { return c.cls == CellClass::Register; }), 24);
  // "LED(7:0)": member 0 is LED[7], the counter's top bit; LED[0] is bit 16.
  EXPECT_EQ(pinNet(cell(n, "cnt[23]"), "Q"), port(n, "LED[7]").net);
  EXPECT_EQ(pinNet(cell(n, "cnt[16]"), "Q"), port(n, "LED[0]").net);
  EXPECT_EQ(pinNet(cell(n, "cnt[5]"), "CLK"), port(n, "CLK").net);
  EXPECT_EQ(cell(n, "inv_0").cls, CellClass::Buffer);
}

TEST(EdifReader, HierarchyIsFlattenedWithInstancePathsAndJoinedNets) {
  const std::string sub =
      "  (cell stage (cellType GENERIC) (view netlist (viewType NETLIST)\n"
      "   (interface (port A (direction INPUT)) (port C (direction INPUT)) (port Y (direction OUTPUT)))\n"
      "   (contents (instance r (viewRef netlist (cellRef DFF (libraryRef PRIMITIVES))))\n"
      "    (net A (joined (portRef A) (portRef D (instanceRef r))))\n"
      "    (net C (joined (portRef C) (portRef CLK (instanceRef r))))\n"
      "    (net Y (joined (portRef Q (instanceRef r)) (portRef Y))))))\n";
  const Netlist n = elaborateText(edif(
      "(port IN (direction INPUT)) (port CK (direction INPUT)) (port (rename OUT_0_ \"OUT(0)\") (direction OUTPUT))",
      "(instance (rename s1 \"first\") (viewRef netlist (cellRef stage)))"
      "(instance s2 (viewRef netlist (cellRef stage)))"
      "(net IN (joined (portRef IN) (portRef A (instanceRef s1))))"
      "(net CK (joined (portRef CK) (portRef C (instanceRef s1)) (portRef C (instanceRef s2))))"
      "(net mid (joined (portRef Y (instanceRef s1)) (portRef A (instanceRef s2))))"
      "(net OUT_0_ (joined (portRef Y (instanceRef s2)) (portRef OUT_0_)))",
      sub));
  ASSERT_EQ(n.cells.size(), 2u);
  const Cell& a = cell(n, "first|r");
  const Cell& b = cell(n, "s2|r");
  EXPECT_EQ(pinNet(a, "D"), port(n, "IN").net);
  EXPECT_EQ(pinNet(a, "Q"), pinNet(b, "D"));
  EXPECT_EQ(pinNet(b, "Q"), port(n, "OUT[0]").net);  // "OUT(0)" is shown as a bus bit
  EXPECT_EQ(pinNet(a, "CLK"), pinNet(b, "CLK"));
  EXPECT_EQ(n.nets[static_cast<size_t>(pinNet(a, "Q"))], "mid");
}

TEST(EdifReader, MalformedNetlistsNameTheFileAndLine) {
  struct Case {
    const char* what;
    std::string text;
    const char* message;
  } cases[] = {
      {"empty", "", "the file is empty"},
      {"unclosed list", "(edif t\n (edifVersion 2 0 0)\n", "line 3"},
      {"unbalanced", "(edif t))", "unexpected text after the end of the netlist"},
      {"empty list", "(edif t\n ( ))", "line 2: empty list"},
      {"unterminated string", "(edif t (status (comment \"abc)))", "unterminated string"},
      {"not edif", "(library x)", "does not start with (edif"},
      {"undefined cell", edif("(port A (direction INPUT))", "(instance u (viewRef netlist (cellRef NOPE)))"),
       "instantiates undefined entity 'nope'"},
      {"unknown instance",
       edif("(port A (direction INPUT))", "(net A (joined (portRef A) (portRef IN1 (instanceRef ghost))))"),
       "undeclared instance 'ghost'"},
      {"unknown port", edif("(port A (direction INPUT))", "(net A (joined (portRef B)))"), "port 'b'"},
      {"member out of range",
       edif("(port (array A 2) (direction INPUT))", "(net A (joined (portRef (member A 2))))"), "member 2"},
      {"bad direction", edif("(port A (direction SIDEWAYS))", ""), "unknown port direction"},
      {"recursive",
       edif("(port A (direction INPUT))", "(instance u (viewRef netlist (cellRef loop)))",
            "  (cell loop (cellType GENERIC) (view netlist (viewType NETLIST) (interface)\n"
            "   (contents (instance again (viewRef netlist (cellRef loop))))))\n"),
       "instantiates itself"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    try {
      EdifReader reader(c.text, "bad.edf");
      reader.elaborate("");
      ADD_FAILURE() << "no error";
    } catch (const NetlistError& e) {
      const std::string msg = e.what();
      EXPECT_NE(msg.find("bad.edf"), std::string::npos) << msg;
      EXPECT_NE(msg.find(c.message), std::string::npos) << msg;
    }
  }
}

TEST(NetlistDatabase, RoundTripAndDamage) {
  Netlist n = EdifReader(slurp(demoDir() / "counter.edf"), "counter.edf").elaborate("counter");
  n.nets.push_back("odd name % with blanks");
  const std::string db = n.toDatabase();
  const Netlist back = Netlist::fromDatabase(db, "x.zdb");
  EXPECT_EQ(back.toDatabase(), db);
  EXPECT_EQ(back.nets.back(), "odd name % with blanks");

  for (const std::string& damaged : {std::string("garbage\n"), db.substr(0, db.rfind("pin ")),
                                     std::string("zquartus-netlist 1\nport in A 7\n")}) {
    try {
      Netlist::fromDatabase(damaged, "x.zdb");
      ADD_FAILURE() << "accepted: " << damaged.substr(0, 40);
    } catch (const NetlistError& e) {
      EXPECT_NE(std::string(e.what()).find("x.zdb"), std::string::npos);
    }
  }
}

// Runs Analysis & Synthesis on a fixture; answers success and the printed lines.
std::pair<bool, std::string> synthesizeText(Netlist& n) {
  std::ostringstream out;
  MessageLog log(out, ToolVersion::builtIn());
  const bool ok = synthesize(n, log);
  return {ok, out.str()};
}

TEST(Synthesis, ChecksOfTheNetlist) {
  struct Case {
    const char* what;
    std::string interface, contents;
    bool ok;
    const char* line;  // a line the check prints
  } cases[] = {
      {"undriven output", "(port A (direction INPUT)) (port Y (direction OUTPUT)) (port Z (direction OUTPUT))",
       "(instance g (viewRef netlist (cellRef INV (libraryRef PRIMITIVES))))"
       "(net A (joined (portRef A) (portRef IN (instanceRef g))))(net Y (joined (portRef OUT (instanceRef g)) (portRef Y)))",
       false, "Error (12061): Output port \"Z\" of top-level entity \"top\" has no driver"},
      {"two drivers", "(port A (direction INPUT)) (port Y (direction OUTPUT))",
       "(instance g (viewRef netlist (cellRef INV (libraryRef PRIMITIVES))))"
       "(instance h (viewRef netlist (cellRef INV (libraryRef PRIMITIVES))))"
       "(net A (joined (portRef A) (portRef IN (instanceRef g)) (portRef IN (instanceRef h))))"
       "(net Y (joined (portRef OUT (instanceRef g)) (portRef OUT (instanceRef h)) (portRef Y)))",
       false, "Error (12014): Net \"Y\""},
      {"unused input", "(port A (direction INPUT)) (port B (direction INPUT)) (port Y (direction OUTPUT))",
       "(instance g (viewRef netlist (cellRef INV (libraryRef PRIMITIVES))))"
       "(net A (joined (portRef A) (portRef IN (instanceRef g))))(net Y (joined (portRef OUT (instanceRef g)) (portRef Y)))",
       true, "    Warning (15610): No output dependent on input pin \"B\""},
      {"stuck output", "(port Y (direction OUTPUT))",
       "(instance v (viewRef netlist (cellRef VCC (libraryRef PRIMITIVES))))"
       "(net Y (joined (portRef Y (instanceRef v)) (portRef Y)))",
       true, "    Warning (13410): Pin \"Y\" is stuck at VCC"},
      {"floating input", "(port A (direction INPUT)) (port Y (direction OUTPUT))",
       "(instance g (viewRef netlist (cellRef AND2 (libraryRef PRIMITIVES))))"
       "(net A (joined (portRef A) (portRef IN1 (instanceRef g))))(net Y (joined (portRef OUT (instanceRef g)) (portRef Y)))",
       true, "    Warning (12031): Port \"g|IN2\" has no driver"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Netlist n = elaborateText(edif(c.interface, c.contents));
    const auto [ok, text] = synthesizeText(n);
    EXPECT_EQ(ok, c.ok);
    EXPECT_NE(("\n" + text).find(std::string("\n") + c.line), std::string::npos) << text;
  }
}

TEST(Synthesis, LogicThatDrivesNothingIsRemoved) {
  Netlist n = elaborateText(edif(
      "(port A (direction INPUT)) (port CK (direction INPUT)) (port Y (direction OUTPUT))",
      "(instance keep (viewRef netlist (cellRef INV (libraryRef PRIMITIVES))))"
      "(instance r (viewRef netlist (cellRef DFF (libraryRef PRIMITIVES))))"
      "(instance g (viewRef netlist (cellRef AND2 (libraryRef PRIMITIVES))))"
      "(net A (joined (portRef A) (portRef IN (instanceRef keep)) (portRef IN1 (instanceRef g)) (portRef IN2 (instanceRef g))))"
      "(net CK (joined (portRef CK) (portRef CLK (instanceRef r))))"
      "(net x (joined (portRef OUT (instanceRef g)) (portRef D (instanceRef r))))"
      "(net Y (joined (portRef OUT (instanceRef keep)) (portRef Y)))"));
  const auto [ok, text] = synthesizeText(n);
  EXPECT_TRUE(ok);
  ASSERT_EQ(n.cells.size(), 1u);  // the register fed nothing, then its gate fed nothing
  EXPECT_EQ(n.cells[0].name, "keep");
  EXPECT_NE(text.find("1 registers lost all their fanouts"), std::string::npos) << text;
  // CK now reaches nothing.
  EXPECT_NE(text.find("No output dependent on input pin \"CK\""), std::string::npos) << text;
}

TEST(Synthesis, GatesPackIntoSixInputAluts) {
  // A chain of five two-input ANDs reads six pins: one ALUT. A seven-input gate needs two.
  std::string contents = "(instance w (viewRef netlist (cellRef AND7 (libraryRef PRIMITIVES))))";
  std::string iface = "(port Y (direction OUTPUT)) (port W (direction OUTPUT))";
  for (int i = 0; i < 7; ++i) iface += " (port P" + std::to_string(i) + " (direction INPUT))";
  for (int i = 1; i <= 5; ++i) contents += "(instance a" + std::to_string(i) + " (viewRef netlist (cellRef AND2 (libraryRef PRIMITIVES))))";
  contents += "(net P0 (joined (portRef P0) (portRef IN1 (instanceRef a1)) (portRef (member I 0) (instanceRef w))))";
  for (int i = 1; i <= 5; ++i)
    contents += "(net P" + std::to_string(i) + " (joined (portRef P" + std::to_string(i) + ") (portRef IN2 (instanceRef a" +
                std::to_string(i) + ")) (portRef (member I " + std::to_string(i) + ") (instanceRef w))))";
  contents += "(net P6 (joined (portRef P6) (portRef (member I 6) (instanceRef w))))";
  for (int i = 1; i < 5; ++i)
    contents += "(net c" + std::to_string(i) + " (joined (portRef OUT (instanceRef a" + std::to_string(i) +
                ")) (portRef IN1 (instanceRef a" + std::to_string(i + 1) + "))))";
  contents += "(net Y (joined (portRef OUT (instanceRef a5)) (portRef Y)))(net W (joined (portRef OUT (instanceRef w)) (portRef W)))";
  Netlist n = elaborateText(edif(iface, contents));
  ASSERT_TRUE(synthesizeText(n).first);
  const MappedDesign m(n);
  ASSERT_EQ(m.luts().size(), 2u);
  EXPECT_EQ(m.aluts(), 1 + 2);
  const auto chain = std::find_if(m.luts().begin(), m.luts().end(), [](const Lut& l) { return l.cells.size() == 5; });
  ASSERT_NE(chain, m.luts().end());
  EXPECT_EQ(chain->inputs.size(), 6u);
}

TEST(Timing, FiguresFollowLogicDepthSpeedGradeAndCorner) {
  // Register r0 -> a chain of `depth` ANDs, each with a pin of its own (so packing cannot fold the chain
  // into one ALUT) -> register r1, both on clock CK.
  auto design = [](int depth) {
    std::string iface = "(port CK (direction INPUT)) (port A (direction INPUT)) (port Y (direction OUTPUT))";
    std::string c = "(instance r0 (viewRef netlist (cellRef DFF (libraryRef PRIMITIVES))))"
                    "(instance r1 (viewRef netlist (cellRef DFF (libraryRef PRIMITIVES))))"
                    "(net CK (joined (portRef CK) (portRef CLK (instanceRef r0)) (portRef CLK (instanceRef r1))))"
                    "(net A (joined (portRef A) (portRef D (instanceRef r0))))"
                    "(net q0 (joined (portRef Q (instanceRef r0)) (portRef IN1 (instanceRef g0))))";
    for (int i = 0; i < depth; ++i) {
      const std::string k = std::to_string(i);
      iface += " (port P" + k + " (direction INPUT))";
      c += "(instance g" + k + " (viewRef netlist (cellRef AND2 (libraryRef PRIMITIVES))))";
      c += "(net P" + k + " (joined (portRef P" + k + ") (portRef IN2 (instanceRef g" + k + "))))";
      if (i > 0)
        c += "(net n" + k + " (joined (portRef OUT (instanceRef g" + std::to_string(i - 1) + ")) (portRef IN1 (instanceRef g" + k + "))))";
    }
    c += "(net d1 (joined (portRef OUT (instanceRef g" + std::to_string(depth - 1) + ")) (portRef D (instanceRef r1))))";
    c += "(net Y (joined (portRef Q (instanceRef r1)) (portRef Y)))";
    return elaborateText(edif(iface, c));
  };
  auto fmax = [](Netlist& n, const char* deviceName, double corner) {
    std::ostringstream sink;
    MessageLog log(sink, ToolVersion::builtIn());
    EXPECT_TRUE(synthesize(n, log));
    const MappedDesign m(n);
    const Device d = *Device::find(deviceName);
    Placement p;
    EXPECT_TRUE(place(m, d, Settings{}, log, p));
    const TimingResult r = analyzeTiming(m, p, d, {{m.clocks().at(0), "CK", 10.0}}, corner);
    EXPECT_TRUE(r.clocks.at(0).hasPaths);
    EXPECT_TRUE(r.tsu.valid && r.tco.valid && r.th.valid);
    EXPECT_NEAR(r.clocks[0].setupSlack, 10.0 - r.clocks[0].period, 1e-9);
    return r.clocks[0].fmax;
  };
  Netlist shallow = design(2), deep = design(20), deep4 = design(20), deepFast = design(20);
  const double s = fmax(shallow, "EP2AGZ300FH29C3", 1.0);
  const double d = fmax(deep, "EP2AGZ300FH29C3", 1.0);
  EXPECT_GT(s, d);
  EXPECT_GT(d, fmax(deep4, "EP2AGZ300FH29C4", 1.0));
  EXPECT_LT(d, fmax(deepFast, "EP2AGZ300FH29C3", 0.6));
}

}  // namespace
}  // namespace zquartus
