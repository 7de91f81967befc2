// Fixtures of the stand-in Quartus tests: a temporary folder, file helpers, and a child-process runner
// for the installed tools.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace zquartus::test {

namespace fs = std::filesystem;

inline fs::path installDir() { return ZQUARTUS_INSTALL_DIR; }
inline fs::path demoDir() { return ZQUARTUS_DEMO_DIR; }

inline std::string slurp(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

inline void spit(const fs::path& p, const std::string& text) { std::ofstream(p, std::ios::binary) << text; }

// A fresh folder under the system's temporary folder, removed at the end of the test.
struct TempDir {
  TempDir() {
    const ::testing::TestInfo* t = ::testing::UnitTest::GetInstance()->current_test_info();
    path = fs::temp_directory_path() /
           ("zquartus_" + std::string(t ? t->name() : "x") + "_" + std::to_string(::getpid()));
    fs::remove_all(path);
    fs::create_directories(path);
  }
  ~TempDir() { fs::remove_all(path); }
  fs::path path;
};

struct ProcessResult {
  int exitCode = -1;
  std::string output;  // stdout and stderr, interleaved
  std::vector<std::string> lines() const {
    std::vector<std::string> v;
    std::istringstream in(output);
    for (std::string l; std::getline(in, l);) v.push_back(l);
    return v;
  }
  bool hasLineStartingWith(const std::string& prefix) const {
    for (const std::string& l : lines())
      if (l.rfind(prefix, 0) == 0) return true;
    return false;
  }
  int countStartingWith(const std::string& prefix) const {
    int n = 0;
    for (const std::string& l : lines()) n += l.rfind(prefix, 0) == 0;
    return n;
  }
};

// Runs `program` with `args` in `dir`, one pipe for both output streams, like the flow's console runner.
inline ProcessResult run(const fs::path& program, const std::vector<std::string>& args, const fs::path& dir) {
  int fds[2];
  if (::pipe(fds) != 0) return {};
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(fds[1], 1);
    ::dup2(fds[1], 2);
    ::close(fds[0]);
    ::close(fds[1]);
    if (::chdir(dir.c_str()) != 0) ::_exit(126);
    std::vector<char*> argv;
    std::string prog = program.string();
    argv.push_back(prog.data());
    std::vector<std::string> copy = args;
    for (std::string& a : copy) argv.push_back(a.data());
    argv.push_back(nullptr);
    ::execv(prog.c_str(), argv.data());
    ::_exit(127);
  }
  ::close(fds[1]);
  ProcessResult r;
  char buf[4096];
  for (ssize_t n; (n = ::read(fds[0], buf, sizeof buf)) > 0;) r.output.append(buf, static_cast<size_t>(n));
  ::close(fds[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return r;
}

// A tool of an installation tree.
inline fs::path tool(const fs::path& root, const std::string& name) { return root / "bin" / name; }

// The rows of a report table that starts at the line containing `title`, up to the first empty line:
// the fields of each data row, trimmed.
inline std::vector<std::vector<std::string>> tableRows(const std::string& report, const std::string& title) {
  std::vector<std::vector<std::string>> rows;
  std::istringstream in(report);
  bool inside = false;
  for (std::string line; std::getline(in, line);) {
    if (!inside) {
      inside = line.rfind(";", 0) == 0 && line.find(title) != std::string::npos;
      continue;
    }
    if (line.empty()) break;
    if (line.rfind(";", 0) != 0) continue;
    std::vector<std::string> fields;
    std::istringstream f(line.substr(1));
    for (std::string field; std::getline(f, field, ';');) {
      const size_t b = field.find_first_not_of(' ');
      const size_t e = field.find_last_not_of(' ');
      fields.push_back(b == std::string::npos ? "" : field.substr(b, e - b + 1));
    }
    rows.push_back(fields);
  }
  return rows;
}

}  // namespace zquartus::test
