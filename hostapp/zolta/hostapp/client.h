// The host client (the object behind the executable's export ClientAPI_GetClientInterface), the client
// API, the plug-ins registry and the process launcher.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "zolta/hostapp/host_object.h"

namespace zolta::hostapp {

class Host;

// Host processes started by name with a "Name=Value|..." parameter line (client operation 625), such as
// "FPGAFlow:DeviceAction". Every run is recorded; a handler registered for the name (case ignored) may
// act on it and rewrite the parameters, which go back to the caller.
struct ProcessRun {
  std::string name;
  std::string parameters;  // as given
  std::string result;      // as handed back
  bool withView = false;
};

class ProcessLauncher {
 public:
  using Handler = std::function<void(std::string& parameters, const DispPtr& view)>;
  void setHandler(const std::string& name, Handler handler);
  void run(const std::string& name, std::string& parameters, const DispPtr& view);
  const std::vector<ProcessRun>& runs() const { return runs_; }

 private:
  std::map<std::string, Handler> handlers_;  // by upper-case name
  std::vector<ProcessRun> runs_;
};

// One plug-in folder of the installation. The flag is non-zero when no plug-in of the folder loaded,
// so that plug-ins walking the registry skip it.
class TPluginItem : public THostObject {
 public:
  TPluginItem(const HostLink& link, std::string folder, int32_t flag) : THostObject(link), folder_(std::move(folder)), flag_(flag) {}
  std::string GetFolder() { return folder_; }
  int32_t GetFlag() { return flag_; }

  static const DispatchTable& table();
  const DispatchTable& dispatchTable() const override { return table(); }

 private:
  std::string folder_;
  int32_t flag_;
};

class TPluginsRegistry : public THostObject {
 public:
  explicit TPluginsRegistry(const HostLink& link) : THostObject(link) {}
  void setItems(const std::vector<std::pair<std::string, int32_t>>& folders);

  int32_t GetCount() { return int32_t(items_.size()); }
  // An index out of range is refused with an error naming it.
  DispPtr GetItem(int32_t index);

  static const DispatchTable& table();
  const DispatchTable& dispatchTable() const override { return table(); }

 private:
  std::vector<Ptr<TPluginItem>> items_;
};

class TClientAPI : public THostObject {
 public:
  TClientAPI(const HostLink& link, Host& host) : THostObject(link), host_(host) {}

  std::string GetSpecialFolder();      // the installation's root folder, with a trailing "/"
  std::string GetImageListFolder2();   // <root>/System/Images/
  std::string GetImageListFolder();    // the same folder
  std::string GetEmbeddedFolder();     // <root>/Library/Embedded/
  bool GetNoPromptFlag();
  std::string GetDisplayPath(std::string path) { return path; }

  static const DispatchTable& table();
  const DispatchTable& dispatchTable() const override { return table(); }

 private:
  Host& host_;
};

class TClient : public THostObject {
 public:
  TClient(const HostLink& link, Host& host) : THostObject(link), host_(host) {}

  int32_t GetApplicationWindow();
  DispPtr GetDocumentByPath(std::string path);
  int32_t GetMainWindow();
  DispPtr GetGUIManager();
  bool FreeFormsAtOnce() { return true; }
  void RegisterNotificationHandler(DispPtr handler);
  void UnregisterNotificationHandler(DispPtr handler);
  DispPtr GetTimerManager();
  std::string GetApplicationName();
  DispPtr GetClientAPI();
  DispPtr GetServerModuleByName(std::string name);
  DispPtr GetPluginsRegistry();

  Host& host() { return host_; }

  static const DispatchTable& table();
  const DispatchTable& dispatchTable() const override { return table(); }

 private:
  Host& host_;
};

}  // namespace zolta::hostapp
