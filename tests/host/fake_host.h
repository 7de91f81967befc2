// A recording fake of the host's objects, built on the support-service object model: each fake is a
// TAbstractSupportService with a dispatch table of the host operations the plug-in calls. Every call
// is appended to one shared log as "<object>.<id>(<arg>,<arg>...)".
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "zolta/host/host_services.h"
#include "zolta/host_ids.h"
#include "zolta/service.h"
#include "zolta/testing/scripted_object.h"

namespace zolta::fake {

struct CallLog {
  std::vector<std::string> calls;
  void add(const std::string& object, DispId id, const std::vector<std::string>& args = {}) {
    std::string e = object + "." + std::to_string(id) + "(";
    for (size_t i = 0; i < args.size(); ++i) e += (i ? "," : "") + args[i];
    calls.push_back(e + ")");
  }
  // The calls whose text starts with prefix, in order.
  std::vector<std::string> starting(const std::string& prefix) const {
    std::vector<std::string> r;
    for (const auto& c : calls)
      if (c.rfind(prefix, 0) == 0) r.push_back(c);
    return r;
  }
  size_t count(const std::string& call) const {
    size_t n = 0;
    for (const auto& c : calls) n += c == call;
    return n;
  }
};

// The bytes of a file, or "<none>" when it cannot be read.
inline std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return "<none>";
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

inline std::string b(bool v) { return v ? "true" : "false"; }

// Base: every fake logs into the shared log under its own name.
class FakeObject : public TAbstractSupportService {
 public:
  FakeObject(CallLog& log, std::string name) : log_(log), name_(std::move(name)) {}

 protected:
  void record(DispId id, const std::vector<std::string>& args = {}) { log_.add(name_, id, args); }
  CallLog& log_;
  std::string name_;
};

class FakeGUIManager : public FakeObject {
 public:
  using FakeObject::FakeObject;
  bool takeShortcuts = false;
  virtual void StatusBar(int32_t code, std::string text) { record(164, {std::to_string(code), text}); }
  virtual bool OfferShortcut(int32_t key, bool alt, bool ctrl, bool shift) {
    record(158, {std::to_string(key), b(alt), b(ctrl), b(shift)});
    return takeShortcuts;
  }
  virtual void FollowUp() { record(156); }
  static const DispatchTable& table() {
    static const DispatchEntry e[] = {{156, &op<&FakeGUIManager::FollowUp>},
                                      {158, &op<&FakeGUIManager::OfferShortcut>},
                                      {164, &op<&FakeGUIManager::StatusBar>}};
    static const DispatchTable t = makeTable(&rootTable(), "GUIManager", e);
    return t;
  }
  const DispatchTable& dispatchTable() const override { return table(); }
};

// A document open in the host; it notes the content of its file when a change begins and ends.
class FakeDocument : public FakeObject {
 public:
  FakeDocument(CallLog& log, std::string path) : FakeObject(log, "doc"), path_(std::move(path)) {}
  virtual void BeginChange() { record(100, {readFile(path_)}); }
  virtual void EndChange() { record(101, {readFile(path_)}); }
  static const DispatchTable& table() {
    static const DispatchEntry e[] = {{100, &op<&FakeDocument::BeginChange>}, {101, &op<&FakeDocument::EndChange>}};
    static const DispatchTable t = makeTable(&rootTable(), "Document", e);
    return t;
  }
  const DispatchTable& dispatchTable() const override { return table(); }

 private:
  std::string path_;
};

class FakeClientAPI : public FakeObject {
 public:
  using FakeObject::FakeObject;
  std::string specialFolder, imageFolder, imageFolder2, embeddedFolder;
  bool noPrompt = false;
  virtual std::string SpecialFolder() { record(770); return specialFolder; }
  virtual std::string ImageFolder2() { record(773); return imageFolder2; }
  virtual std::string ImageFolder() { record(774); return imageFolder; }
  virtual std::string EmbeddedFolder() { record(787); return embeddedFolder; }
  virtual bool NoPrompt() { record(793); return noPrompt; }
  static const DispatchTable& table() {
    static const DispatchEntry e[] = {{770, &op<&FakeClientAPI::SpecialFolder>},
                                      {773, &op<&FakeClientAPI::ImageFolder2>},
                                      {774, &op<&FakeClientAPI::ImageFolder>},
                                      {787, &op<&FakeClientAPI::EmbeddedFolder>},
                                      {793, &op<&FakeClientAPI::NoPrompt>}};
    static const DispatchTable t = makeTable(&rootTable(), "ClientAPI", e);
    return t;
  }
  const DispatchTable& dispatchTable() const override { return table(); }
};

class FakePluginItem : public FakeObject {
 public:
  FakePluginItem(CallLog& log, std::string folder, int32_t flag)
      : FakeObject(log, "item"), folder_(std::move(folder)), flag_(flag) {}
  virtual std::string Folder() { record(2009); return folder_; }
  virtual int32_t Flag() { record(2010); return flag_; }
  static const DispatchTable& table() {
    static const DispatchEntry e[] = {{2009, &op<&FakePluginItem::Folder>}, {2010, &op<&FakePluginItem::Flag>}};
    static const DispatchTable t = makeTable(&rootTable(), "PluginItem", e);
    return t;
  }
  const DispatchTable& dispatchTable() const override { return table(); }

 private:
  std::string folder_;
  int32_t flag_;
};

class FakePluginsRegistry : public FakeObject {
 public:
  using FakeObject::FakeObject;
  std::vector<DispPtr> items;
  void addFolder(const std::string& folder, int32_t flag = 0) {
    items.push_back(DispPtr((new FakePluginItem(log_, folder, flag))->dispatch()));
  }
  virtual int32_t Count() { record(2017); return int32_t(items.size()); }
  virtual DispPtr Item(int32_t i) { record(2018, {std::to_string(i)}); return items.at(size_t(i)); }
  static const DispatchTable& table() {
    static const DispatchEntry e[] = {{2017, &op<&FakePluginsRegistry::Count>},
                                      {2018, &op<&FakePluginsRegistry::Item>}};
    static const DispatchTable t = makeTable(&rootTable(), "PluginsRegistry", e);
    return t;
  }
  const DispatchTable& dispatchTable() const override { return table(); }
};

class FakeMessagesManager : public FakeObject {
 public:
  using FakeObject::FakeObject;
  virtual void AddMessage(std::string cls, std::string text, std::string source, std::string document,
                          std::string process, std::string parameters, int32_t image, bool replace,
                          std::string helpFile, std::string helpId) {
    record(439, {cls, text, source, document, process, parameters, std::to_string(image), b(replace), helpFile,
                 helpId});
  }
  static const DispatchTable& table() {
    static const DispatchEntry e[] = {{439, &op<&FakeMessagesManager::AddMessage>}};
    static const DispatchTable t = makeTable(&rootTable(), "MessagesManager", e);
    return t;
  }
  const DispatchTable& dispatchTable() const override { return table(); }
};

class FakeWorkspace : public FakeObject {
 public:
  FakeWorkspace(CallLog& log) : FakeObject(log, "ws"), messages((new FakeMessagesManager(log, "msg"))->dispatch()) {}
  DispPtr messages;
  virtual DispPtr MessagesManager() { record(469); return messages; }
  static const DispatchTable& table() {
    static const DispatchEntry e[] = {{469, &op<&FakeWorkspace::MessagesManager>}};
    static const DispatchTable t = makeTable(&rootTable(), "Workspace", e);
    return t;
  }
  const DispatchTable& dispatchTable() const override { return table(); }
};

// The vendor-tool manager: answers per vendor from maps filled by the test.
class FakeVendorTools : public FakeObject {
 public:
  using FakeObject::FakeObject;
  std::map<std::string, std::string> descriptor, version;
  std::map<std::string, bool> installed, supported;
  std::map<std::string, std::string> toolPath;  // "vendor/tool" -> path
  virtual std::string Descriptor(std::string v) { record(509001, {v}); return descriptor[v]; }
  virtual bool Installed(std::string v) { record(509002, {v}); return installed[v]; }
  virtual bool Supported(std::string v) { record(509003, {v}); return supported[v]; }
  virtual std::string ToolPath(std::string v, std::string tool) {
    record(509004, {v, tool});
    return toolPath[v + "/" + tool];
  }
  virtual std::string Version(std::string v) { record(509005, {v}); return version[v]; }
  static const DispatchTable& table() {
    static const DispatchEntry e[] = {{509001, &op<&FakeVendorTools::Descriptor>},
                                      {509002, &op<&FakeVendorTools::Installed>},
                                      {509003, &op<&FakeVendorTools::Supported>},
                                      {509004, &op<&FakeVendorTools::ToolPath>},
                                      {509005, &op<&FakeVendorTools::Version>}};
    static const DispatchTable t = makeTable(&rootTable(), "VendorToolManager", e);
    return t;
  }
  const DispatchTable& dispatchTable() const override { return table(); }
};

class FakeFlowModule : public FakeObject {
 public:
  FakeFlowModule(CallLog& log, DispPtr tools) : FakeObject(log, "flow"), tools_(std::move(tools)) {}
  virtual DispPtr VendorToolManager() { record(509009); return tools_; }
  static const DispatchTable& table() {
    static const DispatchEntry e[] = {{509009, &op<&FakeFlowModule::VendorToolManager>}};
    static const DispatchTable t = makeTable(&rootTable(), "FPGAFlowModule", e);
    return t;
  }
  const DispatchTable& dispatchTable() const override { return table(); }

 private:
  DispPtr tools_;
};

class FakeClient : public FakeObject {
 public:
  FakeClient(CallLog& log) : FakeObject(log, "client") {}
  DispPtr gui, api, registry, flowModule;
  std::map<std::string, DispPtr> documents;
  std::string applicationName = "ZoltaHost";
  int64_t mainWindow = 0x1234;
  std::string processAnswer;  // what RunProcess leaves in its parameters

  virtual DispPtr DocumentByPath(std::string path) {
    record(491, {path});
    auto it = documents.find(path);
    return it == documents.end() ? DispPtr() : it->second;
  }
  virtual int64_t MainWindow() { record(492); return mainWindow; }
  virtual DispPtr GUIManager() { record(494); return gui; }
  virtual std::string ApplicationName() { record(548); return applicationName; }
  virtual DispPtr ClientAPI() { record(795); return api; }
  virtual DispPtr ServerModule(std::string name) {
    record(797, {name});
    return name == "FPGAFlow" ? flowModule : DispPtr();
  }
  virtual DispPtr PluginsRegistry() { record(2027); return registry; }

  // RunProcess (name, in-out parameters, view): written by hand for its by-reference argument.
  static void runProcess(TAbstractSupportService& self, DispatchCall& c) {
    auto& me = static_cast<FakeClient&>(self);
    c.expect(3);
    const std::string name = c.get<std::string>(0);
    const std::string params = c.get<std::string>(1);
    const DispPtr view = c.get<DispPtr>(2);
    me.record(625, {name, params, view ? "view" : "none"});
    zabi::Variant& p = c.arg(1);
    if (p.vt == (zabi::VT_BYREF | zabi::VT_BSTR) && p.pbstrVal) {
      zabi::wstrFree(*p.pbstrVal);
      *p.pbstrVal = zabi::makeWStr(me.processAnswer);
    }
  }

  static const DispatchTable& table() {
    static const DispatchEntry e[] = {{491, &op<&FakeClient::DocumentByPath>},
                                      {492, &op<&FakeClient::MainWindow>},
                                      {494, &op<&FakeClient::GUIManager>},
                                      {548, &op<&FakeClient::ApplicationName>},
                                      {625, &FakeClient::runProcess},
                                      {795, &op<&FakeClient::ClientAPI>},
                                      {797, &op<&FakeClient::ServerModule>},
                                      {2027, &op<&FakeClient::PluginsRegistry>}};
    static const DispatchTable t = makeTable(&rootTable(), "Client", e);
    return t;
  }
  const DispatchTable& dispatchTable() const override { return table(); }
};

// The whole fake host, installed as the plug-in's host for the lifetime of the object.
struct FakeHost {
  CallLog log;
  FakeClient* client = new FakeClient(log);
  DispPtr clientRef{client->dispatch()};
  FakeGUIManager* gui = new FakeGUIManager(log, "gui");
  FakeClientAPI* api = new FakeClientAPI(log, "api");
  FakePluginsRegistry* registry = new FakePluginsRegistry(log, "reg");
  FakeWorkspace* workspace = new FakeWorkspace(log);
  DispPtr workspaceRef{workspace->dispatch()};
  FakeVendorTools* tools = new FakeVendorTools(log, "vt");

  FakeHost() {
    client->gui = DispPtr(gui->dispatch());
    client->api = DispPtr(api->dispatch());
    client->registry = DispPtr(registry->dispatch());
    client->flowModule = DispPtr((new FakeFlowModule(log, DispPtr(tools->dispatch())))->dispatch());
    ResetHostCaches();
    SetHostClient(IClient(clientRef));
    SetHostWorkspace(IWorkspace(workspaceRef));
  }
  ~FakeHost() { ResetHostCaches(); }
  FakeHost(const FakeHost&) = delete;
  FakeHost& operator=(const FakeHost&) = delete;

  // Opens a document for `path` in the host; answers it for inspection.
  FakeDocument* openDocument(const std::string& path) {
    auto* d = new FakeDocument(log, path);
    client->documents[path] = DispPtr(d->dispatch());
    return d;
  }
};

using zolta::testing::TempDir;

}  // namespace zolta::fake
