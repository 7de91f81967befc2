// Host-backed routines against the recording fake host: the calls they make, in order, and what
// they do without a host.
#include <gtest/gtest.h>
#include <dlfcn.h>
#include <ini.h>

#include <QCoreApplication>
#include <QObject>
#include <QPointer>
#include <filesystem>
#include <fstream>

#include "fake_host.h"
#include "zolta/host/utils.h"

// The host executable's exports, as the real host offers them; the test decides what they answer.
namespace {
zabi::IDispatch* gExportedClient = nullptr;
}
extern "C" __attribute__((visibility("default"))) zabi::IDispatch* ClientAPI_GetClientInterface() {
  return gExportedClient;
}
extern "C" __attribute__((visibility("default"))) int32_t VFSAPI_VFS_ExpandRelativePath(const char16_t* base,
                                                                                       const char16_t* relative,
                                                                                       char16_t* buffer,
                                                                                       int32_t bufferBytes) {
  std::u16string r = std::u16string(base) + u"|" + relative;
  const size_t room = size_t(bufferBytes) / sizeof(char16_t);
  std::fill(buffer, buffer + room, u'X');  // a host that forgets the terminator must not overrun us
  std::copy(r.begin(), r.begin() + std::min(r.size(), room), buffer);
  if (r.size() < room) buffer[r.size()] = 0;
  return int32_t(r.size());
}

namespace zolta {
namespace {

using fake::FakeHost;
using fake::TempDir;
using Calls = std::vector<std::string>;

// Records every message box instead of showing it.
struct DialogRecorder {
  std::vector<TMessageDialogRequest> shown;
  int32_t answer = mrOk;
  TMessageDialogHandler previous;
  DialogRecorder() {
    previous = SetMessageDialogHandler([this](const TMessageDialogRequest& r) {
      shown.push_back(r);
      return answer;
    });
  }
  ~DialogRecorder() { SetMessageDialogHandler(previous); }
};

class HostCalls : public ::testing::Test {
 protected:
  void SetUp() override { ResetHostCaches(); }
  void TearDown() override { ResetHostCaches(); }
};

TEST_F(HostCalls, WithoutAHostEverythingIsEmptyOrNothing) {
  gExportedClient = nullptr;
  DialogRecorder dialogs;
  EXPECT_FALSE(HostClient());
  EXPECT_FALSE(GetClientAPI());
  EXPECT_FALSE(GetWorkspace());
  EXPECT_FALSE(GetDeviceManager());
  EXPECT_EQ(GetEDIFFolder(), "");
  EXPECT_EQ(GetEmbeddedLibraryFolder(), "");
  EXPECT_EQ(GetImageListFolder(), "");
  EXPECT_EQ(GetHostMainWindow(), 0);
  EXPECT_FALSE(ForwardShortcutToHost('A'));
  std::string params = "Action=ResetDevice";
  RunHostProcess("FPGAFlow:DeviceAction", params);
  EXPECT_EQ(params, "Action=ResetDevice");
  BeginProgress("work", 3);
  StepProgress();
  EXPECT_EQ(ProgressDepth(), 0);
  EndProgress();
  ResetStatusBar();
  int folders = 0;
  ForEachPluginFolder([&](const std::string&, bool&) { ++folders; });
  EXPECT_EQ(folders, 0);
  EXPECT_EQ(SpecialFolder_EmbeddedExtension(), "/");
  EXPECT_FALSE(GetVendorToolManager());
  ReportLockedFile("/x/a.SchDoc", "pc", "bob", kLockedFileReport_Message);
  EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(HostCalls, HostClientComesFromTheExecutableExport) {
  fake::CallLog log;
  fake::FakeClient* client = new fake::FakeClient(log);
  DispPtr keep(client->dispatch());
  gExportedClient = client->dispatch();
  EXPECT_EQ(HostClient().get(), client->dispatch());
  gExportedClient = nullptr;
  EXPECT_EQ(HostClient().get(), client->dispatch());  // cached until reset
  ResetHostCaches();
  EXPECT_FALSE(HostClient());
}

TEST_F(HostCalls, ExpandRelativePathUsesTheHostExportAndBoundsItsBuffer) {
  EXPECT_EQ(ExpandRelativePath("/base/", "lib/x.bsd"), "/base/|lib/x.bsd");
  const std::string longText(5000, 'a');
  const std::string r = ExpandRelativePath(longText, "b");
  EXPECT_EQ(r.size(), 4096 / 2 - 1);  // the last character of the buffer is forced to end the text
}

TEST_F(HostCalls, StatusBarProgressCommands) {
  FakeHost host;
  BeginProgress("Programming", 3);
  StepProgress();
  StepProgress();
  StepProgress();
  StepProgress();  // beyond the total: no more steps
  EndProgress();
  ResetStatusBar();
  const Calls calls = host.log.starting("gui.");
  ASSERT_EQ(calls.size(), 2u + 100u + 2u + 1u);
  EXPECT_EQ(calls[0], "gui.164(-3,)");
  EXPECT_EQ(calls[1], "gui.164(-5,Programming)");
  for (size_t i = 2; i < 102; ++i) ASSERT_EQ(calls[i], "gui.164(-7,)") << i;
  EXPECT_EQ(calls[102], "gui.164(-6,)");
  EXPECT_EQ(calls[103], "gui.164(-4,)");
  EXPECT_EQ(calls[104], "gui.164(-1,)");
}

TEST_F(HostCalls, ProgressStepsFollowRoundedPercentages) {
  FakeHost host;
  struct Case {
    int32_t total;
    std::vector<size_t> stepsPerCall;
  };
  const Case cases[] = {
      {3, {33, 34, 33}},          // 33, 67, 100
      {8, {12, 13, 13, 12, 12, 13, 13, 12}},  // 12.5 -> 12, 25, 37.5 -> 38, 50, 62.5 -> 62, ...
      {0, {100, 0}},
      {1, {100, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.total);
    BeginProgress("t", c.total);
    for (size_t expected : c.stepsPerCall) {
      host.log.calls.clear();
      StepProgress();
      EXPECT_EQ(host.log.count("gui.164(-7,)"), expected);
    }
    EndProgress();
  }
}

TEST_F(HostCalls, NestedProgressResumesTheOuterEntry) {
  FakeHost host;
  BeginProgress("outer", 2);
  StepProgress();  // 50
  BeginProgress("inner", 1);
  EXPECT_EQ(ProgressDepth(), 2);
  StepProgress();  // inner 100
  EndProgress();
  host.log.calls.clear();
  StepProgress();  // outer 50 -> 100
  EXPECT_EQ(host.log.count("gui.164(-7,)"), 50u);
  EndProgress();
  EXPECT_EQ(ProgressDepth(), 0);
  host.log.calls.clear();
  EndProgress();  // nothing active: nothing sent
  StepProgress();
  EXPECT_TRUE(host.log.starting("gui.").empty());
}

TEST_F(HostCalls, HostFoldersAndTheirCase) {
  FakeHost host;
  host.api->specialFolder = "/Opt/Zolta/Shared";
  host.api->embeddedFolder = "/Opt/Zolta/Embedded/";
  host.api->imageFolder2 = "/Opt/Images2/";
  EXPECT_EQ(GetEDIFFolder(), "/Opt/Zolta/Shared/EDIF/");
  EXPECT_EQ(GetEmbeddedLibraryFolder(), "/Opt/Zolta/Embedded/");
  EXPECT_EQ(GetImageListFolder(), "/Opt/Images2/");  // 774 empty, then 773
  host.api->imageFolder = "/Opt/Images/";
  host.log.calls.clear();
  EXPECT_EQ(GetImageListFolder(), "/Opt/Images/");
  EXPECT_EQ(host.log.starting("api."), (Calls{"api.774()"}));
  EXPECT_EQ(GetHostMainWindow(), 0x1234);
}

TEST_F(HostCalls, PluginRegistryWalkSkipsFlaggedItemsAndStops) {
  FakeHost host;
  host.registry->addFolder("/p/one");
  host.registry->addFolder("/p/flagged/", 1);
  host.registry->addFolder("/p/two/");
  host.registry->addFolder("/p/three");
  std::vector<std::string> seen;
  ForEachPluginFolder([&](const std::string& folder, bool& stop) {
    seen.push_back(folder);
    stop = folder == "/p/two/";
  });
  EXPECT_EQ(seen, (std::vector<std::string>{"/p/one/", "/p/two/"}));
  EXPECT_EQ(host.log.calls, (Calls{"client.2027()", "reg.2017()", "reg.2018(0)", "item.2010()", "item.2009()",
                                   "reg.2018(1)", "item.2010()", "reg.2018(2)", "item.2010()", "item.2009()"}));
}

TEST_F(HostCalls, FindPluginFileLoadHostModuleAndEmbeddedExtension) {
  FakeHost host;
  TempDir a, b;
  host.registry->addFolder(a.str());
  host.registry->addFolder(b.str());
  b.write("Helper.DAT", "x");
  b.write(zabi::host::kToolchainModuleFile, "module");
  EXPECT_EQ(FindPluginFile("helper.dat"), b.str() + "Helper.DAT");
  EXPECT_EQ(FindPluginFile("missing.dat"), "");
  EXPECT_EQ(SpecialFolder_EmbeddedExtension(), b.str());

  // A module that is not loaded yet is loaded from the plug-in folder that holds it.
  Dl_info info{};
  ASSERT_NE(::dladdr(reinterpret_cast<void*>(&ini_parse), &info), 0);
  std::filesystem::copy_file(info.dli_fname, a.path / "libZoltaHostModuleCopy.so");
  void* handle = nullptr;
  ASSERT_TRUE(LoadHostModule(handle, "libZoltaHostModuleCopy.so"));
  EXPECT_NE(::dlsym(handle, "ini_parse"), nullptr);
}

TEST_F(HostCalls, RunHostProcessPassesParametersBothWays) {
  FakeHost host;
  host.client->processAnswer = "Result=Done";
  std::string params = "Target=HardDevice|Action=ResetDevice|Index=2";
  RunHostProcess("FPGAFlow:DeviceAction", params);
  EXPECT_EQ(params, "Result=Done");
  EXPECT_EQ(host.log.starting("client.625"),
            (Calls{"client.625(FPGAFlow:DeviceAction,Target=HardDevice|Action=ResetDevice|Index=2,none)"}));
}

TEST_F(HostCalls, ShortcutsGoToTheGUIManager) {
  FakeHost host;
  EXPECT_FALSE(ForwardShortcutToHost(65));
  EXPECT_EQ(host.log.starting("gui."), (Calls{"gui.158(65,false,false,false)"}));
  host.gui->takeShortcuts = true;
  host.log.calls.clear();
  EXPECT_TRUE(ForwardShortcutToHost(66));
  EXPECT_EQ(host.log.starting("gui."), (Calls{"gui.158(66,false,false,false)", "gui.156()"}));
}

TEST_F(HostCalls, LockedFileMessageAndWarning) {
  FakeHost host;
  DialogRecorder dialogs;
  ReportLockedFile("/d/a.SchDoc", "PC7", "bob", kLockedFileReport_Message);
  EXPECT_EQ(host.log.starting("msg."),
            (Calls{"msg.439([Locked File],/d/a.SchDoc is used by bob on PC7. You will not be able to save your "
                   "changes.,ZoltaHost,/d/a.SchDoc,WorkspaceManager:OpenObject,FileName=/d/a.SchDoc,73,false,,)"}));
  EXPECT_TRUE(dialogs.shown.empty());
  ReportLockedFile("/d/a.SchDoc", "PC7", "bob", kLockedFileReport_Warning);
  ASSERT_EQ(dialogs.shown.size(), 1u);
  EXPECT_EQ(dialogs.shown[0].Caption, "Warning");
  EXPECT_EQ(dialogs.shown[0].DialogType, TMsgDlgType::mtWarning);
  EXPECT_EQ(dialogs.shown[0].Buttons, mbOK);
  EXPECT_EQ(dialogs.shown[0].Text,
            "/d/a.SchDoc is used and locked by bob on PC7.\nYou will not be able to save your changes.");
}

TEST_F(HostCalls, NoPromptFlagSilencesLockReportsButSavesStillFail) {
  FakeHost host;
  DialogRecorder dialogs;
  host.api->noPrompt = true;
  TempDir dir;
  const std::string file = dir.write("a.txt", "old");
  std::ofstream(LockFileNameOf(file)) << "ComputerName=elsewhere\nUserName=bob\nProcessID=1\n";
  EXPECT_FALSE(SaveStringsToFile({"new"}, file));
  ReportLockedFile(file, "x", "y", kLockedFileReport_Warning);
  EXPECT_TRUE(host.log.starting("msg.").empty());
  EXPECT_TRUE(dialogs.shown.empty());
  EXPECT_EQ(host.log.count("api.793()"), 1u);  // read once per process
  EXPECT_EQ(fake::readFile(file), "old");
}

TEST_F(HostCalls, SaveStringsToFileBracketsTheWrite) {
  FakeHost host;
  TempDir dir;
  const std::string file = dir.write("top.tcl", "old\n");
  host.openDocument(file);
  EXPECT_TRUE(SaveStringsToFile({"line 1", "", "line 3"}, file));
  EXPECT_EQ(host.log.starting("doc."), (Calls{"doc.100(old\n)", "doc.101(line 1\n\nline 3\n)"}));
  // A locked file is reported in the messages panel and left unwritten.
  std::ofstream(LockFileNameOf(file)) << "ComputerName=elsewhere\nUserName=ann\nProcessID=1\n";
  host.log.calls.clear();
  EXPECT_FALSE(SaveStringsToFile({"other"}, file));
  EXPECT_TRUE(host.log.starting("doc.").empty());
  ASSERT_EQ(host.log.starting("msg.439").size(), 1u);
  EXPECT_NE(host.log.starting("msg.439")[0].find("is used by ann on elsewhere."), std::string::npos);
  // A file that cannot be written answers false, and the document still hears the end of the change.
  const std::string folderAsFile = dir.str() + "sub";
  std::filesystem::create_directory(folderAsFile);
  host.openDocument(folderAsFile);
  host.log.calls.clear();
  EXPECT_FALSE(SaveStringsToFile({"x"}, folderAsFile));
  EXPECT_EQ(host.log.starting("doc.").size(), 2u);
}

TEST_F(HostCalls, SaveTempFileOverTargetReplacesAtomically) {
  FakeHost host;
  TempDir dir;
  const std::string target = dir.write("top.qsf", "old");
  const std::string temp = dir.write("top.qsf.tmp", "new");
  host.openDocument(target);
  EXPECT_TRUE(SaveTempFileOverTarget(temp, target));
  EXPECT_EQ(host.log.starting("doc."), (Calls{"doc.100(old)", "doc.101(new)"}));
  EXPECT_FALSE(FileExists(temp));
  EXPECT_TRUE(SaveTempFileOverTarget(target, zabi::upperAscii(target)));  // the same name: nothing to do

  // A missing temporary file leaves the target alone and is not a success.
  EXPECT_FALSE(SaveTempFileOverTarget(temp, target));
  EXPECT_EQ(fake::readFile(target), "new");

  // A move that fails (the target is a non-empty folder) keeps the target and removes the temp file.
  const std::string folder = dir.str() + "busy";
  dir.write("busy/inside.txt", "keep");
  const std::string temp2 = dir.write("t2", "data");
  EXPECT_FALSE(SaveTempFileOverTarget(temp2, folder));
  EXPECT_FALSE(FileExists(temp2));
  EXPECT_TRUE(FileExists(folder + "/inside.txt"));

  // A target locked by another: reported, temp file deleted, target unchanged.
  const std::string temp3 = dir.write("t3", "newer");
  std::ofstream(LockFileNameOf(target)) << "ComputerName=elsewhere\nUserName=ann\nProcessID=1\n";
  host.log.calls.clear();
  EXPECT_FALSE(SaveTempFileOverTarget(temp3, target));
  EXPECT_FALSE(FileExists(temp3));
  EXPECT_EQ(host.log.starting("msg.439").size(), 1u);
  EXPECT_EQ(fake::readFile(target), "new");
}

TEST_F(HostCalls, SaveTempFileOverTargetAcrossFileSystems) {
  // /dev/shm is a separate file system on most machines; rename(2) then fails with EXDEV.
  if (!DirectoryExists("/dev/shm")) GTEST_SKIP() << "no /dev/shm";
  TempDir dir;
  const std::string target = dir.write("out.rbf", "old");
  const std::string temp = "/dev/shm/zolta_host_test_" + ThisProcessID();
  std::ofstream(temp, std::ios::binary) << "fresh";
  EXPECT_TRUE(SaveTempFileOverTarget(temp, target));
  EXPECT_EQ(fake::readFile(target), "fresh");
  EXPECT_FALSE(FileExists(temp));
  for (const auto& e : std::filesystem::directory_iterator(dir.path))
    EXPECT_EQ(e.path().filename().string().rfind(".~Pro", 0), std::string::npos) << "staging file left behind";
}

TEST_F(HostCalls, MessageBoxesGoThroughTheDialogService) {
  {
    DialogRecorder dialogs;
    dialogs.answer = mrYes;
    EXPECT_EQ(ShowMessageDialog("Confirm", "Program?", TMsgDlgType::mtConfirmation, mbYesNo), mrYes);
    ShowWarning("w");
    ShowInformation("i", "Custom");
    ShowError("e");
    ASSERT_EQ(dialogs.shown.size(), 4u);
    EXPECT_EQ(dialogs.shown[0].Buttons, mbYesNo);
    EXPECT_EQ(dialogs.shown[1].Caption, "Warning");
    EXPECT_EQ(dialogs.shown[2].Caption, "Custom");
    EXPECT_EQ(dialogs.shown[2].DialogType, TMsgDlgType::mtInformation);
    EXPECT_EQ(dialogs.shown[3].Caption, "Error");
    EXPECT_EQ(dialogs.shown[3].DialogType, TMsgDlgType::mtError);
  }
  // The default service without a GUI application writes one line and answers OK.
  ::testing::internal::CaptureStderr();
  const int32_t r = ShowMessageDialog("Error", "Failed To find Boundary Scan data", TMsgDlgType::mtError, mbOK);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "Error: Failed To find Boundary Scan data\n");
  EXPECT_EQ(r, mrOk);
}

TEST_F(HostCalls, EventPumpAndDestroyLater) {
  int pumped = 0;
  ProcessPaintMessages();  // no pump installed: nothing
  SetEventPump([&] { ++pumped; });
  ProcessPaintMessages();
  PumpHostEvents();
  EXPECT_EQ(pumped, 2);
  SetEventPump(nullptr);
  PumpHostEvents();
  EXPECT_EQ(pumped, 2);

  int argc = 1;
  char name[] = "host_tests";
  char* argv[] = {name, nullptr};
  QCoreApplication app(argc, argv);
  QPointer<QObject> form = new QObject;
  DestroyLater(form);
  DestroyLater(nullptr);
  EXPECT_FALSE(form.isNull());  // not before control returns to the event loop
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(form.isNull());
}

}  // namespace
}  // namespace zolta
