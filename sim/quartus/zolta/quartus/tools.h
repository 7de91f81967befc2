// The stand-in tools: quartus_sh (Tcl shell and flows) and the modules quartus_map, quartus_fit,
// quartus_tan, quartus_sta and quartus_asm. Each module opens the project named on its command line,
// prints its messages, and writes its report (<revision>.<module>.rpt), its summary and, for the Assembler,
// the raw bit file <revision>.rbf; a module that reports an error writes none of its outputs.
#pragma once

#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "zolta/quartus/version.h"

namespace zquartus {

enum class Module { Map, Fit, Tan, Sta, Asm };

// "Analysis & Synthesis", "Fitter", ...
std::string moduleTitle(Module m);
// "map", "fit", ...: the report extension and the name execute_module takes.
std::string moduleKey(Module m);
std::optional<Module> moduleFromKey(const std::string& key);

// What a module's command line asks for.
struct ModuleOptions {
  std::string project;     // the project (the first word that is not an option)
  std::string revision;    // -c <revision>; empty: the project's current revision
  std::vector<std::pair<std::string, std::string>> sets;  // --set=NAME=VALUE, applied for this run only
  std::string sdc;         // --sdc=<file> (TimeQuest)
  std::string family, part, seed;  // --family=, --part=, --seed=
  std::vector<std::string> sources;  // --source=<file>
  std::vector<std::string> ignored;  // options not understood, reported as warnings
  std::string error;       // a malformed option; the run fails with it
};

ModuleOptions parseModuleArgs(const std::vector<std::string>& args);

// Runs module `m` in `dir` with its banner and closing lines on `out`. Answers success; `counts` (when
// given) receives the errors and warnings reported.
bool runModule(Module m, const ModuleOptions& options, const ToolVersion& version, std::ostream& out,
               const std::string& commandLine, const std::filesystem::path& dir, std::pair<int, int>* counts = nullptr);

// The modules of a full compilation, in order, for the project in `dir`: map, fit, asm and the timing
// analyser of the era (TimeQuest unless the classic analyser is the era's default and the project does
// not ask for TimeQuest).
std::vector<Module> compileFlow(const ToolVersion& version, const std::filesystem::path& dir, const std::string& project,
                                const std::string& revision);

// quartus_sh with its arguments (program name excluded). Answers the exit code.
int runShell(const std::vector<std::string>& args, const ToolVersion& version, std::ostream& out,
             const std::filesystem::path& installRoot);

// The program under one of the six names; answers the exit code (0 success, 3 failure, 2 usage).
int runTool(const std::string& toolName, const std::vector<std::string>& args, const ToolVersion& version,
            std::ostream& out, const std::filesystem::path& installRoot);

inline constexpr int kExitSuccess = 0;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitFailure = 3;

}  // namespace zquartus
