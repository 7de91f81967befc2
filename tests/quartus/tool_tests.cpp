// The installed stand-in tools run as child processes on the demo design, the way the build flow runs
// them: a Tcl script creates the project, then map, fit, timing analysis and assembly.
#include <gtest/gtest.h>

#include <algorithm>

#include "test_support.h"
#include "zolta/quartus/bitstream.h"
#include "zolta/sim/configuration_engine.h"
#include "zolta/sim/crc32.h"
#include "zolta/sim/device_catalogue.h"
#include "zolta/sim/rbf.h"

namespace zquartus {
namespace {

using namespace test;

// The project script the way the flow's option file writes it: a new project, device, netlist, the
// merged user constraints, the JTAG user code, and the "_orig" copy that marks the step done.
std::string projectScript(const std::string& device, const std::string& extra = "") {
  return "load_package flow\n"
         "project_new counter -revision counter -overwrite\n"
         "set_global_assignment -name FAMILY \"Arria II GZ\"\n"
         "set_global_assignment -name DEVICE " + device + "\n"
         "set_global_assignment -name TOP_LEVEL_ENTITY counter\n"
         "set_global_assignment -name EDIF_FILE counter.edf\n"
         "set_global_assignment -name EDA_DESIGN_ENTRY_SYNTHESIS_TOOL Custom\n"
         "set_global_assignment -name EDA_INPUT_DATA_FORMAT EDIF -section_id eda_design_synthesis\n"
         "set_global_assignment -name STRATIX_JTAG_USER_CODE 1234ABCD\n"
         "source counter_UserConstraints.tcl\n" + extra +
         "puts \"script arguments: $quartus(args)\"\n"
         "project_close\n"
         "file copy -force counter.qpf counter.qpf_orig\n";
}

class QuartusTools : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::copy_file(demoDir() / "counter.edf", dir.path / "counter.edf");
    fs::copy_file(demoDir() / "counter_pins.tcl", dir.path / "counter_UserConstraints.tcl");
    fs::copy_file(demoDir() / "counter_sta.sdc", dir.path / "counter_sta.sdc");
  }

  ProcessResult quartus(const std::string& name, const std::vector<std::string>& args, const fs::path& root = installDir()) {
    ProcessResult r = run(tool(root, name), args, dir.path);
    output += r.output;
    return r;
  }

  void createProject(const std::string& device = "EP2AGZ300FH29I4", const std::string& extra = "",
                     const fs::path& root = installDir()) {
    spit(dir.path / "counter.tcl", projectScript(device, extra));
    const ProcessResult r = quartus("quartus_sh", {"-t", "counter.tcl", "one", "two"}, root);
    ASSERT_EQ(r.exitCode, 0) << r.output;
  }

  // map, fit, asm: each must succeed.
  void build(const fs::path& root = installDir(), const std::vector<std::string>& asmArgs = {}) {
    for (const char* t : {"quartus_map", "quartus_fit"}) {
      const ProcessResult r = quartus(t, {"counter"}, root);
      ASSERT_EQ(r.exitCode, 0) << r.output;
    }
    std::vector<std::string> args = {"counter"};
    args.insert(args.end(), asmArgs.begin(), asmArgs.end());
    const ProcessResult r = quartus("quartus_asm", args, root);
    ASSERT_EQ(r.exitCode, 0) << r.output;
  }

  // A classic-era installation: the same program under links, with a 9.1 readme.
  fs::path classicTree() {
    const fs::path root = dir.path / "quartus91";
    fs::create_directories(root / "bin");
    for (const char* t : {"quartus_sh", "quartus_map", "quartus_fit", "quartus_tan", "quartus_sta", "quartus_asm"})
      fs::create_symlink(installDir() / "bin" / "quartus_sh", root / "bin" / t);
    spit(root / "readme.txt", "Version 9.1 Build 222 10/21/2009 SJ Full Version\n");
    return root;
  }

  std::vector<uint8_t> payloadOf(const fs::path& rbf) {
    const std::string bytes = slurp(rbf);
    const zsim::RbfInfo info = zsim::readRbf(rbf);
    const size_t at = info.leadingPadding + zsim::kRbfHeaderSize;
    return std::vector<uint8_t>(bytes.begin() + static_cast<long>(at), bytes.begin() + static_cast<long>(at + info.payloadSize));
  }

  TempDir dir;
  std::string output;  // everything the tools printed, for failure messages
};

TEST_F(QuartusTools, InstallationTreeCarriesTheVersionInTheReadme) {
  for (const char* t : {"quartus_sh", "quartus_map", "quartus_fit", "quartus_tan", "quartus_sta", "quartus_asm"})
    EXPECT_TRUE(fs::exists(tool(installDir(), t))) << t;
  std::string first = slurp(installDir() / "readme.txt");
  first = first.substr(0, first.find('\n'));
  // The host reads the word after "Version", cut at the next blank; it must be a listed version.
  const size_t at = first.find("Version");
  ASSERT_NE(at, std::string::npos);
  std::string version = first.substr(at + 8);
  version = version.substr(0, version.find(' '));
  EXPECT_TRUE(version == "13.1" || version == "9.1") << first;
  const ProcessResult v = run(tool(installDir(), "quartus_sh"), {"--version"}, dir.path);
  EXPECT_EQ(v.exitCode, 0);
  EXPECT_NE(v.output.find(first), std::string::npos) << v.output;
}

TEST_F(QuartusTools, FlowOnTheDemoDesignWritesReportsAndAnAcceptedBitFile) {
  createProject();
  EXPECT_NE(output.find("script arguments: one two"), std::string::npos) << output;
  for (const char* f : {"counter.qpf", "counter.qsf", "counter.qpf_orig"}) EXPECT_TRUE(fs::exists(dir.path / f)) << f;
  EXPECT_NE(slurp(dir.path / "counter.qsf").find("set_location_assignment PIN_AB15 -to CLK"), std::string::npos);

  const ProcessResult map = quartus("quartus_map", {"--read_settings_files=on", "--write_settings_files=off", "counter", "-c", "counter"});
  ASSERT_EQ(map.exitCode, 0) << map.output;
  EXPECT_TRUE(map.hasLineStartingWith("Info (12021): Found 1 design units, including 1 entities, in source file counter.edf"));
  EXPECT_TRUE(map.hasLineStartingWith("Info: Quartus II 64-Bit Analysis & Synthesis was successful. 0 errors"));
  EXPECT_EQ(map.countStartingWith("Error"), 0);
  EXPECT_TRUE(fs::exists(dir.path / "counter.map.rpt"));

  const ProcessResult fit = quartus("quartus_fit", {"counter"});
  ASSERT_EQ(fit.exitCode, 0) << fit.output;
  EXPECT_TRUE(fit.hasLineStartingWith("Info (119006): Selected device EP2AGZ300FH29I4 for design \"counter\""));
  const std::string fitReport = slurp(dir.path / "counter.fit.rpt");
  const auto usage = tableRows(fitReport, "; Fitter Resource Usage Summary");
  auto row = [&](const std::string& name) {
    for (const auto& r : usage)
      if (!r.empty() && r[0] == name) return r.size() > 1 ? r[1] : std::string();
    return std::string("(missing)");
  };
  EXPECT_EQ(row("I/O pins"), "10 / 281 ( 4 % )");
  EXPECT_EQ(row("Dedicated logic registers"), "24 / 238,400 ( < 1 % )");
  EXPECT_EQ(row("Global clocks"), "2 / 16 ( 13 % )");  // the clock and the reset
  EXPECT_NE(row("ALUTs Used"), "(missing)");
  // The summary table ends at an empty line: nothing of the next table belongs to it.
  EXPECT_EQ(std::count_if(usage.begin(), usage.end(), [](const auto& r) { return !r.empty() && r[0] == "Name"; }), 0);

  const ProcessResult sta = quartus("quartus_sta", {"counter", "--sdc=counter_sta.sdc"});
  ASSERT_EQ(sta.exitCode, 0) << sta.output;
  EXPECT_TRUE(sta.hasLineStartingWith("Info (332104): Reading SDC File: 'counter_sta.sdc'"));
  const std::string staReport = slurp(dir.path / "counter.sta.rpt");
  const auto fmax = tableRows(staReport, "Model Fmax Summary");
  ASSERT_GE(fmax.size(), 2u);  // header row, then one row per clock
  EXPECT_EQ(fmax[0][0], "Fmax");
  EXPECT_EQ(fmax[1][2], "CLK");
  const double mhz = std::stod(fmax[1][0]);
  EXPECT_GT(mhz, 20.0);
  EXPECT_LT(mhz, 500.0);
  // Industrial grade: the slow corner is the hot one, and it comes first.
  EXPECT_LT(staReport.find("; Slow 900mV 100C Model Fmax Summary"), staReport.find("; Slow 900mV -40C Model Fmax Summary"));
  EXPECT_NE(staReport.find("; Timing Closure Recommendations ;"), std::string::npos);

  const ProcessResult as = quartus("quartus_asm", {"counter", "--set=ON_CHIP_BITSTREAM_DECOMPRESSION=OFF"});
  ASSERT_EQ(as.exitCode, 0) << as.output;
  const fs::path rbf = dir.path / "counter.rbf";
  const zsim::RbfInfo info = zsim::readRbf(rbf);
  EXPECT_EQ(info.deviceName, "EP2AGZ300FH29I4");
  EXPECT_EQ(info.userCode, 0x1234ABCDu);
  const auto options = tableRows(slurp(dir.path / "counter.asm.rpt"), "; Assembler Device Options: counter.rbf");
  EXPECT_NE(std::find(options.begin(), options.end(), std::vector<std::string>{"JTAG usercode", "0x1234ABCD"}), options.end());

  // The simulated device of this part (with or without N) takes the file; another die refuses it.
  const std::string bytes = slurp(rbf);
  for (const auto& [kind, accepted] : {std::pair{"EP2AGZ300FH29I4N", true}, std::pair{"EP2AGZ300FH29C3", true},
                                       std::pair{"EP2AGZ350FH29I4", false}, std::pair{"EP2AGZ300FF35I4", false}}) {
    SCOPED_TRACE(kind);
    zsim::ConfigurationEngine engine(*zsim::findSimDeviceKind(kind));
    engine.begin();
    engine.feedBits(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size() * 8);
    EXPECT_EQ(engine.loaded(), accepted) << engine.error();
    if (accepted) {
      EXPECT_EQ(engine.userCode(), 0x1234ABCDu);
    }
  }
}

TEST_F(QuartusTools, BitStreamsAreDeterministicDependOnTheDesignAndCompress) {
  createProject();
  build();
  const std::vector<uint8_t> first = payloadOf(dir.path / "counter.rbf");
  ASSERT_EQ(quartus("quartus_asm", {"counter"}).exitCode, 0);
  EXPECT_EQ(payloadOf(dir.path / "counter.rbf"), first);

  const ProcessResult compressed = quartus("quartus_asm", {"counter", "--set=ON_CHIP_BITSTREAM_DECOMPRESSION=ON"});
  ASSERT_EQ(compressed.exitCode, 0) << compressed.output;
  const std::vector<uint8_t> coded = payloadOf(dir.path / "counter.rbf");
  EXPECT_LT(coded.size(), first.size() / 2);
  EXPECT_EQ(decompressData(coded), first);

  // The user code: the checksum of the data on request; an illegal one stops the Assembler without a file.
  ASSERT_EQ(quartus("quartus_asm", {"counter", "--set=USE_CHECKSUM_AS_USERCODE=ON"}).exitCode, 0);
  EXPECT_EQ(zsim::readRbf(dir.path / "counter.rbf").userCode, zsim::Crc32::of(first.data(), first.size()));
  const ProcessResult illegal = quartus("quartus_asm", {"counter", "--set=STRATIX_JTAG_USER_CODE=12G4"});
  EXPECT_NE(illegal.exitCode, 0);
  EXPECT_TRUE(illegal.hasLineStartingWith("Error (115001): Illegal value \"12G4\" for assignment STRATIX_JTAG_USER_CODE"));
  EXPECT_FALSE(fs::exists(dir.path / "counter.rbf"));

  // Another pin for one LED is another design.
  std::string pins = slurp(dir.path / "counter_UserConstraints.tcl");
  pins.replace(pins.find("PIN_F4"), 6, "PIN_G4");
  spit(dir.path / "counter_UserConstraints.tcl", pins);
  createProject();
  build();
  EXPECT_NE(payloadOf(dir.path / "counter.rbf"), first);
}

TEST_F(QuartusTools, TimeQuestWithoutConstraintsDerivesOneNanosecondClocks) {
  createProject("EP2AGZ225FF35C3");
  build();
  const ProcessResult sta = quartus("quartus_sta", {"counter", "--sdc=missing_sta.sdc"});
  EXPECT_EQ(sta.exitCode, 0) << sta.output;
  EXPECT_TRUE(sta.hasLineStartingWith("Critical Warning (332012): Synopsys Design Constraints File file not found: 'missing_sta.sdc'"));
  EXPECT_TRUE(sta.hasLineStartingWith("Info (332142): No user constrained base clocks found in the design"));
  EXPECT_TRUE(sta.hasLineStartingWith("Critical Warning (332148): Timing requirements not met"));
  const std::string report = slurp(dir.path / "counter.sta.rpt");
  EXPECT_NE(report.find("; Slow 900mV 85C Model Fmax Summary"), std::string::npos);

  spit(dir.path / "bad.sdc", "create_clock -name CLK -period 20 [get_ports CLK]\ncreate_clock -period\n");
  const ProcessResult bad = quartus("quartus_sta", {"counter", "--sdc=bad.sdc"});
  EXPECT_NE(bad.exitCode, 0);
  EXPECT_TRUE(bad.hasLineStartingWith("Error (332000): Error in SDC file bad.sdc (line 2)")) << bad.output;
  EXPECT_FALSE(fs::exists(dir.path / "counter.sta.rpt"));
}

TEST_F(QuartusTools, ClassicEraTreeRunsTheClassicTimingAnalyzer) {
  const fs::path root = classicTree();
  createProject("EP2AGZ350HF40C4", "set_global_assignment -name FMAX_REQUIREMENT \"200 MHz\"\n", root);
  build(root);
  EXPECT_NE(output.find("\nInfo: Running Quartus II Analysis & Synthesis\n"), std::string::npos);
  EXPECT_NE(output.find("\nInfo: Found 1 design units"), std::string::npos);  // no message ids before 10.0
  EXPECT_EQ(output.find("Info (12021)"), std::string::npos);

  const ProcessResult tan = quartus("quartus_tan", {"counter"}, root);
  ASSERT_EQ(tan.exitCode, 0) << tan.output;
  EXPECT_TRUE(tan.hasLineStartingWith("Critical Warning: Timing requirements for slow timing model timing analysis were not met"));
  const std::string report = slurp(dir.path / "counter.tan.rpt");
  const size_t from = report.find("; Timing Analyzer Summary"), to = report.find("; Timing Analyzer Settings");
  ASSERT_NE(from, std::string::npos);
  ASSERT_NE(to, std::string::npos);
  const std::string summary = report.substr(from, to - from);
  const auto rows = tableRows(summary, "Timing Analyzer Summary");
  auto find = [&](const std::string& type) {
    for (const auto& r : rows)
      if (!r.empty() && r[0] == type) return r;
    return std::vector<std::string>{};
  };
  const auto clock = find("Clock Setup: 'CLK'");
  ASSERT_EQ(clock.size(), 9u) << summary;
  EXPECT_EQ(clock[2], "200.00 MHz ( period = 5.000 ns )");
  EXPECT_NE(clock[3].find(" MHz ( period = "), std::string::npos);
  EXPECT_EQ(clock[1].back(), 's');  // a negative slack in ns: the counter cannot run at 200 MHz
  EXPECT_EQ(clock[1][0], '-');
  const auto tco = find("Worst-case tco");
  ASSERT_EQ(tco.size(), 9u);
  EXPECT_NE(tco[3].find(" ns"), std::string::npos);
  EXPECT_EQ(find("Total number of failed paths").size(), 9u);

  const ProcessResult sta = quartus("quartus_sta", {"counter", "--sdc=counter_sta.sdc"}, root);
  ASSERT_EQ(sta.exitCode, 0) << sta.output;
  EXPECT_NE(slurp(dir.path / "counter.sta.rpt").find("; Slow Model Fmax Summary"), std::string::npos);
}

TEST_F(QuartusTools, NetlistErrorsStopWithErrorLinesAndNoOutput) {
  createProject();
  // Stale outputs of an earlier good run must not survive a failed one.
  build();
  ASSERT_TRUE(fs::exists(dir.path / "counter.map.rpt"));

  fs::copy_file(demoDir() / "counter_undriven.edf", dir.path / "counter.edf", fs::copy_options::overwrite_existing);
  const ProcessResult undriven = quartus("quartus_map", {"counter"});
  EXPECT_EQ(undriven.exitCode, 3);
  EXPECT_TRUE(undriven.hasLineStartingWith("Error (12061): Output port \"LED[7]\" of top-level entity \"counter\" has no driver"))
      << undriven.output;
  EXPECT_TRUE(undriven.hasLineStartingWith("Error: Quartus II 64-Bit Analysis & Synthesis was unsuccessful. 1 error"));
  EXPECT_FALSE(fs::exists(dir.path / "counter.map.rpt"));

  // Later modules find no database and say which module to run.
  const ProcessResult fit = quartus("quartus_fit", {"counter"});
  EXPECT_NE(fit.exitCode, 0);
  EXPECT_TRUE(fit.hasLineStartingWith("Error (12843): Can't find the Analysis & Synthesis database")) << fit.output;
  EXPECT_FALSE(fs::exists(dir.path / "counter.fit.rpt"));

  fs::remove(dir.path / "counter.edf");
  const ProcessResult missing = quartus("quartus_map", {"counter"});
  EXPECT_NE(missing.exitCode, 0);
  EXPECT_TRUE(missing.hasLineStartingWith("Error (12003): Can't open EDIF netlist file \"counter.edf\"")) << missing.output;
  EXPECT_FALSE(fs::exists(dir.path / "counter.map.rpt"));

  spit(dir.path / "counter.edf", "(edif counter (library work\n");
  const ProcessResult syntax = quartus("quartus_map", {"counter"});
  EXPECT_NE(syntax.exitCode, 0);
  EXPECT_TRUE(syntax.hasLineStartingWith("Error (12004): EDIF syntax error in file")) << syntax.output;
}

TEST_F(QuartusTools, FitterRefusesBadPinAssignmentsAndReportsUnassignedPins) {
  struct Case {
    const char* what;
    std::string extra;
    bool ok;
    const char* line;
  } cases[] = {
      {"outside the package", "set_location_assignment PIN_AP30 -to LED[3]\n", false,
       "Error (171016): Can't place node \"LED[3]\" -- illegal location assignment PIN_AP30"},
      {"two pins on one ball", "set_location_assignment PIN_C3 -to LED[1]\n", false,
       "Error (176310): Can't place multiple pins assigned to pin location PIN_C3"},
      {"unassigned", "set_location_assignment -to LED[2] -remove\n", true,
       "Critical Warning (169085): No exact pin location assignment(s) for 1 pins of 10 total pins"},
      {"unknown node", "set_location_assignment PIN_H8 -to NOPE\n", true,
       "Warning (15706): Node \"NOPE\" is assigned to location or region, but does not exist in design"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    createProject("EP2AGZ300FH29I4", c.extra);
    ASSERT_EQ(quartus("quartus_map", {"counter"}).exitCode, 0);
    const ProcessResult fit = quartus("quartus_fit", {"counter"});
    EXPECT_EQ(fit.exitCode == 0, c.ok) << fit.output;
    EXPECT_TRUE(fit.hasLineStartingWith(c.line)) << fit.output;
    EXPECT_EQ(fs::exists(dir.path / "counter.fit.rpt"), c.ok);
  }
}

TEST_F(QuartusTools, CommandLinesAndScriptsOutsideTheHappyPath) {
  createProject();
  // Unknown options: a warning, and the run goes on.
  const ProcessResult map = quartus("quartus_map", {"--no_such_option=1", "counter"});
  EXPECT_EQ(map.exitCode, 0) << map.output;
  EXPECT_TRUE(map.hasLineStartingWith("Warning: Ignored unknown option or argument \"--no_such_option=1\""));

  const ProcessResult noProject = quartus("quartus_fit", {"nosuch"});
  EXPECT_NE(noProject.exitCode, 0);
  EXPECT_TRUE(noProject.hasLineStartingWith("Error: Project \"nosuch\" does not exist")) << noProject.output;

  const ProcessResult badDevice = quartus("quartus_map", {"counter", "--part=EP4CE22F17C6"});
  EXPECT_NE(badDevice.exitCode, 0);
  EXPECT_TRUE(badDevice.hasLineStartingWith("Error (119013): Current device part number EP4CE22F17C6 is not a valid part number"));

  // execute_module in a script runs the modules; a failing Tcl command fails the script with its trace.
  spit(dir.path / "run.tcl",
       "project_open counter\nexecute_module -tool map\nexecute_module -tool fit\nexecute_module -tool asm\n"
       "post_message -type warning \"done\"\nproject_open other\n");
  const ProcessResult script = quartus("quartus_sh", {"-t", "run.tcl"});
  EXPECT_EQ(script.exitCode, 3);
  EXPECT_TRUE(fs::exists(dir.path / "counter.rbf"));
  EXPECT_TRUE(script.hasLineStartingWith("Warning: done"));
  EXPECT_TRUE(script.hasLineStartingWith("Error (23035): Tcl error: ERROR: A project is already open"));
  EXPECT_TRUE(script.hasLineStartingWith("    (file \"run.tcl\" line 6)"));
  EXPECT_TRUE(script.hasLineStartingWith("Error (23031): Evaluation of Tcl script run.tcl unsuccessful"));

  // The bit file is for the device the Fitter placed into: another device needs another fit.
  const ProcessResult otherDevice = quartus("quartus_asm", {"counter", "--part=EP2AGZ350FH29I4"});
  EXPECT_NE(otherDevice.exitCode, 0);
  EXPECT_TRUE(otherDevice.hasLineStartingWith("Error (12847): The Fitter placed the design into EP2AGZ300FH29I4, but the "
                                              "project's device is EP2AGZ350FH29I4"))
      << otherDevice.output;
  EXPECT_FALSE(fs::exists(dir.path / "counter.rbf"));

  const ProcessResult missing = quartus("quartus_sh", {"-t", "nosuch.tcl"});
  EXPECT_NE(missing.exitCode, 0);
  EXPECT_TRUE(missing.hasLineStartingWith("Error (23032): Can't open Tcl script file nosuch.tcl"));

  const ProcessResult exists = quartus("quartus_sh", {"--tcl_eval", "project_exists", "counter"});
  EXPECT_EQ(exists.exitCode, 0);
  EXPECT_NE(exists.output.find("\n1\n"), std::string::npos) << exists.output;

  // A full compilation from the command line.
  const ProcessResult flow = quartus("quartus_sh", {"--flow", "compile", "counter"});
  EXPECT_EQ(flow.exitCode, 0) << flow.output;
  EXPECT_TRUE(flow.hasLineStartingWith("Info (293000): Quartus II 64-Bit Full Compilation was successful."));
  for (const char* f : {"counter.map.rpt", "counter.fit.rpt", "counter.asm.rpt", "counter.sta.rpt", "counter.rbf"})
    EXPECT_TRUE(fs::exists(dir.path / f)) << f;
}

}  // namespace
}  // namespace zquartus
