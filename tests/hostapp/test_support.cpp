#include "test_support.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>

namespace fs = std::filesystem;

namespace zolta::hostapp::test {

TempFolder::TempFolder() {
  std::string tmpl = (fs::temp_directory_path() / "zolta-hostapp-XXXXXX").string();
  char* made = mkdtemp(tmpl.data());
  if (!made) throw std::runtime_error("cannot create a temporary folder");
  path_ = made;
}

TempFolder::~TempFolder() {
  std::error_code ec;
  fs::remove_all(path_, ec);
}

std::string TempFolder::write(const std::string& relative, const std::string& content) const {
  fs::path p = fs::path(path_) / relative;
  fs::create_directories(p.parent_path());
  std::ofstream(p, std::ios::binary) << content;
  return p.string();
}

std::string TempFolder::copy(const std::string& from, const std::string& relative) const {
  fs::path p = fs::path(path_) / relative;
  fs::create_directories(p.parent_path());
  fs::copy_file(from, p, fs::copy_options::overwrite_existing);
  return p.string();
}

std::string TempFolder::mkdir(const std::string& relative) const {
  fs::path p = fs::path(path_) / relative;
  fs::create_directories(p);
  return p.string();
}

static std::string shellQuote(const std::string& s) {
  std::string out = "'";
  for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

static std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

ProcessResult runZolta(const std::vector<std::string>& args, const std::string& extraEnvironment) {
  TempFolder io;
  std::string cmd = extraEnvironment.empty() ? std::string() : extraEnvironment + " ";
  cmd += shellQuote(ZOLTA_EXE);
  for (const std::string& a : args) cmd += " " + shellQuote(a);
  cmd += " >" + shellQuote(io.path() + "/out") + " 2>" + shellQuote(io.path() + "/err");
  int status = std::system(cmd.c_str());
  ProcessResult r;
  r.exitCode = (status != -1 && WIFEXITED(status)) ? WEXITSTATUS(status) : -1;
  r.out = slurp(io.path() + "/out");
  r.err = slurp(io.path() + "/err");
  return r;
}

const DispatchTable& TRecordingHandler::table() {
  static const DispatchEntry entries[] = {
      {266, &op<&TRecordingHandler::HandleNotification>},
      {267, &op<&TRecordingHandler::HandleTimerEvent>},
  };
  static const DispatchTable t = makeTable(&TAbstractSupportService::rootTable(), "Handler", entries);
  return t;
}

HostOptions testOptions(const TempFolder& root, const std::string& pluginFolder) {
  HostOptions o;
  o.rootFolder = root.path();
  o.pluginFolder = pluginFolder;
  o.quartusFolder = std::string();  // no Quartus unless a test gives one
  return o;
}

}  // namespace zolta::hostapp::test
