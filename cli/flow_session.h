// What the flow commands (flow, build, run, demo) share: a project opened in the host's workspace, the
// driver's build and download flows set up for it, runs through the host's process-flow runner with
// the messages printed as they come, the summary table, and stopping a run on Ctrl-C.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "cli.h"
#include "zolta/hostapp/flow_runner.h"
#include "zolta/hostapp/project.h"

namespace zolta::cli {

// How a flow is run: only what is out of date, or everything again.
enum class RunMode { IfOutOfDate, Force };

// "up to date", "out of date", "missing", "none".
std::string flowStateName(int32_t state);
// "did not run", "cancelled", "failed", "succeeded".
std::string flowResultName(int32_t result);

// Reads the project description of a command's PROJECT argument, with --device overriding its device.
hostapp::ProjectDescription openProjectDescription(const std::string& path, const std::optional<std::string>& device);

// The folder of the stand-in Quartus tools built beside the zolta program, when there is one.
std::optional<std::string> bundledQuartusFolder();

class FlowSession {
 public:
  // Opens the project in the host's workspace and prints its messages (and with `verbose` the tools'
  // output lines) to the context's stdout while the session lives.
  FlowSession(Context& context, hostapp::ProjectDescription project, bool verbose = false);
  ~FlowSession();
  FlowSession(const FlowSession&) = delete;
  FlowSession& operator=(const FlowSession&) = delete;

  const hostapp::ProjectDescription& project() const { return project_; }
  // The driver's build flow (kind 0) or download flow (kind 1), with the project's base path and path
  // set and the states brought up to date. Throws when the driver has none.
  DispPtr buildFlow(const DispPtr& driver);
  DispPtr downloadFlow(const DispPtr& driver);
  // The flow object named `name` (stage name or caption without "&", case ignored) in a tree; none.
  static DispPtr findStage(const DispPtr& root, const std::string& name);

  // Runs a flow object through the runner; Ctrl-C stops it (Stop through dispatch). Answers the run
  // result; the stages that started are in stagesStarted().
  int32_t run(const DispPtr& flow, RunMode mode);
  // The stages (not categories) that started in the last run.
  const std::vector<std::string>& stagesStarted() const { return stagesRun_; }
  const std::vector<hostapp::FlowReportItem>& reportItems() const { return runner_->reportItems(); }
  int errors() const { return errors_; }
  int warnings() const { return warnings_; }
  bool interrupted() const { return interrupted_; }
  double lastRunSeconds() const { return lastRunSeconds_; }
  // The messages of the last run's errors (for a short failure reason).
  const std::vector<std::string>& errorTexts() const { return errorTexts_; }

  // Prints the report summary table (section, name, value) of the last run; nothing without items.
  void printSummary();
  // Prints a flow tree: names, captions, states and last results, indented by depth.
  void printTree(const DispPtr& root, int depth = 0);

 private:
  DispPtr prepare(DispPtr flow, const char* what);
  void checkInterrupt();

  Context& context_;
  hostapp::ProjectDescription project_;
  Ptr<hostapp::TProcessFlowRunner> runner_;
  bool verbose_;
  bool colour_;
  std::vector<std::string> stagesRun_;
  int errors_ = 0, warnings_ = 0;
  std::vector<std::string> errorTexts_;
  DispPtr running_;  // the flow object of the run under way
  std::atomic<bool> interrupted_{false};
  std::atomic<bool> stopSent_{false};
  double lastRunSeconds_ = 0;
};

}  // namespace zolta::cli
