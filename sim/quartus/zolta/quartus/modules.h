// The work of each module between its banner and its closing lines (used by runModule). Each answers the
// report to write once the closing lines are out, or nothing after an error.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <memory>

#include "zolta/quartus/device.h"
#include "zolta/quartus/messages.h"
#include "zolta/quartus/netlist.h"
#include "zolta/quartus/placement.h"
#include "zolta/quartus/project.h"
#include "zolta/quartus/report.h"
#include "zolta/quartus/synthesis.h"
#include "zolta/quartus/tools.h"

namespace zquartus {

struct ModuleOutput {
  Report report;
  std::vector<std::pair<std::string, std::string>> summary;  // rows of <revision>.<module>.summary
};

struct ModuleRun {
  Project& project;
  const ModuleOptions& options;
  MessageLog& log;
  const ToolVersion& version;
};

std::optional<ModuleOutput> runMapModule(ModuleRun& run);
std::optional<ModuleOutput> runFitModule(ModuleRun& run);
std::optional<ModuleOutput> runTanModule(ModuleRun& run);
std::optional<ModuleOutput> runStaModule(ModuleRun& run);
std::optional<ModuleOutput> runAsmModule(ModuleRun& run);

// Helpers shared by the modules.

// The device of the project (FAMILY and DEVICE assignments; AUTO or none picks one). Reports an error and
// answers nothing for a family other than Arria II GZ or an unknown device.
std::optional<Device> projectDevice(const Project& project, MessageLog& log);
// db/<revision>.<key>.zdb
std::filesystem::path databaseFile(const Project& project, const std::string& key);
// <output directory>/<revision>.<extension>
std::filesystem::path outputFile(const Project& project, const std::string& extension);
// Reads the netlist Analysis & Synthesis left; reports an error naming the module to run first.
std::optional<Netlist> readMappedNetlist(const Project& project, MessageLog& log);
// Reads the Fitter's placement for `design`; reports an error when it is missing or stale.
std::optional<Placement> readPlacement(const Project& project, const MappedDesign& design, MessageLog& log);
// The design in the state the Fitter left it. The mapped view points into the netlist, so both live on
// the heap and keep their places when the whole moves.
struct PlacedDesign {
  Device device;
  std::unique_ptr<Netlist> netlist;
  std::unique_ptr<MappedDesign> mapped;
  Placement placement;
};
// The project's device, the mapped netlist and the placement; reports an error when one is missing or
// the Fitter placed the design into another device than the project's.
std::optional<PlacedDesign> loadPlacedDesign(const Project& project, MessageLog& log);
// Writes a file; reports an error naming it when it cannot be written.
bool writeOutput(const std::filesystem::path& path, const std::string& content, MessageLog& log);
// "Successful - Tue Mar  4 10:26:51 2014"
std::string statusText();
// Rows common to every summary table: status, version, revision, top-level entity, family, device.
std::vector<std::vector<std::string>> summaryHead(const std::string& statusName, const Project& project,
                                                  const std::string& top, const std::string& device,
                                                  const ToolVersion& version);

}  // namespace zquartus
