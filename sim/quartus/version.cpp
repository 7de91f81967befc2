#include "zolta/quartus/version.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <unistd.h>

#include "zolta/quartus/text.h"

namespace zquartus {

namespace fs = std::filesystem;

std::string ToolVersion::fullText() const { return "Version " + shortText(); }

std::string ToolVersion::shortText() const {
  std::string s = version;
  if (!build.empty()) s += " Build " + build;
  if (!date.empty()) s += " " + date;
  if (!edition.empty()) s += " " + edition;
  return s;
}

std::string ToolVersion::year() const {
  if (date.size() >= 4) {
    std::string y = date.substr(date.size() - 4);
    if (y.find_first_not_of("0123456789") == std::string::npos) return y;
  }
  return "2013";
}

std::optional<ToolVersion> ToolVersion::parse(const std::string& line) {
  size_t at = line.find("Version");
  if (at == std::string::npos) at = line.find("Release");
  if (at == std::string::npos) return std::nullopt;
  std::istringstream in(line.substr(at + 7));
  ToolVersion v;
  if (!(in >> v.version)) return std::nullopt;
  std::string word;
  if (in >> word) {
    if (word == "Build") {
      in >> v.build;
      std::string date;
      if (in >> date) v.date = date;
    } else {
      v.edition = word;
    }
    std::string rest;
    std::getline(in, rest);
    rest = trim(rest);
    if (!rest.empty()) v.edition = v.edition.empty() ? rest : v.edition + " " + rest;
  }
  v.number = versionNumber(v.version);
  return v;
}

ToolVersion ToolVersion::builtIn() { return *parse("Version 13.1 Build 162 10/23/2013 SJ Full Version"); }

double versionNumber(const std::string& text) {
  const size_t dot = text.find('.');
  double weight = 1;
  if (dot == std::string::npos) {
    for (size_t i = 1; i < text.size(); ++i) weight *= 10;
  } else if (dot == 0) {
    weight = 0.1;
  } else {
    for (size_t i = 1; i < dot; ++i) weight *= 10;
  }
  double result = 0;
  for (char c : text) {
    if (c < '0' || c > '9') continue;
    result += (c - '0') * weight;
    weight /= 10;
  }
  return result;
}

fs::path installationRoot(const std::string& argv0) {
  fs::path program;
  if (argv0.find('/') != std::string::npos) {
    program = fs::absolute(argv0);
  } else if (const char* path = std::getenv("PATH")) {
    std::istringstream dirs(path);
    for (std::string dir; std::getline(dirs, dir, ':');) {
      fs::path candidate = fs::path(dir.empty() ? "." : dir) / argv0;
      if (::access(candidate.c_str(), X_OK) == 0) {
        program = fs::absolute(candidate);
        break;
      }
    }
  }
  if (program.empty()) {
    std::error_code ec;
    program = fs::read_symlink("/proc/self/exe", ec);
  }
  return program.parent_path().parent_path();
}

ToolVersion installedVersion(const fs::path& root) {
  const fs::path readme = findNoCase(root, "readme.txt");
  if (!readme.empty()) {
    std::ifstream in(readme);
    std::string line;
    if (std::getline(in, line))
      if (auto v = ToolVersion::parse(trim(line))) return *v;
  }
  return ToolVersion::builtIn();
}

}  // namespace zquartus
