// Analysis & Synthesis: reads the project's EDIF netlist, elaborates the top-level entity, checks and
// maps it, and keeps the result in db/<revision>.map.zdb.
#include <algorithm>
#include <map>

#include "zolta/quartus/edif.h"
#include "zolta/quartus/modules.h"
#include "zolta/quartus/synthesis.h"
#include "zolta/quartus/text.h"

namespace zquartus {

namespace fs = std::filesystem;

namespace {

struct SourceFile {
  std::string entered;  // as the assignment wrote it
  fs::path path;
};

// The EDIF files of the project: its EDIF_FILE assignments or, without any, <revision>.edf (or .edif,
// .edn) beside the project.
std::vector<SourceFile> edifFiles(const Project& project, MessageLog& log) {
  std::vector<SourceFile> files;
  for (const std::string& f : project.settings().globals("EDIF_FILE"))
    files.push_back({f, resolveFile(project.directory(), f)});
  for (const char* hdl : {"VERILOG_FILE", "SYSTEMVERILOG_FILE", "VHDL_FILE", "SOURCE_FILE", "VQM_FILE", "BDF_FILE", "QIP_FILE"})
    for (const std::string& f : project.settings().globals(hdl)) {
      if (std::string(hdl) == "SOURCE_FILE" &&
          (endsWithNoCase(f, ".edf") || endsWithNoCase(f, ".edif") || endsWithNoCase(f, ".edn"))) {
        files.push_back({f, resolveFile(project.directory(), f)});
        continue;
      }
      log.warning(12019, "Ignored design file " + inQuotes(f) + " (" + hdl + "): this installation reads EDIF netlists only");
    }
  if (files.empty())
    for (const char* ext : {".edf", ".edif", ".edn"}) {
      const fs::path p = findNoCase(project.directory(), project.revision() + ext);
      if (!p.empty()) {
        log.info(12020, "No EDIF_FILE assignment; using EDIF netlist " + p.filename().string());
        files.push_back({p.filename().string(), p});
        break;
      }
    }
  return files;
}

std::string yesNo(bool b) { return b ? "Yes" : "No"; }

}  // namespace

std::optional<ModuleOutput> runMapModule(ModuleRun& run) {
  Project& project = run.project;
  MessageLog& log = run.log;
  const Settings& settings = project.settings();

  const std::optional<Device> device = projectDevice(project, log);
  if (!device) return std::nullopt;

  std::optional<std::string> lmf = settings.global("EDA_LMF_FILE", "eda_design_synthesis");
  if (!lmf) lmf = settings.global("EDA_LMF_FILE");
  if (lmf) {
    const std::string& name = *lmf;
    std::error_code ec;
    if (!fs::is_regular_file(resolveFile(project.directory(), name), ec))
      log.warning(12131, "Library Mapping File " + inQuotes(name) + " not found; EDIF cells are read by their own names");
  }

  // Read every netlist and note where each entity is defined.
  const std::vector<SourceFile> files = edifFiles(project, log);
  std::vector<std::unique_ptr<EdifReader>> readers;
  bool ok = true;
  for (const SourceFile& f : files) {
    std::error_code ec;
    if (!fs::is_regular_file(f.path, ec)) {
      log.error(12003, "Can't open EDIF netlist file " + inQuotes(f.entered) + ": " + f.path.string() + " does not exist");
      ok = false;
      continue;
    }
    try {
      auto reader = std::make_unique<EdifReader>(readFile(f.path), f.path.string());
      const auto& src = reader->source();
      log.info(12021, "Found " + std::to_string(src.entities.size()) + " design units, including " +
                          std::to_string(src.entities.size()) + " entities, in source file " + f.entered);
      for (size_t i = 0; i < src.entities.size(); ++i)
        log.info(12023, "Found entity " + std::to_string(i + 1) + ": " + src.entities[i], 1);
      readers.push_back(std::move(reader));
    } catch (const std::exception& e) {
      log.error(12004, e.what());
      ok = false;
    }
  }
  if (!ok) return std::nullopt;

  std::string top;
  if (auto t = settings.global("TOP_LEVEL_ENTITY")) top = trim(*t);
  if (top.empty())
    for (const auto& r : readers)
      if (top.empty()) top = r->source().designName;
  if (top.empty()) top = project.revision();
  const EdifReader* owner = nullptr;
  size_t ownerIndex = 0;
  for (size_t i = 0; i < readers.size() && !owner; ++i)
    if (readers[i]->hasEntity(top)) {
      owner = readers[i].get();
      ownerIndex = i;
    }
  if (!owner) {
    log.error(12007, "Top-level design entity " + inQuotes(top) + " is undefined");
    return std::nullopt;
  }

  log.info(12127, "Elaborating entity " + inQuotes(top) + " for the top level hierarchy");
  Netlist netlist;
  try {
    netlist = owner->elaborate(top);
  } catch (const std::exception& e) {
    log.error(12006, e.what());
    return std::nullopt;
  }
  if (!synthesize(netlist, log)) return std::nullopt;

  const MappedDesign mapped(netlist);
  const int pins = static_cast<int>(netlist.ports.size());
  const int logic = mapped.aluts() + static_cast<int>(mapped.registers().size());
  log.info(21057, "Implemented " + std::to_string(pins + logic) +
                      " device resources after synthesis - the final resource count might be different");
  log.info(21058, "Implemented " + std::to_string(mapped.inputPins()) + " input pins", 1);
  log.info(21059, "Implemented " + std::to_string(mapped.outputPins()) + " output pins", 1);
  if (mapped.bidirPins() > 0) log.info(21060, "Implemented " + std::to_string(mapped.bidirPins()) + " bidirectional pins", 1);
  log.info(21061, "Implemented " + std::to_string(logic) + " logic cells", 1);

  if (!writeOutput(databaseFile(project, "map"), netlist.toDatabase(), log)) return std::nullopt;

  // Figures for the report.
  const std::array<int, 4> byInputs = mapped.lutsByInputs();
  const FanoutFigures fanout = mapped.fanoutFigures();
  const std::string registers = std::to_string(mapped.registers().size());

  ModuleOutput out{Report("Analysis & Synthesis report for " + project.revision(), run.version), {}};
  auto head = summaryHead("Analysis & Synthesis Status", project, netlist.design, device->name(), run.version);
  head.pop_back();  // the device is not known to synthesis yet
  std::vector<std::vector<std::string>> summary = head;
  const std::vector<std::vector<std::string>> figures = {{"Logic utilization", "N/A"},
                                                         {"Combinational ALUTs", std::to_string(mapped.aluts())},
                                                         {"Memory ALUTs", "0"},
                                                         {"Dedicated logic registers", registers},
                                                         {"Total registers", registers},
                                                         {"Total pins", std::to_string(pins)},
                                                         {"Total virtual pins", "0"},
                                                         {"Total block memory bits", "0"},
                                                         {"DSP block 18-bit elements", "0"},
                                                         {"Total PLLs", "0"},
                                                         {"Total DLLs", "0"}};
  summary.insert(summary.end(), figures.begin(), figures.end());
  out.report.table("Analysis & Synthesis Summary", {}, summary);

  // The family's optimisation assignment (STRATIX_OPTIMIZATION_TECHNIQUE and the like).
  std::string technique = "Balanced";
  for (const Assignment& a : settings.all())
    if (a.kind == AssignmentKind::Global && !a.disabled && a.sectionId.empty() && endsWithNoCase(a.name, "OPTIMIZATION_TECHNIQUE"))
      technique = a.value;
  out.report.table("Analysis & Synthesis Settings", {"Option", "Setting", "Default Value"},
                   {{"Device", device->name(), ""},
                    {"Top-level entity name", netlist.design, project.revision()},
                    {"Family name", std::string(kFamilyName), "Stratix II"},
                    {"Optimization Technique", technique, "Balanced"},
                    {"Use smart compilation", "Off", "Off"},
                    {"Remove Redundant Logic Cells", "Off", "Off"},
                    {"Remove Duplicate Registers", "On", "On"}});

  std::vector<std::vector<std::string>> sourceRows;
  for (size_t i = 0; i < files.size(); ++i)
    sourceRows.push_back({files[i].entered, yesNo(i == ownerIndex), "EDIF File", fs::absolute(files[i].path).string(), ""});
  out.report.table("Analysis & Synthesis Source Files Read",
                   {"File Name with User-Entered Path", "Used in Netlist", "File Type", "File Name with Absolute Path", "Library"},
                   sourceRows);

  out.report.table("Analysis & Synthesis Resource Usage Summary", {"Resource", "Usage"},
                   {{"Estimated ALUTs Used", std::to_string(mapped.aluts())},
                    {"    -- Combinational ALUTs", std::to_string(mapped.aluts())},
                    {"    -- Memory ALUTs", "0"},
                    {"    -- LUT_REGs", "0"},
                    {"Dedicated logic registers", registers},
                    {"", ""},
                    {"Estimated ALUTs Unavailable", "0"},
                    {"", ""},
                    {"Total combinational functions", std::to_string(mapped.luts().size())},
                    {"Combinational ALUT usage by number of inputs", ""},
                    {"    -- 6 input functions", std::to_string(byInputs[0])},
                    {"    -- 5 input functions", std::to_string(byInputs[1])},
                    {"    -- 4 input functions", std::to_string(byInputs[2])},
                    {"    -- <=3 input functions", std::to_string(byInputs[3])},
                    {"", ""},
                    {"I/O pins", std::to_string(pins)},
                    {"DSP block 18-bit elements", "0"},
                    {"Maximum fan-out node", fanout.maximumNet.empty() ? "N/A" : fanout.maximumNet},
                    {"Maximum fan-out", std::to_string(fanout.maximum)},
                    {"Total fan-out", std::to_string(fanout.total)},
                    {"Average fan-out", fixed(fanout.average(), 2)}});
  out.report.table("Analysis & Synthesis Resource Utilization by Entity",
                   {"Compilation Hierarchy Node", "Combinational ALUTs", "Memory ALUTs", "LUT_REGs",
                    "Dedicated Logic Registers", "I/O Registers", "Block Memory Bits", "DSP Elements", "Pins",
                    "Virtual Pins", "Full Hierarchy Name", "Library Name"},
                   {{"|" + netlist.design, std::to_string(mapped.aluts()), "0", "0", registers, "0", "0", "0",
                     std::to_string(pins), "0", "|" + netlist.design, "work"}});

  out.summary = {{"Analysis & Synthesis Status", statusText()},
                 {run.version.product() + " Version", run.version.shortText()},
                 {"Revision Name", project.revision()},
                 {"Top-level Entity Name", netlist.design},
                 {"Family", std::string(kFamilyName)},
                 {"Combinational ALUTs", std::to_string(mapped.aluts())},
                 {"Dedicated logic registers", registers},
                 {"Total pins", std::to_string(pins)}};
  return out;
}

}  // namespace zquartus
