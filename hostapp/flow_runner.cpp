#include "zolta/hostapp/flow_runner.h"

#include "zolta/host_ids.h"

namespace zolta::hostapp {

namespace h = zabi::host;

namespace {
// IProcessFlow's StageName.
constexpr DispId kStageName = 503705;
}  // namespace

void TProcessFlowRunner::StageStarting(DispPtr stage) {
  std::string name = "?";
  if (stage) {
    try {
      name = zabi::invoke(stage, kStageName).toString();
    } catch (const zabi::DispatchError&) {
    }
  }
  stages_.push_back(name);
  if (onStageStarting) onStageStarting(name, stage);
}

void TProcessFlowRunner::AddReportItem(std::string section, std::string name, std::string value,
                                       std::string reportFile) {
  items_.push_back({std::move(section), std::move(name), std::move(value), std::move(reportFile)});
  if (onReportItem) onReportItem(items_.back());
}

void TProcessFlowRunner::RunBegin() {
  ++depth_;
  ++begun_;
  if (onRunBegin) onRunBegin();
}

void TProcessFlowRunner::RunEnd() {
  if (depth_ == 0) throw zabi::DispatchError("process-flow runner: end of a run that did not begin");
  --depth_;
  ++ended_;
  if (onRunEnd) onRunEnd();
}

namespace {
const DispatchEntry kRunnerEntries[] = {
    {h::ProcessFlowRunner_StageStarting, &op<&TProcessFlowRunner::StageStarting>},
    {h::ProcessFlowRunner_AddReportItem, &op<&TProcessFlowRunner::AddReportItem>},
    {h::ProcessFlowRunner_RunBegin, &op<&TProcessFlowRunner::RunBegin>},
    {h::ProcessFlowRunner_RunEnd, &op<&TProcessFlowRunner::RunEnd>},
};
}  // namespace

const DispatchTable& TProcessFlowRunner::table() {
  static const DispatchTable t = makeTable(&TAbstractSupportService::rootTable(), "ProcessFlowRunner", kRunnerEntries);
  return t;
}

}  // namespace zolta::hostapp
