#include "test_support.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <thread>
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

ZoltaProcess::ZoltaProcess(const std::vector<std::string>& args) {
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) throw std::runtime_error("cannot create a pipe");
  errFile_ = io_.path() + "/err";
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errFile_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  std::vector<std::string> argv{ZOLTA_EXE};
  argv.insert(argv.end(), args.begin(), args.end());
  std::vector<char*> raw;
  for (std::string& a : argv) raw.push_back(a.data());
  raw.push_back(nullptr);
  pid_t pid = -1;
  const int rc = posix_spawn(&pid, ZOLTA_EXE, &actions, nullptr, raw.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(fds[1]);
  if (rc != 0) {
    close(fds[0]);
    throw std::runtime_error("cannot start " + std::string(ZOLTA_EXE));
  }
  pid_ = pid;
  out_ = fds[0];
}

ZoltaProcess::~ZoltaProcess() {
  if (pid_ > 0) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  if (out_ >= 0) close(out_);
}

std::optional<std::string> ZoltaProcess::readLine(int timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    const size_t nl = buffer_.find('\n');
    if (nl != std::string::npos) {
      std::string line = buffer_.substr(0, nl);
      buffer_.erase(0, nl + 1);
      return line;
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0 || out_ < 0) return std::nullopt;
    pollfd p{out_, POLLIN, 0};
    if (poll(&p, 1, int(left.count())) <= 0) continue;
    char buf[4096];
    const ssize_t n = read(out_, buf, sizeof buf);
    if (n <= 0) {
      close(out_);
      out_ = -1;
      return std::nullopt;
    }
    buffer_.append(buf, size_t(n));
  }
}

void ZoltaProcess::signal(int sig) {
  if (pid_ > 0) kill(pid_, sig);
}

std::optional<int> ZoltaProcess::wait(int timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    // Keep the pipe drained so that the child never blocks on a full pipe.
    if (out_ >= 0) {
      pollfd p{out_, POLLIN, 0};
      while (out_ >= 0 && poll(&p, 1, 0) > 0) {
        char buf[4096];
        const ssize_t n = read(out_, buf, sizeof buf);
        if (n <= 0) {
          close(out_);
          out_ = -1;
        } else {
          buffer_.append(buf, size_t(n));
        }
      }
    }
    int status = 0;
    const pid_t done = waitpid(pid_, &status, WNOHANG);
    if (done == pid_) {
      pid_ = -1;
      while (out_ >= 0) {
        char buf[4096];
        const ssize_t n = read(out_, buf, sizeof buf);
        if (n <= 0) {
          close(out_);
          out_ = -1;
        } else {
          buffer_.append(buf, size_t(n));
        }
      }
      rest = buffer_;
      return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    if (std::chrono::steady_clock::now() >= deadline) return std::nullopt;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

std::string ZoltaProcess::err() const { return slurp(errFile_); }

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
