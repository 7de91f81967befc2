// The timing analysers: the Classic Timing Analyzer (requirements from the project's FMAX_REQUIREMENT,
// CLOCK_SETTINGS, TSU/TCO/TH/TPD_REQUIREMENT assignments; report .tan.rpt with the "Timing Analyzer
// Summary") and the TimeQuest Timing Analyzer (clocks from an SDC file; report .sta.rpt with an Fmax
// summary per slow corner).
#include <algorithm>
#include <cmath>
#include <map>

#include "zolta/quartus/modules.h"
#include "zolta/quartus/synthesis.h"
#include "zolta/quartus/tcl_interp.h"
#include "zolta/quartus/text.h"
#include "zolta/quartus/timing.h"

namespace zquartus {

namespace fs = std::filesystem;

namespace {

// The name a clock net goes by: its input pin, else the net.
std::string clockNodeName(const MappedDesign& m, int net) {
  const PinRef* d = m.driver(net);
  if (d && d->cell < 0) return m.netlist().ports[static_cast<size_t>(d->pin)].name;
  return m.netlist().nets[static_cast<size_t>(net)];
}

// "50 MHz", "20 ns", "20000 ps", "50MHz" -> ns; nothing when unreadable.
std::optional<double> parseTime(const std::string& text) {
  std::string t = lower(trim(text));
  size_t end = 0;
  double v = 0;
  try {
    v = std::stod(t, &end);
  } catch (const std::exception&) {
    return std::nullopt;
  }
  if (!(v > 0) || !std::isfinite(v)) return std::nullopt;
  const std::string unit = trim(t.substr(end));
  if (unit == "mhz") return 1000.0 / v;
  if (unit == "khz") return 1e6 / v;
  if (unit == "ghz") return 1.0 / v;
  if (unit == "ns" || unit.empty()) return v;
  if (unit == "ps") return v / 1000.0;
  if (unit == "us") return v * 1000.0;
  return std::nullopt;
}

std::string frequencyText(double mhz, double periodNs) {
  return fixed(mhz, 2) + " MHz ( period = " + fixed(periodNs, 3) + " ns )";
}

}  // namespace

// ---- Classic Timing Analyzer --------------------------------------------------------------------------

std::optional<ModuleOutput> runTanModule(ModuleRun& run) {
  Project& project = run.project;
  MessageLog& log = run.log;
  const Settings& settings = project.settings();
  std::optional<PlacedDesign> placed = loadPlacedDesign(project, log);
  if (!placed) return std::nullopt;
  const MappedDesign& m = *placed->mapped;

  auto requirement = [&](const std::string& name, const std::string& section = {}) -> std::optional<double> {
    const auto v = settings.global(name, section);
    if (!v) return std::nullopt;
    const auto t = parseTime(*v);
    if (!t) log.warning(306000, "Ignored assignment " + name + " with illegal value " + inQuotes(*v));
    return t;
  };
  const std::optional<double> fmaxAll = requirement("FMAX_REQUIREMENT");

  std::vector<ClockDef> clocks;
  std::vector<std::string> settingNames;
  std::vector<std::string> undefined;
  for (int net : m.clocks()) {
    ClockDef c{net, clockNodeName(m, net), fmaxAll.value_or(0)};
    std::string settingName;
    for (const Assignment* a : settings.find(AssignmentKind::Instance, "CLOCK_SETTINGS"))
      if (sameNodeName(a->to, c.name)) settingName = a->value;
    if (!settingName.empty())
      if (auto t = requirement("FMAX_REQUIREMENT", settingName)) c.period = *t;
    if (c.period == 0) undefined.push_back(c.name);
    clocks.push_back(c);
    settingNames.push_back(settingName);
  }
  if (!undefined.empty()) {
    log.warning(306001, "Found pins functioning as undefined clocks and/or memory enables");
    for (const std::string& u : undefined)
      log.info(306002, "Assuming node " + inQuotes(u) + " is an undefined clock", 1);
  }

  const TimingResult r = analyzeTiming(m, placed->placement, placed->device, clocks, 1.0);
  if (r.combinationalLoops > 0)
    log.warning(306003, "Timing Analysis found " + std::to_string(r.combinationalLoops) +
                            " combinational loop(s); the loops are cut and not analysed");

  int failed = 0;
  bool requirementsMissed = false;
  for (const ClockResult& c : r.clocks) {
    if (!c.hasPaths) continue;
    const bool restricted = c.restrictedFmax < c.fmax;
    if (restricted) {
      log.info(306010, "Clock " + inQuotes(c.clock.name) + " Internal fmax is restricted to " + fixed(c.restrictedFmax, 2) +
                           " MHz between source register " + inQuotes(c.from) + " and destination register " + inQuotes(c.to));
      log.info(306011, "fmax restricted to clock pin edge rate " + nsText(1000.0 / c.restrictedFmax) +
                           ". Expand message to see actual delay path.", 1);
    } else {
      log.info(306012, "Clock " + inQuotes(c.clock.name) + " has Internal fmax of " + fixed(c.fmax, 2) +
                           " MHz between source register " + inQuotes(c.from) + " and destination register " +
                           inQuotes(c.to) + " (period= " + fixed(c.period, 3) + " ns)");
      log.info(306013, "+ Longest register to register delay is " + nsText(c.period), 1);
    }
    if (c.clock.period > 0) {
      log.info(306014, "Slack time is " + nsText(c.setupSlack) + " for clock " + inQuotes(c.clock.name) +
                           " between source register " + inQuotes(c.from) + " and destination register " + inQuotes(c.to));
      failed += c.failedPaths;
      requirementsMissed = requirementsMissed || c.setupSlack < 0;
    }
  }
  struct PortRow {
    const char* type;
    const PathFigure& figure;
    std::optional<double> required;
    std::string message;
    bool fromClocked, toClocked;  // which end the clock column names
  };
  std::vector<PortRow> portRows;
  if (r.tsu.valid)
    portRows.push_back({"Worst-case tsu", r.tsu, requirement("TSU_REQUIREMENT"),
                        "tsu for register " + inQuotes(r.tsu.to) + " (data pin = " + inQuotes(r.tsu.from) +
                            ", clock pin = " + inQuotes(r.tsu.clock) + ") is " + nsText(r.tsu.value), false, true});
  if (r.tco.valid)
    portRows.push_back({"Worst-case tco", r.tco, requirement("TCO_REQUIREMENT"),
                        "tco from clock " + inQuotes(r.tco.clock) + " to destination pin " + inQuotes(r.tco.to) +
                            " through register " + inQuotes(r.tco.from) + " is " + nsText(r.tco.value), true, false});
  if (r.tpd.valid)
    portRows.push_back({"Worst-case tpd", r.tpd, requirement("TPD_REQUIREMENT"),
                        "Longest tpd from source pin " + inQuotes(r.tpd.from) + " to destination pin " + inQuotes(r.tpd.to) +
                            " is " + nsText(r.tpd.value), false, false});
  if (r.th.valid)
    portRows.push_back({"Worst-case th", r.th, requirement("TH_REQUIREMENT"),
                        "th for register " + inQuotes(r.th.to) + " (data pin = " + inQuotes(r.th.from) +
                            ", clock pin = " + inQuotes(r.th.clock) + ") is " + nsText(r.th.value), false, true});
  for (const PortRow& p : portRows) {
    log.info(306020, p.message);
    if (p.required && *p.required < p.figure.value) {
      ++failed;
      requirementsMissed = true;
    }
  }
  if (requirementsMissed)
    log.criticalWarning(306030, "Timing requirements for slow timing model timing analysis were not met. See Report window for details.");

  // Report.
  ModuleOutput out{Report("Classic Timing Analyzer report for " + project.revision(), run.version), {}};
  std::vector<std::vector<std::string>> rows;
  for (const PortRow& p : portRows) {
    const std::string slack = p.required ? nsText(*p.required - p.figure.value) : "N/A";
    rows.push_back({p.type, slack, p.required ? nsText(*p.required) : "None", nsText(p.figure.value), p.figure.from,
                    p.figure.to, p.fromClocked ? p.figure.clock : "--", p.toClocked ? p.figure.clock : "--",
                    p.required && *p.required < p.figure.value ? "1" : "0"});
  }
  for (const ClockResult& c : r.clocks) {
    if (!c.hasPaths) continue;
    const std::string actual = c.restrictedFmax < c.fmax
                                   ? "Restricted to " + frequencyText(c.restrictedFmax, 1000.0 / c.restrictedFmax)
                                   : frequencyText(c.fmax, c.period);
    const bool req = c.clock.period > 0;
    rows.push_back({"Clock Setup: '" + c.clock.name + "'", req ? nsText(c.setupSlack) : "N/A",
                    req ? frequencyText(1000.0 / c.clock.period, c.clock.period) : "None", actual, c.from, c.to,
                    c.clock.name, c.clock.name, std::to_string(c.failedPaths)});
  }
  for (const ClockResult& c : r.clocks)
    if (c.hasPaths && c.clock.period > 0)
      rows.push_back({"Clock Hold: '" + c.clock.name + "'", nsText(c.holdSlack),
                      frequencyText(1000.0 / c.clock.period, c.clock.period), "N/A", c.from, c.to, c.clock.name,
                      c.clock.name, c.holdSlack < 0 ? "1" : "0"});
  rows.push_back({"Total number of failed paths", "", "", "", "", "", "", "", std::to_string(failed)});
  out.report.table("Timing Analyzer Summary",
                   {"Type", "Slack", "Required Time", "Actual Time", "From", "To", "From Clock", "To Clock", "Failed Paths"},
                   rows);

  std::vector<std::vector<std::string>> settingsRows = {
      {"Device Name", placed->device.name(), "", "", ""},
      {"Timing Models", "Final", "", "", ""},
      {"Default hold multicycle", "Same as Multicycle", "", "", ""},
      {"Cut paths between unrelated clock domains", "On", "", "", ""},
      {"Cut off read during write signal paths", "On", "", "", ""},
      {"Cut off feedback from I/O pins", "On", "", "", ""},
      {"Report Combined Fast/Slow Timing", "Off", "", "", ""},
      {"Ignore Clock Settings", "Off", "", "", ""},
      {"Analyze latches as synchronous elements", "On", "", "", ""},
      {"Enable Recovery/Removal analysis", "Off", "", "", ""},
      {"Enable Clock Latency", "Off", "", "", ""},
      {"Use TimeQuest Timing Analyzer", "Off", "", "", ""},
      {"Number of source nodes to report per destination node", "10", "", "", ""},
      {"Number of destination nodes to report", "10", "", "", ""},
      {"Number of paths to report", "200", "", "", ""},
      {"Report Minimum Timing Checks", "Off", "", "", ""},
      {"Use Fast Timing Models", "Off", "", "", ""},
      {"Report IO Paths Separately", "Off", "", "", ""},
      {"Perform Multicorner Analysis", "Off", "", "", ""}};
  if (fmaxAll) settingsRows.insert(settingsRows.begin() + 2, {"Default fmax requirement", frequencyText(1000.0 / *fmaxAll, *fmaxAll), "", "", ""});
  out.report.table("Timing Analyzer Settings", {"Option", "Setting", "From", "To", "Entity Name"}, settingsRows);

  std::vector<std::vector<std::string>> clockRows;
  for (size_t i = 0; i < clocks.size(); ++i)
    clockRows.push_back({clocks[i].name, settingNames[i], "User Pin",
                         clocks[i].period > 0 ? fixed(1000.0 / clocks[i].period, 2) + " MHz" : "None", "0.000 ns",
                         "0.000 ns", "--", "N/A", "N/A", "N/A"});
  out.report.table("Clock Settings Summary",
                   {"Clock Node Name", "Clock Setting Name", "Type", "Fmax Requirement", "Early Latency", "Late Latency",
                    "Based on", "Multiply Base Fmax by", "Divide Base Fmax by", "Offset"},
                   clockRows);
  for (const ClockResult& c : r.clocks) {
    if (!c.hasPaths) continue;
    out.report.table("Clock Setup: '" + c.clock.name + "'",
                     {"Slack", "Actual fmax (period)", "From", "To", "From Clock", "To Clock",
                      "Required Setup Relationship", "Required Longest P2P Time", "Actual Longest P2P Time"},
                     {{c.clock.period > 0 ? nsText(c.setupSlack) : "N/A",
                       fixed(c.fmax, 2) + " MHz ( period = " + fixed(c.period, 3) + " ns )", c.from, c.to, c.clock.name,
                       c.clock.name, c.clock.period > 0 ? nsText(c.clock.period) : "None",
                       c.clock.period > 0 ? nsText(c.clock.period) : "None", nsText(c.period)}});
  }
  for (const PortRow& p : portRows) {
    std::string title = p.type;
    title = title.substr(title.rfind(' ') + 1);
    out.report.table(title, {"Slack", "Required " + title, "Actual " + title, "From", "To", "To Clock"},
                     {{p.required ? nsText(*p.required - p.figure.value) : "N/A", p.required ? nsText(*p.required) : "None",
                       nsText(p.figure.value), p.figure.from, p.figure.to, p.figure.clock.empty() ? "--" : p.figure.clock}});
  }

  out.summary = {{"Timing Analyzer Status", statusText()},
                 {run.version.product() + " Version", run.version.shortText()},
                 {"Revision Name", project.revision()},
                 {"Device", placed->device.name()},
                 {"Total number of failed paths", std::to_string(failed)}};
  return out;
}

// ---- TimeQuest Timing Analyzer --------------------------------------------------------------------------

namespace {

struct SdcClock {
  std::string name;
  double period;
  std::vector<std::string> targets;
};

// Evaluates an SDC file: create_clock is recorded, the collection commands answer the design's names, the
// other constraint commands are accepted.
bool readSdc(const fs::path& file, const std::string& shown, const MappedDesign& m, MessageLog& log,
             std::vector<SdcClock>& clocks) {
  TclInterp tcl;
  const Netlist& n = m.netlist();
  auto collection = [&](const std::string& command, std::vector<std::string> names) {
    return [&tcl, &log, command, names, shown](const std::vector<std::string>& argv) -> std::string {
      const TclArgs args = parseTclArgs(command, argv, {"-filter"}, {"-nocase", "-nowarn", "-no_duplicates", "-compatibility_mode"});
      std::vector<std::string> hits;
      const std::vector<std::string> patterns = args.positional.empty() ? std::vector<std::string>{"*"} : tcl.splitList(args.positional[0]);
      for (const std::string& pat : patterns) {
        size_t before = hits.size();
        for (const std::string& name : names)
          if (wildcardMatch(pat, name, args.has("-nocase"))) hits.push_back(name);
        if (hits.size() == before && !args.has("-nowarn"))
          log.warning(332174, "Ignored filter at " + shown + ": " + pat + " could not be matched with a " +
                                  command.substr(4, command.size() - 5));
      }
      return tclList(hits);
    };
  };
  std::vector<std::string> ports, pins, cells, netNames, registers, inputs, outputs;
  for (const TopPort& p : n.ports) {
    ports.push_back(p.name);
    (p.dir == PortDir::Out ? outputs : inputs).push_back(p.name);
  }
  for (const Cell& c : n.cells) {
    cells.push_back(c.name);
    if (c.cls == CellClass::Register) registers.push_back(c.name);
    for (const CellPin& p : c.pins) pins.push_back(c.name + "|" + p.port);
  }
  netNames = n.nets;
  tcl.define("get_ports", collection("get_ports", ports));
  tcl.define("get_pins", collection("get_pins", pins));
  tcl.define("get_cells", collection("get_cells", cells));
  tcl.define("get_nets", collection("get_nets", netNames));
  tcl.define("get_registers", collection("get_registers", registers));
  tcl.define("get_keepers", collection("get_keepers", registers));
  tcl.define("all_inputs", [inputs](const std::vector<std::string>&) { return tclList(inputs); });
  tcl.define("all_outputs", [outputs](const std::vector<std::string>&) { return tclList(outputs); });
  tcl.define("all_registers", [registers](const std::vector<std::string>&) { return tclList(registers); });
  tcl.define("get_clocks", [&clocks](const std::vector<std::string>& argv) {
    std::vector<std::string> names;
    for (const SdcClock& c : clocks)
      if (argv.empty() || wildcardMatch(argv.back(), c.name, false)) names.push_back(c.name);
    return tclList(names);
  });
  tcl.define("all_clocks", [&clocks](const std::vector<std::string>&) {
    std::vector<std::string> names;
    for (const SdcClock& c : clocks) names.push_back(c.name);
    return tclList(names);
  });
  tcl.define("create_clock", [&tcl, &clocks](const std::vector<std::string>& argv) -> std::string {
    const TclArgs args = parseTclArgs("create_clock", argv, {"-name", "-period", "-waveform"}, {"-add"});
    const auto period = parseTime(args.option("-period"));
    if (!period) throw TclCommandError("ERROR: create_clock needs a positive -period, not \"" + args.option("-period") + "\"");
    SdcClock c{args.option("-name"), *period, {}};
    for (const std::string& p : args.positional)
      for (const std::string& t : tcl.splitList(p)) c.targets.push_back(t);
    if (c.name.empty() && !c.targets.empty()) c.name = c.targets.front();
    if (c.name.empty()) throw TclCommandError("ERROR: create_clock needs -name or a target");
    std::erase_if(clocks, [&](const SdcClock& o) { return o.name == c.name; });
    clocks.push_back(std::move(c));
    return {};
  });
  for (const char* accepted : {"derive_pll_clocks", "derive_clock_uncertainty", "set_clock_uncertainty", "set_input_delay",
                               "set_output_delay", "set_false_path", "set_multicycle_path", "set_max_delay", "set_min_delay",
                               "set_clock_groups", "set_clock_latency", "set_input_transition", "set_load", "set_max_skew",
                               "set_time_format", "set_net_delay", "set_disable_timing", "remove_clock", "set_max_transition",
                               "set_annotated_delay", "create_generated_clock", "derive_clocks"})
    tcl.define(accepted, [](const std::vector<std::string>&) { return std::string(); });
  log.info(332104, "Reading SDC File: '" + shown + "'");
  if (!tcl.evalFile(file)) {
    std::string where;
    const size_t line = tcl.trace().rfind(" line ");
    if (line != std::string::npos) where = " (line " + std::to_string(std::atoi(tcl.trace().c_str() + line + 6)) + ")";
    log.error(332000, "Error in SDC file " + shown + where + ": " + tcl.error());
    return false;
  }
  return true;
}

}  // namespace

std::optional<ModuleOutput> runStaModule(ModuleRun& run) {
  Project& project = run.project;
  MessageLog& log = run.log;
  std::optional<PlacedDesign> placed = loadPlacedDesign(project, log);
  if (!placed) return std::nullopt;
  const MappedDesign& m = *placed->mapped;
  const Netlist& n = m.netlist();

  // Constraint files: --sdc, else the project's SDC_FILE assignments.
  std::vector<std::string> sdcNames;
  if (!run.options.sdc.empty()) sdcNames.push_back(run.options.sdc);
  else sdcNames = project.settings().globals("SDC_FILE");
  std::vector<SdcClock> sdcClocks;
  std::vector<std::vector<std::string>> sdcRows;
  for (const std::string& name : sdcNames) {
    const fs::path file = resolveFile(project.directory(), name);
    std::error_code ec;
    if (!fs::is_regular_file(file, ec)) {
      log.criticalWarning(332012, "Synopsys Design Constraints File file not found: '" + name +
                                      "'. A Synopsys Design Constraints File is required by the TimeQuest Timing "
                                      "Analyzer to get proper timing constraints. Without it, the Compiler will not "
                                      "properly optimize the design.");
      continue;
    }
    if (!readSdc(file, name, m, log, sdcClocks)) return std::nullopt;
    sdcRows.push_back({name, "OK", ctimeText()});
  }
  if (sdcNames.empty())
    log.criticalWarning(332012, "Synopsys Design Constraints File file not found: '" + project.revision() +
                                    ".sdc'. A Synopsys Design Constraints File is required by the TimeQuest Timing "
                                    "Analyzer to get proper timing constraints. Without it, the Compiler will not "
                                    "properly optimize the design.");

  // Clocks on the design's clock nets.
  std::vector<ClockDef> clocks;
  std::vector<std::string> sources;
  for (int net : m.clocks()) {
    const std::string node = clockNodeName(m, net);
    const SdcClock* found = nullptr;
    for (const SdcClock& c : sdcClocks)
      for (const std::string& t : c.targets)
        if (!found && (sameNodeName(t, node) || t == n.nets[static_cast<size_t>(net)])) found = &c;
    if (found) {
      clocks.push_back({net, found->name, found->period});
      sources.push_back(node);
    }
  }
  for (const SdcClock& c : sdcClocks) {
    bool used = false;
    for (const ClockDef& d : clocks) used = used || d.name == c.name;
    if (!used) log.warning(332049, "Ignored create_clock for clock " + inQuotes(c.name) + ": no clock net of the design matches its targets");
  }
  if (sdcClocks.empty() && !m.clocks().empty()) {
    log.info(332142, "No user constrained base clocks found in the design. Calling \"derive_clocks -period 1.0\"");
    log.info(332105, "Deriving Clocks");
    for (int net : m.clocks()) {
      const std::string node = clockNodeName(m, net);
      log.info(332105, "create_clock -period 1.000 -name " + node + " " + node, 1);
      clocks.push_back({net, node, 1.0});
      sources.push_back(node);
    }
  } else {
    for (int net : m.clocks()) {
      bool defined = false;
      for (const ClockDef& d : clocks) defined = defined || d.net == net;
      if (!defined)
        log.warning(332060, "Node: " + clockNodeName(m, net) +
                                " was determined to be a clock but was found without an associated clock assignment.");
    }
  }

  const std::vector<TimingCorner> corners = timingCorners(placed->device, run.version);
  std::vector<TimingResult> results;
  bool missed = false;
  for (const TimingCorner& corner : corners) {
    log.info(0, "Analyzing " + corner.name);
    const TimingResult r = analyzeTiming(m, placed->placement, placed->device, clocks, corner.factor);
    if (&corner == &corners.front() && r.combinationalLoops > 0)
      log.warning(332125, "Found combinational loop of " + std::to_string(r.combinationalLoops) + " nodes");
    double worstSetup = 0, worstHold = 0;
    bool anySetup = false;
    for (const ClockResult& c : r.clocks)
      if (c.hasPaths) {
        if (!anySetup || c.setupSlack < worstSetup) worstSetup = c.setupSlack;
        if (!anySetup || c.holdSlack < worstHold) worstHold = c.holdSlack;
        anySetup = true;
      }
    if (anySetup) {
      log.info(332146, "Worst-case setup slack is " + fixed(worstSetup, 3));
      log.info(332119, "    Slack End Point TNS Clock ", 1);
      log.info(332119, "========= ============= =====================", 1);
      for (const ClockResult& c : r.clocks)
        if (c.hasPaths) {
          char line[160];
          std::snprintf(line, sizeof line, "%9s %13s %s ", fixed(c.setupSlack, 3).c_str(), fixed(c.setupTns, 3).c_str(),
                        c.clock.name.c_str());
          log.info(332119, line, 1);
        }
      log.info(332146, "Worst-case hold slack is " + fixed(worstHold, 3));
      missed = missed || worstSetup < 0 || worstHold < 0;
    } else {
      log.info(332140, "No Setup paths to report");
      log.info(332140, "No Hold paths to report");
    }
    log.info(332140, "No Recovery paths to report");
    log.info(332140, "No Removal paths to report");
    results.push_back(r);
  }
  if (missed) log.criticalWarning(332148, "Timing requirements not met");

  // Report.
  const std::string summaryTitle = "TimeQuest Timing Analyzer Summary";
  ModuleOutput out{Report("TimeQuest Timing Analyzer report for " + project.revision(), run.version), {}};
  out.report.table(summaryTitle, {},
                   {{run.version.product() + " Version", run.version.fullText()},
                    {"Revision Name", project.revision()},
                    {"Device Family", std::string(kFamilyName)},
                    {"Device Name", placed->device.name()},
                    {"Timing Models", "Final"},
                    {"Delay Model", "Combined"},
                    {"Rise/Fall Delays", "Enabled"}});
  out.report.table("SDC File List", {"SDC File Path", "Status", "Read at"}, sdcRows);
  std::vector<std::vector<std::string>> clockRows;
  for (size_t i = 0; i < clocks.size(); ++i)
    clockRows.push_back({clocks[i].name, "Base", fixed(clocks[i].period, 3), mhzText(1000.0 / clocks[i].period), "0.000",
                         fixed(clocks[i].period / 2, 3), "", "", "", "", "", "", "", "", "", "", "{ " + sources[i] + " }"});
  out.report.table("Clocks",
                   {"Clock Name", "Type", "Period", "Frequency", "Rise", "Fall", "Duty Cycle", "Divide by", "Multiply by",
                    "Phase", "Offset", "Edge List", "Edge Shift", "Inverted", "Master", "Source", "Targets"},
                   clockRows);
  const std::string fmaxNote =
      "This panel reports FMAX for every clock in the design, regardless of the user-specified clock periods.  FMAX "
      "is only computed for paths where the source and destination registers or ports are driven by the same clock.  "
      "Paths of different clocks, including generated clocks, are ignored.  For paths between a clock and its "
      "inversion, FMAX is computed as if the rising and falling edges are scaled along with FMAX, such that the duty "
      "cycle (in terms of a percentage) is maintained. Altera recommends that you always use clock constraints and "
      "other slack reports for sign-off analysis.";
  bool firstFmax = true;
  for (size_t k = 0; k < corners.size(); ++k) {
    const TimingResult& r = results[k];
    const std::string& corner = corners[k].name;
    if (corners[k].slow) {
      std::vector<std::vector<std::string>> fmaxRows;
      for (const ClockResult& c : r.clocks)
        if (c.hasPaths)
          fmaxRows.push_back({mhzText(c.fmax), mhzText(c.restrictedFmax), c.clock.name,
                              c.restrictedFmax < c.fmax ? "limit due to minimum period restriction (tmin)" : ""});
      if (fmaxRows.empty()) out.report.text(corner + " Fmax Summary", {"No paths to report."});
      else out.report.table(corner + " Fmax Summary", {"Fmax", "Restricted Fmax", "Clock Name", "Note"}, fmaxRows, fmaxNote);
      if (firstFmax) out.report.text("Timing Closure Recommendations", {"HTML report is unavailable in plain text report export."});
      firstFmax = false;
    }
    std::vector<std::vector<std::string>> setupRows, holdRows;
    for (const ClockResult& c : r.clocks)
      if (c.hasPaths) {
        setupRows.push_back({c.clock.name, fixed(c.setupSlack, 3), fixed(c.setupTns, 3)});
        holdRows.push_back({c.clock.name, fixed(c.holdSlack, 3), fixed(c.holdTns, 3)});
      }
    auto summaryTable = [&](const std::string& title, const std::vector<std::vector<std::string>>& rows) {
      if (rows.empty()) out.report.text(title, {"No paths to report."});
      else out.report.table(title, {"Clock", "Slack", "End Point TNS"}, rows);
    };
    summaryTable(corner + " Setup Summary", setupRows);
    summaryTable(corner + " Hold Summary", holdRows);
    out.report.text(corner + " Recovery Summary", {"No paths to report."});
    out.report.text(corner + " Removal Summary", {"No paths to report."});
  }
  std::vector<std::vector<std::string>> multi;
  for (size_t i = 0; i < clocks.size(); ++i) {
    double setup = 0, hold = 0;
    bool any = false;
    for (const TimingResult& r : results)
      if (r.clocks[i].hasPaths) {
        setup = any ? std::min(setup, r.clocks[i].setupSlack) : r.clocks[i].setupSlack;
        hold = any ? std::min(hold, r.clocks[i].holdSlack) : r.clocks[i].holdSlack;
        any = true;
      }
    if (any) multi.push_back({clocks[i].name, fixed(setup, 3), fixed(hold, 3), "N/A", "N/A"});
  }
  out.report.table("Multicorner Timing Analysis Summary", {"Clock", "Setup", "Hold", "Recovery", "Removal"}, multi);

  out.summary = {{"TimeQuest Timing Analyzer Status", statusText()},
                 {run.version.product() + " Version", run.version.shortText()},
                 {"Revision Name", project.revision()},
                 {"Device Name", placed->device.name()}};
  for (const ClockResult& c : results.front().clocks)
    if (c.hasPaths) out.summary.push_back({"Fmax (" + c.clock.name + ")", mhzText(c.fmax)});
  return out;
}

}  // namespace zquartus
