// zolta flow / build / run: the driver's build and download flows on a project.
//
//   zolta flow [PROJECT] [--device NAME]                 the flow trees with states and last results
//   zolta build PROJECT [--device NAME] [--force] [--stage NAME] [--verbose]
//   zolta run PROJECT [--cable C] [--index N] [--device NAME] [--force] [--verbose]
//
// A build runs only what is out of date (every stage is skipped when nothing changed); --force runs
// everything again. Messages are printed as the flow posts them, the report summary at the end.
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "cmd_flow.h"
#include "jtag_options.h"
#include "zolta/hostapp/ids.h"
#include "zolta/hostapp/paths.h"

namespace zolta::cli {

namespace ids = hostapp::ids;

namespace {

std::string fixed2(double v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.2f", v);
  return buf;
}

size_t countStages(const DispPtr& root) {
  const int32_t n = zabi::invoke(root, ids::Flow_GetChildStageCount).toInt32();
  if (n == 0) return 1;
  size_t total = 0;
  for (int32_t i = 0; i < n; ++i) total += countStages(zabi::invoke(root, ids::Flow_GetChildStage, i).toDispatch());
  return total;
}

std::string stageList(const DispPtr& root) {
  std::string out;
  const int32_t n = zabi::invoke(root, ids::Flow_GetChildStageCount).toInt32();
  for (int32_t i = 0; i < n; ++i)
    out += (out.empty() ? "" : ", ") +
           zabi::invoke(zabi::invoke(root, ids::Flow_GetChildStage, i).toDispatch(), ids::Flow_StageName).toString();
  return out;
}

// What the build's stages cannot see by file dates: the project's own files (description, netlist,
// constraint documents, timing constraints) feed the first stage, which has no input file of its own.
// Their sizes and modification times at the last successful build are kept beside the project; a
// change forces the whole build.
std::string inputsSignature(const hostapp::ProjectDescription& project) {
  namespace fs = std::filesystem;
  std::vector<std::string> files{project.file, project.netlist};
  files.insert(files.end(), project.constraints.begin(), project.constraints.end());
  files.push_back(hostapp::joinPath(project.folder, project.name + "_sta.sdc"));
  files.push_back(project.optionsFile());  // the stages' option overrides
  std::string signature = project.device + '\n';
  for (const std::string& f : files) {
    std::error_code ec;
    const auto size = fs::file_size(f, ec);
    const auto time = fs::last_write_time(f, ec);
    signature += f + '\t' + (ec ? std::string("-") : std::to_string(size) + '\t' +
                                   std::to_string(time.time_since_epoch().count())) + '\n';
  }
  return signature;
}

std::string signatureFile(const hostapp::ProjectDescription& project) {
  return hostapp::joinPath(project.folder, project.name + ".zbuild");
}

std::string readText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

}  // namespace

int parseFlowOptions(Context& context, const char* command, const std::vector<std::string>& args,
                     const std::vector<std::string>& valueOptions, const std::vector<std::string>& flagOptions,
                     size_t minPositional, size_t maxPositional, FlowOptions& options) {
  const std::string cmd = command;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    bool taken = false;
    for (const std::string& name : valueOptions) {
      std::string value;
      if (a == name) {
        if (i + 1 >= args.size() || args[i + 1].empty())
          return context.usageError(cmd + ": option " + name + " needs a value");
        value = args[++i];
      } else if (a.rfind(name + "=", 0) == 0) {
        value = a.substr(name.size() + 1);
        if (value.empty()) return context.usageError(cmd + ": option " + name + " needs a value");
      } else {
        continue;
      }
      options.values[name] = value;
      taken = true;
      break;
    }
    if (taken) continue;
    for (const std::string& name : flagOptions)
      if (a == name) {
        options.flags[name] = true;
        taken = true;
      }
    if (taken) continue;
    if (a.size() > 1 && a[0] == '-') return context.usageError(cmd + ": unexpected option '" + a + "'");
    if (options.positional.size() >= maxPositional) return context.usageError(cmd + ": unexpected argument '" + a + "'");
    options.positional.push_back(a);
  }
  if (options.positional.size() < minPositional) return context.usageError(cmd + ": missing the project folder");
  return kExitOk;
}

std::optional<std::string> FlowOptions::value(const std::string& name) const {
  auto it = values.find(name);
  return it == values.end() ? std::nullopt : std::optional<std::string>(it->second);
}

DispPtr bindProjectDriver(Context& context, const std::string& device) {
  hostapp::Host& host = context.host();
  hostapp::DriverRegistry& drivers = host.drivers();
  std::string known;
  for (size_t i = 0; i < drivers.size(); ++i) {
    std::string name;
    try {
      name = drivers.deviceName(i);
    } catch (const std::exception&) {
      continue;
    }
    if (zabi::sameText(name, device)) return host.createDevice(i, -1)->GetDriver();
    if (known.size() < 200) known += (known.empty() ? "" : ", ") + name;
  }
  throw std::runtime_error("no loaded driver serves the device '" + device + "'" +
                           (known.empty() ? std::string(" (no driver is loaded)") : " (known: " + known + ", ...)"));
}

void printBuildHeader(Context& context, const hostapp::ProjectDescription& project) {
  const auto& quartus = context.host().vendorTools().quartusRoot();
  context.out() << "Building " << project.name << " for " << project.device << " in " << project.folder
                << "\nQuartus: " << (quartus ? *quartus : std::string("none (give --quartus DIR or set QUARTUS_ROOTDIR)"))
                << std::endl;
}

int runFlow(Context& context, const std::vector<std::string>& args) {
  FlowOptions o;
  if (int rc = parseFlowOptions(context, "flow", args, {"--device"}, {"--verbose"}, 0, 1, o); rc != kExitOk) return rc;
  std::optional<hostapp::ProjectDescription> project;
  if (!o.positional.empty()) project = openProjectDescription(o.positional[0], o.value("--device"));
  std::string device;
  if (project) device = project->device;
  else if (o.value("--device")) device = *o.value("--device");
  else if (context.host().drivers().size()) device = context.host().drivers().deviceName(0);
  else return context.failure("flow: no driver is loaded");
  const DispPtr driver = bindProjectDriver(context, device);

  context.out() << "Flows of the " << device << " driver";
  if (project) context.out() << " for " << project->file;
  context.out() << ":\n";
  if (project) {
    FlowSession session(context, *project, false);
    session.printTree(session.buildFlow(driver));
    session.printTree(session.downloadFlow(driver));
  } else {
    for (DispId id : {ids::Driver_FlowStage_Build, ids::Driver_FlowStage_Download}) {
      const DispPtr flow = zabi::invoke(driver, id).toDispatch();
      if (!flow) continue;
      FlowSession printer(context, hostapp::ProjectDescription{}, false);
      printer.printTree(flow);
    }
  }
  return kExitOk;
}

int runBuild(Context& context, const std::vector<std::string>& args) {
  FlowOptions o;
  if (int rc = parseFlowOptions(context, "build", args, {"--device", "--stage"}, {"--force", "--verbose"}, 1, 1, o);
      rc != kExitOk)
    return rc;
  const hostapp::ProjectDescription project = openProjectDescription(o.positional[0], o.value("--device"));
  const DispPtr driver = bindProjectDriver(context, project.device);
  FlowSession session(context, project, o.flags.count("--verbose") > 0);
  const DispPtr flow = session.buildFlow(driver);
  DispPtr target = flow;
  if (auto stage = o.value("--stage")) {
    target = FlowSession::findStage(flow, *stage);
    if (!target) return context.usageError("build: no stage '" + *stage + "' (stages: " + stageList(flow) + ")");
  }
  printBuildHeader(context, project);
  return finishBuild(context, session, target, o.flags.count("--force") > 0) ? kExitOk : kExitFailure;
}

bool finishBuild(Context& context, FlowSession& session, const DispPtr& target, bool force) {
  const size_t total = countStages(target);
  const bool wholeBuild = zabi::invoke(target, ids::Flow_IsCategory).toBool();
  const std::string signature = inputsSignature(session.project());
  if (wholeBuild && !force && readText(signatureFile(session.project())) != signature) {
    if (hostapp::isRegularFile(signatureFile(session.project())))
      context.out() << "The project's files changed since the last build: building everything again" << std::endl;
    force = true;
  }
  const int32_t result = session.run(target, force ? RunMode::Force : RunMode::IfOutOfDate);
  session.printSummary();
  std::ostream& out = context.out();
  const size_t ran = session.stagesStarted().size();
  out << "\nBuild " << (session.interrupted() ? "stopped" : flowResultName(result)) << " in "
      << fixed2(session.lastRunSeconds()) << " s: " << ran << " of " << total << " stage"
      << (total == 1 ? "" : "s") << " run" << (ran == 0 && result == ids::FlowRun_Success ? " (everything up to date)" : "")
      << ", " << session.errors() << " error" << (session.errors() == 1 ? "" : "s") << ", " << session.warnings()
      << " warning" << (session.warnings() == 1 ? "" : "s") << std::endl;
  if (result == ids::FlowRun_Success && !session.interrupted()) {
    if (wholeBuild) {
      std::ofstream stamp(signatureFile(session.project()), std::ios::binary | std::ios::trunc);
      stamp << signature;
    }
    return true;
  }
  std::error_code ec;
  if (wholeBuild) std::filesystem::remove(signatureFile(session.project()), ec);  // build it all next time
  std::string reason = session.interrupted() ? "stopped by the user" : flowResultName(result);
  if (!session.interrupted() && !session.errorTexts().empty()) reason += ": " + session.errorTexts().front();
  context.failure("build of " + session.project().name + " " + reason);
  return false;
}

int runRun(Context& context, const std::vector<std::string>& args) {
  FlowOptions o;
  if (int rc = parseFlowOptions(context, "run", args, {"--device", "--cable", "--index"}, {"--force", "--verbose"}, 1,
                                1, o);
      rc != kExitOk)
    return rc;
  const hostapp::ProjectDescription project = openProjectDescription(o.positional[0], o.value("--device"));
  JtagOptions jo;
  if (auto cable = o.value("--cable")) jo.cable = *cable;
  hostapp::JtagChain& chain = openChain(context, jo);
  const hostapp::JtagChainDevice& device = projectDeviceOnChain(chain, project.device, o.value("--index"));
  FlowSession session(context, project, o.flags.count("--verbose") > 0);
  return buildAndDownload(context, session, chain, device, o.flags.count("--force") > 0, nullptr) ? kExitOk
                                                                                                  : kExitFailure;
}

const hostapp::JtagChainDevice& projectDeviceOnChain(const hostapp::JtagChain& chain, const std::string& deviceName,
                                                     const std::optional<std::string>& index) {
  if (index) {
    int64_t i = -1;
    try {
      size_t used = 0;
      i = std::stoll(*index, &used);
      if (used != index->size()) i = -1;
    } catch (const std::exception&) {
    }
    if (i < 0) throw std::runtime_error("--index '" + *index + "' is not a chain index (0, 1, ...)");
    const hostapp::JtagChainDevice& d = chain.at(i);
    if (!d.host) throw std::runtime_error(deviceLabel(d) + " on " + chain.description() + " has no driver: " + d.problem);
    if (!zabi::sameText(d.deviceName, deviceName))
      throw std::runtime_error(deviceLabel(d) + " on " + chain.description() + " is not the project's device " + deviceName);
    return d;
  }
  std::string seen;
  for (const hostapp::JtagChainDevice& d : chain.devices()) {
    if (d.host && zabi::sameText(d.deviceName, deviceName)) return d;
    seen += (seen.empty() ? "" : ", ") + (d.deviceName.empty() ? hostapp::hexCode(d.idcode()) : d.deviceName);
  }
  throw std::runtime_error("no " + deviceName + " on " + chain.description() + " (the chain holds " + seen + ")");
}

bool buildAndDownload(Context& context, FlowSession& session, hostapp::JtagChain& chain,
                      const hostapp::JtagChainDevice& device, bool force, DownloadOutcome* outcome) {
  const DispPtr driver = device.host->GetDriver();
  std::ostream& out = context.out();
  printBuildHeader(context, session.project());
  const DispPtr build = session.buildFlow(driver);
  if (!finishBuild(context, session, build, force)) {
    out << "Nothing was programmed." << std::endl;
    return false;
  }
  if (outcome) {
    outcome->buildSeconds = session.lastRunSeconds();
    outcome->buildStagesRun = session.stagesStarted().size();
  }

  out << "\nDownloading to " << deviceLabel(device) << " on " << chain.description() << std::endl;
  const DispPtr download = session.downloadFlow(driver);
  const int32_t result = session.run(download, force ? RunMode::Force : RunMode::IfOutOfDate);
  int32_t state = -1;
  uint32_t userCode = 0;
  std::string stateError;
  try {
    state = device.host->GetDeviceState();
    if (state == 2) userCode = uint32_t(device.host->ReadUserCode());
  } catch (const std::exception& e) {
    stateError = e.what();
  }
  if (outcome) {
    outcome->downloadSeconds = session.lastRunSeconds();
    outcome->downloadRan = !session.stagesStarted().empty();
    outcome->state = state;
    outcome->userCode = userCode;
  }
  out << "Download " << (session.interrupted() ? "stopped" : flowResultName(result)) << " in "
      << fixed2(session.lastRunSeconds()) << " s"
      << (session.stagesStarted().empty() && result == ids::FlowRun_Success ? " (up to date: the device keeps this bit file)" : "")
      << '\n'
      << deviceLabel(device) << ": " << (state < 0 ? "state unknown" : hostapp::deviceStateName(state));
  if (state == 2) out << ", user code " << hostapp::hexCode(userCode);
  out << std::endl;
  if (!stateError.empty()) context.err() << "zolta: cannot read the device state: " << stateError << '\n';
  if (result != ids::FlowRun_Success || session.interrupted()) {
    std::string reason = session.interrupted() ? "stopped by the user" : flowResultName(result);
    if (!session.interrupted() && !session.errorTexts().empty()) reason += ": " + session.errorTexts().front();
    context.failure("download to " + deviceLabel(device) + " " + reason);
    return false;
  }
  if (state != 2) {
    context.failure("download: " + deviceLabel(device) + " is not configured after the download");
    return false;
  }
  return true;
}

}  // namespace zolta::cli
