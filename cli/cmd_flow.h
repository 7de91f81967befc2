// Helpers the flow commands (flow, build, run, demo) share.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "cli.h"
#include "flow_session.h"

namespace zolta::cli {

struct FlowOptions {
  std::map<std::string, std::string> values;
  std::map<std::string, bool> flags;
  std::vector<std::string> positional;
  std::optional<std::string> value(const std::string& name) const;
};

// "--name VALUE" / "--name=VALUE" for valueOptions, "--name" for flagOptions, and between min and max
// plain arguments. Answers kExitOk, or kExitUsage after printing the message.
int parseFlowOptions(Context& context, const char* command, const std::vector<std::string>& args,
                     const std::vector<std::string>& valueOptions, const std::vector<std::string>& flagOptions,
                     size_t minPositional, size_t maxPositional, FlowOptions& options);

// The loaded driver of a device name, bound to a new host device on no chain (a build needs no cable).
// Throws naming the device when no driver serves it.
DispPtr bindProjectDriver(Context& context, const std::string& device);
void printBuildHeader(Context& context, const hostapp::ProjectDescription& project);
// Runs a build flow object (out-of-date stages only unless forced), prints the summary and the outcome
// line; false (after printing why) unless it succeeded.
bool finishBuild(Context& context, FlowSession& session, const DispPtr& target, bool force);

// The chain device of the project (at --index, or the first whose driver serves the device name).
const hostapp::JtagChainDevice& projectDeviceOnChain(const hostapp::JtagChain& chain, const std::string& deviceName,
                                                     const std::optional<std::string>& index);

struct DownloadOutcome {
  double buildSeconds = 0, downloadSeconds = 0;
  size_t buildStagesRun = 0;
  bool downloadRan = false;
  int32_t state = -1;
  uint32_t userCode = 0;
};
// Builds the project with the device's driver and, when that succeeded, runs the download flow and
// reads the device state and user code back. False (after printing why) on any failure.
bool buildAndDownload(Context& context, FlowSession& session, hostapp::JtagChain& chain,
                      const hostapp::JtagChainDevice& device, bool force, DownloadOutcome* outcome);

}  // namespace zolta::cli
