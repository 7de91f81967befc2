#include <gtest/gtest.h>

#include "zolta/flow/download_stage.h"
#include "zolta/host/host_services.h"
#include "zolta/host/host_ui.h"
#include "zolta/host_ids.h"
#include "zolta/testing/scripted_object.h"

using namespace zolta;
using zolta::testing::ScriptedObject;
using zolta::testing::TempDir;
namespace hid = zabi::host;

namespace {

// A driver bound to a host device, a workspace with a messages manager, and recorded message boxes.
struct DownloadBench {
  std::vector<std::string> log;
  ScriptedObject* driver = new ScriptedObject;
  ScriptedObject* device = new ScriptedObject;
  ScriptedObject* workspace = new ScriptedObject;
  ScriptedObject* messages = new ScriptedObject;
  DispPtr driverRef{driver->dispatch()}, deviceRef{device->dispatch()}, workspaceRef{workspace->dispatch()},
      messagesRef{messages->dispatch()};
  int32_t state = 1;
  bool resetAnswer = true;
  int32_t stateAfterProgram = 2;
  std::vector<std::string> boxes;
  TMessageDialogHandler previous;
  TempDir dir{"zolta_download"};

  DownloadBench() {
    driver->on(503753, [this](DispatchCall&) { return Var(deviceRef); });
    driver->on(503787, [this](DispatchCall&) { return Var(state); });
    device->log = workspace->log = messages->log = &log;
    device->name = "dev:";
    messages->name = "msg:";
    workspace->name = "ws:";
    device->answer(hid::ZoltaDevice_GetDescription, "EP2AGZ225FF35C3 (JTAG 0)")
        .on(hid::ZoltaDevice_ResetDevice, [this](DispatchCall&) { return Var(resetAnswer); })
        .on(hid::ZoltaDevice_ProgramDevice,
            [this](DispatchCall&) {
              state = stateAfterProgram;
              return Var(int32_t(1000000));
            })
        .on(hid::ZoltaDevice_GetDeviceState, [this](DispatchCall&) { return Var(state); });
    workspace->on(hid::Workspace_GetMessagesManager, [this](DispatchCall&) { return Var(messagesRef); })
        .answer(hid::Workspace_WriteOutputLine, Var());
    messages->answer(hid::MessagesManager_BeginUpdate, Var())
        .answer(hid::MessagesManager_AddMessage, Var())
        .answer(hid::MessagesManager_EndUpdate, Var());
    SetHostWorkspace(IWorkspace(workspaceRef));
    previous = SetMessageDialogHandler([this](const TMessageDialogRequest& r) {
      boxes.push_back(r.Caption + "|" + r.Text);
      return mrOk;
    });
  }
  ~DownloadBench() {
    SetMessageDialogHandler(previous);
    SetHostWorkspace(IWorkspace());
  }
  std::vector<std::string> outputLines() const {
    std::vector<std::string> lines;
    for (auto& e : log)
      if (e.rfind("ws:501423(", 0) == 0) lines.push_back(e.substr(10, e.size() - 10 - std::string(",False,False)").size()));
    return lines;
  }
};

}  // namespace

TEST(DownloadStage, CompletionMessageGivesSecondsAndRateWithTwoDecimals) {
  EXPECT_EQ(TFlowStage_Download::CompletionText(1000000, 2500),
            "Downloading via JTAG Completed in 2.50 Seconds at 400.00 K Bits/Sec");
  // Under a millisecond: the rate is taken over one millisecond, never infinite.
  EXPECT_EQ(TFlowStage_Download::CompletionText(8000, 0),
            "Downloading via JTAG Completed in 0.00 Seconds at 8000.00 K Bits/Sec");
}

TEST(DownloadStage, ProgramsTheDeviceAndStaysUpToDateWhileItIsConfigured) {
  DownloadBench b;
  auto stage = MakeFlowObject<TFlowStage_DownloadFPGA>(".RBF", b.driverRef.get());
  EXPECT_EQ(stage->StageName(), "Download");
  EXPECT_EQ(stage->StageCaption(), "Program &FPGA");
  stage->SetBasePath(b.dir.file("demo.edf"));
  b.dir.write("demo.RBF", std::string(125000, 'x'));
  EXPECT_EQ(stage->InputDescription(), "demo.RBF");
  EXPECT_FALSE(stage->ThisStage_OutputExists());  // device not configured

  EXPECT_EQ(stage->PerformStage({}), eFlowRun_Success);
  EXPECT_TRUE(b.boxes.empty());
  ASSERT_EQ(b.outputLines().size(), 2u);
  EXPECT_EQ(b.outputLines()[0], "Downloading via JTAG");
  EXPECT_EQ(b.outputLines()[1].rfind("Downloading via JTAG Completed in ", 0), 0u);
  EXPECT_EQ(std::count(b.log.begin(), b.log.end(), "dev:503636()"), 1);
  EXPECT_EQ(stage->LastSuccessfulDownloadFile(), b.dir.file("demo.RBF"));

  EXPECT_TRUE(stage->ThisStage_OutputExists());
  stage->SetBasePath(b.dir.file("other.edf"));
  EXPECT_FALSE(stage->ThisStage_OutputExists());
  stage->SetBasePath(b.dir.file("demo.edf"));
  b.state = 1;
  EXPECT_FALSE(stage->ThisStage_OutputExists());
}

TEST(DownloadStage, AConfiguredDeviceIsUpToDateBeforeAnyDownload) {
  DownloadBench b;
  b.state = 2;
  auto stage = MakeFlowObject<TFlowStage_DownloadFPGA>(".RBF", b.driverRef.get());
  stage->SetBasePath(b.dir.file("demo.edf"));
  EXPECT_TRUE(stage->ThisStage_OutputExists());
}

TEST(DownloadStage, FailuresGiveTheirMessagesAndProgramNothing) {
  struct Case {
    const char* name;
    bool writeFile;
    bool reset;
    int32_t stateAfter;
    std::string box;
    std::string output;
  } cases[] = {
      {"missing file", false, true, 2, "", "Download file is missing. Current filename is : "},
      {"reset refused", true, false, 2,
       "Error|Unable To Reset Device:EP2AGZ225FF35C3 (JTAG 0)\r\rIt may be necessary to Power-Down the Device", ""},
      {"left unconfigured", true, true, 1, "Error|Failed To Program Device:EP2AGZ225FF35C3 (JTAG 0)", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    DownloadBench b;
    b.resetAnswer = c.reset;
    b.stateAfterProgram = c.stateAfter;
    if (c.writeFile) b.dir.write("demo.RBF", "bits");
    auto stage = MakeFlowObject<TFlowStage_DownloadFPGA>(".RBF", b.driverRef.get());
    stage->SetBasePath(b.dir.file("demo.edf"));
    EXPECT_EQ(stage->PerformStage({}), eFlowRun_Failure);
    EXPECT_TRUE(stage->LastSuccessfulDownloadFile().empty());
    if (c.box.empty()) {
      EXPECT_TRUE(b.boxes.empty());
    } else {
      ASSERT_EQ(b.boxes.size(), 1u);
      EXPECT_EQ(b.boxes[0], c.box);
    }
    if (!c.output.empty()) {
      ASSERT_FALSE(b.outputLines().empty());
      EXPECT_EQ(b.outputLines()[0], c.output + b.dir.file("demo.RBF"));
    }
    if (!c.reset || !c.writeFile) {
      EXPECT_EQ(std::count(b.log.begin(), b.log.end(), "dev:503638(" + b.dir.file("demo.RBF") + ")"), 0);
    }
  }
}

TEST(DownloadStage, WithoutABoundDeviceFailsSilently) {
  DownloadBench b;
  b.driver->answer(503753, Var(static_cast<zabi::IDispatch*>(nullptr)));
  b.dir.write("demo.RBF", "bits");
  auto stage = MakeFlowObject<TFlowStage_DownloadFPGA>(".RBF", b.driverRef.get());
  stage->SetBasePath(b.dir.file("demo.edf"));
  EXPECT_EQ(stage->PerformStage({}), eFlowRun_Failure);
  EXPECT_TRUE(b.boxes.empty());
  EXPECT_TRUE(b.outputLines().empty());
}
