// The host application's library: plug-in loading, the host objects' dispatch behaviour and models.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "test_support.h"
#include "zolta/host_ids.h"
#include "zolta/hostapp/host.h"
#include "zolta/hostapp/ids.h"
#include "zolta/hostapp/paths.h"
#include "zolta/hostapp/terminal_progress.h"
#include "zolta/hostapp/text.h"

namespace zolta::hostapp::test {
namespace {

namespace h = zabi::host;
using zabi::Var;

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

const HostIssue* issueFor(const Host& host, const std::string& fileEnd) {
  for (const HostIssue& i : host.issues())
    if (i.file.size() >= fileEnd.size() && i.file.compare(i.file.size() - fileEnd.size(), fileEnd.size(), fileEnd) == 0)
      return &i;
  return nullptr;
}

// A host rooted in a temporary folder whose plug-in folder holds the test plug-in under TestDev/.
class HostTest : public ::testing::Test {
 protected:
  void SetUp() override {
    plugins = root.mkdir("plugins");
    root.copy(ZOLTA_TEST_PLUGIN, "plugins/TestDev/TestDev.ZLT");
  }
  std::unique_ptr<Host> makeHost(bool load = true) {
    auto host = std::make_unique<Host>(testOptions(root, plugins));
    if (load) host->loadPlugins();
    return host;
  }
  TempFolder root;
  std::string plugins;
};

// ---- loading -----------------------------------------------------------------------------------

TEST_F(HostTest, LoaderSkipsBadFilesNamingTheReasonAndLoadsTheRest) {
  root.write("plugins/Bad/Bad.ZLT", "this is a text file, not a shared object\n");
  root.copy(ZOLTA_NO_ENTRY_PLUGIN, "plugins/NoEntry/NoEntry.zlt");
  root.copy(ZOLTA_TEST_PLUGIN, "plugins/FailCount/FailCount.ZLT");
  root.copy(ZOLTA_TEST_PLUGIN, "plugins/Other.so");  // not a plug-in file name: ignored
  auto host = makeHost();

  ASSERT_EQ(host->plugins().size(), 1u);
  EXPECT_EQ(host->plugins()[0]->name(), "TestDev");
  ASSERT_EQ(host->drivers().size(), 3u);
  for (int32_t k = 0; k < 3; ++k) {
    EXPECT_EQ(host->drivers().entries()[size_t(k)].kind, k);
    EXPECT_EQ(host->drivers().deviceName(size_t(k)), "TESTDEV" + std::to_string(k));
  }

  struct Expected {
    const char* file;
    const char* reason;
  } expected[] = {
      {"Bad/Bad.ZLT", "not a loadable shared object"},
      {"NoEntry/NoEntry.zlt", "entry point GetZoltaDriverCount is missing"},
      {"FailCount/FailCount.ZLT", "GetZoltaDriverCount failed with status 0x8000FFFF"},
  };
  for (const Expected& e : expected) {
    SCOPED_TRACE(e.file);
    const HostIssue* issue = issueFor(*host, e.file);
    ASSERT_NE(issue, nullptr);
    EXPECT_TRUE(contains(issue->reason, e.reason)) << issue->reason;
  }
  EXPECT_EQ(host->issues().size(), 4u);  // the three files and the missing family file of the bare root

  // The plug-ins registry has one item per plug-in folder; folders where nothing loaded are flagged.
  DispPtr registry = zabi::invoke(host->client(), h::Client_GetPluginsRegistry).toDispatch();
  ASSERT_EQ(zabi::invoke(registry, h::PluginsRegistry_GetCount).toInt32(), 4);
  std::vector<std::pair<std::string, int32_t>> items;
  for (int32_t i = 0; i < 4; ++i) {
    DispPtr item = zabi::invoke(registry, h::PluginsRegistry_GetItem, i).toDispatch();
    items.emplace_back(zabi::invoke(item, h::PluginItem_GetFolder).toString(),
                       zabi::invoke(item, h::PluginItem_GetFlag).toInt32());
  }
  EXPECT_EQ(items[0], std::make_pair(plugins + "/Bad", 1));
  EXPECT_EQ(items[1], std::make_pair(plugins + "/FailCount", 1));
  EXPECT_EQ(items[2], std::make_pair(plugins + "/NoEntry", 1));
  EXPECT_EQ(items[3], std::make_pair(plugins + "/TestDev", 0));
  Var result;
  std::string message;
  EXPECT_EQ(zabi::tryInvoke(registry.get(), h::PluginsRegistry_GetItem, &result, &message, 4), zabi::kDispException);
  EXPECT_TRUE(contains(message, "item 4 does not exist")) << message;
}

TEST_F(HostTest, ADriverRefusedForOneKindKeepsTheOtherKinds) {
  root.copy(ZOLTA_TEST_PLUGIN, "plugins/NoKind1/NoKind1.ZLT");
  auto host = makeHost();
  ASSERT_EQ(host->plugins().size(), 2u);
  EXPECT_EQ(host->drivers().size(), 5u);
  const HostIssue* issue = issueFor(*host, "NoKind1/NoKind1.ZLT");
  ASSERT_NE(issue, nullptr);
  EXPECT_EQ(issue->reason, "GetZoltaDriver_Plugin for kind 1 failed with status 0x8000FFFF");
}

TEST_F(HostTest, AMissingPluginFolderIsAnIssueNotAFailure) {
  auto host = std::make_unique<Host>(testOptions(root, root.path() + "/nowhere"));
  host->loadPlugins();
  EXPECT_TRUE(host->plugins().empty());
  const HostIssue* issue = issueFor(*host, "/nowhere");
  ASSERT_NE(issue, nullptr);
  EXPECT_EQ(issue->reason, "the plug-in folder does not exist");
}

// ---- dispatch --------------------------------------------------------------------------------

TEST_F(HostTest, DispatchFailuresComeBackAsStatusesWithMessages) {
  auto host = makeHost(false);
  struct Case {
    const char* what;
    DispPtr object;
    zabi::DispId id;
    std::vector<Var> args;
    zabi::HResult status;
    const char* message;
  };
  std::vector<Case> cases = {
      {"unknown id", host->client(), 1, {}, zabi::kNotImpl, ""},
      {"unknown id on the GUI manager", host->guiManager(), 4711, {Var(1)}, zabi::kNotImpl, ""},
      {"too few arguments", host->guiManager(), h::GUIManager_StatusBarCommand, {Var(-3)}, zabi::kDispException,
       "takes 2 argument(s), 1 given"},
      {"too many arguments", host->client(), h::Client_GetApplicationName, {Var(1)}, zabi::kDispException,
       "takes 0 argument(s), 1 given"},
      {"text that is no integer", host->guiManager(), h::GUIManager_StatusBarCommand, {Var("abc"), Var("x")},
       zabi::kDispException, "'abc'"},
      {"object where a text is wanted", host->client(), h::Client_GetServerModuleByName, {Var(host->client())},
       zabi::kDispException, "Could not convert"},
      {"by-reference argument missing", host->client(), h::Client_RunProcess, {Var("P"), Var("A=1")},
       zabi::kDispException, "takes 3 argument(s), 2 given"},
      {"unknown status-bar command", host->guiManager(), h::GUIManager_StatusBarCommand, {Var(-2), Var("")},
       zabi::kDispException, "unknown status-bar command -2"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<zabi::Variant> raw;
    for (auto it = c.args.rbegin(); it != c.args.rend(); ++it) raw.push_back(it->raw());  // last first
    zabi::DispParams params{raw.data(), nullptr, uint32_t(raw.size()), 0};
    zabi::Variant result{};
    zabi::ExcepInfo info{};
    zabi::HResult status = c.object->Invoke(c.id, zabi::IID_NULL, 0, zabi::kDispatchMethod, &params, &result, &info, nullptr);
    EXPECT_EQ(status, c.status);
    std::string message = zabi::fromWStr(info.description);
    EXPECT_TRUE(contains(message, c.message)) << message;
    zabi::wstrFree(info.source);
    zabi::wstrFree(info.description);
    zabi::wstrFree(info.helpFile);
    Var::adopt(result);
  }
}

TEST(HostTables, EveryDispatchTableIsSortedByIdentifier) {
  const DispatchTable* tables[] = {&TClient::table(),         &TClientAPI::table(),     &TPluginsRegistry::table(),
                                   &TPluginItem::table(),     &TGUIManager::table(),    &TWorkspace::table(),
                                   &TMessagesManager::table(), &TDocument::table(),     &TTimerManager::table(),
                                   &TDeviceManager::table(),  &TFamilyManager::table(), &TDeviceFamily::table(),
                                   &THostDevice::table(),     &TVendorToolManager::table(), &TFPGAFlowModule::table()};
  for (const DispatchTable* t : tables) {
    SCOPED_TRACE(std::string(t->serviceName));
    for (size_t i = 1; i < t->count; ++i) EXPECT_LT(t->entries[i - 1].id, t->entries[i].id);
  }
}

TEST_F(HostTest, CallLogRecordsObjectIdentifierAndArguments) {
  auto host = makeHost(false);
  zabi::invoke(host->client(), h::Client_GetApplicationName);  // not recorded: the log is off
  host->callLog().enable(true);
  DispPtr gui = zabi::invoke(host->client(), h::Client_GetGUIManager).toDispatch();
  zabi::invoke(gui, h::GUIManager_StatusBarCommand, -3, "");
  zabi::invoke(gui, h::GUIManager_OfferShortcut, 112, false, true, false);
  ASSERT_EQ(host->callLog().records().size(), 3u);
  EXPECT_EQ(host->callLog().idsOn("Client"), std::vector<zabi::DispId>{h::Client_GetGUIManager});
  auto guiCalls = host->callLog().callsOn("GUIManager");
  ASSERT_EQ(guiCalls.size(), 2u);
  EXPECT_EQ(guiCalls[0].args, (std::vector<std::string>{"-3", ""}));
  EXPECT_EQ(guiCalls[1].args, (std::vector<std::string>{"112", "False", "True", "False"}));
}

TEST_F(HostTest, HostObjectsHeldBeyondTheHostRefuseCalls) {
  auto host = makeHost(false);
  DispPtr client = host->client();
  DispPtr gui = zabi::invoke(client, h::Client_GetGUIManager).toDispatch();
  host.reset();
  Var result;
  std::string message;
  EXPECT_EQ(zabi::tryInvoke(gui.get(), h::GUIManager_StatusBarCommand, &result, &message, -1, ""),
            zabi::kDispException);
  EXPECT_EQ(message, "GUIManager: the host application has shut down (dispatch identifier 164)");
  EXPECT_EQ(zabi::tryInvoke(client.get(), h::Client_GetApplicationName, &result, &message), zabi::kDispException);
}

// ---- client ----------------------------------------------------------------------------------

TEST_F(HostTest, ClientAnswersNameFoldersFlagsAndServerModules) {
  HostOptions o = testOptions(root, plugins);
  o.noPrompt = true;
  Host host(o);
  DispPtr client = host.client();
  EXPECT_EQ(zabi::invoke(client, h::Client_GetApplicationName).toString(), "Zolta");
  EXPECT_EQ(zabi::invoke(client, h::Client_GetMainWindow).toInt32(), 0);
  EXPECT_TRUE(zabi::invoke(client, h::Client_FreeFormsAtOnce).toBool());
  host.setWindows(11, 22);
  EXPECT_EQ(zabi::invoke(client, h::Client_GetMainWindow).toInt32(), 11);
  EXPECT_EQ(zabi::invoke(client, h::Client_SetApplicationWindow).toInt32(), 22);

  DispPtr api = zabi::invoke(client, h::Client_GetClientAPI).toDispatch();
  EXPECT_EQ(zabi::invoke(api, h::ClientAPI_GetSpecialFolder).toString(), root.path() + "/");
  EXPECT_EQ(zabi::invoke(api, h::ClientAPI_GetEmbeddedFolder).toString(), root.path() + "/Library/Embedded/");
  EXPECT_EQ(zabi::invoke(api, h::ClientAPI_GetImageListFolder).toString(), root.path() + "/System/Images/");
  EXPECT_TRUE(zabi::invoke(api, h::ClientAPI_GetNoPromptFlag).toBool());

  DispPtr module = zabi::invoke(client, h::Client_GetServerModuleByName, "fpgaflow").toDispatch();
  ASSERT_TRUE(module);
  EXPECT_TRUE(zabi::invoke(module, 1023, "FPGAFlowModule").toBool());
  EXPECT_TRUE(zabi::invoke(module, h::FPGAFlowModule_GetVendorToolManager).toDispatch());
  EXPECT_FALSE(zabi::invoke(client, h::Client_GetServerModuleByName, "Schematic").toDispatch());
  EXPECT_TRUE(zabi::invoke(client, h::Client_GetTimerManager).toDispatch() == DispPtr(host.timerManager()));
}

TEST_F(HostTest, RunProcessRecordsTheCallAndHandsBackTheParameters) {
  auto host = makeHost(false);
  host->launcher().setHandler("FPGAFlow:DeviceAction", [](std::string& parameters, const DispPtr& view) {
    parameters += "|Result=Done";
  });
  std::string params = "Target=HardDevice|Action=ResetDevice|Index=0";
  zabi::invoke(host->client(), h::Client_RunProcess, "fpgaflow:deviceaction", zabi::ref(params), DispPtr());
  EXPECT_EQ(params, "Target=HardDevice|Action=ResetDevice|Index=0|Result=Done");

  std::string other = "A=1";
  zabi::invoke(host->client(), h::Client_RunProcess, "WorkspaceManager:OpenObject", zabi::ref(other),
               DispPtr(host->guiManager()));
  EXPECT_EQ(other, "A=1");

  const auto& runs = host->launcher().runs();
  ASSERT_EQ(runs.size(), 2u);
  EXPECT_EQ(runs[0].name, "fpgaflow:deviceaction");
  EXPECT_EQ(runs[0].parameters, "Target=HardDevice|Action=ResetDevice|Index=0");
  EXPECT_EQ(runs[0].result, params);
  EXPECT_FALSE(runs[0].withView);
  EXPECT_TRUE(runs[1].withView);
}

TEST_F(HostTest, HelpQueriesFillTheirOutArguments) {
  auto host = makeHost(false);
  DispPtr api = host->clientAPI();
  std::string prefix = "stale", topic = "stale";
  EXPECT_TRUE(zabi::invoke(api, h::ClientAPI_GetHelpPrefix, "Arria2GZ", zabi::ref(prefix)).toBool());
  EXPECT_EQ(prefix, "Arria2GZ");
  EXPECT_FALSE(zabi::invoke(api, h::ClientAPI_GetHelpTopic, "Arria2GZ.Dlg.Form.Button", zabi::ref(topic)).toBool());
  EXPECT_EQ(topic, "");
}

// ---- status bar ------------------------------------------------------------------------------

class RecordingListener : public ProgressListener {
 public:
  void progressChanged(const StatusBar& bar) override {
    seen.push_back(bar.progressActive() ? bar.progressText() + "@" + std::to_string(bar.percent()) : "idle");
  }
  void panelTextChanged(int32_t panel, const std::string& text) override { panels.emplace_back(panel, text); }
  std::vector<std::string> seen;
  std::vector<std::pair<int32_t, std::string>> panels;
};

TEST_F(HostTest, StatusBarProgressBracketsNestAndStopAtHundred) {
  auto host = makeHost(false);
  RecordingListener listener;
  host->statusBar().setListener(&listener);
  DispPtr gui = zabi::invoke(host->client(), h::Client_GetGUIManager).toDispatch();
  auto send = [&](int32_t code, const std::string& text = {}) {
    zabi::invoke(gui, h::GUIManager_StatusBarCommand, code, text);
  };
  send(-3);
  send(-5, "Programming");
  for (int i = 0; i < 40; ++i) send(-7);
  send(-3);                 // inner bracket
  send(-5, "Inner");
  for (int i = 0; i < 150; ++i) send(-7);
  EXPECT_EQ(host->statusBar().percent(), 100);
  EXPECT_EQ(host->statusBar().progressDepth(), 2u);
  send(-6);
  send(-4);                 // the outer bracket resumes
  EXPECT_EQ(host->statusBar().progressText(), "Programming");
  EXPECT_EQ(host->statusBar().percent(), 40);
  send(-6);
  send(-4);
  EXPECT_FALSE(host->statusBar().progressActive());
  EXPECT_EQ(listener.seen.back(), "idle");
  EXPECT_EQ(listener.seen[1], "Programming@0");
  EXPECT_EQ(listener.seen[41], "Programming@40");

  send(2, "Fitting...");    // a panel's text
  send(-4);                 // an end without a bracket does nothing
  EXPECT_EQ(host->statusBar().panelText(2), "Fitting...");
  send(-1);
  EXPECT_EQ(host->statusBar().panelText(2), "");
  EXPECT_EQ(listener.panels, (std::vector<std::pair<int32_t, std::string>>{{2, "Fitting..."}, {2, ""}}));
}

TEST(TerminalProgress, DrawsOneLineWhileABracketIsOpenAndEndsIt) {
  EXPECT_EQ(TerminalProgress::render("Programming", 0, 10), "Programming [----------]   0%");
  EXPECT_EQ(TerminalProgress::render("", 55, 10), "[#####-----]  55%");
  EXPECT_EQ(TerminalProgress::render("x", 140, 4), "x [####] 100%");

  StatusBar bar;
  std::ostringstream drawn, silent;
  TerminalProgress terminal(drawn, true), quiet(silent, false);
  bar.setListener(&terminal);
  bar.command(-3, "");
  bar.command(-5, "Programming");
  bar.command(-7, "");
  bar.command(-4, "");
  bar.command(-1, "");  // nothing open any more: no further line end
  EXPECT_EQ(drawn.str(),
            "\r" + TerminalProgress::render("", 0) + "\x1b[K" + "\r" + TerminalProgress::render("Programming", 0) +
                "\x1b[K" + "\r" + TerminalProgress::render("Programming", 1) + "\x1b[K\n");
  bar.setListener(&quiet);
  bar.command(-3, "");
  bar.command(-4, "");
  EXPECT_EQ(silent.str(), "");
}

TEST(HostText, JsonStringsEscapeWhatJsonForbids) {
  EXPECT_EQ(jsonString("plain"), "\"plain\"");
  EXPECT_EQ(jsonString("a\"b\\c"), "\"a\\\"b\\\\c\"");
  EXPECT_EQ(jsonString("l1\nl2\t\x01"), "\"l1\\nl2\\t\\u0001\"");
  EXPECT_EQ(jsonString("\xC3\xA9"), "\"\xC3\xA9\"");  // UTF-8 stays as it is
}

// ---- workspace -------------------------------------------------------------------------------

TEST_F(HostTest, MessagesManagerRecordsMessagesInEitherForm) {
  auto host = makeHost(false);
  DispPtr workspace = host->workspace();
  DispPtr manager = zabi::invoke(workspace, h::Workspace_GetMessagesManager).toDispatch();
  EXPECT_TRUE(manager == zabi::invoke(workspace, ids::Workspace_GetMessagesManager2).toDispatch());

  zabi::invoke(manager, ids::MessagesManager_BeginUpdate);
  zabi::invoke(manager, h::MessagesManager_AddMessage, "[Locked File]", "a.SchDoc is used by bob on pc1.", "Zolta",
               "/d/a.SchDoc", "WorkspaceManager:OpenObject", "FileName=/d/a.SchDoc", 73, false, "", "");
  zabi::invoke(manager, ids::MessagesManager_EndUpdate);
  zabi::invoke(manager, ids::MessagesManager_AddMessageParams,
               "Class=ProcessFlowInfo|Text=Map started|Source=Map|Document=top.vhd|CallBackProcess=|ImageIndex=71",
               "ShowInOutput=3");
  zabi::invoke(manager, ids::MessagesManager_AddMessageParams,
               "Class=ProcessFlowInfo|Text=Map done|ImageIndex=71|ReplaceLastMessageIfSameClass=True", "");
  zabi::invoke(manager, ids::MessagesManager_AddMessageParams,
               "Class=ProcessFlowWarning|Text=W1|ImageIndex=72|ReplaceLastMessageIfSameClass=True", "");
  zabi::invoke(manager, ids::MessagesManager_AddMessageParams,
               "Class=ProcessFlowInfo|Text=Fit done|ImageIndex=71|ReplaceLastMessageOfSameClass=True", "");

  const auto& m = host->messages().messages();
  ASSERT_EQ(m.size(), 3u);
  EXPECT_EQ(m[0].messageClass, "[Locked File]");
  EXPECT_EQ(m[0].document, "/d/a.SchDoc");
  EXPECT_EQ(m[0].callBackParameters, "FileName=/d/a.SchDoc");
  EXPECT_EQ(m[0].imageIndex, 73);
  EXPECT_EQ(m[1].text, "Fit done");  // replaced twice: the same class last, then the latest of its class
  EXPECT_EQ(m[1].source, "");
  EXPECT_EQ(m[2].text, "W1");
  EXPECT_EQ(m[2].imageIndex, 72);

  Var result;
  std::string message;
  EXPECT_EQ(zabi::tryInvoke(manager.get(), ids::MessagesManager_EndUpdate, &result, &message), zabi::kDispException);
  EXPECT_TRUE(contains(message, "without a begin"));
  EXPECT_EQ(zabi::tryInvoke(manager.get(), ids::MessagesManager_AddMessageParams, &result, &message,
                            "Class=X|Text=t|ImageIndex=seventy", ""),
            zabi::kDispException);
  EXPECT_TRUE(contains(message, "ImageIndex 'seventy'")) << message;
  EXPECT_EQ(host->messages().messages().size(), 3u);
}

TEST_F(HostTest, WorkspaceOutputAndDocumentsOfPaths) {
  auto host = makeHost(false);
  std::vector<std::string> printed;
  host->output().onLine = [&](const std::string& line) { printed.push_back(line); };
  DispPtr workspace = host->workspace();
  zabi::invoke(workspace, ids::Workspace_WriteOutputLine, "Info: Running Quartus", false, false);
  zabi::invoke(workspace, ids::Workspace_WriteOutputLine, "---", false, false);
  EXPECT_EQ(zabi::invoke(workspace, ids::Workspace_GetOutputPosition).toInt32(), 2);
  EXPECT_EQ(printed, host->output().lines());

  DispPtr client = host->client();
  EXPECT_FALSE(zabi::invoke(client, h::Client_GetDocumentByPath, "/d/top.vhd").toDispatch());
  Ptr<TDocument> doc = host->workspace()->openDocument("/d/top.vhd");
  DispPtr found = zabi::invoke(client, h::Client_GetDocumentByPath, "\\d\\top.vhd").toDispatch();
  ASSERT_TRUE(found == DispPtr(doc));
  zabi::invoke(found, h::Document_BeginChange);
  EXPECT_TRUE(doc->changing());
  zabi::invoke(found, h::Document_EndChange);
  EXPECT_EQ(doc->begins(), 1);
  EXPECT_EQ(doc->ends(), 1);
  Var result;
  std::string message;
  EXPECT_EQ(zabi::tryInvoke(found.get(), h::Document_EndChange, &result, &message), zabi::kDispException);
  EXPECT_TRUE(contains(message, "/d/top.vhd")) << message;
}

// ---- timers and notifications ----------------------------------------------------------------

TEST_F(HostTest, TimersAreRegisteredFiredEnabledAndRemoved) {
  auto host = makeHost(false);
  Ptr<TRecordingHandler> handler(new TRecordingHandler);
  DispPtr manager = zabi::invoke(host->client(), h::Client_GetTimerManager).toDispatch();
  int32_t a = zabi::invoke(manager, h::TimerManager_Add, handler->dispatchPtr(), 100, true).toInt32();
  int32_t b = zabi::invoke(manager, h::TimerManager_Add, handler->dispatchPtr(), 1000, false).toInt32();
  EXPECT_NE(a, b);
  EXPECT_EQ(host->timers().find(a)->intervalMs, 100);
  EXPECT_TRUE(host->timers().fire(a));
  EXPECT_FALSE(host->timers().fire(b));  // disabled
  zabi::invoke(manager, h::TimerManager_Enable, b, true);
  EXPECT_TRUE(host->timers().fire(b));
  EXPECT_EQ(handler->ticks, (std::vector<int32_t>{a, b}));

  zabi::invoke(manager, h::TimerManager_Remove, a);
  EXPECT_EQ(host->timers().find(a), nullptr);
  EXPECT_FALSE(host->timers().fire(a));
  Var result;
  std::string message;
  EXPECT_EQ(zabi::tryInvoke(manager.get(), h::TimerManager_Remove, &result, &message, a), zabi::kDispException);
  EXPECT_TRUE(contains(message, "no timer with id " + std::to_string(a))) << message;
  EXPECT_EQ(zabi::tryInvoke(manager.get(), h::TimerManager_Add, &result, &message, handler->dispatchPtr(), 0, true),
            zabi::kDispException);
  EXPECT_EQ(zabi::tryInvoke(manager.get(), h::TimerManager_Add, &result, &message, DispPtr(), 10, true),
            zabi::kDispException);
}

TEST_F(HostTest, NotificationHandlersAreRegisteredCalledAndUnregistered) {
  auto host = makeHost(false);
  Ptr<TRecordingHandler> first(new TRecordingHandler), second(new TRecordingHandler);
  DispPtr client = host->client();
  zabi::invoke(client, h::Client_RegisterNotificationHandler, first->dispatchPtr());
  zabi::invoke(client, h::Client_RegisterNotificationHandler, second->dispatchPtr());
  DispPtr note = host->guiManager();  // any object stands for a notification here
  EXPECT_EQ(host->notifications().broadcast(note), 0);
  zabi::invoke(client, h::Client_UnregisterNotificationHandler, first->dispatchPtr());
  zabi::invoke(client, h::Client_UnregisterNotificationHandler, first->dispatchPtr());  // twice: no harm
  EXPECT_EQ(host->notifications().broadcast(note), 0);
  EXPECT_EQ(first->notifications.size(), 1u);
  EXPECT_EQ(second->notifications.size(), 2u);
  EXPECT_TRUE(second->notifications[0] == note);
  // A handler that does not answer 266 counts as failed and does not stop the others.
  zabi::invoke(client, h::Client_RegisterNotificationHandler, DispPtr(host->guiManager()));
  EXPECT_EQ(host->notifications().broadcast(note), 1);
  EXPECT_EQ(second->notifications.size(), 3u);
}

// ---- device manager, families, host devices ---------------------------------------------------

const char* kFamilies =
    "; families\n"
    "[Arria2GZ]\n"
    "NameUsedByVendor = Arria II GZ\n"
    "ND_ActiveDisengage = True\n"
    "ND_ProgramBitsToIgnore = 10\n"
    "Broken = maybe\n"
    "[Cyclone]\n"
    "NameUsedByVendor = Cyclone\n"
    "[arria2gz]\n"
    "OptimizationFlag = stratix_optimization_technique\n";

TEST_F(HostTest, FamilyParametersThroughTheDeviceManager) {
  root.write("System/DeviceFamilies.ini", kFamilies);
  auto host = makeHost(false);
  EXPECT_TRUE(host->issues().empty());
  DispPtr families = zabi::invoke(host->deviceManager(), h::DeviceManager_GetFamilyManager).toDispatch();
  DispPtr family = zabi::invoke(families, h::FamilyManager_GetFamily, "ARRIA2GZ").toDispatch();
  ASSERT_TRUE(family);
  EXPECT_TRUE(family == zabi::invoke(families, h::FamilyManager_GetFamily, "Arria2GZ").toDispatch());
  EXPECT_EQ(zabi::invoke(family, h::Family_GetParameterValue, "nameusedbyvendor").toString(), "Arria II GZ");
  EXPECT_EQ(zabi::invoke(family, h::Family_GetParameterValue, "OptimizationFlag").toString(),
            "stratix_optimization_technique");  // a second section of the same family adds to it
  EXPECT_TRUE(zabi::invoke(family, h::Family_GetParameterBoolean, "ND_ActiveDisengage").toBool());
  EXPECT_EQ(zabi::invoke(family, h::Family_GetParameterInteger, "ND_ProgramBitsToIgnore").toInt32(), 10);
  EXPECT_TRUE(zabi::invoke(family, h::Family_HasParameter, "ND_ProgramBitsToIgnore").toBool());
  EXPECT_TRUE(zabi::invoke(family, h::Family_HasParameter2, "ND_ProgramBitsToIgnore").toBool());
  EXPECT_FALSE(zabi::invoke(family, h::Family_HasParameter, "ConfigurationDeviceFlag").toBool());
  EXPECT_EQ(zabi::invoke(family, h::Family_GetParameterValue, "ConfigurationDeviceFlag").toString(), "");
  EXPECT_FALSE(zabi::invoke(family, h::Family_GetParameterBoolean, "Missing").toBool());
  EXPECT_EQ(zabi::invoke(family, h::Family_GetParameterInteger, "Missing").toInt32(), 0);
  Var result;
  std::string message;
  EXPECT_EQ(zabi::tryInvoke(family.get(), h::Family_GetParameterBoolean, &result, &message, "Broken"),
            zabi::kDispException);
  EXPECT_EQ(message, "family Arria2GZ: parameter Broken = 'maybe' is not a Boolean");
  EXPECT_FALSE(zabi::invoke(families, h::FamilyManager_GetFamily, "Virtex5").toDispatch());
}

TEST_F(HostTest, AMalformedFamilyFileIsReportedWithItsLine) {
  std::string file = root.write("System/DeviceFamilies.ini", "[Arria2GZ]\nNameUsedByVendor = A\nthis line is wrong\n");
  auto host = makeHost(false);
  const HostIssue* issue = issueFor(*host, "System/DeviceFamilies.ini");
  ASSERT_NE(issue, nullptr);
  EXPECT_EQ(issue->file, file);
  EXPECT_TRUE(contains(issue->reason, "line 3")) << issue->reason;
}

TEST_F(HostTest, DeviceManagerFindsAndShowsLoadedDevices) {
  auto host = makeHost();
  RecordingDialogSink dialogs;
  host->setDialogSink(&dialogs);
  DispPtr manager = host->deviceManager();
  DispPtr info = zabi::invoke(manager, ids::DeviceManager_GetDeviceInformation, "testdev1").toDispatch();
  ASSERT_TRUE(info);
  EXPECT_EQ(zabi::invoke(info, ids::DeviceInfo_GetDeviceName).toString(), "TESTDEV1");
  EXPECT_FALSE(zabi::invoke(manager, ids::DeviceManager_GetDeviceInformation, "EP2AGZ225FF35C3").toDispatch());
  EXPECT_TRUE(zabi::invoke(manager, ids::DeviceManager_SameDevice, "TESTDEV1 ", "testdev1").toBool());
  EXPECT_FALSE(zabi::invoke(manager, ids::DeviceManager_SameDevice, "TESTDEV1", "TESTDEV2").toBool());

  zabi::invoke(manager, ids::DeviceManager_ShowDeviceInformation, "TESTDEV2", "Mode=Browse");
  ASSERT_EQ(dialogs.shown.size(), 1u);
  EXPECT_EQ(dialogs.shown[0].caption, "Device Information");
  EXPECT_EQ(dialogs.shown[0].text, "TESTDEV2\nTest device 2 (no host)");
  Var result;
  std::string message;
  EXPECT_EQ(zabi::tryInvoke(manager.get(), ids::DeviceManager_ShowDeviceInformation, &result, &message, "NOPE", ""),
            zabi::kDispException);
  EXPECT_TRUE(contains(message, "'NOPE'"));
}

TEST_F(HostTest, HostDeviceIsBoundToItsDriverAndRelaysToIt) {
  auto host = makeHost();
  Ptr<THostDevice> device = host->createDevice(1, 0);
  DispPtr driver = host->drivers().entries()[1].driver;
  DispPtr bound = zabi::invoke(driver, 503753).toDispatch();
  ASSERT_TRUE(bound == DispPtr(device));

  EXPECT_EQ(zabi::invoke(bound, h::ZoltaDevice_GetName).toString(), "TESTDEV1");
  EXPECT_EQ(zabi::invoke(bound, h::ZoltaDevice_GetJTagIndex).toInt32(), 0);
  Var channel = zabi::invoke(bound, h::ZoltaDevice_GetJTagChannel);
  EXPECT_EQ(channel.type(), zabi::VT_DISPATCH);
  EXPECT_FALSE(channel.toDispatch());  // no channel yet
  EXPECT_TRUE(zabi::invoke(bound, ids::ZoltaDevice_GetDriver).toDispatch() == driver);
  EXPECT_TRUE(zabi::invoke(bound, ids::ZoltaDevice_ResetDevice).toBool());
  EXPECT_EQ(zabi::invoke(bound, ids::ZoltaDevice_GetDeviceState).toInt32(), 2);
  EXPECT_EQ(zabi::invoke(bound, ids::ZoltaDevice_ProgramDevice, "abc.rbf").toInt32(), 56);

  // Registers keep what is written, masked to the width asked.
  EXPECT_EQ(zabi::invoke(bound, h::ZoltaDevice_ReadRegister, 0x40, 8).toInt32(), 0);
  zabi::invoke(bound, h::ZoltaDevice_WriteRegister, 0x40, 8, 0x1B5);
  EXPECT_EQ(zabi::invoke(bound, h::ZoltaDevice_ReadRegister, 0x40, 8).toInt32(), 0xB5);
  EXPECT_EQ(zabi::invoke(bound, h::ZoltaDevice_ReadRegister, 0x40, 4).toInt32(), 0x5);
  zabi::invoke(bound, h::ZoltaDevice_WriteRegister, 0x44, 32, -1);
  EXPECT_EQ(zabi::invoke(bound, h::ZoltaDevice_ReadRegister, 0x44, 32).toInt32(), -1);
  Var result;
  std::string message;
  EXPECT_EQ(zabi::tryInvoke(bound.get(), h::ZoltaDevice_ReadRegister, &result, &message, 0x40, 0),
            zabi::kDispException);
  EXPECT_EQ(message, "register width 0 is not 1..32");

  // Going away, the host unbinds the device: the driver lets go of it, and only this test holds it.
  bound = nullptr;
  driver = nullptr;
  EXPECT_EQ(device->refCount(), 3);  // this test, the host, the driver
  host.reset();
  EXPECT_EQ(device->refCount(), 1);
}

// ---- paths -----------------------------------------------------------------------------------

TEST(HostPaths, ExpandRelativePath) {
  TempFolder t;
  t.mkdir("proj");
  struct Case {
    std::string base, relative, expected;
  } cases[] = {
      {"/d/proj/top.PrjFpg", "src/a.vhd", "/d/proj/src/a.vhd"},
      {"/d/proj/", "..\\lib\\b.vhd", "/d/lib/b.vhd"},
      {"/d/proj/top.PrjFpg", "/abs/x.vhd", "/abs/x.vhd"},
      {"/d/proj/top.PrjFpg", "./a/../b.vhd", "/d/proj/b.vhd"},
      {"/d/top.PrjFpg", "../../../x", "/x"},
      {"C:\\Designs\\top.PrjFpg", "sub\\a.vhd", "C:/Designs/sub/a.vhd"},
      {"rel/top.PrjFpg", "../../x", "../x"},
      {t.path() + "/proj", "a.vhd", t.path() + "/proj/a.vhd"},  // an existing folder is the base itself
      {"/d/proj/top.PrjFpg", "", "/d/proj/"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.base + " + " + c.relative);
    EXPECT_EQ(expandRelativePath(c.base, c.relative), c.expected);
  }
}

}  // namespace
}  // namespace zolta::hostapp::test
