// The host application: owns the installation folders, the loaded plug-ins and their drivers, the
// in-memory models (status bar, messages, output, timers, notifications, processes, families, vendor
// tools) and the dispatch objects that plug-ins reach them through.
//
// One Host serves a process; Host::current() is the one the executable's exported entry points
// (ClientAPI_GetClientInterface, GetWorkspace, GetDeviceManager, VFSAPI_VFS_ExpandRelativePath) answer
// for. Everything runs on one thread.
//
// Lifetime: ~Host unbinds host devices from their drivers, drops every reference to plug-in objects
// (drivers, timer and notification handlers) and then frees the models. The plug-ins stay loaded until
// the process ends (see LoadedPlugin); host objects they still hold refuse calls once the Host is gone.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "zolta/hostapp/client.h"
#include "zolta/hostapp/device_manager.h"
#include "zolta/hostapp/dialog_sink.h"
#include "zolta/hostapp/driver_registry.h"
#include "zolta/hostapp/gui_manager.h"
#include "zolta/hostapp/bsdl_library.h"
#include "zolta/hostapp/host_device.h"
#include "zolta/hostapp/jtag_chain.h"
#include "zolta/hostapp/plugin_loader.h"
#include "zolta/hostapp/timers.h"
#include "zolta/hostapp/vendor_tools.h"
#include "zolta/hostapp/workspace.h"
#include "zolta/sim/jtag_id_map.h"

namespace zolta::hostapp {

struct HostOptions {
  std::string rootFolder;                    // default: the folder of the running executable
  std::string pluginFolder;                  // default: <root>/plugins
  std::string systemFolder;                  // default: <root>/System
  std::string libraryFolder;                 // default: <root>/Library (BSDL files under BSDL/)
  std::optional<std::string> quartusFolder;  // default: $QUARTUS_ROOTDIR when set; "" for no Quartus
  std::string applicationName = "Zolta";
  bool noPrompt = false;                     // client-API no-prompt flag
};

class Host {
 public:
  explicit Host(HostOptions options = {});
  ~Host();
  Host(const Host&) = delete;
  Host& operator=(const Host&) = delete;

  // The host the exported entry points answer for (null when none is set).
  static Host* current();
  static void setCurrent(Host* host);

  // Resolved folders (no trailing "/").
  const std::string& rootFolder() const { return options_.rootFolder; }
  const std::string& systemFolder() const { return options_.systemFolder; }
  const std::string& pluginFolder() const { return options_.pluginFolder; }
  const std::string& libraryFolder() const { return options_.libraryFolder; }
  const HostOptions& options() const { return options_; }

  // Loads every plug-in of the plug-in folder and creates one driver per kind it serves. Files that fail
  // and drivers that cannot be created are reported in issues(); the rest is kept. Call once.
  void loadPlugins();
  const std::vector<std::unique_ptr<LoadedPlugin>>& plugins() const { return plugins_; }
  DriverRegistry& drivers() { return drivers_; }
  // Problems met while starting: plug-in files skipped, drivers refused, configuration files unread.
  const std::vector<HostIssue>& issues() const { return issues_; }

  // Creates the host object of a physical device for a driver of the registry and binds the driver to it
  // (driver operation SetZoltaDevice). The device is unbound when the host goes.
  Ptr<THostDevice> createDevice(size_t driverIndex, int32_t jtagIndex);

  // JTAG. Opens the chain behind a cable (see jtag_chain.h): scans it, binds a host device to a driver
  // of its own for every device the JTAG ID map and the loaded plug-ins know, and keeps the chain until
  // the host goes. Throws std::runtime_error (the ID map unreadable, no device answering, instruction
  // lengths that do not add up) and zabi::DispatchError (a cable failure, a driver refusing to bind).
  JtagChain& openJtagChain(std::unique_ptr<zsim::Cable> cable);
  const std::vector<std::unique_ptr<JtagChain>>& jtagChains() const { return chains_; }
  // The JTAG ID map (System/JTagIdMap.txt), read on first use. Throws std::runtime_error naming the file.
  const std::vector<zsim::JtagIdEntry>& jtagIdMap();
  BsdlLibrary& bsdlLibrary() { return bsdlLibrary_; }
  // A new driver of a registry entry's kind, straight from its plug-in's entry point; none when the
  // plug-in refuses.
  DispPtr newDriver(size_t driverIndex);

  // Models.
  CallLog& callLog() { return callLog_; }
  StatusBar& statusBar() { return statusBar_; }
  MessagesModel& messages() { return messages_; }
  OutputModel& output() { return output_; }
  ProcessLauncher& launcher() { return launcher_; }
  TimerRegistry& timers() { return timers_; }
  NotificationRegistry& notifications() { return notifications_; }
  FamilyTable& families() { return families_; }
  const VendorTools& vendorTools() const { return vendorTools_; }
  DialogSink& dialogs() { return *dialogs_; }
  // Replaces the dialog sink (null restores the default, which writes to stderr).
  void setDialogSink(DialogSink* sink);
  // Window handles the GUI host fills in (0 in the command-line host).
  int32_t mainWindow() const { return mainWindow_; }
  int32_t applicationWindow() const { return applicationWindow_; }
  void setWindows(int32_t mainWindow, int32_t applicationWindow) {
    mainWindow_ = mainWindow;
    applicationWindow_ = applicationWindow;
  }

  // Dispatch objects.
  Ptr<TClient> client() { return client_; }
  Ptr<TClientAPI> clientAPI() { return clientAPI_; }
  Ptr<TWorkspace> workspace() { return workspace_; }
  Ptr<TDeviceManager> deviceManager() { return deviceManager_; }
  Ptr<TGUIManager> guiManager() { return guiManager_; }
  Ptr<TTimerManager> timerManager() { return timerManager_; }
  Ptr<TPluginsRegistry> pluginsRegistry() { return pluginsRegistry_; }
  // The server module of that name (case ignored): "FPGAFlow"; none for any other.
  DispPtr serverModule(std::string_view name);

 private:
  HostLink link() { return {&callLog_, life_}; }

  HostOptions options_;
  std::shared_ptr<const int> life_ = std::make_shared<const int>(0);
  CallLog callLog_;
  StatusBar statusBar_;
  MessagesModel messages_;
  OutputModel output_;
  ProcessLauncher launcher_;
  TimerRegistry timers_;
  NotificationRegistry notifications_;
  FamilyTable families_;
  VendorTools vendorTools_;
  std::unique_ptr<DialogSink> defaultDialogs_;
  DialogSink* dialogs_;
  int32_t mainWindow_ = 0;
  int32_t applicationWindow_ = 0;

  std::vector<HostIssue> issues_;
  std::vector<std::unique_ptr<LoadedPlugin>> plugins_;
  DriverRegistry drivers_;
  std::vector<Ptr<THostDevice>> devices_;
  BsdlLibrary bsdlLibrary_;
  std::optional<std::vector<zsim::JtagIdEntry>> jtagIdMap_;
  std::vector<std::unique_ptr<JtagChain>> chains_;

  Ptr<TClient> client_;
  Ptr<TClientAPI> clientAPI_;
  Ptr<TWorkspace> workspace_;
  Ptr<TDeviceManager> deviceManager_;
  Ptr<TGUIManager> guiManager_;
  Ptr<TTimerManager> timerManager_;
  Ptr<TPluginsRegistry> pluginsRegistry_;
  Ptr<TFPGAFlowModule> flowModule_;
  bool loaded_ = false;
};

}  // namespace zolta::hostapp
