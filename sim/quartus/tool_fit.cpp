// The Fitter: places the mapped design into the project's device and keeps the placement in
// db/<revision>.fit.zdb; writes the fit report with its resource usage summary and the pin-out file.
#include <algorithm>
#include <map>
#include <set>

#include "zolta/quartus/modules.h"
#include "zolta/quartus/synthesis.h"
#include "zolta/quartus/text.h"

namespace zquartus {

namespace fs = std::filesystem;

namespace {

// The I/O bank of a ball: banks follow the edge of the package the ball is nearest to.
std::string ioBank(const Device& device, const PinLocation& loc) {
  const int g = device.gridSize();
  const int toTop = loc.row, toBottom = g - 1 - loc.row, toLeft = loc.column - 1, toRight = g - loc.column;
  const int nearest = std::min({toTop, toBottom, toLeft, toRight});
  const char half = (nearest == toTop || nearest == toBottom ? loc.column <= g / 2 : loc.row < g / 2) ? 'A' : 'C';
  const int side = nearest == toLeft ? 1 : nearest == toTop ? 8 : nearest == toRight ? 6 : 3;
  return std::to_string(side) + half;
}

}  // namespace

std::optional<ModuleOutput> runFitModule(ModuleRun& run) {
  Project& project = run.project;
  MessageLog& log = run.log;
  const std::optional<Device> device = projectDevice(project, log);
  if (!device) return std::nullopt;
  const std::optional<Netlist> netlist = readMappedNetlist(project, log);
  if (!netlist) return std::nullopt;
  const MappedDesign design(*netlist);

  log.info(119006, "Selected device " + device->name() + " for design " + inQuotes(project.revision()));
  log.info(21077, "Core supply voltage is 0.9V");
  log.info(21077, "Low junction temperature is " + std::string(device->temperatureGrade() == 'I' ? "-40" : "0") + " degrees C");
  log.info(21077, "High junction temperature is " + std::string(device->temperatureGrade() == 'I' ? "100" : "85") + " degrees C");
  log.info(171003, "Fitter is performing an Auto Fit compilation, which may decrease Fitter effort to reduce compilation time");

  Placement placement;
  if (!place(design, *device, project.settings(), log, placement)) return std::nullopt;

  log.info(170189, "Fitter placement preparation operations beginning");
  log.info(170190, "Fitter placement preparation operations ending: elapsed time is 00:00:00");
  log.info(170191, "Fitter placement operations beginning");
  log.info(170137, "Fitter placement was successful");
  log.info(170192, "Fitter placement operations ending: elapsed time is 00:00:00");
  log.info(170193, "Fitter routing operations beginning");
  const DieResources& die = device->die();
  const int usage = placement.labs == 0 ? 0 : std::max(1, static_cast<int>(100.0 * placement.labs / die.labs + 0.5));
  log.info(170195, "Router estimated average interconnect usage is " + std::to_string(usage / 2) +
                       "% of the available device resources");
  log.info(170194, "Fitter routing operations ending: elapsed time is 00:00:00");
  log.info(11888, "Total time spent on timing analysis during the Fitter is 0.01 seconds.");

  if (!writeOutput(databaseFile(project, "fit"), placement.toDatabase(), log)) return std::nullopt;

  // Pin-out file.
  const fs::path pinFile = outputFile(project, "pin");
  std::string pinText = " -- " + run.version.product() + " " + run.version.fullText() +
                        "\n -- Pin-out of design " + netlist->design + " in device " + device->name() +
                        "\n\nPin Name/Usage ; Location ; Dir. ; I/O Standard ; I/O Bank ; User Assignment\n";
  for (size_t i = 0; i < netlist->ports.size(); ++i) {
    const TopPort& p = netlist->ports[i];
    const PinPlacement& pp = placement.pins[i];
    pinText += p.name + " ; " + pp.location.name().substr(4) + " ; " +
               (p.dir == PortDir::In ? "input" : p.dir == PortDir::Out ? "output" : "bidir") + " ; " + pp.ioStandard +
               " ; " + ioBank(*device, pp.location) + " ; " + (pp.assigned ? "Y" : "N") + "\n";
  }
  if (!writeOutput(pinFile, pinText, log)) return std::nullopt;

  // Figures.
  const uint64_t aluts = static_cast<uint64_t>(design.aluts());
  const uint64_t regs = design.registers().size();
  const uint64_t pins = netlist->ports.size();
  const uint64_t globals = design.globals().size();
  std::set<int> clockPins;
  for (int g : design.clocks()) {
    const PinRef* d = design.driver(g);
    if (d && d->cell < 0) clockPins.insert(d->pin);
  }
  const std::array<int, 4> byInputs = design.lutsByInputs();
  const FanoutFigures fanout = design.fanoutFigures();
  const std::set<int> globalSet(design.globals().begin(), design.globals().end());
  const uint64_t almsUsed = (aluts + 1) / 2 > regs ? (aluts + 1) / 2 : (regs + 1) / 2;
  const std::string utilization = percentText(almsUsed, die.aluts / 2);

  ModuleOutput out{Report("Fitter report for " + project.revision(), run.version), {}};
  auto summary = summaryHead("Fitter Status", project, netlist->design, device->name(), run.version);
  const std::vector<std::vector<std::string>> figures = {
      {"Timing Models", "Final"},
      {"Logic utilization", utilization.substr(2, utilization.size() - 4)},
      {"Combinational ALUTs", usageText(aluts, die.aluts)},
      {"Memory ALUTs", usageText(0, die.aluts / 2)},
      {"Dedicated logic registers", usageText(regs, die.registers)},
      {"Total registers", std::to_string(regs)},
      {"Total pins", usageText(pins, device->ioPins())},
      {"Total virtual pins", "0"},
      {"Total block memory bits", usageText(0, die.memoryBits())},
      {"DSP block 18-bit elements", usageText(0, die.dsp18)},
      {"Total PLLs", usageText(0, static_cast<uint64_t>(device->plls()))},
      {"Total DLLs", usageText(0, 4)}};
  summary.insert(summary.end(), figures.begin(), figures.end());
  out.report.table("Fitter Summary", {}, summary);

  out.report.table("Fitter Settings", {"Option", "Setting", "Default Value"},
                   {{"Device", device->name(), ""},
                    {"Minimum Core Junction Temperature", device->temperatureGrade() == 'I' ? "-40" : "0", ""},
                    {"Maximum Core Junction Temperature", device->temperatureGrade() == 'I' ? "100" : "85", ""},
                    {"Fit Attempts to Skip", "0", "0.0"},
                    {"Fitter Effort", "Auto Fit", "Auto Fit"},
                    {"Seed", std::to_string(placement.seed), "1"},
                    {"Optimize Timing", "Normal compilation", "Normal compilation"}});
  out.report.text("Pin-Out File", {"The pin-out file can be found in " + fs::absolute(pinFile).string() + "."});

  out.report.table("Fitter Resource Usage Summary", {"Resource", "Usage"},
                   {{"ALUTs Used", usageText(aluts, die.aluts)},
                    {"    -- Combinational ALUTs", usageText(aluts, die.aluts)},
                    {"    -- Memory ALUTs", usageText(0, die.aluts / 2)},
                    {"    -- LUT_REGs", usageText(0, die.aluts)},
                    {"Dedicated logic registers", usageText(regs, die.registers)},
                    {"", ""},
                    {"Combinational ALUT usage by number of inputs", ""},
                    {"    -- 6 input functions", std::to_string(byInputs[0])},
                    {"    -- 5 input functions", std::to_string(byInputs[1])},
                    {"    -- 4 input functions", std::to_string(byInputs[2])},
                    {"    -- <=3 input functions", std::to_string(byInputs[3])},
                    {"", ""},
                    {"Logic utilization", utilization.substr(2, utilization.size() - 4)},
                    {"Total LABs:  partially or completely used", usageText(static_cast<uint64_t>(placement.labs), die.labs)},
                    {"Virtual pins", "0"},
                    {"I/O pins", usageText(pins, device->ioPins())},
                    {"    -- Clock pins", usageText(clockPins.size(), 16)},
                    {"    -- Dedicated input pins", usageText(0, 12)},
                    {"", ""},
                    {"Global signals", std::to_string(globals)},
                    {"M9Ks", usageText(0, die.m9ks)},
                    {"M144Ks", usageText(0, die.m144ks)},
                    {"Total block memory bits", usageText(0, die.memoryBits())},
                    {"Total block memory implementation bits", usageText(0, die.memoryBits())},
                    {"DSP block 18-bit elements", usageText(0, die.dsp18)},
                    {"PLLs", usageText(0, static_cast<uint64_t>(device->plls()))},
                    {"Global clocks", usageText(globals, static_cast<uint64_t>(device->globalClocks()))},
                    {"Quadrant clocks", usageText(0, 64)},
                    {"Periphery clocks", usageText(0, 88)},
                    {"JTAGs", "0 / 1 ( 0 % )"},
                    {"Total registers*", usageText(regs, die.registers + device->ioPins() * 2)},
                    {"Maximum fan-out", std::to_string(fanout.maximum)},
                    {"Highest non-global fan-out", std::to_string(fanout.maximumNonGlobal)},
                    {"Total fan-out", std::to_string(fanout.total)},
                    {"Average fan-out", fixed(fanout.average(), 2)}},
                   "* Register count does not include registers inside RAM blocks or DSP blocks.");

  std::vector<std::vector<std::string>> inputs, outputs, bidirs;
  for (size_t i = 0; i < netlist->ports.size(); ++i) {
    const TopPort& p = netlist->ports[i];
    const PinPlacement& pp = placement.pins[i];
    const std::string loc = pp.location.name().substr(4);
    const std::string fanout = std::to_string(design.fanout(p.net));
    const bool global = globalSet.count(p.net) > 0;
    std::vector<std::string> r = {p.name, loc, ioBank(*device, pp.location), fanout, global ? "yes" : "no",
                                  pp.ioStandard, pp.assigned ? "User" : "Fitter"};
    (p.dir == PortDir::In ? inputs : p.dir == PortDir::Out ? outputs : bidirs).push_back(std::move(r));
  }
  const std::vector<std::string> pinHeader = {"Name", "Pin #", "I/O Bank", "Combinational Fan-Out", "Global",
                                              "I/O Standard", "Location assigned by"};
  out.report.table("Input Pins", pinHeader, inputs);
  out.report.table("Output Pins", pinHeader, outputs);
  if (!bidirs.empty()) out.report.table("Bidir Pins", pinHeader, bidirs);

  std::vector<std::vector<std::string>> controls;
  for (int g : design.globals()) {
    const PinRef* d = design.driver(g);
    const std::string name = d && d->cell < 0 ? netlist->ports[static_cast<size_t>(d->pin)].name : netlist->nets[static_cast<size_t>(g)];
    const std::string loc = d && d->cell < 0 ? placement.pins[static_cast<size_t>(d->pin)].location.name() : "";
    const bool clock = std::find(design.clocks().begin(), design.clocks().end(), g) != design.clocks().end();
    controls.push_back({name, loc, std::to_string(design.fanout(g)), clock ? "Clock" : "Async. clear", "yes", "Global Clock"});
  }
  out.report.table("Control Signals", {"Name", "Location", "Fan-Out", "Usage", "Global", "Global Resource Used"}, controls);

  out.summary = {{"Fitter Status", statusText()},
                 {run.version.product() + " Version", run.version.shortText()},
                 {"Revision Name", project.revision()},
                 {"Top-level Entity Name", netlist->design},
                 {"Family", std::string(kFamilyName)},
                 {"Device", device->name()},
                 {"Timing Models", "Final"},
                 {"Combinational ALUTs", usageText(aluts, die.aluts)},
                 {"Dedicated logic registers", usageText(regs, die.registers)},
                 {"Total pins", usageText(pins, device->ioPins())}};
  return out;
}

}  // namespace zquartus
