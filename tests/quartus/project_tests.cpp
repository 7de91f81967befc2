// Projects and their settings files, the Tcl conventions of the assignment commands, devices and pin
// names, versions from readme lines, user codes and the run-length coding of compressed bit streams.
#include <gtest/gtest.h>

#include <set>

#include "test_support.h"
#include "zolta/quartus/bitstream.h"
#include "zolta/quartus/device.h"
#include "zolta/quartus/project.h"
#include "zolta/quartus/tcl_interp.h"
#include "zolta/quartus/version.h"

namespace zquartus {
namespace {

using test::TempDir;

class AssignmentCommands : public ::testing::Test {
 protected:
  AssignmentCommands() {
    defineAssignmentCommands(tcl, [this]() -> Settings& { return settings; });
  }
  TclInterp tcl;
  Settings settings;
};

TEST_F(AssignmentCommands, SettingsFileRoundTripKeepsEveryValue) {
  ASSERT_TRUE(tcl.eval(R"(
    set_global_assignment -name FAMILY "Arria II GZ"
    set_global_assignment -name device EP2AGZ300FH29I4
    set_global_assignment -name EDIF_FILE a.edf
    set_global_assignment -name EDIF_FILE b.edf
    set_global_assignment -name EDIF_FILE a.edf
    set_global_assignment -name FMAX_REQUIREMENT "50 MHz" -section_id clk_set
    set_global_assignment -name ODD {a $b "c" [d] {e} ; f}
    set_location_assignment PIN_C3 -to LED[0]
    set_location_assignment PIN_C4 -to LED[0]
    set_instance_assignment -name IO_STANDARD "2.5 V" -to LED[*] -comment "all LEDs"
    set_global_assignment -name SEED 3 -disable
  )")) << tcl.error();
  EXPECT_EQ(settings.global("FAMILY"), "Arria II GZ");
  EXPECT_EQ(settings.global("DEVICE"), "EP2AGZ300FH29I4");  // names are upper case
  EXPECT_EQ(settings.globals("EDIF_FILE"), (std::vector<std::string>{"a.edf", "b.edf"}));
  EXPECT_EQ(settings.global("FMAX_REQUIREMENT"), std::nullopt);
  EXPECT_EQ(settings.global("FMAX_REQUIREMENT", "clk_set"), "50 MHz");
  EXPECT_EQ(settings.global("SEED"), std::nullopt);  // disabled
  ASSERT_EQ(settings.find(AssignmentKind::Location).size(), 1u);  // the second replaced the first
  EXPECT_EQ(settings.find(AssignmentKind::Location)[0]->value, "PIN_C4");
  EXPECT_EQ(settings.find(AssignmentKind::Instance, "io_standard")[0]->to, "LED[*]");

  TempDir dir;
  Project p = Project::create(dir.path, "demo", "rev1");
  p.settings() = settings;
  p.save(ToolVersion::builtIn());
  const Project back = Project::open(dir.path, "demo.qpf");
  EXPECT_EQ(back.revision(), "rev1");
  ASSERT_EQ(back.settings().all().size(), settings.all().size());
  for (size_t i = 0; i < settings.all().size(); ++i) {
    SCOPED_TRACE(settings.all()[i].command());
    EXPECT_EQ(back.settings().all()[i].command(), settings.all()[i].command());
  }
  EXPECT_EQ(back.settings().global("ODD"), "a $b \"c\" [d] {e} ; f");

  ASSERT_TRUE(tcl.eval("set_global_assignment -name EDIF_FILE a.edf -remove; set_location_assignment -to LED[0] -remove"));
  EXPECT_EQ(settings.globals("EDIF_FILE"), std::vector<std::string>{"b.edf"});
  EXPECT_TRUE(settings.find(AssignmentKind::Location).empty());
  ASSERT_TRUE(tcl.eval("get_global_assignment -name family"));
  EXPECT_EQ(tcl.result(), "Arria II GZ");
}

TEST_F(AssignmentCommands, MisusedCommandsFailWithTheVendorsMessages) {
  struct Case {
    const char* script;
    const char* message;
  } cases[] = {
      {"set_global_assignment FAMILY x", "needs the option -name"},
      {"set_global_assignment -name FAMILY", "Wrong number of arguments"},
      {"set_global_assignment -name FAMILY a b", "too many values"},
      {"set_global_assignment -name FAMILY x -bogus", "Illegal option -bogus"},
      {"set_location_assignment PIN_A1", "needs the option -to"},
      {"set_instance_assignment -name X v -to", "needs a value"},
      {"set_global_assignment -name X foo[bar]", "invalid command name \"bar\""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.script);
    EXPECT_FALSE(tcl.eval(c.script));
    EXPECT_NE(tcl.error().find(c.message), std::string::npos) << tcl.error();
  }
  // Option names may be shortened to a unique prefix.
  EXPECT_TRUE(tcl.eval("set_instance_assignment -name X v -to A -sec s")) << tcl.error();
  EXPECT_EQ(settings.all().back().sectionId, "s");
}

TEST(Project, OpenFailuresNameTheFile) {
  TempDir dir;
  try {
    Project::open(dir.path, "missing");
    FAIL();
  } catch (const ProjectError& e) {
    EXPECT_NE(std::string(e.what()).find((dir.path / "missing.qpf").string()), std::string::npos) << e.what();
  }
  test::spit(dir.path / "p.qpf", "PROJECT_REVISION = \"p\"\n");
  test::spit(dir.path / "p.qsf", "set_global_assignment -name FAMILY \"Arria II GZ\"\nset_global_assignment -name\n");
  try {
    Project::open(dir.path, "p");
    FAIL();
  } catch (const ProjectError& e) {
    const std::string m = e.what();
    EXPECT_NE(m.find("p.qsf"), std::string::npos) << m;
    EXPECT_NE(m.find("line 2"), std::string::npos) << m;
  }
  EXPECT_THROW(Project::open(dir.path, "p", "other"), ProjectError);
}

TEST(Project, OutputDirectoryAndCaseOfNames) {
  TempDir dir;
  test::spit(dir.path / "Demo.QPF", "QUARTUS_VERSION = \"13.1\"\nPROJECT_REVISION = \"Demo\"\nPROJECT_REVISION = \"two\"\n");
  test::spit(dir.path / "Demo.qsf", "set_global_assignment -name PROJECT_OUTPUT_DIRECTORY output_files\n");
  EXPECT_TRUE(Project::exists(dir.path, "demo"));
  const Project p = Project::open(dir.path, "demo");
  EXPECT_EQ(p.revision(), "Demo");
  EXPECT_EQ(p.revisions(), (std::vector<std::string>{"Demo", "two"}));
  EXPECT_EQ(p.outputDirectory(), dir.path / "output_files");
}

TEST(Device, NamesPackagesAndPinLocations) {
  const auto h29 = Device::find("ep2agz300fh29i4n");
  ASSERT_TRUE(h29);
  EXPECT_EQ(h29->name(), "EP2AGZ300FH29I4");
  EXPECT_EQ(h29->speedGrade(), 4);
  EXPECT_EQ(h29->temperatureGrade(), 'I');
  EXPECT_EQ(h29->ioPins(), 281u);
  EXPECT_FALSE(Device::find("EP2AGZ300FF40C3"));  // no such package for this die
  EXPECT_FALSE(Device::find("EP4CE22F17C6"));

  const auto f35 = Device::find("EP2AGZ350FF35C3");
  struct Case {
    const char* pin;
    bool inH29, inF35;
  } cases[] = {{"PIN_A1", true, true},   {"pin_ab15", true, true}, {"PIN_AH28", true, true},
               {"PIN_AJ1", false, true}, {"PIN_A35", false, false}, {"PIN_I5", false, false},
               {"PIN_A0", false, false}, {"PIN_5", false, false},  {"IOBANK_3A", false, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pin);
    EXPECT_EQ(h29->pinLocation(c.pin).has_value(), c.inH29);
    EXPECT_EQ(f35->pinLocation(c.pin).has_value(), c.inF35);
  }
  EXPECT_EQ(h29->pinLocation("pin_ab15")->name(), "PIN_AB15");

  // Automatic locations are distinct balls of the package.
  std::set<std::string> seen;
  for (int i = 0; i < 28 * 28; ++i) {
    const PinLocation l = h29->autoLocation(i);
    ASSERT_TRUE(h29->pinLocation(l.name())) << l.name();
    seen.insert(l.name());
  }
  EXPECT_EQ(seen.size(), 28u * 28u);
}

TEST(Version, ReadmeFirstLines) {
  struct Case {
    const char* line;
    const char* version;
    bool modern;
  } cases[] = {{"Version 13.1 Build 162 10/23/2013 SJ Full Version", "13.1", true},
               {"Version 9.1 Build 222 10/21/2009 SJ Full Version", "9.1", false},
               {"Quartus II Version 10.0sp1 Build 262", "10.0sp1", true},
               {"Release 9.0 Build 132", "9.0", false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    const auto v = ToolVersion::parse(c.line);
    ASSERT_TRUE(v);
    EXPECT_EQ(v->version, c.version);
    EXPECT_EQ(v->modernEra(), c.modern);
    EXPECT_EQ(ToolVersion::parse(v->fullText())->fullText(), v->fullText());
  }
  EXPECT_FALSE(ToolVersion::parse("Quartus II readme"));
  EXPECT_DOUBLE_EQ(versionNumber("10.0sp1"), 10.01);
}

TEST(Bitstream, UserCodesAndRunLengthCoding) {
  EXPECT_EQ(parseUserCode("1234ABCD"), 0x1234ABCDu);
  EXPECT_EQ(parseUserCode("0xff"), 0xFFu);
  EXPECT_EQ(parseUserCode("$0001"), 1u);
  EXPECT_EQ(parseUserCode("abch"), 0xABCu);
  EXPECT_FALSE(parseUserCode("123456789"));
  EXPECT_FALSE(parseUserCode("12G4"));
  EXPECT_FALSE(parseUserCode(""));

  std::vector<uint8_t> data;
  data.insert(data.end(), 1000, 0);                                           // a long run
  for (int i = 0; i < 300; ++i) data.push_back(static_cast<uint8_t>(i * 7));  // literals past 128
  data.insert(data.end(), {5, 5, 6, 6, 6, 7});                                // runs of two and three
  const std::vector<uint8_t> coded = compressData(data);
  EXPECT_LT(coded.size(), data.size() / 2);
  EXPECT_EQ(decompressData(coded), data);
  EXPECT_EQ(decompressData(compressData({})), std::vector<uint8_t>{});
  const std::vector<uint8_t> truncated(coded.begin(), coded.end() - 1);
  EXPECT_FALSE(decompressData(truncated));
}

}  // namespace
}  // namespace zquartus
