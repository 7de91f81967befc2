// The option model: values, explicit values, GetValueFor, filters, GetLines, parameters and the
// project overrides.
#include <gtest/gtest.h>

#include "options_fakes.h"
#include "zolta/flow/fpga_options.h"

namespace zolta {
namespace {

using Lines = std::vector<std::string>;

// ---- values ------------------------------------------------------------------------------------------

TEST(FPGAOptionValue, TemporaryStateDecidesTheValueAndWhetherItIsExplicit) {
  TFPGAOptions set("", "");
  TFPGAOption_Abstract& o = *set.AddStringOption("S", "Seed", "seed", "1");
  EXPECT_EQ(o.GetValue(), "1");
  EXPECT_FALSE(o.HasExplicitValue());

  o.WasLoaded = true;  // a stored project value, dialog not involved
  EXPECT_TRUE(o.HasExplicitValue());

  o.TemporaryActive = true;  // the dialog took over with "Unspecified": the default applies
  o.TemporaryUnspecified = true;
  o.TemporaryValue = "Unspecified";
  o.SetDefaultValue("7");
  EXPECT_EQ(o.GetValue(), "7");
  EXPECT_FALSE(o.HasExplicitValue());

  o.SetValue("9");  // a value set while the dialog holds the option becomes its edited value
  EXPECT_FALSE(o.TemporaryUnspecified);
  EXPECT_EQ(o.TemporaryValue, "9");
  EXPECT_EQ(o.GetValue(), "9");
  EXPECT_TRUE(o.HasExplicitValue());

  o.TemporaryActive = false;
  o.WasLoaded = false;
  EXPECT_EQ(o.GetValue(), "9");
  EXPECT_FALSE(o.HasExplicitValue());
}

TEST(FPGAOptionValue, BooleanValuesMapTheValueAndKeepItsTruth) {
  TFPGAOptions set("", "");
  TFPGAOption_Boolean& b = *set.AddBooleanOption("S", "Compress", "c", "True", "OFF,ON");
  EXPECT_EQ(b.GetValue(), "ON");
  EXPECT_TRUE(b.IsTrue());
  b.SetValue("false");
  EXPECT_EQ(b.GetValue(), "OFF");
  EXPECT_FALSE(b.IsTrue());
  // The reported text itself, as stored in a project or a parameter string, reads back as true.
  b.SetValue("on");
  EXPECT_EQ(b.GetValue(), "ON");
  EXPECT_TRUE(b.IsTrue());
  b.SetValue("garbage");
  EXPECT_EQ(b.GetValue(), "OFF");

  TFPGAOption_Boolean& plain = *set.AddBooleanOption("S", "Plain", "p", "tRUE", "");
  EXPECT_EQ(plain.GetValue(), "tRUE");
  EXPECT_TRUE(plain.IsTrue());
  EXPECT_EQ(plain.GetValues(), "");
}

TEST(FPGAOptionValue, CheckValueByKind) {
  TFPGAOptions set("", "");
  auto* str = set.AddStringOption("S", "s", "s", "");
  auto* en = set.AddEnumOption("S", "e", "e", "", "Speed,Area,\"With, comma\"");
  auto* bo = set.AddBooleanOption("S", "b", "b", "", "");
  auto* in = set.AddIntegerOption("S", "i", "i", "", "1", "10");
  auto* re = set.AddRealOption("S", "r", "r", "", "", "");
  struct Case {
    TFPGAOption_Abstract* option;
    const char* value;
    bool ok;
  } cases[] = {
      {str, "anything at all", true}, {en, "area", true},         {en, "With, comma", true},
      {en, "Balanced", false},        {bo, "TRUE", true},         {bo, "false", true},
      {bo, "yes", false},             {in, "", true},             {in, "-42", true},
      {in, "+7", true},               {in, "2147483647", true},   {in, "-2147483648", true},
      {in, "2147483648", false},      {in, "1.5", false},         {in, "0x10", false},
      {in, "-", false},               {re, "", true},             {re, "3.25", true},
      {re, "-1e3", true},             {re, "3,25", false},        {re, "abc", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.option->Name + " <- " + c.value);
    EXPECT_EQ(c.option->CheckValue(c.value), c.ok);
  }
  EXPECT_EQ(in->GetMinValue(), "1");
  EXPECT_EQ(in->GetMaxValue(), "10");
  EXPECT_EQ(re->GetMinValue(), "0");  // no bounds given
  EXPECT_EQ(en->GetValues(), "Speed,Area,\"With, comma\"");
  EXPECT_EQ(str->GetValues(), "");
}

TEST(FPGAOptionValue, ReplicateAndCopyToKeepTheClassAndItsData) {
  TFPGAOptions set("", "");
  TFPGAOption_Enum& e = *set.AddEnumOption("Sec", "Effort", "effort", "Fast", "Fast,Slow");
  e.SetValue("Slow");
  e.ValidFamilies = {"!Cyclone"};
  e.Commands.emplace_back("Slow", "effort slow", false);
  e.Conditions = {"A=B"};

  auto replica = e.Replicate();
  ASSERT_TRUE(replica);
  EXPECT_EQ(replica->Kind, eFPGAOption_Enum);
  EXPECT_EQ(replica->Section, "Sec");
  EXPECT_EQ(replica->Flag, "effort");
  EXPECT_EQ(replica->GetValue(), "Slow");
  EXPECT_EQ(replica->DefaultValue, "Slow");  // the current value is the replica's creation value
  EXPECT_TRUE(replica->ValidFamilies.empty());
  EXPECT_TRUE(replica->Commands.empty());

  e.CopyTo(*replica);
  EXPECT_EQ(replica->DefaultValue, "Fast");
  EXPECT_EQ(replica->ValidFamilies, Lines{"!Cyclone"});
  EXPECT_EQ(replica->Conditions, Lines{"A=B"});
  ASSERT_EQ(replica->Commands.size(), 1u);
  EXPECT_EQ(replica->Commands[0].Value, "effort slow");
  EXPECT_EQ(static_cast<TFPGAOption_Enum&>(*replica).DisplayValues, (Lines{"Fast", "Slow"}));
  EXPECT_EQ(replica->Position, e.Position);

  TFPGAOption_Integer& i = *set.AddIntegerOption("Sec", "Seed", "seed", "1", "", "");
  i.SetMinValue(-5);
  i.SetMaxValue(99);
  TFPGAOption_String target("x", "y", "z", "w");
  i.CopyTo(target);  // another class: the common fields only
  EXPECT_EQ(target.Name, "Seed");
  EXPECT_EQ(target.Kind, eFPGAOption_String);
  auto number = i.Replicate();
  i.CopyTo(*number);
  EXPECT_EQ(number->GetMinValue(), "-5");
  EXPECT_EQ(number->GetMaxValue(), "99");
}

// ---- GetValueFor -----------------------------------------------------------------------------------------

TEST(FPGAOptionValueFor, FlagsWithoutAlternatives) {
  TFPGAOptions set("", "");
  TFPGAOption_Boolean& x = *set.AddBooleanOption("S", "X", "x", "True", "");
  EXPECT_EQ(x.GetValueFor(false), "-x");  // default True, nothing explicit
  x.WasLoaded = true;
  x.SetValue("False");
  EXPECT_EQ(x.GetValueFor(false), "");  // explicit False
  x.SetValue("TRUE");
  EXPECT_EQ(x.GetValueFor(false), "-x");
  x.WasLoaded = false;
  x.SetDefaultValue("False");
  EXPECT_EQ(x.GetValueFor(false), "");  // no explicit value: the default decides, not the value

  TFPGAOption_String& seed = *set.AddStringOption("S", "Seed", "seed", "");
  seed.SetValue("3");
  EXPECT_EQ(seed.GetValueFor(false), "");  // not explicit
  seed.WasLoaded = true;
  EXPECT_EQ(seed.GetValueFor(false), "-seed 3");
  EXPECT_EQ(seed.GetValueFor(true), "");  // command lines come only from alternatives
  seed.SetValue("");
  EXPECT_EQ(seed.GetValueFor(false), "");

  TFPGAOption_String& noFlag = *set.AddStringOption("S", "Note", "", "text");
  noFlag.WasLoaded = true;
  EXPECT_EQ(noFlag.GetValueFor(false), "");
}

TEST(FPGAOptionValueFor, AlternativesChooseByExplicitValueOrDefault) {
  TFPGAOptions set("", "");
  TFPGAOption_String& o = *set.AddStringOption("S", "Mode", "mode", "A");
  o.Scripts = {{"A", "script A", false}, {"B", "script B", false}, {"", "script default", true}};
  EXPECT_EQ(o.GetValueFor(false), "script default");
  o.WasLoaded = true;
  o.SetValue("b");
  EXPECT_EQ(o.GetValueFor(false), "script B");
  o.SetValue("C");  // no alternative of its own: the default without id
  EXPECT_EQ(o.GetValueFor(false), "script default");
  EXPECT_EQ(o.GetValueFor(true), "");  // no command alternatives

  // Alternatives without id and default are appended with an explicit value; the last default wins
  // without one.
  o.Commands = {{"", "always;", false}, {"C", "c;", false}, {"X", "first default", true},
                {"Y", "last default", true}};
  EXPECT_EQ(o.GetValueFor(true), "always;c;");
  o.WasLoaded = false;
  EXPECT_EQ(o.GetValueFor(true), "last default");
  EXPECT_TRUE(o.HasDefaultCommand());
  EXPECT_TRUE(o.HasDefaultScript());
}

// ---- filters and applicability -------------------------------------------------------------------------------

TEST(FPGAOptionFilters, DeviceFilterLists) {
  struct Case {
    Lines list;
    const char* name;
    bool passes;
  } cases[] = {
      {{}, "Cyclone", true},
      {{"!Cyclone"}, "Stratix", true},
      {{"!Cyclone"}, "cyclone", false},
      {{"Stratix", "!Cyclone"}, "Arria", false},
      {{"Stratix", "!Cyclone"}, "STRATIX", true},
      {{"!Stratix", "Stratix"}, "Stratix", false},  // the first equal entry decides
      {{"Stratix", "!Stratix"}, "Stratix", true},
      {{"!A", "!B"}, "C", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.list) + " " + c.name);
    EXPECT_EQ(FPGAFilterPasses(c.list, c.name), c.passes);
  }
}

TEST(FPGAOptionFilters, ToolFilterLists) {
  struct Case {
    Lines list;
    const char* tool;
    bool passes;
  } cases[] = {
      {{}, "9.1", true},           {{"9.1"}, "9.1", true},         {{"9.1"}, "13.1", false},
      {{"!9.1"}, "9.1", false},    {{"!9.1"}, "13.1", true},       {{"9.1SP1"}, "9.1sp1", true},
      {{"9.1", "!9.1"}, "9.1", false},  // a negation wins over a listing
      {{"9.1", "!10.0"}, "13.1", true},  // some "!" anywhere lets unlisted versions pass
      {{"9.1"}, "", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.list) + " " + c.tool);
    EXPECT_EQ(FPGAToolFilterPasses(c.list, c.tool), c.passes);
  }
}

class WithDeviceManager : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetHostCaches();
    manager_ = new fake::FakeDeviceManager(log_);
    manager_->addDevice("EP2AGZ225FF35C3", "Arria2GZ", "EP2AGZ225F", "FF35", "3");
    manager_->addDevice("EP1C3T100C8", "Cyclone", "EP1C3", "T100", "8");
    SetHostDeviceManager(IDeviceManager(manager_->dispatchPtr()));
  }
  void TearDown() override { ResetHostCaches(); }

  fake::CallLog log_;
  fake::FakeDeviceManager* manager_ = nullptr;
};

TEST_F(WithDeviceManager, ApplicabilityUsesTheDevicesNamesFromTheHost) {
  TFPGAOptions set("", "");
  TFPGAOption_Abstract& o = *set.AddBooleanOption("S", "O", "o", "True", "");
  o.ValidFamilies = {"!Cyclone"};
  o.ValidPackages = {"FF35", "F40"};
  o.ValidSpeedGrades = {"3", "4"};
  o.ValidBaseDevices = {"!EP2AGZ300F"};
  o.InsertTool("9.1");
  o.InsertTool("9.1");  // once only
  o.InsertTool("13.1");
  EXPECT_EQ(o.ValidTools, (Lines{"9.1", "13.1"}));

  EXPECT_TRUE(set.OptionApplies(o, "EP2AGZ225FF35C3", "13.1"));
  EXPECT_FALSE(set.OptionApplies(o, "EP2AGZ225FF35C3", "10.0"));
  EXPECT_FALSE(set.OptionApplies(o, "EP1C3T100C8", "9.1"));  // family, package and speed grade fail
  EXPECT_TRUE(set.OptionApplies(o, "UNKNOWN-DEVICE", "9.1"));  // unknown devices pass every device filter
  EXPECT_EQ(log_.calls, (Lines{"dm.504002(EP2AGZ225FF35C3)", "dm.504002(EP2AGZ225FF35C3)",
                               "dm.504002(EP1C3T100C8)", "dm.504002(UNKNOWN-DEVICE)"}));

  ResetHostCaches();  // no device manager at all: device filters pass
  EXPECT_TRUE(set.OptionApplies(o, "EP1C3T100C8", "9.1"));
}

// ---- GetLines --------------------------------------------------------------------------------------------

TEST_F(WithDeviceManager, GetLinesJoinsHeadOptionsAndTailForTheDevice) {
  TFPGAOptions set("EP2AGZ225FF35C3", "9.1");
  set.Commands_Head = "\n  head 1\r\nhead 2\n";
  set.Commands_Tail = "tail $seed.Value\n";
  set.Script_Head = "-t script.tcl";
  TFPGAOption_Integer& seed = *set.AddIntegerOption("F", "Seed", "seed", "1", "1", "100");
  seed.Commands = {{"", "seed $seed.Value", true}};
  TFPGAOption_Boolean& cyc = *set.AddBooleanOption("F", "Cyclone only", "cyc", "True", "");
  cyc.ValidFamilies = {"Cyclone"};
  cyc.Commands = {{"", "cyclone line", true}};
  TFPGAOption_Boolean& hidden = *set.AddBooleanOption("F", "Value only", "vo", "True", "");
  hidden.ValueOnly = true;
  hidden.Commands = {{"", "never a line", true}};
  set.AddBooleanOption("F", "Switch", "sw", "True", "");  // script line "-sw"; no command line

  Lines lines{"stale"};
  ASSERT_TRUE(set.GetLines(true, lines, "EP2AGZ225FF35C3", "9.1"));
  EXPECT_EQ(lines, (Lines{"  head 1", "head 2", "seed 1", "tail 1"}));

  ASSERT_TRUE(set.GetLines(false, lines, "EP2AGZ225FF35C3", "9.1"));
  EXPECT_EQ(lines, (Lines{"-t script.tcl", "-sw"}));

  ASSERT_TRUE(set.GetLines(true, lines, "EP1C3T100C8", "9.1"));
  EXPECT_EQ(lines, (Lines{"  head 1", "head 2", "seed 1", "cyclone line", "tail 1"}));

  TFPGAOptions empty("", "");
  lines = {"stale"};
  EXPECT_FALSE(empty.GetLines(true, lines, "", ""));
  EXPECT_TRUE(lines.empty());
}

TEST(FPGAOptionLines, PlaceholdersResolveAcrossPassesAndStopAfterSixteen) {
  TFPGAOptions set("", "");
  set.Script_Head = "a=$A.value b=$B.4Value self=$S.Value";
  TFPGAOption_String& a = *set.AddStringOption("P", "A", "A", "[$b.Value]");
  a.ValueOnly = true;
  TFPGAOption_String& b = *set.AddStringOption("P", "B", "B", "3");
  b.ValueOnly = true;
  b.WasLoaded = true;  // explicit: GetValueFor gives "-B 3"
  TFPGAOption_String& s = *set.AddStringOption("P", "S", "S", "x$S.Value");
  s.ValueOnly = true;

  Lines lines;
  ASSERT_TRUE(set.GetLines(false, lines, "", ""));
  ASSERT_EQ(lines.size(), 1u);
  // A's value brings B's placeholder, resolved in the same or the next pass; S's value brings itself
  // back every pass, so it stops after sixteen passes.
  EXPECT_EQ(lines[0], "a=[3] b=-B 3 self=" + std::string(16, 'x') + "$S.Value");
}

TEST(FPGAOptionLines, CommentPassKeepsCommandsAndDropsCommentAndEmptyLines) {
  TFPGAOptions set("", "");
  set.Comment_Identifier = "#";
  set.Commands_Head = "project_open top   # open it\n# only a comment\n   \n\tindented line\n  x # y # z";
  Lines lines;
  ASSERT_TRUE(set.GetLines(true, lines, "", ""));
  EXPECT_EQ(lines, (Lines{"project_open top", "\tindented line", "x"}));

  set.Comment_Identifier.clear();  // without identifier "#" is ordinary text; blank lines still go
  ASSERT_TRUE(set.GetLines(true, lines, "", ""));
  EXPECT_EQ(lines, (Lines{"project_open top   # open it", "# only a comment", "\tindented line", "  x # y # z"}));

  set.Comment_Identifier = "#";
  set.Commands_Head = "# nothing but comments";
  EXPECT_FALSE(set.GetLines(true, lines, "", ""));
}

// ---- the set -------------------------------------------------------------------------------------------------

TEST(FPGAOptionSet, PositionsLookupParametersAndClearing) {
  TFPGAOptions set("DEV", "9.1");
  EXPECT_EQ(set.Device(), "DEV");
  EXPECT_EQ(set.Tool(), "9.1");
  auto* a = set.AddStringOption("S", "Alpha", "a", "1");
  auto* b = set.AddBooleanOption("S", "Beta", "b", "False", "");
  set.Sorted = false;
  auto* c = set.AddEnumOption("S", "Gamma", "g", "x", "x,y");
  set.Sorted = true;
  EXPECT_EQ(a->Position, 1);
  EXPECT_EQ(b->Position, 2);
  EXPECT_EQ(c->Position, -1);
  EXPECT_EQ(set.GetOption("BETA"), b);
  EXPECT_EQ(set.GetOption("Delta"), nullptr);
  EXPECT_EQ(set.GetOptionAt(2), c);
  EXPECT_THROW(set.GetOptionAt(3), std::out_of_range);
  EXPECT_THROW(set.GetOptionAt(-1), std::out_of_range);

  EXPECT_EQ(set.GetParameters(), "|Alpha=1|Beta=False|Gamma=x");
  set.SetParameters("gamma = y|Beta=True|Unknown=1|Alpha");
  EXPECT_EQ(set.GetParameters(), "|Alpha=1|Beta=True|Gamma=y");
  set.SetDefaults();
  EXPECT_EQ(set.GetParameters(), "|Alpha=1|Beta=False|Gamma=x");

  set.Script_Head = set.Script_Tail = set.Commands_Head = set.Commands_Tail = "x";
  set.Comment_Identifier = set.Commands_Filename = set.CustomUser_Cmd = set.CustomUser_Scr = "x";
  set.ClearOptions();
  EXPECT_EQ(set.GetOptionCount(), 0);
  for (const std::string* s : {&set.Script_Head, &set.Script_Tail, &set.Commands_Head, &set.Commands_Tail,
                               &set.Comment_Identifier, &set.Commands_Filename, &set.CustomUser_Cmd,
                               &set.CustomUser_Scr})
    EXPECT_EQ(*s, "");
  EXPECT_EQ(set.AddStringOption("S", "Next", "n", "")->Position, 3);  // numbering goes on
  EXPECT_THROW(set.AddOption(nullptr), std::invalid_argument);
}

// ---- texts -------------------------------------------------------------------------------------------------------

TEST(FPGAOptionText, EscapingRoundTrips) {
  struct Case {
    std::string plain, escaped;
  } cases[] = {
      {"", ""},
      {"plain text", "plain text"},
      {"line 1\r\nline 2", "line 1#0D#0Aline 2"},
      {"a#b\tc", "a#23b#09c"},
      {std::string("nul\0end", 7), "nul#00end"},
      {"\xC3\xA9t\xC3\xA9", "\xC3\xA9t\xC3\xA9"},  // non-ASCII text passes unchanged
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.escaped);
    EXPECT_EQ(EscapeOptionText(c.plain), c.escaped);
    EXPECT_EQ(UnescapeOptionText(c.escaped), c.plain);
  }
  // "#" without two hexadecimal digits stays; either case of digits reads.
  EXPECT_EQ(UnescapeOptionText("#zz #4 # #0a#"), "#zz #4 # \n#");
}

TEST(FPGAOptionText, CommaTextAndLines) {
  EXPECT_EQ(SplitCommaText(" a , b,,\"c, d\" ,\"say \"\"hi\"\"\",  "), (Lines{"a", "b", "c, d", "say \"hi\""}));
  EXPECT_EQ(SplitCommaText("AS INPUT TRI-STATED,AUTO FIT"), (Lines{"AS INPUT TRI-STATED", "AUTO FIT"}));
  EXPECT_TRUE(SplitCommaText("").empty());
  const Lines items{"plain", "with, comma", "\"quoted\"", " padded ", ""};
  EXPECT_EQ(SplitCommaText(JoinCommaText(items)), items);

  EXPECT_EQ(SplitTextLines("a\r\nb\rc\nd"), (Lines{"a", "b", "c", "d"}));
  EXPECT_EQ(SplitTextLines("a\n\nb\n"), (Lines{"a", "", "b"}));
  EXPECT_EQ(SplitTextLines("\n"), (Lines{""}));
  EXPECT_TRUE(SplitTextLines("").empty());
  EXPECT_EQ(JoinTextLines({"a", "b"}), "a\nb\n");
}

// ---- project overrides ------------------------------------------------------------------------------------------

class ProjectOverrides : public ::testing::Test {
 protected:
  ProjectOverrides() {
    storage_ = new fake::FakeOptionsStorage(log_);
    storageRef_ = storage_->dispatchPtr();
    project_ = IProject((new fake::FakeProject(storageRef_))->dispatchPtr());
    set_.AddStringOption("Fitter", "Seed", "seed", "1");
    set_.AddBooleanOption("Fitter", "Compress", "compress", "False", "OFF,ON");
    set_.AddEnumOption("Fitter", "Effort", "effort", "AUTO", "AUTO,FAST");
  }
  std::map<std::string, std::string>& stored() { return storage_->sections["Place and RouteQuartus_Fit"]; }
  // The dialog's result: the option holds a specified value.
  void userSets(const char* name, const char* value) {
    TFPGAOption_Abstract* o = set_.GetOption(name);
    o->TemporaryActive = true;
    o->TemporaryUnspecified = false;
    o->SetValue(value);
  }

  fake::CallLog log_;
  fake::FakeOptionsStorage* storage_;
  DispPtr storageRef_;
  IProject project_;
  TFPGAOptions set_{"EP2AGZ225FF35C3", "13.1"};
  const std::string section_ = "Place and RouteQuartus_Fit";
};

TEST_F(ProjectOverrides, SaveWritesUserValuesRemovesOthersAndEscapesCustomTexts) {
  userSets("Seed", "3");
  userSets("Compress", "True");
  set_.GetOption("Effort")->TemporaryActive = true;
  set_.GetOption("Effort")->TemporaryUnspecified = true;  // "Unspecified" in the dialog
  set_.AdvancedMode = true;
  set_.CustomUser_Cmd = "project_open x\r\nexecute #1";
  set_.SaveToProject(project_, section_);

  const std::string s = section_;
  EXPECT_EQ(log_.calls, (Lines{"storage.378(" + s + ",Seed,3)", "storage.378(" + s + ",Compress,ON)",
                               "storage.381(" + s + ",Effort)", "storage.381(" + s + ",AdvancedOptionsEnabled)",
                               "storage.378(" + s + ",AdvancedOptionsEnabled,True)",
                               "storage.381(" + s + ",CustomOptionsUser_Cmd)",
                               "storage.378(" + s + ",CustomOptionsUser_Cmd,project_open x#0D#0Aexecute #231)",
                               "storage.381(" + s + ",CustomOptionsUser_Scr)",
                               "storage.378(" + s + ",CustomOptionsUser_Scr,)"}));

  TFPGAOptions other("EP2AGZ225FF35C3", "13.1");
  other.AddStringOption("Fitter", "Seed", "seed", "1");
  other.AddBooleanOption("Fitter", "Compress", "compress", "False", "OFF,ON");
  other.AddEnumOption("Fitter", "Effort", "effort", "AUTO", "AUTO,FAST");
  other.LoadFromProject(project_, section_);
  EXPECT_EQ(other.GetOption("Seed")->GetValue(), "3");
  EXPECT_TRUE(other.GetOption("Seed")->WasLoaded);
  EXPECT_EQ(other.GetOption("Seed")->TemporaryValue, "3");
  EXPECT_EQ(other.GetOption("Seed")->GetValueFor(false), "-seed 3");
  EXPECT_TRUE(static_cast<TFPGAOption_Boolean*>(other.GetOption("Compress"))->IsTrue());
  EXPECT_FALSE(other.GetOption("Effort")->WasLoaded);
  EXPECT_EQ(other.GetOption("Effort")->GetValue(), "AUTO");
  EXPECT_TRUE(other.AdvancedMode);
  EXPECT_EQ(other.CustomUser_Cmd, "project_open x\r\nexecute #1");
  EXPECT_EQ(other.CustomUser_Scr, "");
}

TEST_F(ProjectOverrides, LoadResetsValuesWithoutStoredTextAndLeavesTheDialogState) {
  stored()["Seed"] = "";  // an empty stored text counts as none
  stored()["AdvancedOptionsEnabled"] = "true";
  stored()["CustomOptionsUser_Scr"] = "--flag#20x #zz";
  // The dialog held a value for the previous project.
  userSets("Seed", "42");
  set_.LoadFromProject(project_, section_);
  TFPGAOption_Abstract& seed = *set_.GetOption("Seed");
  EXPECT_EQ(seed.GetValue(), "1");
  EXPECT_FALSE(seed.WasLoaded);
  EXPECT_FALSE(seed.TemporaryActive);
  EXPECT_FALSE(seed.HasExplicitValue());  // the other project's choice does not carry over
  EXPECT_EQ(seed.GetValueFor(false), "");
  EXPECT_TRUE(set_.AdvancedMode);
  EXPECT_EQ(set_.CustomUser_Scr, "--flag x #zz");

  // Saving straight away stores nothing for the options.
  log_.calls.clear();
  set_.SaveToProject(project_, section_);
  for (const std::string& call : log_.calls)
    EXPECT_TRUE(call.find("Seed") == std::string::npos || call.rfind("storage.381", 0) == 0) << call;
}

TEST_F(ProjectOverrides, AbsentProjectOrStorage) {
  userSets("Seed", "5");
  set_.SaveToProject(IProject(), section_);
  set_.LoadFromProject(IProject(), section_);
  EXPECT_EQ(set_.GetOption("Seed")->GetValue(), "5");  // nothing happened
  EXPECT_TRUE(log_.calls.empty());

  IProject bare((new fake::FakeProject(DispPtr()))->dispatchPtr());
  set_.SaveToProject(bare, section_);
  set_.AdvancedMode = true;
  set_.LoadFromProject(bare, section_);  // reads as an empty storage
  EXPECT_EQ(set_.GetOption("Seed")->GetValue(), "1");
  EXPECT_FALSE(set_.AdvancedMode);
  EXPECT_TRUE(log_.calls.empty());
}

}  // namespace
}  // namespace zolta
