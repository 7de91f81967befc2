// The host's process-flow runner: the object handed to a flow's Run operations. The flow tells it when
// a run begins and ends, when each stage starts and the summary items it read from the tools' reports.
// Listeners (the CLI, the GUI) see each event as it happens; the runner also keeps them for later.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "zolta/hostapp/host_object.h"

namespace zolta::hostapp {

struct FlowReportItem {
  std::string section, name, value, reportFile;
};

class TProcessFlowRunner : public THostObject {
 public:
  explicit TProcessFlowRunner(const HostLink& link) : THostObject(link) {}

  // The stage's name and caption are asked through dispatch (a stage that does not answer them is
  // named "?").
  void StageStarting(DispPtr stage);
  void AddReportItem(std::string section, std::string name, std::string value, std::string reportFile);
  void RunBegin();
  // An end without a begin is refused.
  void RunEnd();

  bool running() const { return depth_ > 0; }
  int runsBegun() const { return begun_; }
  int runsEnded() const { return ended_; }
  const std::vector<std::string>& stagesStarted() const { return stages_; }
  const std::vector<FlowReportItem>& reportItems() const { return items_; }
  // Forgets the stages and items seen (between runs).
  void clear() {
    stages_.clear();
    items_.clear();
  }

  std::function<void(const std::string& name, const DispPtr& stage)> onStageStarting;
  std::function<void(const FlowReportItem&)> onReportItem;
  std::function<void()> onRunBegin, onRunEnd;

  static const DispatchTable& table();
  const DispatchTable& dispatchTable() const override { return table(); }

 private:
  int depth_ = 0, begun_ = 0, ended_ = 0;
  std::vector<std::string> stages_;
  std::vector<FlowReportItem> items_;
};

}  // namespace zolta::hostapp
