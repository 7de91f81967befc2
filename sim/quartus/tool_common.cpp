#include <algorithm>
#include <iostream>

#include "zolta/quartus/modules.h"
#include "zolta/quartus/text.h"

namespace zquartus {

namespace fs = std::filesystem;

namespace {

struct ModuleRow {
  Module module;
  const char* key;
  const char* title;
};
constexpr ModuleRow kModules[] = {
    {Module::Map, "map", "Analysis & Synthesis"},
    {Module::Fit, "fit", "Fitter"},
    {Module::Tan, "tan", "Classic Timing Analyzer"},
    {Module::Sta, "sta", "TimeQuest Timing Analyzer"},
    {Module::Asm, "asm", "Assembler"},
};

const ModuleRow& row(Module m) {
  for (const ModuleRow& r : kModules)
    if (r.module == m) return r;
  return kModules[0];
}

// Outputs of a module that an earlier run may have left; removed before the module runs, so that a
// failed run leaves none behind (later modules' databases go too: they describe the old results).
std::vector<fs::path> staleOutputs(Module m, const Project& p) {
  const std::string key = moduleKey(m);
  std::vector<fs::path> files = {outputFile(p, key + ".rpt"), outputFile(p, key + ".summary")};
  switch (m) {
    case Module::Map:
      files.push_back(databaseFile(p, "map"));
      files.push_back(databaseFile(p, "fit"));
      break;
    case Module::Fit:
      files.push_back(outputFile(p, "pin"));
      files.push_back(databaseFile(p, "fit"));
      break;
    case Module::Asm: files.push_back(outputFile(p, "rbf")); break;
    default: break;
  }
  return files;
}

void applyOverrides(Project& project, const ModuleOptions& o) {
  Settings& s = project.settings();
  if (!o.family.empty()) s.setGlobal("FAMILY", o.family);
  if (!o.part.empty()) s.setGlobal("DEVICE", o.part);
  if (!o.seed.empty()) s.setGlobal("SEED", o.seed);
  for (const std::string& src : o.sources) {
    const bool edif = endsWithNoCase(src, ".edf") || endsWithNoCase(src, ".edif") || endsWithNoCase(src, ".edn");
    s.setGlobal(edif ? "EDIF_FILE" : "SOURCE_FILE", src);
  }
  for (const auto& [name, value] : o.sets) s.setGlobal(name, value);
}

std::optional<ModuleOutput> dispatch(Module m, ModuleRun& run) {
  switch (m) {
    case Module::Map: return runMapModule(run);
    case Module::Fit: return runFitModule(run);
    case Module::Tan: return runTanModule(run);
    case Module::Sta: return runStaModule(run);
    case Module::Asm: return runAsmModule(run);
  }
  return std::nullopt;
}

}  // namespace

std::string moduleTitle(Module m) { return row(m).title; }
std::string moduleKey(Module m) { return row(m).key; }

std::optional<Module> moduleFromKey(const std::string& key) {
  for (const ModuleRow& r : kModules)
    if (sameText(key, r.key) || sameText(key, std::string("quartus_") + r.key)) return r.module;
  return std::nullopt;
}

ModuleOptions parseModuleArgs(const std::vector<std::string>& args) {
  ModuleOptions o;
  // Options the vendor's tools take that change nothing here.
  static const char* const kAccepted[] = {"read_settings_files", "write_settings_files", "64bit", "lower_priority",
                                          "parallel", "effort", "do_report_timing", "smart", "plan", "import_settings_files",
                                          "export_settings_files", "analysis_and_elaboration", "check_ios", "tq2pt"};
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&](const std::string& name) -> std::optional<std::string> {
      // "--name=value", "--name value", "-name value"
      for (const std::string& prefix : {"--" + name + "=", "-" + name + "="})
        if (startsWithNoCase(a, prefix)) return a.substr(prefix.size());
      if (sameText(a, "--" + name) || sameText(a, "-" + name)) {
        if (i + 1 >= args.size()) {
          o.error = "Option " + a + " needs a value";
          return std::string();
        }
        return args[++i];
      }
      return std::nullopt;
    };
    if (a == "-c" || sameText(a, "--rev") || sameText(a, "--revision")) {
      if (i + 1 >= args.size()) o.error = "Option " + a + " needs a revision name";
      else o.revision = args[++i];
      continue;
    }
    if (auto v = value("rev")) { o.revision = *v; continue; }
    if (auto v = value("set")) {
      const size_t eq = v->find('=');
      if (eq == std::string::npos || eq == 0) o.error = "Option --set needs NAME=VALUE, not \"" + *v + "\"";
      else o.sets.emplace_back(v->substr(0, eq), v->substr(eq + 1));
      continue;
    }
    if (auto v = value("sdc")) { o.sdc = *v; continue; }
    if (auto v = value("family")) { o.family = *v; continue; }
    if (auto v = value("part")) { o.part = *v; continue; }
    if (auto v = value("seed")) { o.seed = *v; continue; }
    if (auto v = value("source")) { o.sources.push_back(*v); continue; }
    if (!a.empty() && a[0] == '-') {
      std::string name = a.substr(a.find_first_not_of('-'));
      name = name.substr(0, name.find('='));
      bool known = false;
      for (const char* k : kAccepted) known = known || sameText(name, k);
      if (!known) o.ignored.push_back(a);
      continue;
    }
    if (o.project.empty()) o.project = a;
    else o.ignored.push_back(a);
  }
  return o;
}

bool runModule(Module m, const ModuleOptions& options, const ToolVersion& version, std::ostream& out,
               const std::string& commandLine, const fs::path& dir, std::pair<int, int>* counts) {
  const std::string title = moduleTitle(m);
  MessageLog log(out, version);
  log.banner(title, commandLine);
  for (const std::string& o : options.ignored) log.warning(0, "Ignored unknown option or argument \"" + o + "\"");

  std::optional<ModuleOutput> output;
  std::optional<Project> project;
  if (!options.error.empty()) {
    log.error(0, options.error);
  } else if (options.project.empty()) {
    log.error(0, "No project name given; usage: quartus_" + moduleKey(m) + " [options] <project> [-c <revision>]");
  } else {
    try {
      project = Project::open(dir, options.project, options.revision);
      applyOverrides(*project, options);
      std::error_code ec;
      for (const fs::path& f : staleOutputs(m, *project)) fs::remove(f, ec);
      ModuleRun run{*project, options, log, version};
      output = dispatch(m, run);
    } catch (const std::exception& e) {
      log.error(0, e.what());
      output.reset();
    }
    if (!output && log.errors() == 0) log.error(0, title + " stopped without a result");
  }

  const bool ok = log.closing(title) && output;
  if (ok) {
    output->report.text(title + " Messages", log.lines());
    const fs::path rpt = outputFile(*project, moduleKey(m) + ".rpt");
    const fs::path summary = outputFile(*project, moduleKey(m) + ".summary");
    try {
      std::error_code ec;
      fs::create_directories(rpt.parent_path(), ec);
      writeFile(summary, summaryText(output->summary));
      writeFile(rpt, output->report.str());
    } catch (const std::exception& e) {
      // The run is lost when its report cannot be written: say so and fail.
      log.error(0, std::string(e.what()));
      std::error_code ec;
      fs::remove(rpt, ec);
      if (counts) *counts = {log.errors(), log.warnings()};
      return false;
    }
  }
  if (counts) *counts = {log.errors(), log.warnings()};
  return ok;
}

std::vector<Module> compileFlow(const ToolVersion& version, const fs::path& dir, const std::string& project,
                                const std::string& revision) {
  bool timeQuest = version.modernEra();
  if (!timeQuest) {
    try {
      const Project p = Project::open(dir, project, revision);
      const auto v = p.settings().global("USE_TIMEQUEST_TIMING_ANALYZER");
      timeQuest = v && (sameText(*v, "ON") || sameText(*v, "TRUE"));
    } catch (const std::exception&) {
      // The map module reports the project problem.
    }
  }
  return {Module::Map, Module::Fit, Module::Asm, timeQuest ? Module::Sta : Module::Tan};
}

int runTool(const std::string& toolName, const std::vector<std::string>& args, const ToolVersion& version,
            std::ostream& out, const fs::path& installRoot) {
  std::string name = lower(toolName);
  if (endsWithNoCase(name, ".exe")) name.resize(name.size() - 4);
  if (name == "quartus_sh") return runShell(args, version, out, installRoot);
  if (name.rfind("quartus_", 0) == 0)
    if (auto m = moduleFromKey(name.substr(8))) {
      std::string commandLine = name;
      for (const std::string& a : args) commandLine += " " + a;
      return runModule(*m, parseModuleArgs(args), version, out, commandLine, fs::current_path()) ? kExitSuccess
                                                                                                 : kExitFailure;
    }
  std::cerr << "Error: this program runs as quartus_sh, quartus_map, quartus_fit, quartus_tan, quartus_sta or "
               "quartus_asm, not as \""
            << toolName << "\"\n";
  return kExitUsage;
}

// ---- helpers of the modules --------------------------------------------------------------------------

std::optional<Device> projectDevice(const Project& project, MessageLog& log) {
  const Settings& s = project.settings();
  const std::optional<std::string> family = s.global("FAMILY");
  if (family) {
    std::string f = lower(*family);
    std::erase(f, ' ');
    std::erase(f, '_');
    if (f != "arriaiigz" && f != "arria2gz") {
      log.error(119010, "Device family " + *family + " is not installed; this installation supports " +
                            std::string(kFamilyName) + " devices only");
      return std::nullopt;
    }
  }
  const std::optional<std::string> part = s.global("DEVICE");
  if (!part || trim(*part).empty() || sameText(trim(*part), "AUTO")) {
    const Device d = Device::automatic();
    log.info(119004, "Automatically selected device " + d.name() + " for design " + project.revision());
    return d;
  }
  std::optional<Device> d = Device::find(*part);
  if (!d)
    log.error(119013, "Current device part number " + trim(*part) + " is not a valid part number for family " +
                          std::string(kFamilyName));
  return d;
}

fs::path databaseFile(const Project& project, const std::string& key) {
  return project.databaseDirectory() / (project.revision() + "." + key + ".zdb");
}

fs::path outputFile(const Project& project, const std::string& extension) {
  return project.outputDirectory() / (project.revision() + "." + extension);
}

std::optional<Netlist> readMappedNetlist(const Project& project, MessageLog& log) {
  const fs::path db = databaseFile(project, "map");
  std::error_code ec;
  if (!fs::is_regular_file(db, ec)) {
    log.error(12843, "Can't find the Analysis & Synthesis database " + db.string() +
                         " -- run Analysis & Synthesis (quartus_map) for revision " + project.revision() + " first");
    return std::nullopt;
  }
  try {
    return Netlist::fromDatabase(readFile(db), db.string());
  } catch (const std::exception& e) {
    log.error(12844, e.what());
    return std::nullopt;
  }
}

std::optional<Placement> readPlacement(const Project& project, const MappedDesign& design, MessageLog& log) {
  const fs::path db = databaseFile(project, "fit");
  std::error_code ec;
  if (!fs::is_regular_file(db, ec)) {
    log.error(12845, "Can't find the Fitter database " + db.string() + " -- run the Fitter (quartus_fit) for revision " +
                         project.revision() + " first");
    return std::nullopt;
  }
  try {
    return Placement::fromDatabase(readFile(db), db.string(), design);
  } catch (const std::exception& e) {
    log.error(12846, e.what());
    return std::nullopt;
  }
}

std::optional<PlacedDesign> loadPlacedDesign(const Project& project, MessageLog& log) {
  std::optional<Device> device = projectDevice(project, log);
  if (!device) return std::nullopt;
  std::optional<Netlist> netlist = readMappedNetlist(project, log);
  if (!netlist) return std::nullopt;
  PlacedDesign d{*device, std::make_unique<Netlist>(std::move(*netlist)), nullptr, {}};
  d.mapped = std::make_unique<MappedDesign>(*d.netlist);
  std::optional<Placement> placement = readPlacement(project, *d.mapped, log);
  if (!placement) return std::nullopt;
  d.placement = std::move(*placement);
  if (d.placement.device != device->name()) {
    log.error(12847, "The Fitter placed the design into " + d.placement.device + ", but the project's device is " +
                         device->name() + "; run the Fitter again");
    return std::nullopt;
  }
  return d;
}

bool writeOutput(const fs::path& path, const std::string& content, MessageLog& log) {
  try {
    std::error_code ec;
    fs::create_directories(path.parent_path(), ec);
    writeFile(path, content);
    return true;
  } catch (const std::exception& e) {
    log.error(0, std::string(e.what()));
    return false;
  }
}

std::string statusText() { return "Successful - " + ctimeText(); }

std::vector<std::vector<std::string>> summaryHead(const std::string& statusName, const Project& project,
                                                  const std::string& top, const std::string& device,
                                                  const ToolVersion& version) {
  return {{statusName, statusText()},
          {version.product() + " Version", version.shortText()},
          {"Revision Name", project.revision()},
          {"Top-level Entity Name", top},
          {"Family", std::string(kFamilyName)},
          {"Device", device}};
}

}  // namespace zquartus
