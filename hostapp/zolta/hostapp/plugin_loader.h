// Loads plug-in shared objects (".ZLT", extension compared without regard to case) and resolves their
// two entry points. A file that fails is reported with its path and the reason, and loading goes on.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "zolta/abi.h"

namespace zolta::hostapp {

// One problem met while starting the host; `file` names the file or folder at fault.
struct HostIssue {
  std::string file;
  std::string reason;
};

// A loaded plug-in. The shared object is never unloaded: plug-ins keep process-wide caches of host
// objects and of their own objects, which their static destructors release when the process ends;
// unloading earlier would strand those caches (and run plug-in code against a host being torn down).
class LoadedPlugin {
 public:
  LoadedPlugin(std::string path, zabi::GetZoltaDriverPluginFn driver, int32_t kindCount);
  LoadedPlugin(const LoadedPlugin&) = delete;
  LoadedPlugin& operator=(const LoadedPlugin&) = delete;

  const std::string& path() const { return path_; }
  std::string folder() const;
  // The file name without folder and extension ("Arria2GZ").
  std::string name() const;
  int32_t kindCount() const { return kindCount_; }
  zabi::GetZoltaDriverPluginFn driverEntry() const { return driver_; }

 private:
  std::string path_;
  zabi::GetZoltaDriverPluginFn driver_;
  int32_t kindCount_;
};

class PluginLoader {
 public:
  // Plug-in files directly in `folder` and in each of its direct subfolders, sorted by path.
  static std::vector<std::string> findPluginFiles(const std::string& folder);
  // Loads one file: dlopen, both entry points, and the kind count. Null with `error` set on failure.
  static std::unique_ptr<LoadedPlugin> load(const std::string& path, std::string& error);
  // Loads every plug-in file of `folder`; failures go to `issues`.
  static std::vector<std::unique_ptr<LoadedPlugin>> loadFolder(const std::string& folder,
                                                               std::vector<HostIssue>& issues);
};

// A status as text: "0x8000FFFF".
std::string statusText(zabi::HResult h);

}  // namespace zolta::hostapp
