// quartus_sh: the Tcl shell with the project, flow and message commands of the vendor's ::quartus
// packages, and the command-line flows (--flow compile).
#include <iostream>

#include "zolta/quartus/modules.h"
#include "zolta/quartus/tcl_interp.h"
#include "zolta/quartus/text.h"

namespace zquartus {

namespace fs = std::filesystem;

namespace {

const char* const kPackages[] = {"project", "flow", "misc", "report", "device", "sdc", "sdc_ext", "sta", "timing",
                                 "advanced_timing", "backannotate", "jtag", "names", "rtl", "simulator",
                                 "incremental_compilation", "chip_planner", "iptclgen", "insystem_memory_edit",
                                 "logic_analyzer_interface", "eco"};

constexpr const char* kModuleFailed =
    "ERROR: Error(s) found while running an executable. See report file(s) for error message(s). Message log "
    "indicates which executable was run last.";

void usage(std::ostream& out) {
  out << "Usage: quartus_sh -t <script.tcl> [script arguments]\n"
         "       quartus_sh --tcl_eval <tcl command>\n"
         "       quartus_sh --flow compile <project> [-c <revision>]\n"
         "       quartus_sh --version\n";
}

class Shell {
 public:
  Shell(const ToolVersion& version, std::ostream& out, const fs::path& root, MessageLog& log)
      : version_(version), out_(out), root_(root), log_(log) {
    defineCommands();
  }

  TclInterp& tcl() { return tcl_; }

  // A project still open when the script ends keeps its assignments.
  void closeProject() {
    if (!project_) return;
    try {
      project_->save(version_);
    } catch (const std::exception& e) {
      log_.error(0, e.what());
    }
    project_.reset();
  }

  // Runs modules in order; answers false at the first that fails.
  bool runModules(const std::vector<Module>& modules, const std::string& project, const std::string& revision,
                  const fs::path& dir, const std::vector<std::string>& extra, std::pair<int, int>* total = nullptr) {
    for (Module m : modules) {
      ModuleOptions o = parseModuleArgs(extra);
      o.project = project;
      if (o.revision.empty()) o.revision = revision;
      std::string line = "quartus_" + moduleKey(m) + " --read_settings_files=on --write_settings_files=off " + project +
                         " -c " + (o.revision.empty() ? project : o.revision);
      for (const std::string& e : extra) line += " " + e;
      std::pair<int, int> counts{0, 0};
      const bool ok = runModule(m, o, version_, out_, line, dir, &counts);
      if (total) {
        total->first += counts.first;
        total->second += counts.second;
      }
      if (!ok) return false;
    }
    return true;
  }

 private:
  Project& openProject() {
    if (!project_) throw TclCommandError("ERROR: There is no open project");
    return *project_;
  }

  void defineCommands() {
    TclInterp& t = tcl_;
    t.eval("fconfigure stdout -buffering line");
    for (const char* p : kPackages) t.eval(std::string("package provide ::quartus::") + p + " 1.0");
    t.setArrayVar("quartus", "version", version_.fullText());
    t.setArrayVar("quartus", "nameofexecutable", "quartus_sh");
    t.setArrayVar("quartus", "binpath", (root_ / "bin").string() + "/");
    t.setArrayVar("quartus", "quartus_rootpath", root_.string() + "/");
    t.setArrayVar("quartus", "ipc_mode", "0");

    defineAssignmentCommands(t, [this]() -> Settings& { return openProject().settings(); });

    t.define("load_package", [](const std::vector<std::string>& argv) -> std::string {
      const TclArgs args = parseTclArgs("load_package", argv, {"-version"}, {});
      args.expectPositional("load_package", 1, 1);
      std::string name = args.positional[0];
      if (name.rfind("::quartus::", 0) == 0) name.erase(0, 11);
      for (const char* p : kPackages)
        if (name == p) return {};
      throw TclCommandError("ERROR: Package " + args.positional[0] + " is not available");
    });

    t.define("post_message", [this](const std::vector<std::string>& argv) -> std::string {
      const TclArgs args = parseTclArgs("post_message", argv, {"-type", "-submsgs", "-file", "-line"}, {});
      args.expectPositional("post_message", 1, 1);
      const std::string type = lower(args.option("-type", "info"));
      Severity s = Severity::Info;
      if (type == "extra_info") s = Severity::ExtraInfo;
      else if (type == "warning") s = Severity::Warning;
      else if (type == "critical_warning") s = Severity::CriticalWarning;
      else if (type == "error") s = Severity::Error;
      else if (type != "info") throw TclCommandError("ERROR: Illegal value \"" + args.option("-type") + "\" for option -type");
      log_.message(s, 0, args.positional[0]);
      if (args.options.count("-submsgs"))
        for (const std::string& sub : tcl_.splitList(args.option("-submsgs"))) log_.message(s, 0, sub, 1);
      return {};
    });

    t.define("exit", [this](const std::vector<std::string>& argv) -> std::string {
      tcl_.requestExit(argv.empty() ? 0 : std::atoi(argv[0].c_str()));
      return {};
    });
    t.define("qexit", [this](const std::vector<std::string>& argv) -> std::string {
      const TclArgs args = parseTclArgs("qexit", argv, {"-code"}, {"-success", "-error"});
      tcl_.requestExit(args.has("-error") ? kExitFailure : std::atoi(args.option("-code", "0").c_str()));
      return {};
    });

    // ---- ::quartus::project
    t.define("project_new", [this](const std::vector<std::string>& argv) -> std::string {
      const TclArgs args = parseTclArgs("project_new", argv, {"-revision", "-family", "-part"}, {"-overwrite"});
      args.expectPositional("project_new", 1, 1);
      if (project_) throw TclCommandError("ERROR: A project is already open -- close it before creating a new one");
      const std::string& name = args.positional[0];
      const fs::path dir = fs::current_path();
      if (Project::exists(dir, name) && !args.has("-overwrite"))
        throw TclCommandError("ERROR: Project \"" + name + "\" already exists -- use -overwrite to overwrite it");
      Project p = Project::create(dir, name, args.option("-revision"));
      Settings& s = p.settings();
      if (!args.option("-family").empty()) s.setGlobal("FAMILY", args.option("-family"));
      if (!args.option("-part").empty()) s.setGlobal("DEVICE", args.option("-part"));
      s.setGlobal("ORIGINAL_QUARTUS_VERSION", version_.version);
      s.setGlobal("PROJECT_CREATION_TIME_DATE", upper(createdText()));
      s.setGlobal("LAST_QUARTUS_VERSION", version_.version);
      try {
        p.save(version_);
      } catch (const std::exception& e) {
        throw TclCommandError(std::string("ERROR: ") + e.what());
      }
      project_ = std::move(p);
      return {};
    });
    t.define("project_open", [this](const std::vector<std::string>& argv) -> std::string {
      const TclArgs args = parseTclArgs("project_open", argv, {"-revision"}, {"-current_revision", "-force"});
      args.expectPositional("project_open", 1, 1);
      if (project_) throw TclCommandError("ERROR: A project is already open -- close it before opening another");
      try {
        project_ = Project::open(fs::current_path(), args.positional[0], args.option("-revision"));
      } catch (const std::exception& e) {
        throw TclCommandError(std::string("ERROR: ") + e.what());
      }
      return {};
    });
    t.define("project_close", [this](const std::vector<std::string>& argv) -> std::string {
      const TclArgs args = parseTclArgs("project_close", argv, {}, {"-dont_export_assignments"});
      args.expectPositional("project_close", 0, 0);
      Project& p = openProject();
      if (!args.has("-dont_export_assignments")) save(p);
      project_.reset();
      return {};
    });
    t.define("export_assignments", [this](const std::vector<std::string>& argv) -> std::string {
      const TclArgs args = parseTclArgs("export_assignments", argv, {}, {"-reorganize"});
      args.expectPositional("export_assignments", 0, 0);
      save(openProject());
      return {};
    });
    t.define("project_exists", [](const std::vector<std::string>& argv) -> std::string {
      const TclArgs args = parseTclArgs("project_exists", argv, {}, {});
      args.expectPositional("project_exists", 1, 1);
      return Project::exists(fs::current_path(), args.positional[0]) ? "1" : "0";
    });
    t.define("is_project_open", [this](const std::vector<std::string>&) -> std::string { return project_ ? "1" : "0"; });
    t.define("get_project_directory", [this](const std::vector<std::string>&) -> std::string {
      return openProject().directory().string() + "/";
    });
    auto projectNamed = [this](const TclArgs& args) -> Project {
      if (args.positional.empty()) return openProject();
      try {
        return Project::open(fs::current_path(), args.positional[0]);
      } catch (const std::exception& e) {
        throw TclCommandError(std::string("ERROR: ") + e.what());
      }
    };
    t.define("get_current_revision", [projectNamed](const std::vector<std::string>& argv) -> std::string {
      const TclArgs args = parseTclArgs("get_current_revision", argv, {}, {});
      args.expectPositional("get_current_revision", 0, 1);
      return projectNamed(args).revision();
    });
    t.define("get_project_revisions", [projectNamed](const std::vector<std::string>& argv) -> std::string {
      const TclArgs args = parseTclArgs("get_project_revisions", argv, {}, {});
      args.expectPositional("get_project_revisions", 0, 1);
      return tclList(projectNamed(args).revisions());
    });
    t.define("revision_exists", [this](const std::vector<std::string>& argv) -> std::string {
      const TclArgs args = parseTclArgs("revision_exists", argv, {"-project"}, {});
      args.expectPositional("revision_exists", 1, 1);
      const std::string project = args.option("-project");
      std::vector<std::string> revisions;
      if (project.empty()) revisions = openProject().revisions();
      else if (Project::exists(fs::current_path(), project)) revisions = Project::open(fs::current_path(), project).revisions();
      for (const std::string& r : revisions)
        if (r == args.positional[0]) return "1";
      return "0";
    });

    // ---- ::quartus::flow
    t.define("execute_module", [this](const std::vector<std::string>& argv) -> std::string {
      const TclArgs args = parseTclArgs("execute_module", argv, {"-tool", "-args"}, {"-dont_export_assignments"});
      args.expectPositional("execute_module", 0, 0);
      const std::optional<Module> m = moduleFromKey(args.option("-tool"));
      if (!m) throw TclCommandError("ERROR: Illegal value \"" + args.option("-tool") + "\" for option -tool; use map, fit, asm, tan or sta");
      Project& p = openProject();
      if (!args.has("-dont_export_assignments")) save(p);
      const std::vector<std::string> extra = tcl_.splitList(args.option("-args"));
      if (!runModules({*m}, p.name(), p.revision(), p.directory(), extra)) throw TclCommandError(kModuleFailed);
      return {};
    });
    t.define("execute_flow", [this](const std::vector<std::string>& argv) -> std::string {
      const TclArgs args = parseTclArgs("execute_flow", argv, {}, {"-compile", "-dont_export_assignments"});
      args.expectPositional("execute_flow", 0, 0);
      if (!args.has("-compile")) throw TclCommandError("ERROR: execute_flow supports -compile only");
      Project& p = openProject();
      if (!args.has("-dont_export_assignments")) save(p);
      const auto modules = compileFlow(version_, p.directory(), p.name(), p.revision());
      if (!runModules(modules, p.name(), p.revision(), p.directory(), {})) throw TclCommandError(kModuleFailed);
      return {};
    });
  }

  void save(const Project& p) {
    try {
      p.save(version_);
    } catch (const std::exception& e) {
      throw TclCommandError(std::string("ERROR: ") + e.what());
    }
  }

  ToolVersion version_;
  std::ostream& out_;
  fs::path root_;
  MessageLog& log_;
  TclInterp tcl_;
  std::optional<Project> project_;
};

// Reports a Tcl failure: the message, the interpreter's trace as plain lines, the verdict.
void reportTclError(MessageLog& log, TclInterp& tcl, const std::string& what) {
  const std::string& trace = tcl.trace();
  size_t start = 0;
  bool first = true;
  while (start <= trace.size()) {
    const size_t end = trace.find('\n', start);
    const std::string line = trace.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (first) log.error(23035, "Tcl error: " + line);
    else log.plain(line);
    first = false;
    if (end == std::string::npos) break;
    start = end + 1;
  }
  log.error(23031, "Evaluation of " + what + " unsuccessful");
}

}  // namespace

int runShell(const std::vector<std::string>& args, const ToolVersion& version, std::ostream& out, const fs::path& root) {
  // The mode: -t, --tcl_eval, --flow; options before it that change nothing are reported and skipped.
  size_t i = 0;
  std::vector<std::string> ignored;
  for (; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "-t" || a == "--script" || startsWithNoCase(a, "--script=") || a == "--tcl_eval" || a == "--flow" ||
        a == "-v" || a == "--version" || a == "-h" || a == "--help" || a == "-help")
      break;
    ignored.push_back(a);
  }
  if (i >= args.size()) {
    usage(std::cerr);
    return kExitUsage;
  }
  const std::string mode = args[i];
  if (mode == "-v" || mode == "--version") {
    out << version.product() << " Shell\n" << version.fullText() << "\nCopyright (C) 1991-" << version.year()
        << " Altera Corporation\n";
    return kExitSuccess;
  }
  if (mode == "-h" || mode == "--help" || mode == "-help") {
    usage(out);
    return kExitSuccess;
  }

  std::string commandLine = "quartus_sh";
  for (const std::string& a : args) commandLine += " " + a;
  MessageLog log(out, version);
  log.banner("Shell", commandLine);
  for (const std::string& a : ignored) log.warning(0, "Ignored unknown option or argument \"" + a + "\"");
  std::optional<int> exitCode;

  if (mode == "--flow") {
    if (i + 2 >= args.size() || !sameText(args[i + 1], "compile")) {
      log.error(0, "Option --flow needs \"compile <project>\"");
    } else {
      std::vector<std::string> rest(args.begin() + static_cast<long>(i) + 2, args.end());
      ModuleOptions o = parseModuleArgs(rest);
      std::vector<std::string> extra;
      for (size_t k = 0; k < rest.size(); ++k)
        if (rest[k] != o.project) extra.push_back(rest[k]);
      const fs::path dir = fs::current_path();
      Shell shell(version, out, root, log);
      std::pair<int, int> total{0, 0};
      const auto modules = compileFlow(version, dir, o.project, o.revision);
      const bool ok = shell.runModules(modules, o.project, o.revision, dir, extra, &total);
      const std::string verdict = version.product() + " Full Compilation was " + (ok ? "successful. " : "unsuccessful. ") +
                                  MessageLog::countsText(total.first, total.second);
      if (ok) log.info(293000, verdict);
      else log.error(293001, verdict);
    }
  } else {
    Shell shell(version, out, root, log);
    TclInterp& tcl = shell.tcl();
    if (mode == "--tcl_eval") {
      std::string script;
      for (size_t k = i + 1; k < args.size(); ++k) script += (script.empty() ? "" : " ") + args[k];
      if (!tcl.eval(script)) reportTclError(log, tcl, "Tcl command");
      else if (!tcl.result().empty()) log.plain(tcl.result());
      exitCode = tcl.exitCode();
    } else {
      std::string script;
      size_t next = i + 1;
      if (startsWithNoCase(mode, "--script=")) script = mode.substr(9);
      else if (next < args.size()) script = args[next++];
      const std::vector<std::string> scriptArgs(args.begin() + static_cast<long>(std::min(next, args.size())), args.end());
      std::error_code ec;
      if (script.empty()) {
        log.error(0, "Option " + mode + " needs a Tcl script file");
      } else if (!fs::is_regular_file(script, ec)) {
        log.error(23032, "Can't open Tcl script file " + script + ": it does not exist");
      } else {
        tcl.setListVar("argv", scriptArgs);
        tcl.setVar("argc", std::to_string(scriptArgs.size()));
        tcl.setVar("argv0", script);
        tcl.setListVar("quartus(args)", scriptArgs);
        if (tcl.evalFile(script)) log.info(23030, "Evaluation of Tcl script " + script + " was successful");
        else reportTclError(log, tcl, "Tcl script " + script);
        exitCode = tcl.exitCode();
      }
    }
    shell.closeProject();
  }
  const bool ok = log.closing("Shell");
  if (exitCode && *exitCode != 0) return *exitCode;
  return ok ? kExitSuccess : kExitFailure;
}

}  // namespace zquartus
