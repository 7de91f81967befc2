#include "flow_session.h"

#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <map>
#include <thread>

#include "zolta/hostapp/ids.h"
#include "zolta/hostapp/paths.h"

namespace zolta::cli {

namespace ids = hostapp::ids;
using Clock = std::chrono::steady_clock;

namespace {

// Ctrl-C while a run is under way: the handler only notes it; the session stops the run through
// dispatch on the next host call it receives, or from its watcher thread when the flow stays silent.
std::atomic<bool> gInterrupt{false};
static_assert(std::atomic<bool>::is_always_lock_free);

extern "C" void onInterrupt(int) { gInterrupt.store(true); }

class InterruptScope {
 public:
  InterruptScope() {
    gInterrupt.store(false);
    struct sigaction sa {};
    sa.sa_handler = onInterrupt;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    sigaction(SIGINT, &sa, &oldInt_);
    sigaction(SIGTERM, &sa, &oldTerm_);
  }
  ~InterruptScope() {
    sigaction(SIGINT, &oldInt_, nullptr);
    sigaction(SIGTERM, &oldTerm_, nullptr);
  }

 private:
  struct sigaction oldInt_ {}, oldTerm_ {};
};

std::string text(const DispPtr& flow, DispId id) {
  try {
    return zabi::invoke(flow, id).toString();
  } catch (const zabi::DispatchError&) {
    return {};
  }
}

int32_t integer(const DispPtr& flow, DispId id, int32_t fallback) {
  try {
    return zabi::invoke(flow, id).toInt32();
  } catch (const zabi::DispatchError&) {
    return fallback;
  }
}

std::string withoutAmpersand(std::string s) {
  std::string out;
  for (char c : s)
    if (c != '&') out += c;
  return out;
}

}  // namespace

std::string flowStateName(int32_t state) {
  switch (state) {
    case ids::FlowState_UpToDate: return "up to date";
    case ids::FlowState_OutOfDate: return "out of date";
    case ids::FlowState_Missing: return "missing";
    case ids::FlowState_None: return "none";
    default: return "state " + std::to_string(state);
  }
}

std::string flowResultName(int32_t result) {
  switch (result) {
    case ids::FlowRun_DidNotRun: return "did not run";
    case ids::FlowRun_Cancelled: return "cancelled";
    case ids::FlowRun_Failure: return "failed";
    case ids::FlowRun_Success: return "succeeded";
    default: return "result " + std::to_string(result);
  }
}

hostapp::ProjectDescription openProjectDescription(const std::string& path, const std::optional<std::string>& device) {
  hostapp::ProjectDescription d = hostapp::readProjectDescription(path);
  if (device) d.device = *device;
  return d;
}

std::optional<std::string> bundledQuartusFolder() {
  namespace fs = std::filesystem;
  const std::string candidate = hostapp::executableFolder() + "/../quartus";
  if (!hostapp::isDirectory(candidate + "/bin")) return std::nullopt;
  std::error_code ec;
  const fs::path p = fs::canonical(candidate, ec);
  return ec ? candidate : p.string();
}

// ---- session ---------------------------------------------------------------------------------

FlowSession::FlowSession(Context& context, hostapp::ProjectDescription project, bool verbose)
    : context_(context), project_(std::move(project)), verbose_(verbose) {
  hostapp::Host& host = context_.host();
  colour_ = &context_.out() == &std::cout && isatty(STDOUT_FILENO) && !std::getenv("NO_COLOR");
  if (!project_.file.empty()) host.workspace()->openProject(project_);
  // The runner shares the host objects' link (call log, the host's life).
  runner_ = Ptr<hostapp::TProcessFlowRunner>(new hostapp::TProcessFlowRunner(host.workspace()->link()));
  runner_->onStageStarting = [this](const std::string& name, const DispPtr& stage) {
    checkInterrupt();
    if (stage && integer(stage, ids::Flow_IsCategory, 0)) return;  // its stages are announced one by one
    stagesRun_.push_back(name);
    context_.out() << (colour_ ? "\033[1m" : "") << "==> " << name << (colour_ ? "\033[0m" : "") << std::endl;
  };
  runner_->onReportItem = [this](const hostapp::FlowReportItem&) { checkInterrupt(); };

  host.messages().onMessage = [this](const hostapp::HostMessage& m) {
    checkInterrupt();
    std::ostream& out = context_.out();
    const char* colour = "";
    const char* label = "";
    if (m.messageClass == "ProcessFlowError" || m.imageIndex == 73 || m.imageIndex == 74) {
      colour = "\033[31m";
      label = "error: ";
      ++errors_;
      errorTexts_.push_back(m.text);
    } else if (m.messageClass == "ProcessFlowWarning" || m.imageIndex == 72) {
      colour = "\033[33m";
      label = "warning: ";
      ++warnings_;
    } else if (m.messageClass == "ProcessFlowProgress") {
      colour = "\033[2m";
    }
    out << "  " << (colour_ ? colour : "") << label << m.text << (colour_ && *colour ? "\033[0m" : "") << std::endl;
  };
  host.output().onLine = [this](const std::string& line) {
    checkInterrupt();
    if (verbose_) context_.out() << "    | " << line << std::endl;
  };
}

FlowSession::~FlowSession() {
  hostapp::Host& host = context_.host();
  host.messages().onMessage = nullptr;
  host.output().onLine = nullptr;
}

void FlowSession::checkInterrupt() {
  if (!gInterrupt.load() || !running_) return;
  bool expected = false;
  if (!stopSent_.compare_exchange_strong(expected, true)) return;
  interrupted_ = true;
  context_.err() << "zolta: stopping the run" << std::endl;
  zabi::Var ignored;
  std::string message;
  zabi::tryInvoke(running_.get(), ids::Flow_Stop, &ignored, &message);
}

DispPtr FlowSession::prepare(DispPtr flow, const char* what) {
  if (!flow) throw std::runtime_error(std::string("the driver of ") + project_.device + " has no " + what);
  zabi::invoke(flow, ids::Flow_SetBasePath, project_.basePath());
  zabi::invoke(flow, ids::Flow_ProjectChanged, project_.file);
  // A state that cannot be told now (the device out of reach) is left to the run, which reports it.
  zabi::Var ignored;
  std::string message;
  zabi::tryInvoke(flow.get(), ids::Flow_UpdateFlowState, &ignored, &message);
  return flow;
}

DispPtr FlowSession::buildFlow(const DispPtr& driver) {
  return prepare(zabi::invoke(driver, ids::Driver_FlowStage_Build).toDispatch(), "build flow");
}

DispPtr FlowSession::downloadFlow(const DispPtr& driver) {
  return prepare(zabi::invoke(driver, ids::Driver_FlowStage_Download).toDispatch(), "download flow");
}

DispPtr FlowSession::findStage(const DispPtr& root, const std::string& name) {
  if (!root) return {};
  if (zabi::sameText(text(root, ids::Flow_StageName), name) ||
      zabi::sameText(withoutAmpersand(text(root, ids::Flow_StageCaption)), name))
    return root;
  const int32_t n = integer(root, ids::Flow_GetChildStageCount, 0);
  for (int32_t i = 0; i < n; ++i)
    if (DispPtr found = findStage(zabi::invoke(root, ids::Flow_GetChildStage, i).toDispatch(), name)) return found;
  return {};
}

int32_t FlowSession::run(const DispPtr& flow, RunMode mode) {
  runner_->clear();
  stagesRun_.clear();
  errors_ = warnings_ = 0;
  errorTexts_.clear();
  interrupted_ = stopSent_ = false;
  running_ = flow;
  InterruptScope scope;

  // The watcher stops a run that stays silent (a tool printing nothing) after a Ctrl-C: Stop only sets
  // the flow's cancelled flags and ends the running tool's process group.
  std::atomic<bool> done{false};
  std::thread watcher([&] {
    while (!done.load()) {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      if (gInterrupt.load() && !stopSent_) {
        std::this_thread::sleep_for(std::chrono::milliseconds(250));
        bool expected = false;
        if (done.load() || !stopSent_.compare_exchange_strong(expected, true)) continue;
        interrupted_ = true;
        zabi::Var ignored;
        std::string message;
        zabi::tryInvoke(flow.get(), ids::Flow_Stop, &ignored, &message);
      }
    }
  });

  const Clock::time_point start = Clock::now();
  int32_t result = ids::FlowRun_Failure;
  std::string failure;
  try {
    result = zabi::invoke(flow, mode == RunMode::Force ? ids::Flow_RunAll : ids::Flow_RunIfOutOfDate,
                          runner_->dispatchPtr())
                 .toInt32();
  } catch (const std::exception& e) {
    failure = e.what();
  }
  done.store(true);
  watcher.join();
  if (gInterrupt.load()) interrupted_ = true;
  running_ = nullptr;
  lastRunSeconds_ = std::chrono::duration<double>(Clock::now() - start).count();
  zabi::Var ignored;
  std::string message;
  zabi::tryInvoke(flow.get(), ids::Flow_UpdateFlowState, &ignored, &message);
  if (!failure.empty()) {
    errorTexts_.push_back(failure);
    context_.out() << "  " << (colour_ ? "\033[31m" : "") << "error: " << failure << (colour_ ? "\033[0m" : "")
                   << std::endl;
    return ids::FlowRun_Failure;
  }
  return result;
}

void FlowSession::printSummary() {
  const auto& items = runner_->reportItems();
  if (items.empty()) return;
  std::ostream& out = context_.out();
  size_t width = 0;
  for (const auto& i : items) width = std::max(width, i.name.size());
  std::string section;
  for (const auto& i : items) {
    if (i.section != section) {
      section = i.section;
      out << '\n' << (colour_ ? "\033[1m" : "") << section << (colour_ ? "\033[0m" : "") << '\n';
    }
    out << "  " << i.name << std::string(width - i.name.size() + 2, ' ') << i.value << '\n';
  }
  out.flush();
}

void FlowSession::printTree(const DispPtr& root, int depth) {
  std::ostream& out = context_.out();
  const bool category = integer(root, ids::Flow_IsCategory, 0) != 0;
  const std::string name = text(root, ids::Flow_StageName);
  const std::string caption = withoutAmpersand(text(root, ids::Flow_StageCaption));
  out << std::string(size_t(depth) * 2, ' ') << name;
  if (!caption.empty() && caption != name) out << " (" << caption << ")";
  out << ": " << flowStateName(integer(root, ids::Flow_FlowState, -1)) << ", last run "
      << flowResultName(integer(root, ids::Flow_LastRunResult, -1));
  if (!category && integer(root, ids::Flow_CanRun, 1) == 0) out << ", skipped";
  out << '\n';
  const int32_t n = integer(root, ids::Flow_GetChildStageCount, 0);
  for (int32_t i = 0; i < n; ++i) printTree(zabi::invoke(root, ids::Flow_GetChildStage, i).toDispatch(), depth + 1);
}

}  // namespace zolta::cli
