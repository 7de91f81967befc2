// Reading option files: elements and attributes in any case, kinds, defaults with candidate groups,
// filters, alternatives, and the faulty files.
#include <gtest/gtest.h>

#include <filesystem>

#include "options_fakes.h"
#include "zolta/flow/fpga_options.h"
#include "zolta/host/errors.h"

namespace zolta {
namespace {

using Lines = std::vector<std::string>;

constexpr const char* kOptionFile = R"(<?xml version="1.0"?>
<Options>
  <COMMENT> # </COMMENT>
  <Command_FileName>.ReplaceProjectName.tcl</Command_FileName>
  <Script Pos="HEAD">-t x.tcl</Script>
  <script pos="tail">--tail</script>
  <command pos="head">head line</command>
  <command pos="Tail"><![CDATA[tail <line>]]></command>
  <command pos="middle">ignored</command>
  <unknown_element>ignored</unknown_element>
  <Section ID="Fitter">
    <Option Id="Seed">
      <Kind>Integer</Kind>
      <FLAG>seed</FLAG>
      <default_value> 3 </default_value>
      <min_value>1</min_value>
      <max_value>99</max_value>
      <ToolTip>Fitter seed.</ToolTip>
      <command_default>set_global_assignment -name SEED $seed.Value</command_default>
      <something_new>ignored</something_new>
    </Option>
    <option id="Fast Mode">
      <flag>fast</flag>
      <advanced/>
      <values>OFF, ON</values>
      <defaults>True</defaults>
      <device_family>!Cyclone</device_family>
      <device_family>!MAX</device_family>
      <device_base_name>EP2AGZ225F,EP2AGZ300F</device_base_name>
      <device_package>FF35</device_package>
      <device_speedgrade>3</device_speedgrade>
      <tool_version>9.1, 13.1</tool_version>
      <option_if>Seed != 1</option_if>
      <option_if>Other=2</option_if>
      <script id="ON">--fast</script>
      <script_default id="OFF">--slow</script_default>
      <command ID="on">fast on</command>
    </option>
    <option id="Mode">
      <kind>wibble</kind>
      <valueonly/>
      <default_value>abc</default_value>
    </option>
  </Section>
  <section id="Choices">
    <option id="Technique">
      <kind>ENUM</kind>
      <values>"Speed, fast",Area,Balanced</values>
      <default_value>Area</default_value>
    </option>
    <option id="Clock">
      <kind>real</kind>
      <default_value>
        <cyclone><device_family>Cyclone</device_family><default_value>50.0</default_value></cyclone>
        <arria><device_family>Arria2GZ</device_family><tool_version>13.1</tool_version><default_value>125.5</default_value></arria>
        <fallback><default_value>100</default_value></fallback>
      </default_value>
    </option>
    <option id="Name">
      <kind>string</kind>
      <default_value>keep</default_value>
      <default_value>
        <old><tool_version>5.0</tool_version><default_value>old</default_value></old>
      </default_value>
    </option>
  </section>
</Options>
)";

class OptionFile : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetHostCaches();
    manager_ = new fake::FakeDeviceManager(log_);
    manager_->addDevice("EP2AGZ225FF35C3", "Arria2GZ", "EP2AGZ225F", "FF35", "3");
    manager_->addDevice("EP1C3T100C8", "Cyclone", "EP1C3", "T100", "8");
    SetHostDeviceManager(IDeviceManager(manager_->dispatchPtr()));
  }
  void TearDown() override { ResetHostCaches(); }

  fake::TempDir dir_;
  fake::CallLog log_;
  fake::FakeDeviceManager* manager_ = nullptr;
};

TEST_F(OptionFile, ReadsTheWholeFormatIgnoringCase) {
  const std::string file = dir_.write("DefaultOptions.xml", kOptionFile);
  TFPGAOptions set("EP2AGZ225FF35C3", "13.1");
  set.AddStringOption("Old", "Leftover", "l", "");
  set.CustomUser_Cmd = "from before";
  set.LoadOptions(file);

  EXPECT_EQ(set.Comment_Identifier, "#");
  EXPECT_EQ(set.Commands_Filename, ".ReplaceProjectName.tcl");
  EXPECT_EQ(set.Script_Head, "-t x.tcl");
  EXPECT_EQ(set.Script_Tail, "--tail");
  EXPECT_EQ(set.Commands_Head, "head line");
  EXPECT_EQ(set.Commands_Tail, "tail <line>");
  EXPECT_EQ(set.CustomUser_Cmd, "");  // loading clears the set first
  ASSERT_EQ(set.GetOptionCount(), 6);
  EXPECT_EQ(set.GetOption("Leftover"), nullptr);

  TFPGAOption_Abstract& seed = *set.GetOptionAt(0);
  EXPECT_EQ(seed.Kind, eFPGAOption_Integer);
  EXPECT_EQ(seed.Section, "Fitter");
  EXPECT_EQ(seed.Name, "Seed");
  EXPECT_EQ(seed.Flag, "seed");
  EXPECT_EQ(seed.GetValue(), "3");
  EXPECT_EQ(seed.DefaultValue, "3");
  EXPECT_EQ(seed.TemporaryValue, "3");
  EXPECT_EQ(seed.GetMinValue(), "1");
  EXPECT_EQ(seed.GetMaxValue(), "99");
  EXPECT_EQ(seed.ToolTip, "Fitter seed.");
  ASSERT_EQ(seed.Commands.size(), 1u);
  EXPECT_TRUE(seed.Commands[0].Default);
  EXPECT_EQ(seed.Commands[0].Value, "set_global_assignment -name SEED $seed.Value");
  EXPECT_EQ(seed.Position, 2);  // the leftover option had number 1

  // Without <kind> the option is a Boolean.
  auto& fast = dynamic_cast<TFPGAOption_Boolean&>(*set.GetOption("fast mode"));
  EXPECT_EQ(fast.Kind, eFPGAOption_Boolean);
  EXPECT_TRUE(fast.Advanced);
  EXPECT_FALSE(fast.ValueOnly);
  EXPECT_EQ(fast.BooleanValues, (Lines{"OFF", "ON"}));
  EXPECT_EQ(fast.GetValue(), "ON");
  EXPECT_EQ(fast.TemporaryValue, "ON");
  EXPECT_EQ(fast.ValidFamilies, (Lines{"!Cyclone", "!MAX"}));
  EXPECT_EQ(fast.ValidBaseDevices, (Lines{"EP2AGZ225F", "EP2AGZ300F"}));
  EXPECT_EQ(fast.ValidPackages, Lines{"FF35"});
  EXPECT_EQ(fast.ValidSpeedGrades, Lines{"3"});
  EXPECT_EQ(fast.ValidTools, (Lines{"9.1", "13.1"}));
  EXPECT_EQ(fast.Conditions, (Lines{"Seed != 1", "Other=2"}));
  ASSERT_EQ(fast.Scripts.size(), 2u);
  EXPECT_EQ(fast.Scripts[1].Id, "OFF");
  EXPECT_TRUE(fast.Scripts[1].Default);
  ASSERT_EQ(fast.Commands.size(), 1u);
  EXPECT_EQ(fast.Commands[0].Id, "on");

  // An unknown kind is a string.
  TFPGAOption_Abstract& mode = *set.GetOption("Mode");
  EXPECT_EQ(mode.Kind, eFPGAOption_String);
  EXPECT_TRUE(mode.ValueOnly);

  auto& technique = dynamic_cast<TFPGAOption_Enum&>(*set.GetOption("Technique"));
  EXPECT_EQ(technique.Section, "Choices");
  EXPECT_EQ(technique.DisplayValues, (Lines{"Speed, fast", "Area", "Balanced"}));
  EXPECT_EQ(technique.GetValue(), "Area");

  // Candidate groups: the first whose filters apply to the set's device and tool.
  EXPECT_EQ(set.GetOption("Clock")->Kind, eFPGAOption_Real);
  EXPECT_EQ(set.GetOption("Clock")->GetValue(), "125.5");
  // No group applies: the default stays what the element before gave.
  EXPECT_EQ(set.GetOption("Name")->GetValue(), "keep");
}

TEST_F(OptionFile, DefaultGroupsFollowTheDeviceAndToolOfTheSet) {
  const std::string file = dir_.write("o.xml", kOptionFile);
  struct Case {
    const char* device;
    const char* tool;
    const char* clock;
  } cases[] = {
      {"EP1C3T100C8", "13.1", "50.0"},
      {"EP2AGZ225FF35C3", "9.1", "100"},  // the Arria group wants 13.1; the group after it has no filter
      {"UNKNOWN", "13.1", "50.0"},        // an unknown device passes the family filter
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.device) + " " + c.tool);
    TFPGAOptions set(c.device, c.tool);
    set.LoadOptions(file);
    EXPECT_EQ(set.GetOption("Clock")->GetValue(), c.clock);
  }
}

TEST_F(OptionFile, LinesOfALoadedFile) {
  const std::string file = dir_.write("o.xml", kOptionFile);
  TFPGAOptions set("EP2AGZ225FF35C3", "13.1");
  set.LoadOptions(file);
  Lines lines;
  ASSERT_TRUE(set.GetLines(true, lines, "EP2AGZ225FF35C3", "13.1"));
  // Fast mode, not explicit: its command alternative has no default, so it gives no line.
  EXPECT_EQ(lines, (Lines{"head line", "set_global_assignment -name SEED 3", "tail <line>"}));
  ASSERT_TRUE(set.GetLines(false, lines, "EP2AGZ225FF35C3", "13.1"));
  EXPECT_EQ(lines, (Lines{"-t x.tcl", "--slow", "--tail"}));
  // Fast mode does not apply to a Cyclone device.
  ASSERT_TRUE(set.GetLines(false, lines, "EP1C3T100C8", "13.1"));
  EXPECT_EQ(lines, (Lines{"-t x.tcl", "--tail"}));
}

TEST_F(OptionFile, MissingFileLeavesTheSetUnchangedAndNamesAreFoundIgnoringCase) {
  TFPGAOptions set("", "");
  set.AddStringOption("S", "Kept", "k", "v");
  set.Script_Head = "kept";
  set.LoadOptions(dir_.path() + "/does-not-exist.xml");
  set.LoadOptions("");
  EXPECT_EQ(set.GetOptionCount(), 1);
  EXPECT_EQ(set.Script_Head, "kept");

  dir_.write("DefaultOptions_Quartus.XML", kOptionFile);
  set.LoadOptions(dir_.path() + "/defaultoptions_quartus.xml");
  EXPECT_EQ(set.GetOptionCount(), 6);
}

TEST_F(OptionFile, MalformedFilesRaiseAnErrorNamingTheFileAndLeaveTheSetUnchanged) {
  struct Case {
    const char* name;
    const char* content;
    const char* expected;  // part of the message
  } cases[] = {
      {"text.xml", "this is not XML at all", "line 1, column 23: No document element found"},
      {"empty.xml", "", "No document element"},
      {"unclosed.xml", "<options>\n  <section id=\"a\">\n    <option id=\"b\">\n</options>\n", "line 4, column"},
      {"badattr.xml", "<options>\n<section id=a/>\n</options>", "line 2, column"},
      {"noid.xml", "<options>\n<section id=\"S\">\n\n<option><flag>x</flag></option></section></options>",
       "line 4: an option of section 'S' has no id"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string file = dir_.write(c.name, c.content);
    TFPGAOptions set("", "");
    set.AddStringOption("S", "Kept", "k", "v");
    set.Commands_Head = "kept";
    try {
      set.LoadOptions(file);
      ADD_FAILURE() << "no error";
    } catch (const EOptionFileError& e) {
      EXPECT_EQ(e.fileName(), file);
      EXPECT_NE(std::string(e.what()).find(file), std::string::npos) << e.what();
      EXPECT_NE(std::string(e.what()).find(c.expected), std::string::npos) << e.what();
    }
    EXPECT_EQ(set.GetOptionCount(), 1);
    EXPECT_EQ(set.Commands_Head, "kept");
  }
}

TEST_F(OptionFile, UnreadableFileRaisesAFileError) {
  if (geteuid() == 0) GTEST_SKIP() << "permissions do not stop the superuser";
  const std::string file = dir_.write("locked.xml", kOptionFile);
  std::filesystem::permissions(file, std::filesystem::perms::none);
  TFPGAOptions set("", "");
  EXPECT_THROW(set.LoadOptions(file), EFileAccessError);
}

}  // namespace
}  // namespace zolta
