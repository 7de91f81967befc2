#include "zolta/flow/console_app.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <system_error>
#include <thread>

#include "zolta/host/host_ui.h"

extern char** environ;

namespace zolta {

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kPollStep = std::chrono::milliseconds(100);
// Most bytes read in one go before the wait loop looks at the child and the clock again.
constexpr size_t kReadBurst = 1 << 20;
// Most bytes still read once the child ended (a grandchild may hold the pipe and keep writing).
constexpr size_t kDrainLimit = 4 << 20;

// A pollable descriptor that becomes readable when the process ends; -1 where the kernel lacks it.
int openPidFd(pid_t pid) {
#ifdef SYS_pidfd_open
  const long fd = ::syscall(SYS_pidfd_open, pid, 0);
  if (fd >= 0) ::fcntl(int(fd), F_SETFD, FD_CLOEXEC);
  return int(fd);
#else
  return -1;
#endif
}

bool isBlank(char c) { return c == ' ' || c == '\t'; }

std::string trimBlanks(const std::string& s) {
  size_t b = 0, e = s.size();
  while (b < e && static_cast<unsigned char>(s[b]) <= ' ') ++b;
  while (e > b && static_cast<unsigned char>(s[e - 1]) <= ' ') --e;
  return s.substr(b, e - b);
}

std::string currentFolder() {
  std::string buf(4096, '\0');
  if (!::getcwd(buf.data(), buf.size())) return ".";
  buf.resize(std::char_traits<char>::length(buf.c_str()));
  return buf;
}

std::string absoluteOf(const std::string& path) {
  if (!path.empty() && path[0] == '/') return path;
  return currentFolder() + "/" + path;
}

bool isExecutableFile(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

// Entries of an environment block "a=1\0b=2\0\0" up to the first empty entry.
std::vector<std::string> environmentEntries(const std::string& block) {
  std::vector<std::string> entries;
  size_t pos = 0;
  while (pos < block.size()) {
    size_t end = block.find('\0', pos);
    if (end == std::string::npos) end = block.size();
    if (end == pos) break;
    entries.emplace_back(block, pos, end - pos);
    pos = end + 1;
  }
  return entries;
}

// Owns a descriptor.
struct Fd {
  int fd = -1;
  Fd() = default;
  explicit Fd(int f) : fd(f) {}
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  ~Fd() { close(); }
  void close() {
    if (fd >= 0) ::close(fd);
    fd = -1;
  }
};

uint32_t exitCodeOf(int status, bool killed) {
  if (WIFEXITED(status)) return uint32_t(WEXITSTATUS(status));
  if (WIFSIGNALED(status)) return killed ? kConsoleExitKilled : uint32_t(128 + WTERMSIG(status));
  return 0;
}

// Waits for the child and answers its status; EINTR is retried.
bool reap(pid_t pid, int& status) {
  for (;;) {
    if (::waitpid(pid, &status, 0) == pid) return true;
    if (errno != EINTR) return false;
  }
}

}  // namespace

// ---- command lines --------------------------------------------------------------------------------

std::string ConsoleCommandLine(std::string_view applicationName, std::string_view parameters) {
  std::string line(applicationName);
  if (line.find(' ') != std::string::npos) {
    if (line.empty() || line.front() != '"') line.insert(line.begin(), '"');
    if (line.size() < 2 || line.back() != '"') line.push_back('"');
  }
  line += ' ';
  line += parameters;
  return line;
}

std::vector<std::string> SplitConsoleCommandLine(std::string_view s) {
  std::vector<std::string> args;
  size_t i = 0;
  const size_t n = s.size();
  while (i < n && isBlank(s[i])) ++i;
  if (i == n) return args;
  // The program name: up to the closing quote, or up to the first blank; no escapes.
  std::string program;
  if (s[i] == '"') {
    size_t end = s.find('"', i + 1);
    if (end == std::string_view::npos) end = n;
    program.assign(s.substr(i + 1, end - i - 1));
    i = end < n ? end + 1 : n;
  } else {
    size_t end = i;
    while (end < n && !isBlank(s[end])) ++end;
    program.assign(s.substr(i, end - i));
    i = end;
  }
  args.push_back(std::move(program));
  for (;;) {
    while (i < n && isBlank(s[i])) ++i;
    if (i >= n) break;
    std::string arg;
    bool quoted = false;
    while (i < n && (quoted || !isBlank(s[i]))) {
      const char c = s[i];
      if (c == '\\') {
        size_t k = 0;
        while (i < n && s[i] == '\\') ++k, ++i;
        if (i < n && s[i] == '"') {
          arg.append(k / 2, '\\');
          if (k % 2) {  // an escaped quote
            arg.push_back('"');
            ++i;
          }
        } else {
          arg.append(k, '\\');
        }
      } else if (c == '"') {
        if (quoted && i + 1 < n && s[i + 1] == '"') {  // "" inside quotes is a quote
          arg.push_back('"');
          i += 2;
        } else {
          quoted = !quoted;
          ++i;
        }
      } else {
        arg.push_back(c);
        ++i;
      }
    }
    args.push_back(std::move(arg));
  }
  return args;
}

std::string FindConsoleProgram(std::string_view program, std::string_view searchPath) {
  if (program.empty()) return {};
  std::string name(program);
  std::replace(name.begin(), name.end(), '\\', '/');
  if (name.find('/') != std::string::npos) {
    const std::string path = absoluteOf(name);
    return isExecutableFile(path) ? path : std::string();
  }
  size_t pos = 0;
  for (;;) {
    size_t end = searchPath.find(':', pos);
    if (end == std::string_view::npos) end = searchPath.size();
    // An empty entry stands for the current folder.
    const std::string folder(end > pos ? searchPath.substr(pos, end - pos) : std::string_view("."));
    const std::string candidate = absoluteOf(folder + "/" + name);
    if (isExecutableFile(candidate)) return candidate;
    if (end >= searchPath.size()) break;
    pos = end + 1;
  }
  return {};
}

// ---- wrapper --------------------------------------------------------------------------------------

struct TConsoleAppWrapper::TLineState {
  std::string buffer;     // the line being assembled, at most kConsoleLineLimit characters
  std::string line;       // the line being delivered
  bool newLine = true;    // the next delivered line follows a line feed
  bool afterCR = false;   // the last byte seen was a carriage return
  std::string held;       // a "File:" / "file Not found" line waiting for its continuation
  int64_t steps = 0;      // 100 ms steps since the start (or since the last line, with the reset)
  bool resetOnOutput = false;
};

TConsoleAppWrapper::TConsoleAppWrapper(std::string AApplicationName, std::string AParameters, std::string AEnvStr,
                                       std::string AWorkDir, TOutputLineEvent AOnNewLine,
                                       TOutputLineEvent AOnUpdateLine, bool ARedirect, pid_t AJobHandle,
                                       bool AUseProcessMsgs)
    : FApplicationName(std::move(AApplicationName)),
      FParameters(std::move(AParameters)),
      FEnvStr(std::move(AEnvStr)),
      FWorkDir(std::move(AWorkDir)),
      FOnNewLine(std::move(AOnNewLine)),
      FOnUpdateLine(std::move(AOnUpdateLine)),
      FRedirect(ARedirect),
      FHide(ARedirect),
      FJobHandle(AJobHandle),
      FUseProcessMsgs(AUseProcessMsgs),
      FWaitUntilFinish(ARedirect) {}

TConsoleAppWrapper::~TConsoleAppWrapper() { Abort(); }

void TConsoleAppWrapper::Yield() {
  if (FUseProcessMsgs) PumpHostEvents();
  else std::this_thread::yield();
}

bool TConsoleAppWrapper::ChildEnded() {
  if (FProcessID <= 0) return true;
  if (FPidFd >= 0) {
    struct pollfd p {FPidFd, POLLIN, 0};
    return ::poll(&p, 1, 0) > 0;
  }
  siginfo_t info{};
  if (::waitid(P_PID, id_t(FProcessID), &info, WEXITED | WNOHANG | WNOWAIT) != 0) return errno == ECHILD;
  return info.si_pid != 0;
}

void TConsoleAppWrapper::Abort() {
  // FProcessID is 0 once the child was reaped; a signal to group 0 would hit this process.
  if (!FExecuting || FProcessID <= 0 || FProcessHandle <= 0) return;
  FKilled = true;
  // The whole group: the tool's own children end with it. The child itself too, should it have
  // left the group.
  ::kill(-FProcessHandle, SIGKILL);
  ::kill(FProcessID, SIGKILL);
  FExecuting = false;
}

void TConsoleAppWrapper::Terminate(uint32_t Timeout) {
  if (!FExecuting || FProcessID <= 0) return;
  FKilled = true;
  ::kill(-FProcessHandle, SIGTERM);
  const auto deadline = Clock::now() + std::chrono::milliseconds(Timeout);
  bool ended = ChildEnded();
  while (!ended && Clock::now() < deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (FPidFd >= 0) {
      struct pollfd p {FPidFd, POLLIN, 0};
      ::poll(&p, 1, int(std::clamp<int64_t>(left, 0, 1000)));
    } else {
      std::this_thread::sleep_for(std::chrono::milliseconds(std::clamp<int64_t>(left, 0, 5)));
    }
    ended = ChildEnded();
  }
  if (!ended) Abort();
  FExecuting = false;
}

void TConsoleAppWrapper::DeliverLine(TLineState& state) {
  if (state.resetOnOutput) state.steps = 0;
  // Both strings keep their capacity: no allocation per line.
  std::string& line = state.line;
  line.swap(state.buffer);
  state.buffer.clear();
  static constexpr std::string_view kNotFound = "file Not found";
  const bool held = (line.size() >= kNotFound.size() && line.compare(line.size() - kNotFound.size(),
                                                                      kNotFound.size(), kNotFound) == 0) ||
                    line.compare(0, 5, "File:") == 0;
  if (held) {
    state.held = line;
    return;
  }
  if (!state.held.empty()) {
    line = state.held + ": " + trimBlanks(line);
    state.held.clear();
  }
  if (state.newLine) {
    state.newLine = false;
    if (FOnNewLine) FOnNewLine(line);
  } else if (FOnUpdateLine) {
    FOnUpdateLine(line);
  }
  Yield();
}

void TConsoleAppWrapper::ProcessBytes(const char* data, size_t n, TLineState& state) {
  size_t i = 0;
  while (i < n) {
    const char c = data[i];
    if (c == '\n') {
      // A line feed right after a carriage return only marks the next line as new; a line feed on
      // its own (the usual line end of programs on this platform) also ends the line.
      if (!state.afterCR) DeliverLine(state);
      state.newLine = true;
      state.afterCR = false;
      ++i;
      continue;
    }
    if (c == '\r') {
      DeliverLine(state);
      state.afterCR = true;
      ++i;
      continue;
    }
    state.afterCR = false;
    const size_t limit = std::min(n, i + (kConsoleLineLimit - state.buffer.size()));
    // The next line-end byte inside the room left in the buffer (memchr scans fast).
    size_t j = limit;
    if (const void* lf = std::memchr(data + i, '\n', limit - i)) j = size_t(static_cast<const char*>(lf) - data);
    if (const void* cr = std::memchr(data + i, '\r', j - i)) j = size_t(static_cast<const char*>(cr) - data);
    state.buffer.append(data + i, j - i);
    i = j;
    if (state.buffer.size() >= kConsoleLineLimit) DeliverLine(state);
  }
}

// Reads what the pipe holds now (non-blocking), at most kReadBurst bytes (kDrainLimit when draining).
// Answers true at end of file (every writer closed the pipe).
bool TConsoleAppWrapper::ReadOutput(int fd, TLineState& state, bool drainOnly) {
  char chunk[64 * 1024];
  size_t total = 0;
  const size_t limit = drainOnly ? kDrainLimit : kReadBurst;
  while (total < limit) {
    const ssize_t got = ::read(fd, chunk, sizeof chunk);
    if (got > 0) {
      total += size_t(got);
      ProcessBytes(chunk, size_t(got), state);
      continue;
    }
    if (got == 0) return true;
    if (errno == EINTR) continue;
    break;  // nothing more now (EAGAIN), or a failed read
  }
  return false;
}

uint32_t TConsoleAppWrapper::Execute(int32_t ATimeoutSeconds, bool AResetTimeoutOnOutput, uint32_t ACreationFlags,
                                     int AStdOutputHandle) {
  if (FExecuting || FInExecute) return 0;
  FInExecute = true;
  struct LeaveExecute {
    TConsoleAppWrapper& w;
    ~LeaveExecute() {
      w.FInExecute = false;
      w.FExecuting = false;
      if (w.FPidFd >= 0) ::close(w.FPidFd);
      w.FPidFd = -1;
    }
  } leave{*this};
  FKilled = false;

  // ---- what to run ----
  const std::vector<std::string> args = SplitConsoleCommandLine(ConsoleCommandLine(FApplicationName, FParameters));
  if (args.empty() || args[0].empty())
    throw std::system_error(ENOENT, std::generic_category(), "no program to run (application name is empty)");
  const std::vector<std::string> env = environmentEntries(FEnvStr);
  std::string searchPath;
  bool pathFromBlock = false;
  for (const std::string& e : env) {
    if (e.size() >= 5 && zabi::sameText(std::string_view(e).substr(0, 5), "PATH=")) {
      searchPath = e.substr(5);
      pathFromBlock = true;
      break;
    }
  }
  if (!pathFromBlock) {
    const char* p = std::getenv("PATH");
    searchPath = std::string(p ? std::string_view(p) : std::string_view("/usr/local/bin:/usr/bin:/bin"));
  }
  const std::string program = FindConsoleProgram(args[0], searchPath);
  if (program.empty()) {
    std::string name = args[0];
    std::replace(name.begin(), name.end(), '\\', '/');
    if (name.find('/') == std::string::npos)
      throw std::system_error(ENOENT, std::generic_category(),
                              "program '" + args[0] + "' not found in the search path '" + searchPath + "'");
    struct stat st {};
    if (::stat(absoluteOf(name).c_str(), &st) == 0) {
      throw std::system_error(EACCES, std::generic_category(),
                              S_ISDIR(st.st_mode) ? "program '" + args[0] + "' is a folder"
                                                  : "program '" + args[0] + "' is not executable");
    }
    throw std::system_error(ENOENT, std::generic_category(), "program '" + args[0] + "' does not exist");
  }
  if (!FWorkDir.empty()) {
    struct stat st {};
    if (::stat(FWorkDir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
      throw std::system_error(ENOENT, std::generic_category(), "working folder '" + FWorkDir + "' does not exist");
  }

  // ---- pipe and start-up ----
  Fd readEnd, writeEnd;
  if (FRedirect) {
    int p[2];
    if (::pipe2(p, O_CLOEXEC) != 0)
      throw std::system_error(errno, std::generic_category(), "cannot create the output pipe for '" + args[0] + "'");
    readEnd.fd = p[0];
    writeEnd.fd = p[1];
    ::fcntl(readEnd.fd, F_SETFL, ::fcntl(readEnd.fd, F_GETFL) | O_NONBLOCK);
  }

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  struct SpawnCleanup {
    posix_spawn_file_actions_t& a;
    posix_spawnattr_t& b;
    ~SpawnCleanup() {
      posix_spawn_file_actions_destroy(&a);
      posix_spawnattr_destroy(&b);
    }
  } spawnCleanup{actions, attr};

  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  if (FRedirect) {
    posix_spawn_file_actions_adddup2(&actions, AStdOutputHandle != 0 ? AStdOutputHandle : writeEnd.fd, 1);
    posix_spawn_file_actions_adddup2(&actions, writeEnd.fd, 2);
  }
  if (!FWorkDir.empty()) posix_spawn_file_actions_addchdir_np(&actions, FWorkDir.c_str());
  posix_spawn_file_actions_addclosefrom_np(&actions, 3);

  sigset_t none, all;
  sigemptyset(&none);
  sigfillset(&all);
  posix_spawnattr_setsigmask(&attr, &none);
  posix_spawnattr_setsigdefault(&attr, &all);
  posix_spawnattr_setpgroup(&attr, FJobHandle);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  std::vector<char*> envp;
  if (!env.empty()) {
    for (const std::string& e : env) envp.push_back(const_cast<char*>(e.c_str()));
    envp.push_back(nullptr);
  }

  pid_t pid = 0;
  const int rc = ::posix_spawn(&pid, program.c_str(), &actions, &attr, argv.data(), env.empty() ? environ : envp.data());
  if (rc != 0) {
    std::string what = "cannot run program '" + program + "'";
    if (!FWorkDir.empty()) what += " in folder '" + FWorkDir + "'";
    throw std::system_error(rc, std::generic_category(), what);
  }
  writeEnd.close();  // the child holds the only write end now
  FExecuting = true;
  FProcessID = pid;
  FProcessHandle = FJobHandle != 0 ? FJobHandle : pid;
  FPidFd = openPidFd(pid);  // -1 where the kernel lacks it: the loop then polls in short steps

  if (!FWaitUntilFinish) {
    // Nobody waits for this child: reap it in the background so that it leaves no zombie.
    std::thread([pid] {
      int status = 0;
      reap(pid, status);
    }).detach();
    return 0;
  }

  // ---- wait, reading the output ----
  TLineState state;
  state.buffer.reserve(kConsoleLineLimit);
  state.line.reserve(kConsoleLineLimit);
  state.resetOnOutput = AResetTimeoutOnOutput;
  bool timedOut = false;
  uint32_t exitCode = 0;
  const int64_t timeoutMs = int64_t(ATimeoutSeconds) * 1000;
  try {
    auto nextTick = Clock::now() + kPollStep;
    for (;;) {
      if (ChildEnded()) break;
      struct pollfd fds[2];
      nfds_t count = 0;
      if (readEnd.fd >= 0) fds[count++] = {readEnd.fd, POLLIN, 0};
      if (FPidFd >= 0) fds[count++] = {FPidFd, POLLIN, 0};
      auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(nextTick - Clock::now()).count();
      wait = std::clamp<int64_t>(wait, 0, 100);
      if (FPidFd < 0) wait = std::min<int64_t>(wait, 5);
      const int ready = ::poll(fds, count, int(wait));
      if (ready > 0 && readEnd.fd >= 0 && (fds[0].revents & (POLLIN | POLLHUP | POLLERR))) {
        // At end of file only the child's end is left to wait for.
        if (ReadOutput(readEnd.fd, state, false)) readEnd.close();
      }
      const auto now = Clock::now();
      if (now >= nextTick) {
        Yield();
        ++state.steps;
        if (state.steps * 100 > timeoutMs) {
          timedOut = true;
          break;
        }
        nextTick += kPollStep;
        if (nextTick < now) nextTick = now + kPollStep;
      }
    }
    if (readEnd.fd >= 0) ReadOutput(readEnd.fd, state, true);
    if (timedOut) {
      exitCode = kConsoleExitStillActive;
    } else {
      FExecuting = false;
      int status = 0;
      if (!reap(pid, status)) {
        const int err = errno;
        FProcessID = 0;
        throw std::system_error(err, std::generic_category(), "the exit status of '" + program + "' was lost");
      }
      FProcessID = 0;
      exitCode = exitCodeOf(status, FKilled);
    }
    DeliverLine(state);  // the last, possibly empty, line
    if (!state.held.empty()) {
      // Output that ended on a held line: deliver it rather than lose it.
      std::string last = std::move(state.held);
      state.held.clear();
      if (state.newLine) {
        state.newLine = false;
        if (FOnNewLine) FOnNewLine(last);
      } else if (FOnUpdateLine) {
        FOnUpdateLine(last);
      }
    }
    if (timedOut) {
      FExecuting = true;  // so that Abort acts even if a callback cleared it meanwhile
      Abort();
      int status = 0;
      reap(pid, status);
      FProcessID = 0;
    }
  } catch (...) {
    // A failing callback or read: nothing may stay running or unreaped.
    if (FProcessID > 0) {
      FExecuting = true;
      Abort();
      int status = 0;
      reap(pid, status);
      FProcessID = 0;
    }
    throw;
  }
  return exitCode;
}

}  // namespace zolta
