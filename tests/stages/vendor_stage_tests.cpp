// The vendor-tool stage with small fake tools (shell scripts) against the recording fake host.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "stage_host.h"
#include "zolta/flow/vendor_stage.h"

namespace zolta {
namespace {

namespace fs = std::filesystem;
using stagetest::FakeHost;
using stagetest::readFile;
using stagetest::writeScript;
using testing::TempDir;

class TestStage : public TFlowStage_VendorProcess {
 public:
  TestStage(IDispatch* driver, std::string tool)
      : TFlowStage_VendorProcess(".IN", ".OUT", ".LOG,.SUM", "Test Stage", "&Test", "A test stage", "Test_Tool",
                                 std::move(tool), driver) {}
  std::string optionsFile;
  std::string DefaultOptionsFileName() override { return optionsFile; }
  void SetConstraintsExt(const std::string& ext) { FConstraintsExt = ext; }
};

// A folder whose name holds blanks and characters a shell would act on.
constexpr const char* kAwkwardFolder = "my proj $(touch pwned); 'q' & (x)";

struct StageFixture : ::testing::Test {
  FakeHost host;
  TempDir dir{"zolta_stages"};
  std::string folder;  // the project folder (the tool's working folder)
  std::string base;    // the flow's base path
  Ptr<TestStage> stage;

  void SetUp() override {
    folder = dir.str() + kAwkwardFolder + "/";
    fs::create_directories(folder);
    base = folder + "top.edf";
  }

  // A stage running the given script body as its tool.
  void makeStage(const std::string& scriptBody, const std::string& toolFolder = "tools") {
    const std::string tool = writeScript(dir.file(toolFolder + "/tool"), scriptBody);
    stage = MakeFlowObject<TestStage>(host.driverPtr(), tool);
    stage->SetBasePath(base);
  }
  TFlowRunResult perform() { return stage->PerformStage(host.runnerRef); }
};

// ---- output lines ---------------------------------------------------------------------------------

TEST_F(StageFixture, EveryOutputLineIsShownAndClassifiedByItsFirstWord) {
  makeStage(
      "printf 'Info: *******************************************************************\\r\\n'\n"
      "printf 'Info (12021): Found 1 design units\\n'\n"
      "printf '  critical warning: pins are not assigned\\n'\n"
      "printf 'Warning (10230): truncated value\\n'\n"
      "printf 'Extra Info: detail\\n'\n"
      "printf 'Error (10161): object \"q\" is not declared\\n'\n"
      "printf '    Error: Peak virtual memory: 300 megabytes\\n'\n"
      "printf '\\n'\n"
      "printf 'Progress 50%%\\n'\n"
      "echo done > top.OUT\n");
  EXPECT_EQ(perform(), eFlowRun_Failure);
  EXPECT_TRUE(stage->ErrorsOccured());

  // The banner line holds a filtered text: shown, never a message.
  EXPECT_TRUE(host.outputHas("Info: *******************************************************************"));
  EXPECT_EQ(host.posted("ProcessFlowInfo"),
            (std::vector<std::string>{"Info (12021): Found 1 design units", "Test_Tool - Errors Occurred"}));
  EXPECT_EQ(host.posted("ProcessFlowWarning"),
            (std::vector<std::string>{"  critical warning: pins are not assigned", "Warning (10230): truncated value"}));
  // "Error: Peak virtual memory" is filtered: shown, but neither a message nor an error.
  EXPECT_EQ(host.posted("ProcessFlowError"), (std::vector<std::string>{"Error (10161): object \"q\" is not declared"}));
  for (const char* line : {"Extra Info: detail", "    Error: Peak virtual memory: 300 megabytes", "Progress 50%", "---"})
    EXPECT_TRUE(host.outputHas(line)) << line;

  // A tool line's message jumps to its line in the output panel.
  for (const stagetest::Posted& p : host.messages) {
    if (p.Class != "ProcessFlowError") continue;
    EXPECT_EQ(p.CallBackProcess, "WorkspaceManager:View");
    ASSERT_EQ(p.CallBackParameters.rfind("ShowInOutput=", 0), 0u);
    const size_t position = std::stoul(p.CallBackParameters.substr(13));
    ASSERT_LT(position, host.output.size());
    EXPECT_EQ(host.output[position], p.Text);
  }
  EXPECT_EQ(host.output.back(), "---------------------");
}

TEST_F(StageFixture, AFilteredErrorLineDoesNotFailTheRun) {
  makeStage("echo 'Error: Processing ended: Wed Mar 10 10:00:00 2010'\necho ok > top.OUT\n");
  EXPECT_EQ(perform(), eFlowRun_Success);
  EXPECT_TRUE(host.posted("ProcessFlowError").empty());
  EXPECT_TRUE(host.postedHas("ProcessFlowProgress", "Test_Tool - Completed Successfully"));
  // The run starts with the tool and its arguments.
  EXPECT_TRUE(host.postedHas("ProcessFlowProgress", "Running " + dir.file("tools/tool") + "..."));
  EXPECT_TRUE(host.outputHas("    Parameters: "));
}

TEST_F(StageFixture, ErrorsCountAlsoWithoutAWorkspace) {
  makeStage("echo 'ERROR: broken'\necho x > top.OUT\n");
  SetHostWorkspace(IWorkspace());
  SetHostClient(IClient());
  EXPECT_EQ(perform(), eFlowRun_Failure);
  EXPECT_TRUE(host.output.empty());
}

// ---- output file and its backup -------------------------------------------------------------------

TEST_F(StageFixture, OldOutputMovesToItsBackupAndStaysThereWhenTheToolWritesNone) {
  std::ofstream(folder + "top.OUT") << "old";
  makeStage("exit 0\n");
  EXPECT_EQ(perform(), eFlowRun_Failure);
  EXPECT_TRUE(host.postedHas("ProcessFlowInfo", "Test_Tool - Failed To Generate File : top.OUT"));
  EXPECT_FALSE(fs::exists(folder + "top.OUT"));
  EXPECT_EQ(readFile(folder + "top.~.OUT"), "old");

  // A good run writes a new output; the next run moves that one over the old backup.
  makeStage("echo new > top.OUT\n");
  EXPECT_EQ(perform(), eFlowRun_Success);
  EXPECT_EQ(readFile(folder + "top.~.OUT"), "old");
  makeStage("exit 3\n");
  EXPECT_EQ(perform(), eFlowRun_Failure);
  EXPECT_EQ(readFile(folder + "top.~.OUT"), "new\n");
}

TEST_F(StageFixture, ACrashedToolFailsEvenWithAnOutputFile) {
  makeStage("echo 'Info: fitting'\necho partial > top.OUT\nkill -SEGV $$\n");
  EXPECT_EQ(perform(), eFlowRun_Failure);
  EXPECT_TRUE(host.postedHas("ProcessFlowError", "Test_Tool was ended by signal 11 before it finished."));
  EXPECT_TRUE(host.postedHas("ProcessFlowInfo", "Test_Tool - Errors Occurred"));
}

TEST_F(StageFixture, OutputAndReportsAreFoundIgnoringTheCaseOfTheirNames) {
  makeStage("echo x > top.out\necho r > top.log\n");
  EXPECT_FALSE(stage->ThisStage_OutputExists());
  EXPECT_EQ(perform(), eFlowRun_Success);
  EXPECT_TRUE(stage->ThisStage_OutputExists());
  EXPECT_GT(stage->ThisStage_DateTimeUpdated(), 0.0);
  EXPECT_EQ(stage->InputDescription(), "top.IN");
  EXPECT_EQ(stage->OutputDescription(), "top.OUT");
  ASSERT_EQ(stage->ReportCount(), 2);
  EXPECT_EQ(stage->ReportPath(0), folder + "top.log");  // the file that exists
  EXPECT_EQ(stage->ReportPath(1), folder + "top.SUM");  // the declared name
  EXPECT_EQ(stage->ReportPath(2), "");
}

// ---- running the tool ----------------------------------------------------------------------------------

TEST_F(StageFixture, BlanksAndShellCharactersInFoldersAndArgumentsReachTheToolUnchanged) {
  const std::string awkwardTools = "tool dir; $(touch pwned2) & 'y'";
  makeStage("pwd > args.txt\nfor a in \"$@\"; do echo \"arg:$a\" >> args.txt; done\necho x > top.OUT\n", awkwardTools);
  stage->Options().CustomUser_Scr = "-t my_script.tcl\n  --flag=a;b|c  \n";
  EXPECT_EQ(perform(), eFlowRun_Success);
  EXPECT_EQ(readFile(folder + "args.txt"), folder.substr(0, folder.size() - 1) + "\narg:-t\narg:my_script.tcl\narg:--flag=a;b|c\n");
  EXPECT_TRUE(host.outputHas("    Parameters:  -t my_script.tcl --flag=a;b|c"));
  EXPECT_FALSE(fs::exists(folder + "pwned"));
  EXPECT_FALSE(fs::exists(folder + "pwned2"));
  EXPECT_FALSE(fs::exists(dir.file("tools/pwned2")));
}

TEST_F(StageFixture, FixedArgumentsInTheToolPathGoFirstAndAQuotedPathStaysWhole) {
  makeStage("for a in \"$@\"; do echo \"$a\" >> args.txt; done\necho x > top.OUT\n");
  const std::string tool = dir.file("tools/tool");

  stage->ApplicationPath = tool + " --64bit";
  stage->Options().CustomUser_Scr = "-x";
  EXPECT_EQ(perform(), eFlowRun_Success);
  EXPECT_EQ(readFile(folder + "args.txt"), "--64bit\n-x\n");

  fs::remove(folder + "args.txt");
  stage->ApplicationPath = "\"" + tool + "\"";
  EXPECT_EQ(perform(), eFlowRun_Success);
  EXPECT_EQ(readFile(folder + "args.txt"), "-x\n");
}

TEST_F(StageFixture, CommandFileIsWrittenBesideTheInputAndScriptLinesBecomeTheArguments) {
  makeStage("echo x > top.OUT\n");
  const std::string options = dir.write("opts.xml", R"(<opts>
  <comment>#</comment>
  <command_filename>x_cmd.tcl</command_filename>
  <command pos="head">set a 1   # a note</command>
  <script pos="head">-t x_cmd.tcl</script>
  <section id="S">
    <option id="Seed"><kind>integer</kind><flag>seed</flag><default_value>3</default_value>
      <command_default>set seed $seed.Value</command_default></option>
  </section>
</opts>)");
  stage->Options().LoadOptions(options);
  EXPECT_EQ(stage->CommandLineArguments(), " -t x_cmd.tcl");
  EXPECT_EQ(readFile(folder + "x_cmd.tcl"), "set a 1\nset seed 3\n");

  // Without a command file name the command lines are dropped; the script lines still count.
  fs::remove(folder + "x_cmd.tcl");
  stage->Options().Commands_Filename.clear();
  EXPECT_EQ(stage->CommandLineArguments(), " -t x_cmd.tcl");
  EXPECT_FALSE(fs::exists(folder + "x_cmd.tcl"));

  // The user's own texts replace the built lines as typed.
  std::vector<std::string> cmd, scr;
  bool readOnly = false;
  stage->Options().CustomUser_Cmd = "puts hi\r\nexit";
  EXPECT_TRUE(stage->BuildCommandLines(&cmd, &scr, readOnly));
  EXPECT_TRUE(readOnly);
  EXPECT_EQ(cmd, (std::vector<std::string>{"puts hi", "exit"}));
  EXPECT_EQ(scr, (std::vector<std::string>{"-t x_cmd.tcl"}));
}

TEST_F(StageFixture, StopAbortsTheRunningToolAndTheRunIsCancelled) {
  makeStage("touch started\nsleep 20\necho x > top.OUT\n");
  const DispPtr flow = stage->dispatchPtr();
  SetEventPump([&] {
    if (fs::exists(folder + "started")) zabi::invoke(flow, flowid::Stop);
  });
  const auto t0 = std::chrono::steady_clock::now();
  EXPECT_EQ(zabi::invoke(flow, flowid::Run, host.runnerRef).toInt32(), eFlowRun_Cancelled);
  EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(10));
  EXPECT_EQ(stage->LastRunResult(), eFlowRun_Cancelled);
  EXPECT_FALSE(stage->IsRunning());
  // A stopped run reports no result of the tool.
  EXPECT_TRUE(host.posted("ProcessFlowInfo").empty());
  EXPECT_EQ(host.runner->log, (std::vector<std::string>{"begin", "start Test Stage", "end"}));
}

TEST_F(StageFixture, AToolThatCannotStartFailsTheRunWithItsReason) {
  std::ofstream(folder + "top.OUT") << "old";
  stage = MakeFlowObject<TestStage>(host.driverPtr(), dir.file("no such dir/quartus_map"));
  stage->SetBasePath(base);
  const DispPtr flow = stage->dispatchPtr();
  try {
    zabi::invoke(flow, flowid::Run, host.runnerRef);
    FAIL() << "the run should fail";
  } catch (const zabi::DispatchError& e) {
    EXPECT_NE(std::string(e.what()).find("no such dir/quartus_map"), std::string::npos) << e.what();
  }
  EXPECT_EQ(stage->LastRunResult(), eFlowRun_Failure);
  ASSERT_EQ(host.posted("ProcessFlowError").size(), 1u);
  EXPECT_EQ(host.posted("ProcessFlowError")[0].rfind("Test_Tool: ", 0), 0u);
  EXPECT_EQ(readFile(folder + "top.~.OUT"), "old");

  stage->ApplicationPath.clear();
  EXPECT_THROW(perform(), std::runtime_error);
}

// ---- options ------------------------------------------------------------------------------------------

struct SystemFile {
  std::string path;
  SystemFile(const std::string& name, const std::string& text) : path(GetSystemFolder() + name) {
    fs::create_directories(GetSystemFolder());
    std::ofstream(path, std::ios::binary) << text;
  }
  ~SystemFile() { fs::remove(path); }
};

constexpr const char* kSeedOptions = R"(<opts>
  <section id="S"><option id="Seed"><kind>integer</kind><flag>seed</flag><default_value>3</default_value>
    <script_default>-seed $seed.Value</script_default></option></section>
</opts>)";

TEST_F(StageFixture, AMalformedOptionFileFailsTheStageWithItsErrorAndLosesNothingElse) {
  const std::string name = "StagesTest_" + std::to_string(::getpid()) + "_options.xml";
  SystemFile file(name, "<opts><section id=\"S\"><option id=\"Seed\">");
  makeStage("touch ran\necho x > top.OUT\n");
  stage->optionsFile = name;
  std::ofstream(folder + "top.OUT") << "old";
  host.storage["Test StageTest_Tool/AdvancedOptionsEnabled"] = "True";

  // The project change goes through; the error is posted and names the file.
  zabi::invoke(stage->dispatchPtr(), flowid::ProjectChanged, host.projectPath);
  ASSERT_FALSE(stage->OptionsLoadError().empty());
  EXPECT_NE(stage->OptionsLoadError().find(file.path), std::string::npos) << stage->OptionsLoadError();
  EXPECT_TRUE(host.postedHas("ProcessFlowError", stage->OptionsLoadError()));
  EXPECT_TRUE(stage->Options().AdvancedMode);  // the overrides were still read

  // The run fails with that error before anything is touched.
  EXPECT_EQ(perform(), eFlowRun_Failure);
  EXPECT_FALSE(fs::exists(folder + "ran"));
  EXPECT_EQ(readFile(folder + "top.OUT"), "old");

  // Once the file is mended the next run loads it and runs.
  std::ofstream(file.path, std::ios::binary) << kSeedOptions;
  EXPECT_EQ(perform(), eFlowRun_Success);
  EXPECT_TRUE(stage->OptionsLoadError().empty());
  EXPECT_TRUE(host.outputHas("    Parameters:  -seed 3"));
}

TEST_F(StageFixture, OptionsAreReloadedOnProjectChangeAndEditingLoadsTheOverrides) {
  const std::string name = "StagesTest_" + std::to_string(::getpid()) + "_seed.xml";
  SystemFile file(name, kSeedOptions);
  makeStage("exit 0\n");
  EXPECT_FALSE(stage->CanEditProperties());
  stage->optionsFile = name;
  host.storage["Test StageTest_Tool/Seed"] = "7";
  zabi::invoke(stage->dispatchPtr(), flowid::ProjectChanged, host.projectPath);
  EXPECT_TRUE(stage->CanEditProperties());
  EXPECT_EQ(stage->OptionsSection(), "Test StageTest_Tool");
  EXPECT_EQ(stage->Options().GetOption("Seed")->GetValue(), "7");

  // Editing reads the overrides afresh; a cancelled dialog stores nothing.
  host.storage["Test StageTest_Tool/Seed"] = "9";
  host.storageLog.clear();
  zabi::invoke(stage->dispatchPtr(), flowid::EditProperties);
  EXPECT_EQ(stage->Options().GetOption("Seed")->GetValue(), "9");
  EXPECT_TRUE(host.storageLog.empty());
}

// ---- constraints --------------------------------------------------------------------------------------

TEST_F(StageFixture, ConstraintDocumentsAndTheBuildConstraintsAreMergedInOrder) {
  makeStage("exit 0\n");
  stage->SetConstraintsExt(".TCL");
  const std::string a = dir.write("doc/pins.tcl", "set_location_assignment PIN_A1 -to CLK\r\nset x 1\n");
  dir.write("doc/top.SchDoc", "not a constraint file\n");
  std::ofstream(folder + "top_build.tcl") << "set_global_assignment -name SEED 2\n";
  host.documents = {a, dir.file("doc/top.SchDoc"), dir.file("doc/missing.TCL")};
  zabi::invoke(stage->dispatchPtr(), flowid::ProjectChanged, host.projectPath);
  stage->MergeConstraintFiles();
  EXPECT_EQ(readFile(folder + "top.TCL"),
            "set_location_assignment PIN_A1 -to CLK\nset x 1\nset_global_assignment -name SEED 2\n");
  EXPECT_TRUE(host.postedHas("ProcessFlowWarning", "Constraint file " + dir.file("doc/missing.TCL") + " not found."));
}

}  // namespace
}  // namespace zolta
