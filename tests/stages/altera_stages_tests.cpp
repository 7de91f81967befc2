// The Altera build flow: its category and stages with fake Quartus tools (shell scripts that log their
// calls and write the files the real tools write, reports taken from the recorded fixtures), and one
// run of the whole flow with the stand-in Quartus over the demo design.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "stage_host.h"
#include "zolta/arria2gz_driver.h"
#include "zolta/driver_interface.h"
#include "zolta/flow/altera_reports.h"
#include "zolta/flow/altera_stages.h"

namespace zolta {
namespace {

namespace fs = std::filesystem;
using stagetest::FakeHost;
using stagetest::readFile;
using stagetest::writeScript;
using testing::TempDir;

const TQuartusVersion kQuartus13{"13.1", true};
const TQuartusVersion kQuartus91{"9.1", true};

std::string fixture(const std::string& name) { return std::string(ZOLTA_STAGES_FIXTURES) + "/" + name; }

std::string nameOf(const DispPtr& flow) { return zabi::invoke(flow, flowid::StageName).toString(); }

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> out;
  std::stringstream s(text);
  std::string l;
  while (std::getline(s, l)) out.push_back(l);
  return out;
}

// ---- the flow's shape ------------------------------------------------------------------------------

TEST(AlteraFlow, CategoryAndStagesInDependencyOrder) {
  FakeHost host;
  Ptr<TProcessFlow_AlteraFPGA> flow = TProcessFlow_AlteraFPGA::Create(host.driverPtr(), kQuartus13);
  flow->SetBasePath("/p/top.edf");
  EXPECT_EQ(flow->StageName(), "Build");
  EXPECT_EQ(flow->StageCaption(), "&Build");
  EXPECT_EQ(flow->StageDescription(), "Build Raw Bit File");
  EXPECT_EQ(flow->InputDescription(), "EDIF Files");
  EXPECT_EQ(flow->OutputDescription(), "Raw Bit File");

  struct Row {
    const char *name, *caption, *description, *tool, *input, *output;
    int32_t reports;
    const char* dependency;
  } rows[] = {
      {"Translate Design", "&Translate Design", "Create project and translate options", "Quartus_sh", "",
       "top.qpf_orig", 0, ""},
      {"Map Design", "&Map Design", "Map Design To Vendor Primitives", "Quartus_Map", "top.qpf_orig", "top.MAP.RPT", 1,
       "Translate Design"},
      {"Place and Route", "&Place and Route", "Place & Route", "Quartus_Fit", "top.MAP.RPT", "top.FIT.RPT", 1,
       "Map Design"},
      {"Timing Analysis", "Timing &Analysis", "Timing Analysis", "Quartus_Tan", "top.FIT.RPT", "top.STA.RPT", 1,
       "Place and Route"},
      {"Make BIT File", "&Make BIT File", "Generate RBF file for programming FPGA", "Quartus_Asm", "top.FIT.RPT",
       "top.RBF", 1, "Timing Analysis"},
  };
  ASSERT_EQ(flow->GetChildStageCount(), 5);
  for (int32_t i = 0; i < 5; ++i) {
    const Row& r = rows[i];
    SCOPED_TRACE(r.name);
    const DispPtr child = flow->GetChildStage(i);
    EXPECT_EQ(nameOf(child), r.name);
    EXPECT_EQ(zabi::invoke(child, flowid::StageCaption).toString(), r.caption);
    EXPECT_EQ(zabi::invoke(child, flowid::StageDescription).toString(), r.description);
    EXPECT_EQ(zabi::invoke(child, flowid::InputDescription).toString(), r.input);
    EXPECT_EQ(zabi::invoke(child, flowid::OutputDescription).toString(), r.output);
    EXPECT_EQ(zabi::invoke(child, flowid::ReportCount).toInt32(), r.reports);
    EXPECT_EQ(zabi::invoke(child, flowid::GetParentStage).toDispatch(), flow->dispatchPtr());
    const int32_t deps = zabi::invoke(child, flowid::GetDependenciesCount).toInt32();
    EXPECT_EQ(deps, *r.dependency ? 1 : 0);
    if (deps) {
      EXPECT_EQ(nameOf(zabi::invoke(child, flowid::GetDependency, 0).toDispatch()), r.dependency);
    }
  }
  EXPECT_EQ(flow->TranslateStage()->ApplicationName, "Quartus_sh");
  EXPECT_EQ(flow->MapStage()->ApplicationName, "Quartus_Map");
  EXPECT_EQ(flow->FitStage()->ApplicationName, "Quartus_Fit");
  EXPECT_EQ(flow->TimingStage()->ApplicationName, "Quartus_Tan");
  EXPECT_EQ(flow->AssemblyStage()->ApplicationName, "Quartus_Asm");
  EXPECT_EQ(flow->TranslateStage()->ConstraintsFileName(), "/p/top_UserConstraints.TCL");
  EXPECT_EQ(flow->TranslateStage()->BuildConstraintsFileName(), "/p/top_BUILD.TCL");
  EXPECT_EQ(flow->TimingStage()->MakeScriptFile_Stage(), flow->TranslateStage());
  EXPECT_EQ(flow->AssemblyStage()->MakeScriptFile_Stage(), flow->TranslateStage());
  flow->ClearChildren();
}

TEST(AlteraFlow, EquationFilesAndProjectExtensionFollowTheQuartusVersion) {
  FakeHost host;
  struct Case {
    const char* version;
    const char *project, *mapOut, *fitOut;
  } cases[] = {
      {"3.0", ".quartus", ".MAP.EQN", ".FIT.EQN"}, {"4.2", ".qpf", ".MAP.EQN", ".FIT.EQN"},
      {"5.0sp1", ".qpf", ".MAP.EQN", ".FIT.EQN"}, {"9.1", ".qpf", ".MAP.RPT", ".FIT.RPT"},
      {"13.1", ".qpf", ".MAP.RPT", ".FIT.RPT"},   {"", ".qpf", ".MAP.RPT", ".FIT.RPT"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.version);
    Ptr<TProcessFlow_AlteraFPGA> flow = TProcessFlow_AlteraFPGA::Create(host.driverPtr(), {c.version, true});
    flow->SetBasePath("/p/top.edf");
    EXPECT_EQ(flow->TranslateStage()->OutputDescription(), std::string("top") + c.project + "_orig");
    EXPECT_EQ(flow->TranslateStage()->ProjectFileName(), std::string("/p/top") + c.project);
    EXPECT_EQ(flow->MapStage()->InputDescription(), std::string("top") + c.project + "_orig");
    EXPECT_EQ(flow->MapStage()->OutputDescription(), std::string("top") + c.mapOut);
    EXPECT_EQ(flow->FitStage()->InputDescription(), std::string("top") + c.mapOut);
    EXPECT_EQ(flow->FitStage()->OutputDescription(), std::string("top") + c.fitOut);
    EXPECT_EQ(flow->TimingStage()->InputDescription(), std::string("top") + c.fitOut);
    EXPECT_EQ(flow->AssemblyStage()->InputDescription(), std::string("top") + c.fitOut);
    // Reports are the report files whatever the variant.
    EXPECT_EQ(flow->FitStage()->ReportPath(0), "/p/top.FIT.RPT");
    flow->ClearChildren();
  }
}

TEST(AlteraFlow, TheDriverBuildsTheFlowAsKindZero) {
  FakeHost host;
  TDevice_Arria2GZDriver driver(0);
  const DispPtr flow = zabi::invoke(driver.dispatch(), dispid::FlowStage_Build).toDispatch();
  ASSERT_TRUE(flow);
  EXPECT_EQ(nameOf(flow), "Build");
  EXPECT_EQ(zabi::invoke(flow, flowid::GetChildStageCount).toInt32(), 5);
  EXPECT_EQ(zabi::invoke(driver.dispatch(), dispid::FlowStage_Build).toDispatch(), flow);
  zabi::invoke(flow, flowid::ClearChildren);
}

// ---- placeholders ------------------------------------------------------------------------------------

struct PlaceholderFixture : ::testing::Test {
  FakeHost host;
  Ptr<TFlowStage_Altera_MakeScriptFile> stage;
  void make(const TQuartusVersion& version = kQuartus13) {
    stage = MakeFlowObject<TFlowStage_Altera_MakeScriptFile>(host.driverPtr(), version);
    stage->SetBasePath("/p/out/top.edf");
    host.projectPath = "/p/Counter Board.PrjFpg";
    stage->ProjectChanged(host.projectPath);
  }
};

TEST_F(PlaceholderFixture, EachPlaceholderIsReplacedIgnoringCaseAfterTrimming) {
  host.projectUserID = "$0x12345678AB";
  make();
  struct Case {
    const char *line, *expected;
  } cases[] = {
      {"  set_global_assignment -name FAMILY \".ReplaceDeviceFamilyName\"  ",
       "set_global_assignment -name FAMILY \"Arria II GZ\""},
      {"set_global_assignment -name DEVICE .replacedevicename", "set_global_assignment -name DEVICE EP2AGZ300HF40I4"},
      {"-t .ReplaceProjectName_Create.tcl .ReplaceProjectName", "-t Counter Board_Create.tcl Counter Board"},
      {".ReplaceLMF", "/opt/host/Design Files/EDIF/Marlok.LMF"},
      {"set u .ReplaceUserID; set s .ReplaceShortUserID", "set u 12345678AB; set s 345678AB"},
      {"pld .ReplaceEnablePLDFlow", "pld 0"},
      {".ReplaceOptimizationFlag .ReplaceConfigSchemeFlag .ReplaceConfigDeviceFlag",
       "stratix_optimization_technique stratixiii_configuration_scheme cyclone_configuration_device"},
      {".ReplaceAddTimeQuestFile set_global_assignment -name SDC_FILE top_sta.sdc",
       " set_global_assignment -name SDC_FILE top_sta.sdc"},
      {"no placeholder", "no placeholder"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    EXPECT_EQ(stage->ReplacePlaceholders(c.line), c.expected);
  }
  stage->PLDFlow = true;
  EXPECT_EQ(stage->ReplacePlaceholders(".ReplaceEnablePLDFlow"), "1");
}

TEST_F(PlaceholderFixture, DeviceNameLosesOnlyATrailingN) {
  for (const auto& [device, expected] : std::vector<std::pair<std::string, std::string>>{
           {"EP2AGZ350HF40I4N", "EP2AGZ350HF40I4"}, {"EP2AGZ350HF40I4", "EP2AGZ350HF40I4"}, {"N", ""}}) {
    host.deviceName = device;
    make();
    EXPECT_EQ(stage->ReplacePlaceholders(".ReplaceDeviceName"), expected) << device;
  }
}

TEST_F(PlaceholderFixture, UserIdentifierForms) {
  for (const auto& [id, full, shortForm] : std::vector<std::tuple<std::string, std::string, std::string>>{
           {"$0x12345678AB", "12345678AB", "345678AB"}, {"0xFF", "FF", "FF"}, {"$DEADBEEF", "DEADBEEF", "DEADBEEF"},
           {"", "", ""}}) {
    host.projectUserID = id;
    make();
    EXPECT_EQ(stage->ReplacePlaceholders(".ReplaceUserID|.ReplaceShortUserID"), full + "|" + shortForm) << id;
  }
}

TEST_F(PlaceholderFixture, FamilyUnknownToTheHostGivesEmptyNameAndFlags) {
  host.familyName = "NoSuchFamily";
  make();
  EXPECT_EQ(stage->ReplacePlaceholders("[.ReplaceDeviceFamilyName][.ReplaceOptimizationFlag][.ReplaceConfigSchemeFlag]"
                                       "[.ReplaceConfigDeviceFlag]"),
            "[][][][]");
}

TEST_F(PlaceholderFixture, TimeQuestFileLineIsCommentedOutUpToQuartus51) {
  for (const auto& [version, expected] : std::vector<std::pair<std::string, std::string>>{
           {"5.1", "#"}, {"5.0sp1", "#"}, {"4.2", "#"}, {"5.2", ""}, {"9.1", ""}, {"", ""}}) {
    make({version, true});
    EXPECT_EQ(stage->ReplacePlaceholders(".ReplaceAddTimeQuestFile"), expected) << version;
  }
}

// ---- fake Quartus --------------------------------------------------------------------------------------

// Fake tools that log every call (name and arguments) to calls.log in their working folder and write
// what the real tools write, in lower case as they do.
struct FakeQuartus {
  TempDir bin{"zolta_fake_quartus"};
  std::map<std::string, std::string> paths;

  explicit FakeQuartus(FakeHost& host) {
    const std::string log = "echo \"$(basename \"$0\") $*\" >> calls.log\n";
    add(host, "quartus_sh", log +
                                "test -e top.qpf && echo 'project present before the run' >> calls.log\n"
                                "cp \"$2\" script_seen.tcl\n"
                                "echo 'Info: Running Quartus II 64-Bit Shell'\n"
                                "echo project > top.qpf\ncp top.qpf top.qpf_orig\n");
    add(host, "quartus_map", log + "echo 'Info: Quartus II Analysis & Synthesis was successful'\necho map > \"$1.map.rpt\"\n");
    add(host, "quartus_fit", log + "cp '" + fixture("fit_arria2gz.rpt") + "' \"$1.fit.rpt\"\n");
    add(host, "quartus_tan", log + "cp '" + fixture("tan_classic.rpt") + "' \"$1.tan.rpt\"\n");
    add(host, "quartus_sta", log + "cp '" + fixture("sta_13_1.rpt") + "' \"$1.sta.rpt\"\n");
    add(host, "quartus_asm", log +
                                 "case \"$2\" in *=ON) mode=compressed;; *) mode=plain;; esac\n"
                                 "test -e fail_compressed && test $mode = compressed && exit 2\n"
                                 "echo $mode > \"$1.rbf\"\n");
  }
  void add(FakeHost& host, const std::string& name, const std::string& body) {
    host.toolPaths[name] = writeScript(bin.file(name), body);
  }
};

struct BuildFixture : ::testing::Test {
  FakeHost host;
  FakeQuartus quartus{host};
  TempDir dir{"zolta_build"};
  std::string folder;
  Ptr<TProcessFlow_AlteraFPGA> flow;

  void SetUp() override {
    folder = dir.str() + "fpga out/";
    fs::create_directories(folder);
    host.projectPath = folder + "top.PrjFpg";
    host.projectUserID = "$0x00C0FFEE";
  }
  void TearDown() override {
    if (flow) flow->ClearChildren();
  }
  void make(const TQuartusVersion& version) {
    if (flow) flow->ClearChildren();
    flow = TProcessFlow_AlteraFPGA::Create(host.driverPtr(), version);
    flow->SetBasePath(folder + "top.edf");
    zabi::invoke(flow->dispatchPtr(), flowid::ProjectChanged, host.projectPath);
  }
  std::vector<std::string> calls() { return lines(readFile(folder + "calls.log")); }
  TFlowRunResult runAll() {
    return TFlowRunResult(zabi::invoke(flow->dispatchPtr(), flowid::RunAll, host.runnerRef).toInt32());
  }
};

TEST_F(BuildFixture, NetlistOfAnotherSynthesizerRunsEveryToolAndSummarisesTheReports) {
  make(kQuartus13);
  const std::string pins = dir.write("src/pins.tcl", "set_location_assignment PIN_AB15 -to CLK\n");
  host.documents = {pins};
  std::ofstream(folder + "top.qpf") << "stale project";
  ASSERT_EQ(runAll(), eFlowRun_Success);

  EXPECT_EQ(calls(), (std::vector<std::string>{
                         "quartus_sh -t top_Create.tcl",
                         "quartus_map top",
                         "quartus_fit top",
                         "quartus_sta top --sdc=top_sta.sdc",
                         "quartus_asm top --set=ON_CHIP_BITSTREAM_DECOMPRESSION=OFF",
                     }));
  EXPECT_EQ(host.runner->log,
            (std::vector<std::string>{"begin", "start Build", "start Translate Design", "start Map Design",
                                      "start Place and Route", "start Timing Analysis", "start Make BIT File", "end"}));
  // The project's Tcl script from the option file, with the placeholders filled in.
  const std::string script = readFile(folder + "script_seen.tcl");
  for (const char* expected :
       {"set project_name \"top\"", "set jtag_user_code \"00C0FFEE\"", "set_global_assignment -name FAMILY \"Arria II GZ\"",
        "set_global_assignment -name DEVICE EP2AGZ300HF40I4", "set_global_assignment -name stratix_optimization_technique BALANCED",
        "set_global_assignment -name SEED 1", "set_global_assignment -name SDC_FILE ${project_name}_sta.sdc"})
    EXPECT_NE(script.find(expected), std::string::npos) << expected;
  EXPECT_EQ(script.find(".Replace"), std::string::npos);
  EXPECT_EQ(script.find("# "), std::string::npos);  // comments are dropped
  // The merged constraints, and the stale project went before the run.
  EXPECT_EQ(readFile(folder + "top_UserConstraints.TCL"), "set_location_assignment PIN_AB15 -to CLK\n");
  EXPECT_EQ(readFile(folder + "top.rbf"), "plain\n");

  // Fit and TimeQuest summaries, each naming the report that was read.
  ASSERT_FALSE(host.runner->reports.empty());
  EXPECT_EQ(host.runner->reports.front()[0], kReportSection_Resources);
  EXPECT_EQ(host.runner->reports.front()[3], folder + "top.fit.rpt");
  EXPECT_EQ(host.runner->reports.back()[0], kReportSection_Timing);
  EXPECT_EQ(host.runner->reports.back()[1], "pll|altpll_component|auto_generated");
  EXPECT_EQ(host.runner->reports.back()[3], folder + "top.sta.rpt");
  EXPECT_EQ(flow->TimingStage()->ApplicationName, "Quartus_Sta");
  EXPECT_EQ(flow->TimingStage()->ReportPath(0), folder + "top.sta.rpt");

  // Everything is up to date afterwards; a run of what is out of date runs nothing.
  zabi::invoke(flow->dispatchPtr(), flowid::UpdateFlowState);
  EXPECT_EQ(flow->FlowState(), eFlowState_UpToDate);
  fs::remove(folder + "calls.log");
  EXPECT_EQ(zabi::invoke(flow->dispatchPtr(), flowid::RunIfOutOfDate, host.runnerRef).toInt32(), eFlowRun_Success);
  EXPECT_FALSE(fs::exists(folder + "calls.log"));
}

TEST_F(BuildFixture, QuartusSynthesisedProjectsOnlyCheckTheirFilesAndTheMapResultBecomesNewer) {
  host.synthesizer = "altera quartus ii";
  make(kQuartus13);
  auto translate = flow->TranslateStage();
  auto map = flow->MapStage();

  EXPECT_EQ(translate->PerformStage(host.runnerRef), eFlowRun_Failure);
  EXPECT_TRUE(host.postedHas("ProcessFlowError", "Project File: " + folder + "top.qpf missing."));
  std::ofstream(folder + "top.qpf") << "project";
  EXPECT_EQ(translate->PerformStage(host.runnerRef), eFlowRun_Failure);
  EXPECT_TRUE(host.postedHas("ProcessFlowError", "Output File: " + folder + "top.qpf_orig missing."));
  std::ofstream(folder + "top.qpf_orig") << "project";
  EXPECT_EQ(translate->PerformStage(host.runnerRef), eFlowRun_Success);
  EXPECT_TRUE(host.postedHas("ProcessFlowInfo", "Skipping Translate Design phase."));

  EXPECT_EQ(map->PerformStage(host.runnerRef), eFlowRun_Failure);
  EXPECT_TRUE(host.postedHas("ProcessFlowError", "File " + folder + "top.MAP.RPT does not exist."));
  const std::string report = folder + "top.map.rpt";
  std::ofstream(report) << "Analysis & Synthesis report\n";
  const auto old = fs::last_write_time(report) - std::chrono::hours(1);
  fs::last_write_time(report, old);
  EXPECT_EQ(map->PerformStage(host.runnerRef), eFlowRun_Success);
  EXPECT_TRUE(host.postedHas("ProcessFlowInfo", "Skipping Map Design phase."));
  EXPECT_EQ(readFile(report), "Analysis & Synthesis report\n");  // not emptied
  EXPECT_GT(fs::last_write_time(report), old);
  EXPECT_FALSE(fs::exists(folder + "calls.log"));  // no tool ran

  // The map stage's state is the translate stage's.
  translate->UpdateFlowState();
  EXPECT_EQ(translate->FlowState(), eFlowState_UpToDate);
  EXPECT_TRUE(map->UpdateFlowState());
  EXPECT_EQ(map->FlowState(), eFlowState_UpToDate);
  EXPECT_FALSE(map->UpdateFlowState());
}

TEST_F(BuildFixture, ClassicTimingAnalysisUntilTimeQuestIsChosen) {
  make(kQuartus91);
  flow->TranslateStage()->Options().GetOption("Use TimeQuest Timing Analyzer")->SetValue("False");
  auto timing = flow->TimingStage();
  EXPECT_TRUE(timing->CanRun());
  EXPECT_FALSE(timing->UseTimeQuest());
  EXPECT_EQ(timing->OutputDescription(), "top.TAN.RPT");
  EXPECT_EQ(timing->CommandLineArguments(), "top");
  EXPECT_EQ(timing->PerformStage(host.runnerRef), eFlowRun_Success);
  EXPECT_EQ(calls(), (std::vector<std::string>{"quartus_tan top"}));
  ASSERT_EQ(host.runner->reports.size(), 5u);
  EXPECT_EQ(host.runner->reports[1][1], "Maximum output delay after clock");
  EXPECT_EQ(host.runner->reports[1][3], folder + "top.tan.rpt");

  // The translate stage's option switches to TimeQuest; the switch stays.
  flow->TranslateStage()->Options().GetOption("Use TimeQuest Timing Analyzer")->SetValue("True");
  EXPECT_TRUE(timing->UseTimeQuest());
  EXPECT_EQ(timing->CommandLineArguments(), "top --sdc=top_sta.sdc");
  EXPECT_EQ(timing->PerformStage(host.runnerRef), eFlowRun_Success);
  EXPECT_EQ(timing->ApplicationName, "Quartus_Sta");
  EXPECT_EQ(timing->ApplicationPath, host.toolPaths["quartus_sta"]);
  flow->TranslateStage()->Options().GetOption("Use TimeQuest Timing Analyzer")->SetValue("False");
  EXPECT_EQ(timing->ApplicationName, "Quartus_Sta");
}

TEST_F(BuildFixture, TimeQuestFamiliesOfTheBoundDevice) {
  make(kQuartus91);
  flow->TranslateStage()->Options().GetOption("Use TimeQuest Timing Analyzer")->SetValue("False");
  EXPECT_FALSE(flow->TimingStage()->UseTimeQuest());
  host.familyName = "cyclone4e";
  EXPECT_FALSE(flow->TimingStage()->UseTimeQuest());  // the family counts only for a bound device
  host.deviceBound = true;
  EXPECT_TRUE(flow->TimingStage()->UseTimeQuest());
  // An unknown or unsupported version counts as a late one.
  host.deviceBound = false;
  make({"9.1", false});
  flow->TranslateStage()->Options().GetOption("Use TimeQuest Timing Analyzer")->SetValue("False");
  EXPECT_TRUE(flow->TimingStage()->UseTimeQuest());
}

TEST_F(BuildFixture, SkippedTimingAnalysisSucceedsWithoutRunningAndTheBitFileIsStillMade) {
  host.storage["Timing AnalysisQuartus_Tan/Skip Timing Analysis"] = "True";
  make(kQuartus91);
  EXPECT_FALSE(flow->TimingStage()->CanRun());
  EXPECT_EQ(flow->TimingStage()->PerformStage(host.runnerRef), eFlowRun_Success);
  EXPECT_FALSE(fs::exists(folder + "calls.log"));
  EXPECT_TRUE(host.runner->reports.empty());

  EXPECT_EQ(runAll(), eFlowRun_Success);
  EXPECT_EQ(calls().back(), "quartus_asm top --set=ON_CHIP_BITSTREAM_DECOMPRESSION=OFF");
  for (const std::string& c : calls()) EXPECT_EQ(c.find("quartus_tan"), std::string::npos);

  // Without its option file the stage cannot run either.
  Ptr<TFlowStage_Altera_QuartusTan> bare =
      MakeFlowObject<TFlowStage_Altera_QuartusTan>(host.driverPtr(), kQuartus91, flow->TranslateStage());
  EXPECT_FALSE(bare->CanRun());
}

TEST_F(BuildFixture, CompressionRunsTheAssemblerTwiceAndKeepsBothBitFiles) {
  make(kQuartus13);
  auto assembly = flow->AssemblyStage();
  flow->TranslateStage()->Options().GetOption("On-Chip Bitstream Compression")->SetValue("True");
  std::ofstream(folder + "top_cpb.RBF") << "older compressed";
  EXPECT_EQ(assembly->PerformStage(host.runnerRef), eFlowRun_Success);
  EXPECT_EQ(calls(), (std::vector<std::string>{"quartus_asm top --set=ON_CHIP_BITSTREAM_DECOMPRESSION=ON",
                                               "quartus_asm top --set=ON_CHIP_BITSTREAM_DECOMPRESSION=OFF"}));
  EXPECT_EQ(readFile(folder + "top_cpb.RBF"), "compressed\n");
  EXPECT_EQ(readFile(folder + "top.rbf"), "plain\n");
  EXPECT_EQ(readFile(folder + "top_cpb.~.RBF"), "older compressed");
  EXPECT_FALSE(assembly->CompressBitstream());

  // A failing first run ends the stage: no second run.
  fs::remove(folder + "calls.log");
  std::ofstream(folder + "fail_compressed") << "";
  EXPECT_EQ(assembly->PerformStage(host.runnerRef), eFlowRun_Failure);
  EXPECT_EQ(calls(), (std::vector<std::string>{"quartus_asm top --set=ON_CHIP_BITSTREAM_DECOMPRESSION=ON"}));
  EXPECT_EQ(readFile(folder + "top.~.rbf"), "plain\n");  // the previous bit file under its backup name
}

TEST_F(BuildFixture, AProjectNameWithBlanksIsOneArgument) {
  flow = TProcessFlow_AlteraFPGA::Create(host.driverPtr(), kQuartus13);
  flow->SetBasePath(folder + "my top.edf");
  zabi::invoke(flow->dispatchPtr(), flowid::ProjectChanged, host.projectPath);
  EXPECT_EQ(flow->MapStage()->CommandLineArguments(), "\"my top\"");
  EXPECT_EQ(flow->MapStage()->PerformStage(host.runnerRef), eFlowRun_Success);
  EXPECT_EQ(calls(), (std::vector<std::string>{"quartus_map my top"}));
  EXPECT_TRUE(fs::exists(folder + "my top.map.rpt"));
}

// ---- the stand-in Quartus ------------------------------------------------------------------------------

#ifdef ZOLTA_QUARTUS_DIR
TEST(AlteraFlowWithStandInQuartus, BuildsTheDemoDesignIntoABitFile) {
  FakeHost host;
  for (const char* tool : {"quartus_sh", "quartus_map", "quartus_fit", "quartus_tan", "quartus_sta", "quartus_asm"})
    host.toolPaths[tool] = std::string(ZOLTA_QUARTUS_DIR) + "/bin/" + tool;
  host.toolPaths["quartus_cmd"] = std::string(ZOLTA_QUARTUS_DIR) + "/bin/quartus_sh";
  TempDir dir{"zolta_demo"};
  const std::string folder = dir.str() + "demo build/";
  fs::create_directories(folder);
  fs::copy_file(std::string(ZOLTA_DEMO_DIR) + "/counter.edf", folder + "counter.edf");
  fs::copy_file(std::string(ZOLTA_DEMO_DIR) + "/counter_sta.sdc", folder + "counter_sta.sdc");
  host.projectPath = folder + "counter.PrjFpg";
  host.documents = {std::string(ZOLTA_DEMO_DIR) + "/counter_pins.tcl"};
  host.projectUserID = "$0x0000CAFE";

  Ptr<TProcessFlow_AlteraFPGA> flow = TProcessFlow_AlteraFPGA::Create(host.driverPtr());
  flow->SetBasePath(folder + "counter.edf");
  zabi::invoke(flow->dispatchPtr(), flowid::ProjectChanged, host.projectPath);
  const int32_t result = zabi::invoke(flow->dispatchPtr(), flowid::RunAll, host.runnerRef).toInt32();
  std::string transcript;
  for (const std::string& l : host.output) transcript += l + "\n";
  EXPECT_EQ(result, eFlowRun_Success) << transcript;
  EXPECT_TRUE(host.posted("ProcessFlowError").empty()) << transcript;
  EXPECT_FALSE(ResolveFileCaseInsensitive(folder + "counter.RBF").empty()) << transcript;
  bool resources = false, timing = false;
  for (const auto& r : host.runner->reports) {
    resources |= r[0] == kReportSection_Resources;
    timing |= r[0] == kReportSection_Timing && r[1] != kReport_NoTimingConstraints;
  }
  EXPECT_TRUE(resources) << transcript;
  EXPECT_TRUE(timing) << transcript;
  for (int32_t i = 0; i < flow->GetChildStageCount(); ++i)
    EXPECT_EQ(zabi::invoke(flow->GetChildStage(i), flowid::LastRunResult).toInt32(), eFlowRun_Success) << i;
  flow->ClearChildren();
}
#endif

}  // namespace
}  // namespace zolta
