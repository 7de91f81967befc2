// Shared helpers of the host application's tests: temporary folders, files, process runs and a
// recording plug-in-side handler object.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "zolta/hostapp/host.h"

namespace zolta::hostapp::test {

// A fresh folder under the system's temporary folder, removed with the object.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  const std::string& path() const { return path_; }
  // Writes a file (creating its folders) and answers its full path.
  std::string write(const std::string& relative, const std::string& content) const;
  // Copies a file into the folder under a new relative name and answers the full path.
  std::string copy(const std::string& from, const std::string& relative) const;
  std::string mkdir(const std::string& relative) const;

 private:
  std::string path_;
};

struct ProcessResult {
  int exitCode = -1;
  std::string out;
  std::string err;
};

// Runs the built zolta program with the arguments (each quoted for the shell).
ProcessResult runZolta(const std::vector<std::string>& args, const std::string& extraEnvironment = {});

// The built zolta program running in the background, its stdout read through a pipe (stderr goes to a
// file). The destructor kills a child that is still running.
class ZoltaProcess {
 public:
  explicit ZoltaProcess(const std::vector<std::string>& args);
  ~ZoltaProcess();
  ZoltaProcess(const ZoltaProcess&) = delete;
  ZoltaProcess& operator=(const ZoltaProcess&) = delete;

  int pid() const { return pid_; }
  // The next line of stdout without its line break; nullopt at the end or after `timeoutMs`.
  std::optional<std::string> readLine(int timeoutMs);
  // Sends a signal to the child (by its process id).
  void signal(int sig);
  // Waits at most `timeoutMs` for the child to end; answers its exit status (-1 when killed by a signal)
  // or nullopt when it is still running. Whatever it wrote to stdout since is kept in `rest`.
  std::optional<int> wait(int timeoutMs);
  std::string rest;
  std::string err() const;

 private:
  int pid_ = -1;
  int out_ = -1;
  std::string buffer_;
  std::string errFile_;
  TempFolder io_;
};

// A plug-in-side object: records timer ticks (267) and notifications (266).
class TRecordingHandler : public TAbstractSupportService {
 public:
  void HandleNotification(DispPtr notification) { notifications.push_back(notification); }
  void HandleTimerEvent(int32_t id) { ticks.push_back(id); }
  std::vector<DispPtr> notifications;
  std::vector<int32_t> ticks;

  static const DispatchTable& table();
  const DispatchTable& dispatchTable() const override { return table(); }
};

// The host options of a test host rooted in a temporary folder with the given plug-in folder.
HostOptions testOptions(const TempFolder& root, const std::string& pluginFolder);

}  // namespace zolta::hostapp::test
