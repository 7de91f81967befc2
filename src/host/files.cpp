#include "zolta/host/files.h"

#include <dirent.h>
#include <dlfcn.h>
#include <link.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <vector>

#include "host_internal.h"
#include "zolta/dispatch.h"
#include "zolta/host/host_services.h"
#include "zolta/host/text_utils.h"

namespace zolta {

// ---- path helpers --------------------------------------------------------------------------------

std::string JoinPath(std::string_view folder, std::string_view name) {
  std::string f = BackslashesToSlashes(folder);
  std::string n = BackslashesToSlashes(name);
  if (f.empty()) return n;
  if (n.empty()) return f;
  while (!n.empty() && n.front() == '/') n.erase(0, 1);
  if (f.back() != '/') f += '/';
  return f + n;
}

namespace {
size_t lastSeparator(std::string_view path) { return path.find_last_of("/\\"); }
}  // namespace

std::string ExtractFilePath(std::string_view path) {
  const size_t p = lastSeparator(path);
  return p == std::string_view::npos ? std::string() : std::string(path.substr(0, p + 1));
}

std::string ExtractFileDir(std::string_view path) {
  const size_t p = lastSeparator(path);
  if (p == std::string_view::npos) return std::string();
  if (p == 0) return std::string(path.substr(0, 1));  // the root keeps its separator
  return std::string(path.substr(0, p));
}

std::string ExtractFileName(std::string_view path) {
  const size_t p = lastSeparator(path);
  return std::string(p == std::string_view::npos ? path : path.substr(p + 1));
}

std::string ExtractFileExt(std::string_view path) {
  const std::string name = ExtractFileName(path);
  const size_t dot = name.rfind('.');
  return dot == std::string::npos ? std::string() : name.substr(dot);
}

std::string ChangeFileExt(std::string_view path, std::string_view ext) {
  const size_t sep = lastSeparator(path);
  const size_t dot = path.rfind('.');
  const bool hasExt = dot != std::string_view::npos && (sep == std::string_view::npos || dot > sep);
  std::string r(hasExt ? path.substr(0, dot) : path);
  r += ext;
  return r;
}

std::string IncludeTrailingPathDelimiter(std::string_view path) {
  std::string r(path);
  if (!r.empty() && r.back() == '\\') r.back() = '/';
  if (r.empty() || r.back() != '/') r += '/';
  return r;
}

std::string ExcludeTrailingPathDelimiter(std::string_view path) {
  std::string r(path);
  while (r.size() > 1 && IsPathSeparator(r.back())) r.pop_back();
  return r;
}

bool FileExists(std::string_view path) {
  if (path.empty()) return false;
  struct stat st {};
  return ::stat(std::string(path).c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool DirectoryExists(std::string_view path) {
  if (path.empty()) return false;
  struct stat st {};
  return ::stat(std::string(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

namespace {

bool pathExists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0;
}

// The entry of `folder` whose name equals `name` ignoring ASCII case; the first in byte order when
// several do. Empty when none.
std::string matchInFolder(const std::string& folder, const std::string& name) {
  DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
  if (!dir) return {};
  std::string best;
  while (const dirent* e = ::readdir(dir)) {
    const std::string entry = e->d_name;
    if (entry == "." || entry == "..") continue;
    if (zabi::sameText(entry, name) && (best.empty() || entry < best)) best = entry;
  }
  ::closedir(dir);
  return best;
}

}  // namespace

std::string ResolveFileCaseInsensitive(std::string_view path) {
  const std::string p = BackslashesToSlashes(path);
  if (p.empty()) return {};
  if (pathExists(p)) return p;
  // Walk the components; each one is taken exactly when it exists, else matched ignoring case.
  std::string resolved;
  size_t pos = 0;
  if (p.front() == '/') {
    resolved = "/";
    pos = 1;
  }
  while (pos <= p.size()) {
    size_t next = p.find('/', pos);
    if (next == std::string::npos) next = p.size();
    const std::string part = p.substr(pos, next - pos);
    pos = next + 1;
    if (part.empty() || part == ".") {
      if (next == p.size()) break;
      continue;
    }
    std::string candidate = resolved + part;
    if (part != ".." && !pathExists(candidate)) {
      const std::string match = matchInFolder(resolved.empty() ? std::string() : resolved, part);
      if (match.empty()) return {};
      candidate = resolved + match;
    }
    resolved = candidate;
    if (next < p.size()) resolved += '/';
  }
  return pathExists(resolved) ? resolved : std::string();
}

// ---- folders ---------------------------------------------------------------------------------------

std::string GetExeFolder() {
  std::vector<char> buf(PATH_MAX + 1);
  const ssize_t n = ::readlink("/proc/self/exe", buf.data(), buf.size() - 1);
  if (n <= 0) return {};
  return ExtractFilePath(std::string_view(buf.data(), size_t(n)));
}

std::string GetSystemFolder() {
  const std::string exe = GetExeFolder();
  return exe.empty() ? std::string() : exe + "System/";
}

std::string GetModuleFolder() {
  Dl_info info{};
  link_map* map = nullptr;
  if (::dladdr1(reinterpret_cast<void*>(&GetModuleFolder), &info, reinterpret_cast<void**>(&map),
                RTLD_DL_LINKMAP) != 0 &&
      map && map->l_name && map->l_name[0] != '\0') {
    std::string file = map->l_name;
    if (file.front() != '/') {
      // A module opened through a relative path: make it absolute against the working folder.
      if (char* real = ::realpath(file.c_str(), nullptr)) {
        file = real;
        std::free(real);
      }
    }
    return ExtractFilePath(file);
  }
  // This code is linked into the executable itself.
  return GetExeFolder();
}

std::string GetLibraryFolder() {
  const std::string m = GetModuleFolder();
  return m.empty() ? std::string() : m + "Library/";
}

std::string GetEDIFFolder() {
  IClientAPI api = GetClientAPI();
  if (!api) return {};
  const std::string folder = api.call(zabi::host::ClientAPI_GetSpecialFolder).toString();
  return IncludeTrailingPathDelimiter(folder) + "EDIF/";
}

std::string GetTempFolder() {
  const char* env = std::getenv("TMPDIR");
  std::string folder = env && *env ? env : "/tmp";
  return IncludeTrailingPathDelimiter(folder);
}

std::string GetTempFolderLong() {
  const std::string folder = GetTempFolder();
  if (char* real = ::realpath(folder.c_str(), nullptr)) {
    std::string r = real;
    std::free(real);
    return IncludeTrailingPathDelimiter(r);
  }
  return folder;
}

std::string GetTempFileName() {
  std::string pattern = GetTempFolder() + "ProXXXXXX";
  std::vector<char> buf(pattern.begin(), pattern.end());
  buf.push_back('\0');
  const int fd = ::mkstemp(buf.data());  // exclusive creation of a unique name
  if (fd < 0) return {};
  ::close(fd);
  return std::string(buf.data());
}

std::string SpecialFolder_EmbeddedExtension() {
  const std::string system = GetSystemFolder();
  if (FileExists(system + zabi::host::kToolchainModuleFile)) return system;
  std::string found;
  ForEachPluginFolder([&](const std::string& folder, bool& stop) {
    if (FileExists(folder + zabi::host::kToolchainModuleFile)) {
      found = folder;
      stop = true;
    }
  });
  return found.empty() ? std::string("/") : found;
}

std::string GetImageListFolder() {
  IClientAPI api = GetClientAPI();
  if (!api) return {};
  std::string folder = api.call(zabi::host::ClientAPI_GetImageListFolder).toString();
  if (folder.empty()) folder = api.call(zabi::host::ClientAPI_GetImageListFolder2).toString();
  return folder;
}

std::string GetEmbeddedLibraryFolder() {
  IClientAPI api = GetClientAPI();
  if (!api) return {};
  return api.call(zabi::host::ClientAPI_GetEmbeddedFolder).toString();
}

// ---- plug-in folders and sibling modules ------------------------------------------------------------

void ForEachPluginFolder(const std::function<void(const std::string& folder, bool& stop)>& callback) {
  IClient client = HostClient();
  if (!client) return;
  IPluginsRegistry registry = IPluginsRegistry::fromVar(client.call(zabi::host::Client_GetPluginsRegistry));
  if (!registry) return;
  const int32_t count = registry.call(zabi::host::PluginsRegistry_GetCount).toInt32();
  bool stop = false;
  for (int32_t i = 0; i < count && !stop; ++i) {
    IPluginItem item = IPluginItem::fromVar(registry.call(zabi::host::PluginsRegistry_GetItem, i));
    if (!item) continue;
    if (item.call(zabi::host::PluginItem_GetFlag).toInt32() != 0) continue;
    const std::string folder = item.call(zabi::host::PluginItem_GetFolder).toString();
    callback(IncludeTrailingPathDelimiter(folder), stop);
  }
}

namespace {
// The file `name` directly in `folder`, exact name first, else matched ignoring case.
std::string fileInFolder(const std::string& folder, std::string_view name) {
  const std::string exact = folder + std::string(name);
  if (FileExists(exact)) return exact;
  const std::string match = matchInFolder(ExcludeTrailingPathDelimiter(folder), std::string(name));
  if (!match.empty() && FileExists(folder + match)) return folder + match;
  return {};
}
}  // namespace

std::string FindPluginFile(std::string_view name) {
  if (name.empty()) return {};
  const std::string system = GetSystemFolder();
  if (!system.empty()) {
    const std::string inSystem = fileInFolder(system, name);
    if (!inSystem.empty()) return inSystem;
  }
  std::string found;
  ForEachPluginFolder([&](const std::string& folder, bool& stop) {
    found = fileInFolder(folder, name);
    stop = !found.empty();
  });
  return found;
}

bool LoadHostModule(void*& handle, std::string_view name) {
  if (handle) return true;
  if (name.empty()) return false;
  const std::string n(name);
  handle = ::dlopen(n.c_str(), RTLD_NOW | RTLD_NOLOAD);
  if (!handle) {
    const std::string file = FindPluginFile(name);
    if (!file.empty()) handle = ::dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
  }
  return handle != nullptr;
}

namespace {
struct PathExport {
  bool resolved = false;
  zabi::VfsExpandRelativePathFn fn = nullptr;
};
PathExport& pathExport() {
  static PathExport e;
  return e;
}
}  // namespace

std::string ExpandRelativePath(std::string_view base, std::string_view relative) {
  PathExport& e = pathExport();
  if (!e.resolved) {
    e.fn = reinterpret_cast<zabi::VfsExpandRelativePathFn>(::dlsym(RTLD_DEFAULT, zabi::kHostExportExpandPath));
    e.resolved = true;
  }
  if (!e.fn) return {};
  constexpr int32_t kBufferBytes = 4096;
  std::vector<char16_t> buffer(kBufferBytes / sizeof(char16_t), u'\0');
  const std::u16string b = zabi::utf8ToUtf16(base);
  const std::u16string r = zabi::utf8ToUtf16(relative);
  e.fn(b.c_str(), r.c_str(), buffer.data(), kBufferBytes);
  buffer.back() = u'\0';  // never read past the buffer, whatever the host wrote
  return zabi::utf16ToUtf8(std::u16string_view(buffer.data()));
}

namespace detail {
void ResetPathExport() { pathExport() = PathExport{}; }
}  // namespace detail

}  // namespace zolta
