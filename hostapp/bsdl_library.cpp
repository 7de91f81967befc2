#include "zolta/hostapp/bsdl_library.h"

#include <algorithm>
#include <filesystem>

#include "zolta/dispatch.h"

namespace fs = std::filesystem;

namespace zolta::hostapp {

namespace {

bool startsWithNoCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && zabi::sameText(text.substr(0, prefix.size()), prefix);
}

}  // namespace

const std::vector<std::string>& BsdlLibrary::files() {
  if (scanned_) return files_;
  scanned_ = true;
  std::error_code ec;
  for (fs::recursive_directory_iterator it(folder_, fs::directory_options::skip_permission_denied, ec), end;
       !ec && it != end; it.increment(ec)) {
    if (zabi::sameText(it->path().extension().string(), ".bsd") && it->is_regular_file(ec))
      files_.push_back(it->path().string());
  }
  std::sort(files_.begin(), files_.end());
  return files_;
}

std::string BsdlLibrary::find(const std::string& vendor, const std::string& family,
                              const std::vector<std::string>& names) {
  // The vendor and family folder first, then the whole library.
  std::vector<const std::string*> ordered;
  if (!vendor.empty() && !family.empty()) {
    for (const std::string& f : files()) {
      const fs::path parent = fs::path(f).parent_path();
      if (zabi::sameText(parent.filename().string(), family) &&
          zabi::sameText(parent.parent_path().filename().string(), vendor) &&
          fs::path(f).parent_path().parent_path().parent_path() == fs::path(folder_))
        ordered.push_back(&f);
    }
  }
  for (const std::string& f : files())
    if (std::find(ordered.begin(), ordered.end(), &f) == ordered.end()) ordered.push_back(&f);

  for (const std::string& name : names) {
    if (name.empty()) continue;
    const std::string* best = nullptr;
    size_t bestLength = 0;
    for (const std::string* f : ordered) {
      const std::string stem = fs::path(*f).stem().string();
      if (!stem.empty() && stem.size() > bestLength && startsWithNoCase(name, stem)) {
        best = f;
        bestLength = stem.size();
      }
    }
    if (best) return *best;
    for (const std::string* f : ordered)
      if (startsWithNoCase(fs::path(*f).stem().string(), name)) return *f;
  }
  return {};
}

}  // namespace zolta::hostapp
