#include "zolta/hostapp/client.h"

#include "zolta/host_ids.h"
#include "zolta/hostapp/host.h"
#include "zolta/hostapp/paths.h"

namespace zolta::hostapp {

namespace h = zabi::host;

// ---- process launcher ------------------------------------------------------------------------

void ProcessLauncher::setHandler(const std::string& name, Handler handler) {
  handlers_[zabi::upperAscii(name)] = std::move(handler);
}

void ProcessLauncher::run(const std::string& name, std::string& parameters, const DispPtr& view) {
  runs_.push_back({name, parameters, parameters, bool(view)});
  size_t index = runs_.size() - 1;  // a handler may start further processes
  auto it = handlers_.find(zabi::upperAscii(name));
  if (it != handlers_.end()) it->second(parameters, view);
  runs_[index].result = parameters;
}

// ---- plug-ins registry -----------------------------------------------------------------------

void TPluginsRegistry::setItems(const std::vector<std::pair<std::string, int32_t>>& folders) {
  items_.clear();
  for (const auto& [folder, flag] : folders) items_.emplace_back(new TPluginItem(link(), folder, flag));
}

DispPtr TPluginsRegistry::GetItem(int32_t index) {
  if (index < 0 || size_t(index) >= items_.size())
    throw zabi::DispatchError("plug-ins registry: item " + std::to_string(index) + " does not exist (" +
                              std::to_string(items_.size()) + " items)");
  return items_[size_t(index)];
}

namespace {
const DispatchEntry kPluginItemEntries[] = {
    {h::PluginItem_GetFolder, &op<&TPluginItem::GetFolder>},
    {h::PluginItem_GetFlag, &op<&TPluginItem::GetFlag>},
};
const DispatchEntry kPluginsRegistryEntries[] = {
    {h::PluginsRegistry_GetCount, &op<&TPluginsRegistry::GetCount>},
    {h::PluginsRegistry_GetItem, &op<&TPluginsRegistry::GetItem>},
};
}  // namespace

const DispatchTable& TPluginItem::table() {
  static const DispatchTable t = makeTable(&TAbstractSupportService::rootTable(), "PluginItem", kPluginItemEntries);
  return t;
}

const DispatchTable& TPluginsRegistry::table() {
  static const DispatchTable t =
      makeTable(&TAbstractSupportService::rootTable(), "PluginsRegistry", kPluginsRegistryEntries);
  return t;
}

// ---- client API ------------------------------------------------------------------------------

std::string TClientAPI::GetSpecialFolder() { return host_.rootFolder() + "/"; }
std::string TClientAPI::GetImageListFolder2() { return joinPath(host_.systemFolder(), "Images/"); }
std::string TClientAPI::GetImageListFolder() { return joinPath(host_.systemFolder(), "Images/"); }
std::string TClientAPI::GetEmbeddedFolder() { return joinPath(host_.rootFolder(), "Library/Embedded/"); }
bool TClientAPI::GetNoPromptFlag() { return host_.options().noPrompt; }

namespace {
// GetHelpTopic (help name, out topic) -> Boolean: this host has no help system; no topic is found.
void getHelpTopic(TAbstractSupportService&, DispatchCall& c) {
  c.expect(2);
  c.get<std::string>(0);
  storeByRefString(c.arg(1), std::string());
  c.ret(false);
}

// GetHelpPrefix (module name, out prefix) -> Boolean: the prefix is the module name itself.
void getHelpPrefix(TAbstractSupportService&, DispatchCall& c) {
  c.expect(2);
  std::string module = c.get<std::string>(0);
  storeByRefString(c.arg(1), module);
  c.ret(true);
}

const DispatchEntry kClientAPIEntries[] = {
    {h::ClientAPI_GetSpecialFolder, &op<&TClientAPI::GetSpecialFolder>},
    {h::ClientAPI_GetImageListFolder2, &op<&TClientAPI::GetImageListFolder2>},
    {h::ClientAPI_GetImageListFolder, &op<&TClientAPI::GetImageListFolder>},
    {h::ClientAPI_GetEmbeddedFolder, &op<&TClientAPI::GetEmbeddedFolder>},
    {h::ClientAPI_GetNoPromptFlag, &op<&TClientAPI::GetNoPromptFlag>},
    {h::ClientAPI_GetDisplayPath, &op<&TClientAPI::GetDisplayPath>},
    {h::ClientAPI_GetHelpTopic, &getHelpTopic},
    {h::ClientAPI_GetHelpPrefix, &getHelpPrefix},
};
}  // namespace

const DispatchTable& TClientAPI::table() {
  static const DispatchTable t = makeTable(&TAbstractSupportService::rootTable(), "ClientAPI", kClientAPIEntries);
  return t;
}

// ---- client ----------------------------------------------------------------------------------

int32_t TClient::GetApplicationWindow() { return host_.applicationWindow(); }

DispPtr TClient::GetDocumentByPath(std::string path) { return host_.workspace()->documentOf(path); }

int32_t TClient::GetMainWindow() { return host_.mainWindow(); }

DispPtr TClient::GetGUIManager() { return host_.guiManager(); }

void TClient::RegisterNotificationHandler(DispPtr handler) { host_.notifications().add(std::move(handler)); }

void TClient::UnregisterNotificationHandler(DispPtr handler) { host_.notifications().remove(handler); }

DispPtr TClient::GetTimerManager() { return host_.timerManager(); }

std::string TClient::GetApplicationName() { return host_.options().applicationName; }

DispPtr TClient::GetClientAPI() { return host_.clientAPI(); }

DispPtr TClient::GetServerModuleByName(std::string name) { return host_.serverModule(name); }

DispPtr TClient::GetPluginsRegistry() { return host_.pluginsRegistry(); }

namespace {
// RunProcess (process name, in-out parameters, view): the parameters come back as the process left them.
void runProcess(TAbstractSupportService& self, DispatchCall& c) {
  c.expect(3);
  std::string name = c.get<std::string>(0);
  std::string parameters = c.get<std::string>(1);
  DispPtr view = c.get<DispPtr>(2);
  static_cast<TClient&>(self).host().launcher().run(name, parameters, view);
  storeByRefString(c.arg(1), parameters);
}

const DispatchEntry kClientEntries[] = {
    {h::Client_SetApplicationWindow, &op<&TClient::GetApplicationWindow>},
    {h::Client_GetDocumentByPath, &op<&TClient::GetDocumentByPath>},
    {h::Client_GetMainWindow, &op<&TClient::GetMainWindow>},
    {h::Client_GetGUIManager, &op<&TClient::GetGUIManager>},
    {h::Client_FreeFormsAtOnce, &op<&TClient::FreeFormsAtOnce>},
    {h::Client_RegisterNotificationHandler, &op<&TClient::RegisterNotificationHandler>},
    {h::Client_UnregisterNotificationHandler, &op<&TClient::UnregisterNotificationHandler>},
    {h::Client_GetTimerManager, &op<&TClient::GetTimerManager>},
    {h::Client_GetApplicationName, &op<&TClient::GetApplicationName>},
    {h::Client_RunProcess, &runProcess},
    {h::Client_GetClientAPI, &op<&TClient::GetClientAPI>},
    {h::Client_GetServerModuleByName, &op<&TClient::GetServerModuleByName>},
    {h::Client_GetPluginsRegistry, &op<&TClient::GetPluginsRegistry>},
};
}  // namespace

const DispatchTable& TClient::table() {
  static const DispatchTable t = makeTable(&TAbstractSupportService::rootTable(), "Client", kClientEntries);
  return t;
}

}  // namespace zolta::hostapp
