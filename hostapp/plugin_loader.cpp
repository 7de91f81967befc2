#include "zolta/hostapp/plugin_loader.h"

#include <dlfcn.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "zolta/dispatch.h"
#include "zolta/hostapp/paths.h"

namespace fs = std::filesystem;

namespace zolta::hostapp {

// More kinds than any catalogue holds: a count beyond it is a broken plug-in, not a big one.
static constexpr int32_t kMaxKinds = 1 << 16;

std::string statusText(zabi::HResult h) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%08X", static_cast<unsigned>(h));
  return buf;
}

LoadedPlugin::LoadedPlugin(std::string path, zabi::GetZoltaDriverPluginFn driver, int32_t kindCount)
    : path_(std::move(path)), driver_(driver), kindCount_(kindCount) {}

std::string LoadedPlugin::folder() const { return fs::path(path_).parent_path().string(); }

std::string LoadedPlugin::name() const { return fs::path(path_).stem().string(); }

static bool isPluginFile(const fs::path& p) { return zabi::sameText(p.extension().string(), ".ZLT"); }

std::vector<std::string> PluginLoader::findPluginFiles(const std::string& folder) {
  std::vector<std::string> files;
  auto scan = [&](const std::string& dir) {
    std::error_code ec;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec))
      if (isPluginFile(it->path()) && it->is_regular_file(ec)) files.push_back(it->path().string());
  };
  scan(folder);
  for (const std::string& sub : subfolders(folder)) scan(sub);
  std::sort(files.begin(), files.end());
  return files;
}

std::unique_ptr<LoadedPlugin> PluginLoader::load(const std::string& path, std::string& error) {
  dlerror();
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    const char* why = dlerror();
    error = std::string("not a loadable shared object: ") + (why ? why : "unknown reason");
    return nullptr;
  }
  // A file that fails is unloaded again: the host keeps nothing of it.
  auto fail = [&](std::string why) -> std::unique_ptr<LoadedPlugin> {
    dlclose(handle);
    error = std::move(why);
    return nullptr;
  };
  auto count = reinterpret_cast<zabi::GetZoltaDriverCountFn>(dlsym(handle, zabi::kEntryDriverCount));
  if (!count) return fail(std::string("entry point ") + zabi::kEntryDriverCount + " is missing");
  auto driver = reinterpret_cast<zabi::GetZoltaDriverPluginFn>(dlsym(handle, zabi::kEntryDriverPlugin));
  if (!driver) return fail(std::string("entry point ") + zabi::kEntryDriverPlugin + " is missing");
  int32_t kinds = -1;
  zabi::HResult h = count(&kinds);
  if (h != zabi::kOk) return fail(std::string(zabi::kEntryDriverCount) + " failed with status " + statusText(h));
  if (kinds < 0 || kinds > kMaxKinds)
    return fail(std::string(zabi::kEntryDriverCount) + " answered " + std::to_string(kinds) + " kinds");
  return std::make_unique<LoadedPlugin>(path, driver, kinds);
}

std::vector<std::unique_ptr<LoadedPlugin>> PluginLoader::loadFolder(const std::string& folder,
                                                                    std::vector<HostIssue>& issues) {
  std::vector<std::unique_ptr<LoadedPlugin>> plugins;
  if (!isDirectory(folder)) {
    issues.push_back({folder, "the plug-in folder does not exist"});
    return plugins;
  }
  for (const std::string& file : findPluginFiles(folder)) {
    std::string error;
    if (auto p = load(file, error)) plugins.push_back(std::move(p));
    else issues.push_back({file, error});
  }
  return plugins;
}

}  // namespace zolta::hostapp
