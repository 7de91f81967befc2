#include "zolta/hostapp/paths.h"

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "zolta/dispatch.h"

namespace fs = std::filesystem;

namespace zolta::hostapp {

std::string executableFolder() {
  std::error_code ec;
  fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  if (ec) return fs::current_path(ec).string();
  return exe.parent_path().string();
}

std::string joinPath(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  if (folder.back() == '/') return folder + name;
  return folder + "/" + name;
}

std::string findEntryNoCase(const std::string& folder, const std::string& name, bool wantDirectory) {
  std::error_code ec;
  auto matches = [&](const fs::directory_entry& e) {
    return wantDirectory ? e.is_directory(ec) : e.is_regular_file(ec);
  };
  fs::directory_entry exact(fs::path(folder) / name, ec);
  if (!ec && matches(exact)) return exact.path().string();
  std::string found;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    if (zabi::sameText(it->path().filename().string(), name) && matches(*it)) {
      // Several case variants: the smallest name, so the answer does not depend on directory order.
      std::string candidate = it->path().string();
      if (found.empty() || candidate < found) found = candidate;
    }
  }
  return found;
}

std::vector<std::string> subfolders(const std::string& folder) {
  std::vector<std::string> out;
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
    if (it->is_directory(ec)) out.push_back(it->path().string());
  std::sort(out.begin(), out.end());
  return out;
}

bool isDirectory(const std::string& path) {
  std::error_code ec;
  return fs::is_directory(path, ec);
}

bool isRegularFile(const std::string& path) {
  std::error_code ec;
  return fs::is_regular_file(path, ec);
}

std::optional<std::string> firstLineOf(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::string line;
  std::getline(in, line);
  if (in.bad()) return std::nullopt;
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

static bool isAbsolute(const std::string& p) {
  return (!p.empty() && (p[0] == '/' || p[0] == '\\')) || p.find(':') != std::string::npos;
}

std::string expandRelativePath(const std::string& base, const std::string& relative) {
  std::string b = base, r = relative;
  std::replace(b.begin(), b.end(), '\\', '/');
  std::replace(r.begin(), r.end(), '\\', '/');
  std::string joined;
  if (isAbsolute(r)) {
    joined = r;
  } else {
    std::string folder = b;
    if (!folder.empty() && folder.back() != '/' && !isDirectory(folder)) {
      size_t slash = folder.rfind('/');
      folder = slash == std::string::npos ? std::string() : folder.substr(0, slash + 1);
    }
    joined = r.empty() ? folder : joinPath(folder, r);
  }
  // Resolve "." and ".." textually; a ".." above the root of an absolute path stays at the root.
  bool absolute = !joined.empty() && joined[0] == '/';
  bool trailing = !joined.empty() && joined.back() == '/';
  std::vector<std::string> parts;
  size_t pos = 0;
  while (pos <= joined.size()) {
    size_t next = joined.find('/', pos);
    if (next == std::string::npos) next = joined.size();
    std::string part = joined.substr(pos, next - pos);
    if (part == "..") {
      if (!parts.empty() && parts.back() != "..") parts.pop_back();
      else if (!absolute) parts.push_back(part);
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    pos = next + 1;
  }
  std::string out = absolute ? "/" : "";
  for (size_t i = 0; i < parts.size(); ++i) out += (i ? "/" : "") + parts[i];
  if (trailing && !parts.empty()) out += "/";
  return out;
}

}  // namespace zolta::hostapp
