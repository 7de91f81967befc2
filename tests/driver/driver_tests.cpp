#include <gtest/gtest.h>

#include <QImage>
#include <filesystem>
#include <fstream>

#include "zolta/arria2gz_driver.h"
#include "zolta/flow/process_flow.h"
#include "zolta/testing/scripted_object.h"
#include "zolta/host/files.h"
#include "zolta/host/host_ui.h"
#include "zolta/host_ids.h"

using namespace zolta;
using zolta::testing::ScriptedObject;
using zolta::testing::TempDir;
namespace hid = zabi::host;
namespace fs = std::filesystem;

namespace {

// A bound host device with a JTAG channel; both log their calls into one list.
struct BoundDevice {
  std::vector<std::string> log;
  ScriptedObject* device = new ScriptedObject;
  ScriptedObject* channel = new ScriptedObject;
  ScriptedObject* jtagDevice = new ScriptedObject;
  DispPtr devicePtr{device->dispatch()}, channelPtr{channel->dispatch()}, jtagPtr{jtagDevice->dispatch()};
  uint8_t reg = 0;

  BoundDevice() {
    device->name = "dev:";
    channel->name = "chan:";
    device->log = channel->log = &log;
    device->answer(hid::ZoltaDevice_GetJTagIndex, int32_t(1))
        .answer(hid::ZoltaDevice_GetName, "EP2AGZ225FF35C3")
        .on(hid::ZoltaDevice_GetJTagChannel, [this](DispatchCall&) { return Var(channelPtr); })
        .on(hid::ZoltaDevice_ReadRegister, [this](DispatchCall&) { return Var(int32_t(reg | 0x100)); })
        .on(hid::ZoltaDevice_WriteRegister, [this](DispatchCall& c) {
          reg = uint8_t(c.get<int32_t>(2));
          return Var();
        });
    channel->answer(hid::JTagChannel_Lock, Var())
        .answer(hid::JTagChannel_Unlock, Var())
        .answer(hid::JTagChannel_LoadInstruction, Var())
        .on(hid::JTagChannel_GetJTagDevice, [this](DispatchCall&) { return Var(jtagPtr); });
    jtagDevice->answer(hid::JTagDevice_GetBSDLEntity, Var(static_cast<zabi::IDispatch*>(nullptr)));
  }
  std::vector<std::string> writes() const {
    std::vector<std::string> w;
    for (auto& e : log)
      if (e.rfind("dev:503667", 0) == 0) w.push_back(e);
    return w;
  }
};

// Records message boxes instead of showing them.
struct DialogRecorder {
  std::vector<TMessageDialogRequest> shown;
  TMessageDialogHandler previous;
  DialogRecorder() {
    previous = SetMessageDialogHandler([this](const TMessageDialogRequest& r) {
      shown.push_back(r);
      return mrOk;
    });
  }
  ~DialogRecorder() { SetMessageDialogHandler(previous); }
};

}  // namespace

TEST(GenericDriver, AnswersTheGenericValuesThroughDispatch) {
  TZoltaDriver generic(".EDN");
  zabi::IDispatch* d = generic.dispatch();
  EXPECT_EQ(zabi::invoke(d, dispid::GetDeviceName).toString(), "Generic Zolta Device");
  EXPECT_EQ(zabi::invoke(d, dispid::GetDeviceDescription).toString(), "Generic Zolta Device");
  EXPECT_EQ(zabi::invoke(d, dispid::GetPackageDimensions).toString(), "? x ? mm");
  EXPECT_EQ(zabi::invoke(d, 503391).toString(), "Un-Classified Packages");
  EXPECT_EQ(zabi::invoke(d, dispid::GetInstructionLength).toInt32(), 4);
  EXPECT_EQ(zabi::invoke(d, 503410).toInt32(), -1);
  EXPECT_EQ(zabi::invoke(d, dispid::CoreGen_OutputExtension).toString(), ".EDN");
  EXPECT_EQ(zabi::invoke(d, dispid::GetDeviceState).toInt32(), 0);
  EXPECT_EQ(zabi::invoke(d, 503808, 3).toString(), "0");
  EXPECT_EQ(zabi::invoke(d, 508554, 0).type(), zabi::VT_I8);
  EXPECT_TRUE(zabi::invoke(d, dispid::GetBSDLEntity).toDispatch() == nullptr);
  EXPECT_EQ(zabi::invoke(d, dispid::GetBSDLEntity).type(), zabi::VT_DISPATCH);
  EXPECT_TRUE(zabi::invoke(d, 503784).toBool());   // RunDiagnostic
  EXPECT_FALSE(zabi::invoke(d, 503755).toBool());  // Finalize
}

TEST(GenericDriver, IsNeverFreedByTheHostsReferences) {
  TDevice_Arria2GZDriver driver(0);
  zabi::IDispatch* d = driver.dispatch();
  EXPECT_EQ(d->AddRef(), -1);
  for (int i = 0; i < 1000; ++i) d->Release();
  EXPECT_EQ(zabi::invoke(d, dispid::CoreGen_OutputExtension).toString(), ".VHD");
  for (const zabi::Guid& iid : {zabi::IID_IInterface, zabi::IID_IDispatch, zabi::IID_ISupportService,
                                zabi::IID_IDriverMemoryAccess}) {
    void* p = nullptr;
    EXPECT_EQ(d->QueryInterface(iid, &p), zabi::kOk);
    EXPECT_NE(p, nullptr);
  }
  auto mem = zabi::queryInterface<zabi::IDriverMemoryAccess>(d, zabi::IID_IDriverMemoryAccess);
  int32_t r = 7;
  EXPECT_EQ(mem->MemoryRead(1, 2, 3, 4, 5, &r), zabi::kOk);
  EXPECT_EQ(r, 0);
  EXPECT_TRUE(zabi::invoke(d, kDispSupportsService, "zoltadriver").toBool());
  EXPECT_TRUE(zabi::invoke(d, kDispSupportsService, "DeviceInformation").toBool());
  EXPECT_FALSE(zabi::invoke(d, kDispSupportsService, "DevicePin").toBool());
  zabi::Var res;
  EXPECT_EQ(zabi::tryInvoke(d, 1, &res, nullptr), zabi::kNotImpl);
}

TEST(GenericDriver, SupportsDeviceKindsAndActions) {
  TDevice_Arria2GZDriver driver(0);
  struct Case {
    const char* name;
    bool expected;
  } cases[] = {
      {"fpga", true},
      {"CPLD", false},
      {"ShowViewer", true},
      {"ResetDevice", true},
      {"Action=PauseProcessor|Index=1", false},
      {"Action=ResetDevice|ToolchainName=Quartus", false},
      {"Flash_DownloadDevice", false},
      {"VerifyProgram", false},
      {"ProcessorMenu", false},
      {"NotAnAction", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(zabi::invoke(driver.dispatch(), dispid::Supports, c.name).toBool(), c.expected);
  }
}

TEST(GenericDriver, UnboundJtagOperationsAnswerFixedValues) {
  TDevice_Arria2GZDriver driver(5);
  zabi::IDispatch* d = driver.dispatch();
  EXPECT_EQ(zabi::invoke(d, dispid::ReadUserCode).toInt32(), -1);
  EXPECT_EQ(zabi::invoke(d, dispid::GetDeviceState).toInt32(), 1);
  EXPECT_EQ(zabi::invoke(d, dispid::ProgramDevice, "/nonexistent.rbf").toInt32(), 0);
  EXPECT_FALSE(zabi::invoke(d, dispid::ResetDevice).toBool());
  // EPM_Download does not program when the reset fails.
  EXPECT_FALSE(zabi::invoke(d, dispid::EPM_Download, "", "x.rbf", "").toBool());
}

TEST(Arria2GZDriver, KeepsOneDownloadStageForTheRBFFile) {
  TDevice_Arria2GZDriver driver(0);
  DispPtr stage = zabi::invoke(driver.dispatch(), dispid::FlowStage_Download).toDispatch();
  ASSERT_TRUE(stage);
  EXPECT_EQ(zabi::invoke(driver.dispatch(), dispid::FlowStage_Download).toDispatch(), stage);
  EXPECT_EQ(zabi::invoke(stage, flowid::StageName).toString(), "Download");
  EXPECT_EQ(zabi::invoke(stage, flowid::StageCaption).toString(), "Program &FPGA");
  zabi::invoke(stage, flowid::SetBasePath, "/projects/demo/demo.edf");
  EXPECT_EQ(zabi::invoke(stage, flowid::InputDescription).toString(), "demo.RBF");
}

TEST(GenericDriver, BindsToTheHostDeviceAndItsChannel) {
  BoundDevice b;
  TZoltaDriver driver(".VHD");
  EXPECT_TRUE(zabi::invoke(driver.dispatch(), dispid::SetZoltaDevice, b.devicePtr).toBool());
  EXPECT_EQ(zabi::invoke(driver.dispatch(), dispid::GetZoltaDevice).toDispatch(), b.devicePtr);
  EXPECT_EQ(driver.GetBoundChannel(), b.channelPtr);
  EXPECT_EQ(driver.GetBoundDeviceIndex(), 1);
  EXPECT_EQ(driver.GetBoundJTagDevice(), b.jtagPtr);
  driver.SetZoltaDevice({});
  EXPECT_FALSE(driver.GetBoundChannel());
  EXPECT_EQ(driver.GetBoundDeviceIndex(), 0);
}

TEST(GenericDriver, DebugSequencesLockTheChannelAndWriteTheControlRegister) {
  BoundDevice b;
  TZoltaDriver driver(".VHD");
  driver.SetZoltaDevice(b.devicePtr);

  b.reg = 0xFF;
  driver.PauseProcessor();
  ASSERT_EQ(b.writes().size(), 1u);
  EXPECT_EQ(b.writes()[0], "dev:503667(64,8,84)");  // debug enable + request set, the unused bit 6 kept
  std::vector<std::string> channelCalls;
  for (auto& e : b.log)
    if (e.rfind("chan:", 0) == 0) channelCalls.push_back(e);
  EXPECT_EQ(channelCalls.front(), "chan:503425()");
  EXPECT_EQ(channelCalls.back(), "chan:503426()");

  b.log.clear();
  b.reg = 0;
  driver.RunSteps(0);
  // Once after setting debug request and enable; not again after setting debug step.
  auto w = b.writes();
  ASSERT_EQ(w.size(), 2u);  // the pause write and the one before stepping
  EXPECT_EQ(w[1], "dev:503667(64,8,20)");

  b.log.clear();
  driver.RunSteps(3);
  EXPECT_EQ(b.writes().size(), 5u);
  EXPECT_EQ(b.writes().back(), "dev:503667(64,8,22)");

  b.reg = TZoltaDriver::kDebugEnable | TZoltaDriver::kDebugAcknowledge;
  EXPECT_TRUE(driver.ProcessorIsPaused());
  EXPECT_FALSE(driver.ProcessorIsRunning());
  b.reg = TZoltaDriver::kReset;
  EXPECT_TRUE(driver.ProcessorIsReset());

  b.log.clear();
  driver.ResetZoltaRegisters();
  std::vector<std::string> resetCalls;
  for (auto& e : b.log)
    if (e.rfind("chan:", 0) == 0) resetCalls.push_back(e);
  EXPECT_EQ(resetCalls, (std::vector<std::string>{"chan:503425()", "chan:503601(2,1)", "chan:503426()"}));
}

TEST(GenericDriver, DebugSequencesWithoutADeviceFailWithAnErrorStatus) {
  TZoltaDriver driver(".VHD");
  zabi::Var r;
  std::string msg;
  EXPECT_EQ(zabi::tryInvoke(driver.dispatch(), 503797, &r, &msg), zabi::kDispException);
  EXPECT_FALSE(msg.empty());
}

TEST(GenericDriver, RackViewerWithoutBoundaryScanDataShowsTheErrorBox) {
  BoundDevice b;
  DialogRecorder dialogs;
  TZoltaDriver driver(".VHD");
  driver.CreateRackViewer();  // unbound: nothing, silently
  EXPECT_TRUE(dialogs.shown.empty());
  driver.SetZoltaDevice(b.devicePtr);
  EXPECT_EQ(zabi::tryInvoke(driver.dispatch(), dispid::CreateRackViewer, nullptr, nullptr), zabi::kOk);
  ASSERT_EQ(dialogs.shown.size(), 1u);
  EXPECT_EQ(dialogs.shown[0].Caption, "Error");
  EXPECT_EQ(dialogs.shown[0].Text, "Failed To find Boundary Scan data for Device\r\rDevice:  EP2AGZ225FF35C3");
  EXPECT_EQ(dialogs.shown[0].DialogType, TMsgDlgType::mtError);
  EXPECT_FALSE(zabi::invoke(driver.dispatch(), dispid::GetRackViewer).toDispatch());
}

TEST(GenericDriver, CustomActionStateWritesThreeFalseFlagsBack) {
  TZoltaDriver driver(".VHD");
  bool a = true, b = true, c = true;
  zabi::invoke(driver.dispatch(), dispid::CustomAction_GetState, 1, zabi::ref(a), zabi::ref(b), zabi::ref(c), 0, 0);
  EXPECT_FALSE(a || b || c);
}

TEST(GenericDriver, ConstraintFilePrefersTheCustomFile) {
  TempDir tmp;
  const fs::path& dir = tmp.path;
  std::string custom = tmp.write("custom.Constraint", "x\n");
  std::string named = tmp.write("Generic Zolta Device.Constraint", "x\n");
  TZoltaDriver driver(".VHD");
  EXPECT_EQ(driver.GetEmbeddedConstraintFile(), "");  // relative device-named file is not in the cwd
  driver.SetEmbeddedConstraintFile(custom);
  EXPECT_EQ(zabi::invoke(driver.dispatch(), dispid::GetEmbeddedConstraintFile).toString(), custom);
  driver.SetEmbeddedConstraintFile((dir / "missing.Constraint").string());
  EXPECT_EQ(driver.GetEmbeddedConstraintFile(), "");
  std::string found;
  EXPECT_TRUE(driver.FindLibraryFile(named, found));
  EXPECT_FALSE(driver.FindLibraryFile("", found));
}

TEST(GenericDriver, DeviceBitmapNeedsTheGenericPicture) {
  TZoltaDriver driver(".VHD");
  const std::string base = JoinPath(GetSystemFolder(), "Generic_Hard_Device.bmp");
  fs::remove(base);
  EXPECT_EQ(zabi::invoke(driver.dispatch(), dispid::GetBitmapHandle).toInt32(), 0);
  fs::create_directories(GetSystemFolder());
  QImage img(40, 30, QImage::Format_RGB888);
  img.fill(Qt::red);
  ASSERT_TRUE(img.save(QString::fromStdString(base), "BMP"));
  int32_t h = zabi::invoke(driver.dispatch(), dispid::GetBitmapHandle).toInt32();
  EXPECT_NE(h, 0);
  ASSERT_NE(BitmapFromHandle(h), nullptr);
  EXPECT_EQ(BitmapFromHandle(h)->size(), QSize(40, 30));
  EXPECT_EQ(zabi::invoke(driver.dispatch(), dispid::GetBitmapHandle).toInt32(), h);  // kept
  fs::remove(base);
}
