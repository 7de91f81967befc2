// Recording fakes of the host objects that flow objects call (runner, workspace, messages manager,
// client with its GUI manager), and a test stage whose output is a real file.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "zolta/flow/process_flow.h"
#include "zolta/host/files.h"
#include "zolta/host/host_services.h"
#include "zolta/host/host_ui.h"
#include "zolta/host_ids.h"
#include "zolta/service.h"

namespace zolta::flowtest {

using Log = std::vector<std::string>;

inline std::string nameOf(const DispPtr& flow) {
  return flow ? zabi::invoke(flow, flowid::StageName).toString() : std::string("<none>");
}

class FakeRunner : public TAbstractSupportService {
 public:
  explicit FakeRunner(Log& log) : log_(log) {}
  virtual void StageStarting(DispPtr stage) { log_.push_back("runner.start " + nameOf(stage)); }
  virtual void AddReportItem(std::string s, std::string n, std::string v, std::string f) {
    log_.push_back("runner.report " + s + "/" + n + "/" + v + "/" + f);
  }
  virtual void RunBegin() { log_.push_back("runner.begin"); }
  virtual void RunEnd() { log_.push_back("runner.end"); }
  static const DispatchTable& table() {
    static const DispatchEntry e[] = {{zabi::host::ProcessFlowRunner_StageStarting, &op<&FakeRunner::StageStarting>},
                                      {zabi::host::ProcessFlowRunner_AddReportItem, &op<&FakeRunner::AddReportItem>},
                                      {zabi::host::ProcessFlowRunner_RunBegin, &op<&FakeRunner::RunBegin>},
                                      {zabi::host::ProcessFlowRunner_RunEnd, &op<&FakeRunner::RunEnd>}};
    static const DispatchTable t = makeTable(&rootTable(), "ProcessFlowRunner", e);
    return t;
  }
  const DispatchTable& dispatchTable() const override { return table(); }

 private:
  Log& log_;
};

class FakeMessages : public TAbstractSupportService {
 public:
  std::vector<std::pair<std::string, std::string>> posted;  // (parameters, call-back parameters)
  virtual void AddMessageParams(std::string params, std::string callBack) { posted.emplace_back(params, callBack); }
  static const DispatchTable& table() {
    static const DispatchEntry e[] = {{zabi::host::MessagesManager_AddMessageParams, &op<&FakeMessages::AddMessageParams>}};
    static const DispatchTable t = makeTable(&rootTable(), "MessagesManager", e);
    return t;
  }
  const DispatchTable& dispatchTable() const override { return table(); }
};

class FakeWorkspace : public TAbstractSupportService {
 public:
  FakeMessages* messages = new FakeMessages;
  DispPtr messagesRef{messages->dispatch()};
  std::vector<std::string> output;
  std::map<std::string, DispPtr> projects;
  virtual void WriteOutputLine(std::string text, bool a, bool b) {
    output.push_back(text + ((a || b) ? " <flags set>" : ""));
  }
  virtual DispPtr MessagesManager() { return messagesRef; }
  virtual DispPtr ProjectByPath(std::string path) {
    auto it = projects.find(path);
    return it == projects.end() ? DispPtr() : it->second;
  }
  static const DispatchTable& table() {
    static const DispatchEntry e[] = {{zabi::host::Workspace_GetProjectByPath, &op<&FakeWorkspace::ProjectByPath>},
                                      {zabi::host::Workspace_WriteOutputLine, &op<&FakeWorkspace::WriteOutputLine>},
                                      {zabi::host::Workspace_GetFlowMessagesManager, &op<&FakeWorkspace::MessagesManager>}};
    static const DispatchTable t = makeTable(&rootTable(), "Workspace", e);
    return t;
  }
  const DispatchTable& dispatchTable() const override { return table(); }
};

class FakeGUIManager : public TAbstractSupportService {
 public:
  std::vector<std::pair<int32_t, std::string>> commands;
  virtual void StatusBar(int32_t code, std::string text) { commands.emplace_back(code, text); }
  static const DispatchTable& table() {
    static const DispatchEntry e[] = {{zabi::host::GUIManager_StatusBarCommand, &op<&FakeGUIManager::StatusBar>}};
    static const DispatchTable t = makeTable(&rootTable(), "GUIManager", e);
    return t;
  }
  const DispatchTable& dispatchTable() const override { return table(); }
};

class FakeClient : public TAbstractSupportService {
 public:
  FakeGUIManager* gui = new FakeGUIManager;
  DispPtr guiRef{gui->dispatch()};
  virtual DispPtr GUIManager() { return guiRef; }
  static const DispatchTable& table() {
    static const DispatchEntry e[] = {{zabi::host::Client_GetGUIManager, &op<&FakeClient::GUIManager>}};
    static const DispatchTable t = makeTable(&rootTable(), "Client", e);
    return t;
  }
  const DispatchTable& dispatchTable() const override { return table(); }
};

// Installs the fake host for the lifetime of the object.
struct FakeHost {
  Log log;
  FakeWorkspace* workspace = new FakeWorkspace;
  DispPtr workspaceRef{workspace->dispatch()};
  FakeClient* client = new FakeClient;
  DispPtr clientRef{client->dispatch()};
  FakeRunner* runner = new FakeRunner(log);
  DispPtr runnerRef{runner->dispatch()};
  FakeHost() {
    ResetHostCaches();
    SetHostClient(IClient(clientRef));
    SetHostWorkspace(IWorkspace(workspaceRef));
  }
  ~FakeHost() {
    SetEventPump({});
    ResetHostCaches();
  }
  FakeHost(const FakeHost&) = delete;
  FakeHost& operator=(const FakeHost&) = delete;
};

// A fresh temporary folder, removed with the object.
struct TempDir {
  std::filesystem::path path;
  TempDir() {
    std::string t = (std::filesystem::temp_directory_path() / "zolta_flow_XXXXXX").string();
    path = ::mkdtemp(t.data());
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
  }
  std::string file(const std::string& rel) const { return (path / rel).string(); }
  std::string write(const std::string& rel, const std::string& content) const {
    const auto p = path / rel;
    std::filesystem::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << content;
    return p.string();
  }
};

// Sets a file's modification time to `secondsAgo` seconds before now.
inline void age(const std::string& file, int secondsAgo) {
  const auto t = std::filesystem::file_time_type::clock::now() - std::chrono::seconds(secondsAgo);
  std::filesystem::last_write_time(file, t);
}

// A stage whose output is base path + its extension. PerformStage logs, runs an optional action and
// writes its output file when it succeeds.
class TestStage : public TProcessFlowStage {
 public:
  TestStage(Log& log, std::string name, std::string ext)
      : TProcessFlowStage(name, "&" + name, name + " stage"), log_(log), ext_(std::move(ext)) {}
  ~TestStage() override { if (destroyed) *destroyed = true; }

  std::function<TFlowRunResult(TestStage&)> action;  // default: success
  bool* destroyed = nullptr;

  std::string input;  // InputDescription

  std::string InputDescription() override { return input; }
  void BeforeStart() override { log_.push_back("before " + FStageName); }
  std::string OutputFile() { return ChangeFileExt(FBasePath, ext_); }
  bool ThisStage_OutputExists() override { return FileExists(OutputFile()); }
  double ThisStage_DateTimeUpdated() override { return FileDateTime(OutputFile()); }
  TFlowRunResult PerformStage(const DispPtr&) override {
    log_.push_back("run " + FStageName);
    TFlowRunResult r = action ? action(*this) : eFlowRun_Success;
    if (r == eFlowRun_Success) std::ofstream(OutputFile()) << FStageName;
    return r;
  }
  void SetState(TProcessFlowState s) { FFlowState = s; }
  bool Cancelled() const { return FCancelled; }
  // The message operations, for tests.
  using TZoltaAbstractProcessFlow::PostError;
  using TZoltaAbstractProcessFlow::PostInfo;
  using TZoltaAbstractProcessFlow::PostMessage;
  using TZoltaAbstractProcessFlow::PostProgress;
  using TZoltaAbstractProcessFlow::PostWarning;
  using TZoltaAbstractProcessFlow::WriteOutputLine;
  using TZoltaAbstractProcessFlow::WriteSeparator;

 private:
  Log& log_;
  std::string ext_;
};

// True when this process has no child left, reaped or not (waitpid would reap a zombie and fail the check).
inline bool NoChildProcesses() {
  errno = 0;
  return ::waitpid(-1, nullptr, WNOHANG) == -1 && errno == ECHILD;
}

}  // namespace zolta::flowtest
