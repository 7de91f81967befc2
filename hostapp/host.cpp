#include "zolta/hostapp/host.h"

#include <cstdlib>
#include <iostream>

#include "zolta/hostapp/ids.h"
#include "zolta/hostapp/paths.h"

namespace zolta::hostapp {

namespace {
Host* gCurrentHost = nullptr;  // the process's host, for the executable's exported entry points

std::string withoutTrailingSlash(std::string p) {
  while (p.size() > 1 && p.back() == '/') p.pop_back();
  return p;
}

HostOptions resolved(HostOptions o) {
  if (o.rootFolder.empty()) o.rootFolder = executableFolder();
  o.rootFolder = withoutTrailingSlash(o.rootFolder);
  o.pluginFolder = o.pluginFolder.empty() ? joinPath(o.rootFolder, "plugins") : withoutTrailingSlash(o.pluginFolder);
  o.systemFolder = o.systemFolder.empty() ? joinPath(o.rootFolder, "System") : withoutTrailingSlash(o.systemFolder);
  o.libraryFolder = o.libraryFolder.empty() ? joinPath(o.rootFolder, "Library") : withoutTrailingSlash(o.libraryFolder);
  if (!o.quartusFolder) {
    const char* env = std::getenv("QUARTUS_ROOTDIR");
    if (env && *env) o.quartusFolder = withoutTrailingSlash(env);
  }
  if (o.quartusFolder && o.quartusFolder->empty()) o.quartusFolder.reset();
  return o;
}
}  // namespace

Host* Host::current() { return gCurrentHost; }
void Host::setCurrent(Host* host) { gCurrentHost = host; }

Host::Host(HostOptions options)
    : options_(resolved(std::move(options))),
      vendorTools_(options_.quartusFolder, options_.systemFolder),
      defaultDialogs_(std::make_unique<StreamDialogSink>(std::cerr)),
      dialogs_(defaultDialogs_.get()),
      bsdlLibrary_(joinPath(options_.libraryFolder, "BSDL")) {
  std::string familyFile = findEntryNoCase(options_.systemFolder, "DeviceFamilies.ini");
  if (familyFile.empty()) {
    issues_.push_back({joinPath(options_.systemFolder, "DeviceFamilies.ini"), "the family parameter file is missing"});
  } else {
    try {
      families_.load(familyFile);
    } catch (const std::exception& e) {
      issues_.push_back({familyFile, e.what()});
    }
  }
  HostLink link = this->link();
  client_ = Ptr<TClient>(new TClient(link, *this));
  clientAPI_ = Ptr<TClientAPI>(new TClientAPI(link, *this));
  workspace_ = Ptr<TWorkspace>(new TWorkspace(link, messages_, output_));
  deviceManager_ = Ptr<TDeviceManager>(new TDeviceManager(link, *this));
  guiManager_ = Ptr<TGUIManager>(new TGUIManager(link, statusBar_));
  timerManager_ = Ptr<TTimerManager>(new TTimerManager(link, timers_));
  pluginsRegistry_ = Ptr<TPluginsRegistry>(new TPluginsRegistry(link));
  flowModule_ = Ptr<TFPGAFlowModule>(new TFPGAFlowModule(link, vendorTools_));
}

Host::~Host() {
  // Let go of every plug-in object, unbinding devices first; then cut the host objects loose.
  for (const Ptr<THostDevice>& device : devices_) {
    if (DispPtr driver = device->GetDriver()) {
      zabi::Var ignored;
      std::string message;
      zabi::tryInvoke(driver.get(), ids::Driver_SetZoltaDevice, &ignored, &message, DispPtr());
    }
    device->dropDriver();
  }
  devices_.clear();
  chains_.clear();  // channels close their cables once the plug-ins hold no reference to them
  drivers_.clear();
  timers_.clear();
  notifications_.clear();
  plugins_.clear();
  life_.reset();  // host objects that plug-ins still hold refuse calls from now on
  if (gCurrentHost == this) gCurrentHost = nullptr;
}

void Host::setDialogSink(DialogSink* sink) { dialogs_ = sink ? sink : defaultDialogs_.get(); }

void Host::loadPlugins() {
  if (loaded_) return;
  loaded_ = true;
  plugins_ = PluginLoader::loadFolder(options_.pluginFolder, issues_);

  // One registry item per folder that holds plug-in files; the flag marks folders where none loaded.
  std::vector<std::pair<std::string, int32_t>> folders;
  for (const std::string& file : PluginLoader::findPluginFiles(options_.pluginFolder)) {
    std::string folder = file.substr(0, file.rfind('/'));
    if (!folders.empty() && folders.back().first == folder) continue;
    folders.emplace_back(folder, 1);
  }
  for (auto& [folder, flag] : folders)
    for (const auto& p : plugins_)
      if (p->folder() == folder) flag = 0;
  pluginsRegistry_->setItems(folders);

  for (size_t i = 0; i < plugins_.size(); ++i) {
    const LoadedPlugin& p = *plugins_[i];
    for (int32_t kind = 0; kind < p.kindCount(); ++kind) {
      zabi::IDispatch* raw = nullptr;
      zabi::HResult h = p.driverEntry()(uint32_t(kind), &raw);
      DispPtr driver = DispPtr::adopt(raw);  // the entry point hands over a reference
      if (h != zabi::kOk || !driver) {
        issues_.push_back({p.path(), std::string(zabi::kEntryDriverPlugin) + " for kind " + std::to_string(kind) +
                                         (h != zabi::kOk ? " failed with status " + statusText(h) : " gave no driver")});
        continue;
      }
      drivers_.add({i, p.name(), kind, std::move(driver)});
    }
  }
}

Ptr<THostDevice> Host::createDevice(size_t driverIndex, int32_t jtagIndex) {
  const DriverEntry& entry = drivers_.entries().at(driverIndex);
  Ptr<THostDevice> device(new THostDevice(link(), drivers_.deviceName(driverIndex), entry.driver, jtagIndex));
  zabi::invoke(entry.driver, ids::Driver_SetZoltaDevice, device->dispatchPtr());
  devices_.push_back(device);
  return device;
}

DispPtr Host::serverModule(std::string_view name) {
  if (zabi::sameText(name, "FPGAFlow")) return flowModule_;
  return {};
}

}  // namespace zolta::hostapp
