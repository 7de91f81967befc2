// The Quartus option files of data/quartus: they load, define what the Altera stages read, and the
// command file they produce is a Tcl script that creates the project. The script runs here in a real
// Tcl interpreter with the Quartus project commands recorded by stand-in procedures.
#include <gtest/gtest.h>
#include <tcl.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <algorithm>
#include <cstring>

#include "options_fakes.h"
#include "zolta/flow/fpga_options.h"
#include "zolta/host/files.h"

namespace zolta {
namespace {

using Lines = std::vector<std::string>;

std::string dataFile(const std::string& name) {
  const char* source = std::getenv("ZOLTA_SOURCE_DIR");
  return std::string(source ? source : ".") + "/data/quartus/" + name;
}

std::string readText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// What the Altera stages put in place of their placeholders, for the device EP2AGZ225FF35C3N of the
// family Arria2GZ in a project "counter" with user identifier "$0x1234ABCD".
std::string replaceStagePlaceholders(std::string line, const std::string& lmf) {
  const std::pair<const char*, std::string> table[] = {
      {".ReplaceDeviceFamilyName", "Arria II GZ"},
      {".ReplaceDeviceName", "EP2AGZ225FF35C3"},
      {".ReplaceProjectName", "counter"},
      {".ReplaceLMF", lmf},
      {".ReplaceUserID", "1234ABCD"},
      {".ReplaceOptimizationFlag", "stratix_optimization_technique"},
      {".ReplaceConfigSchemeFlag", "stratixiii_configuration_scheme"},
      {".ReplaceConfigDeviceFlag", "stratixii_configuration_device"},
      {".ReplaceAddTimeQuestFile", ""},
  };
  for (const auto& [tag, value] : table)
    for (size_t at; (at = line.find(tag)) != std::string::npos;) line.replace(at, std::strlen(tag), value);
  return line;
}

class QuartusData : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetHostCaches();
    manager_ = new fake::FakeDeviceManager(log_);
    manager_->addDevice("EP2AGZ225FF35C3N", "Arria2GZ", "EP2AGZ225F", "FF35", "3");
    SetHostDeviceManager(IDeviceManager(manager_->dispatchPtr()));
  }
  void TearDown() override { ResetHostCaches(); }

  fake::CallLog log_;
  fake::FakeDeviceManager* manager_ = nullptr;
};

TEST_F(QuartusData, TranslateOptionsDefineWhatTheStagesRead) {
  for (const char* tool : {"9.1", "13.1"}) {
    SCOPED_TRACE(tool);
    TFPGAOptions set("EP2AGZ225FF35C3N", tool);
    set.LoadOptions(dataFile("DefaultOptions_Quartus.xml"));
    ASSERT_GT(set.GetOptionCount(), 5);
    EXPECT_EQ(set.Comment_Identifier, "#");
    EXPECT_EQ(set.Commands_Filename, ".ReplaceProjectName_Create.tcl");

    TFPGAOption_Abstract* compression = set.GetOption("On-Chip Bitstream Compression");
    ASSERT_TRUE(compression);
    EXPECT_EQ(compression->GetValue(), "False");
    TFPGAOption_Abstract* timeQuest = set.GetOption("Use TimeQuest Timing Analyzer");
    ASSERT_TRUE(timeQuest);
    // Quartus II 9 has both analyzers and defaults to the classic one; later versions only TimeQuest.
    EXPECT_EQ(timeQuest->GetValue(), std::string(tool) == "9.1" ? "False" : "True");
    EXPECT_EQ(set.OptionApplies(*timeQuest, "EP2AGZ225FF35C3N", tool), std::string(tool) == "9.1");

    // Every option of a file of a vendor tool's project is either a value or a command line; none
    // becomes an argument of quartus_sh.
    Lines lines;
    ASSERT_TRUE(set.GetLines(false, lines, "EP2AGZ225FF35C3N", tool));
    EXPECT_EQ(lines, Lines{"-t .ReplaceProjectName_Create.tcl"});
    for (int i = 0; i < set.GetOptionCount(); ++i) {
      TFPGAOption_Abstract& o = *set.GetOptionAt(i);
      SCOPED_TRACE(o.Name);
      EXPECT_FALSE(o.Flag.empty());
      EXPECT_FALSE(o.ToolTip.empty());
      if (o.ValueOnly) continue;
      o.WasLoaded = true;  // even with a value of the user's
      EXPECT_EQ(o.GetValueFor(false), "");
      o.WasLoaded = false;
    }
  }
}

TEST_F(QuartusData, TimingOptionsHaveTheSkipSwitch) {
  TFPGAOptions set("EP2AGZ225FF35C3N", "13.1");
  set.LoadOptions(dataFile("DefaultOptions_Quartus_Tan.xml"));
  TFPGAOption_Abstract* skip = set.GetOption("Skip Timing Analysis");
  ASSERT_TRUE(skip);
  EXPECT_EQ(skip->Kind, eFPGAOption_Boolean);
  EXPECT_EQ(skip->GetValue(), "False");
  Lines lines;
  EXPECT_FALSE(set.GetLines(false, lines, "EP2AGZ225FF35C3N", "13.1"));
  EXPECT_FALSE(set.GetLines(true, lines, "EP2AGZ225FF35C3N", "13.1"));
}

TEST(QuartusDataFiles, MessageFilterHasOnlyHarmlessTexts) {
  const std::string text = readText(dataFile("FPGAMessagesToIgnore.txt"));
  ASSERT_FALSE(text.empty());
  for (const std::string& line : SplitTextLines(text)) {
    SCOPED_TRACE(line);
    EXPECT_FALSE(line.empty());
    EXPECT_EQ(line.find('\r'), std::string::npos);
    // A filter text that matched the usual starts of error and warning lines would hide them.
    for (const char* kind : {"ERROR", "WARNING", "CRITICAL"}) {
      std::string upper = line;
      for (char& c : upper) c = char(std::toupper(static_cast<unsigned char>(c)));
      EXPECT_EQ(upper.find(kind), std::string::npos);
    }
  }
}

// ---- running the project script ------------------------------------------------------------------------

// Stand-ins of the Quartus project commands: each call is recorded as one list element; project_new
// writes the project file and export_assignments the settings file, as the real commands do.
constexpr const char* kQuartusStandIns = R"TCL(
set ::calls {}
set ::project ""
proc project_new {args} {
  lappend ::calls [concat project_new $args]
  set ::project [lindex $args end]
  set f [open $::project.qpf w]; puts $f "PROJECT_REVISION = \"$::project\""; close $f
}
proc set_global_assignment {args} { lappend ::calls [concat set_global_assignment $args] }
proc set_location_assignment {args} { lappend ::calls [concat set_location_assignment $args] }
proc set_instance_assignment {args} { lappend ::calls [concat set_instance_assignment $args] }
proc export_assignments {args} {
  lappend ::calls export_assignments
  set f [open $::project.qsf w]; puts $f "settings"; close $f
}
proc project_close {args} { lappend ::calls project_close }
)TCL";

struct TclDeleter {
  void operator()(Tcl_Interp* interp) const { Tcl_DeleteInterp(interp); }
};

class ProjectScript : public QuartusData {
 protected:
  // Builds the command file for the tool version with the user's overrides (name=value), writes it
  // into the project folder and runs it there. Answers the recorded project commands; `error` gets the
  // Tcl error message when the script fails.
  Lines run(const char* tool, const std::vector<std::pair<std::string, std::string>>& overrides,
            std::string* error = nullptr) {
    TFPGAOptions set("EP2AGZ225FF35C3N", tool);
    set.LoadOptions(dataFile("DefaultOptions_Quartus.xml"));
    for (const auto& [name, value] : overrides) {
      TFPGAOption_Abstract* o = set.GetOption(name);
      if (!o) throw std::runtime_error("no option " + name);
      o->TemporaryActive = true;
      o->SetValue(value);
    }
    Lines lines;
    if (!set.GetLines(true, lines, "EP2AGZ225FF35C3N", tool)) throw std::runtime_error("no command lines");
    for (std::string& line : lines) line = replaceStagePlaceholders(line, dir_.path() + "/EDIF/Marlok.LMF");
    const std::string script = dir_.path() + "/" + replaceStagePlaceholders(set.Commands_Filename, "");
    std::ofstream(script, std::ios::binary) << JoinTextLines(lines);

    Tcl_FindExecutable(nullptr);
    std::unique_ptr<Tcl_Interp, TclDeleter> interp(Tcl_CreateInterp());
    const std::string program = std::string(kQuartusStandIns) + "cd {" + dir_.path() + "}\nsource {" + script + "}\n";
    const int status = Tcl_Eval(interp.get(), program.c_str());
    if (status != TCL_OK) {
      if (error) *error = Tcl_GetStringResult(interp.get());
      else ADD_FAILURE() << Tcl_GetStringResult(interp.get()) << "\n" << readText(script);
    }
    Lines calls;
    Tcl_Obj* list = Tcl_GetVar2Ex(interp.get(), "::calls", nullptr, TCL_GLOBAL_ONLY);
    int count = 0;
    Tcl_Obj** items = nullptr;
    if (list && Tcl_ListObjGetElements(nullptr, list, &count, &items) == TCL_OK)
      for (int i = 0; i < count; ++i) calls.emplace_back(Tcl_GetString(items[i]));
    return calls;
  }
  bool has(const Lines& calls, const std::string& call) {
    return std::find(calls.begin(), calls.end(), call) != calls.end();
  }

  fake::TempDir dir_;
};

constexpr const char* kNetlist = R"((edif counter (edifVersion 2 0 0) (edifLevel 0)
  (library work (edifLevel 0) (cell counter_top (cellType GENERIC) (view netlist (viewType NETLIST)))))
  (design counter (cellRef counter_top (libraryRef work))))
)";

TEST_F(ProjectScript, CreatesTheProjectWithDeviceNetlistSettingsAndConstraints) {
  dir_.write("Counter.EDF", kNetlist);
  dir_.write("counter_UserConstraints.TCL", "set_location_assignment PIN_A5 -to {led[0]}\n");
  const Lines calls = run("13.1", {});
  ASSERT_FALSE(calls.empty());
  EXPECT_EQ(calls.front(), "project_new -overwrite -revision counter counter");
  for (const char* expected : {
           "set_global_assignment -name FAMILY {Arria II GZ}",
           "set_global_assignment -name DEVICE EP2AGZ225FF35C3",
           "set_global_assignment -name TOP_LEVEL_ENTITY counter_top",
           "set_global_assignment -name EDIF_FILE Counter.EDF",
           "set_global_assignment -name GENERATE_RBF_FILE ON",
           "set_global_assignment -name stratix_optimization_technique BALANCED",
           "set_global_assignment -name SEED 1",
           "set_global_assignment -name stratixiii_configuration_scheme {PASSIVE SERIAL}",
           "set_global_assignment -name STRATIX_JTAG_USER_CODE 1234ABCD",
           "set_global_assignment -name SDC_FILE counter_sta.sdc",
           "set_location_assignment PIN_A5 -to {led[0]}",
       }) {
    EXPECT_TRUE(has(calls, expected)) << expected;
  }
  // No LMF file in the EDIF folder: none is named. TimeQuest-era versions get no analyzer choice.
  for (const std::string& call : calls) {
    EXPECT_EQ(call.find("EDA_LMF_FILE"), std::string::npos);
    EXPECT_EQ(call.find("USE_TIMEQUEST_TIMING_ANALYZER"), std::string::npos);
    EXPECT_EQ(call.find("FMAX_REQUIREMENT"), std::string::npos);
  }
  EXPECT_EQ(calls[calls.size() - 2], "export_assignments");
  EXPECT_EQ(calls.back(), "project_close");
  // The stage's output marks the finished project; a default SDC file is there for TimeQuest.
  EXPECT_TRUE(FileExists(dir_.path() + "/counter.qpf_orig"));
  EXPECT_EQ(readText(dir_.path() + "/counter.qpf_orig"), readText(dir_.path() + "/counter.qpf"));
  EXPECT_NE(readText(dir_.path() + "/counter_sta.sdc").find("derive_clock_uncertainty"), std::string::npos);
}

TEST_F(ProjectScript, UserChoicesAndTheClassicAnalyzer) {
  dir_.write("counter.edf", kNetlist);
  dir_.write("EDIF/Marlok.LMF", "lmf");
  dir_.write("counter_sta.sdc", "create_clock -period 10 [get_ports clk]\n");
  const Lines calls = run("9.1", {{"Optimization Technique", "Speed"},
                                  {"Fitter Seed", "17"},
                                  {"Use TimeQuest Timing Analyzer", "False"},
                                  {"Default Required fmax", "100 MHz"},
                                  {"Configuration Scheme", "FAST PASSIVE PARALLEL"},
                                  {"JTAG User Code", "CAFE0001"},
                                  {"Reserve All Unused Pins", "AS OUTPUT DRIVING GROUND"}});
  for (const std::string& expected : Lines{
           "set_global_assignment -name stratix_optimization_technique SPEED",
           "set_global_assignment -name SEED 17",
           "set_global_assignment -name USE_TIMEQUEST_TIMING_ANALYZER OFF",
           "set_global_assignment -name FMAX_REQUIREMENT {100 MHz}",
           "set_global_assignment -name stratixiii_configuration_scheme {FAST PASSIVE PARALLEL}",
           "set_global_assignment -name STRATIX_JTAG_USER_CODE CAFE0001",
           "set_global_assignment -name RESERVE_ALL_UNUSED_PINS {AS OUTPUT DRIVING GROUND}",
           "set_global_assignment -name EDA_LMF_FILE " + dir_.path() +
               "/EDIF/Marlok.LMF -section_id eda_design_synthesis",
       }) {
    EXPECT_TRUE(has(calls, expected)) << expected;
  }
  // The design's own SDC file is kept.
  EXPECT_EQ(readText(dir_.path() + "/counter_sta.sdc"), "create_clock -period 10 [get_ports clk]\n");
}

TEST_F(ProjectScript, MissingNetlistStopsBeforeTheProjectIsCreated) {
  std::string error;
  const Lines calls = run("13.1", {}, &error);
  EXPECT_TRUE(calls.empty());
  EXPECT_NE(error.find("EDIF netlist counter.edf not found"), std::string::npos) << error;
  EXPECT_FALSE(FileExists(dir_.path() + "/counter.qpf_orig"));
}

}  // namespace
}  // namespace zolta
