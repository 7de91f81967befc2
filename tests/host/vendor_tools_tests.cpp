#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "fake_host.h"
#include "zolta/host/errors.h"
#include "zolta/host/files.h"
#include "zolta/host/vendor_tools.h"

namespace zolta {
namespace {

using fake::FakeHost;
using fake::TempDir;
using Calls = std::vector<std::string>;

class VendorTools : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetHostCaches();
    ResetDeviceFamilies();
  }
  void TearDown() override {
    for (const std::string& f : written_) std::filesystem::remove(f);
    ResetDeviceFamilies();
    ResetHostCaches();
  }
  // A supported-version list in the host's system folder, removed after the test.
  void writeSystemFile(const std::string& name, const std::string& content) {
    std::filesystem::create_directories(GetSystemFolder());
    const std::string path = GetSystemFolder() + name;
    std::ofstream(path, std::ios::binary) << content;
    written_.push_back(path);
  }
  // A Quartus installation whose readme starts with `firstLine`; answers the program's path.
  std::string quartus(const TempDir& dir, const std::string& firstLine) {
    dir.write("quartus/readme.txt", firstLine + "\r\nmore text\r\n");
    return dir.write("quartus/bin/quartus_sh", "#!/bin/sh\n");
  }

 private:
  std::vector<std::string> written_;
};

TEST_F(VendorTools, WithoutTheFlowModuleEverythingIsEmpty) {
  std::string version = "stale";
  EXPECT_FALSE(GetVendorToolManager());
  EXPECT_EQ(AlteraToolPath("Quartus_Cmd"), "");
  EXPECT_FALSE(QuartusPresent());
  EXPECT_FALSE(ActelDesignerPresent());
  EXPECT_FALSE(XilinxToolsInstalled());
  EXPECT_FALSE(AlteraVersion(version));
  EXPECT_EQ(version, "");
  EXPECT_FALSE(ActelVersion(version));
  EXPECT_EQ(ActelAdmFolder(), "");
  EXPECT_EQ(XilinxToolsDescriptor(), "");
  EXPECT_EQ(AlteraToolsDescriptor(), "Altera Quartus II");
  EXPECT_EQ(ActelToolsDescriptor(), "ACTEL LiberoIDE");
  EXPECT_EQ(AlteraVersionNumber(), 100000000.0);
}

TEST_F(VendorTools, ManagerQuestionsGoToTheFlowModule) {
  FakeHost host;
  host.tools->toolPath["Altera/Quartus_Cmd"] = "/q/bin/quartus_sh";
  host.tools->installed["Xilinx"] = true;
  host.tools->supported["Lattice"] = true;
  host.tools->version["Lattice"] = "8.1";
  host.tools->descriptor["Xilinx"] = "Xilinx ISE";
  EXPECT_EQ(AlteraToolPath("Quartus_Cmd"), "/q/bin/quartus_sh");
  EXPECT_EQ(host.log.calls, (Calls{"client.797(FPGAFlow)", "flow.509009()", "vt.509004(Altera,Quartus_Cmd)"}));
  EXPECT_TRUE(QuartusPresent());
  EXPECT_TRUE(XilinxToolsInstalled());
  EXPECT_FALSE(LatticeToolsInstalled());
  std::string version;
  EXPECT_TRUE(LatticeVersion(version));
  EXPECT_EQ(version, "8.1");
  EXPECT_FALSE(XilinxVersion(version));
  EXPECT_EQ(version, "");
  EXPECT_EQ(XilinxToolsDescriptor(), "Xilinx ISE");
  EXPECT_EQ(VendorToolVersion("Lattice"), "8.1");
  EXPECT_EQ(VendorToolVersion("lattice"), "");  // exact names only
  host.log.calls.clear();
  EXPECT_EQ(ActelToolPath("designer"), "");
  EXPECT_EQ(host.log.starting("vt."), (Calls{"vt.509004(Actel,designer)"}));
  EXPECT_EQ(VendorToolPath(7, "x"), "");
}

TEST_F(VendorTools, AlteraVersionFromTheReadme) {
  FakeHost host;
  TempDir dir;
  writeSystemFile(kAlteraVersionsFile, "8.0\r\n9.1\r\n");
  struct Case {
    std::string firstLine;
    bool supported;
    std::string version;
  };
  const Case cases[] = {
      {"Version 9.1 Build 222 10/21/2009 SJ Full Version", true, "9.1"},
      {"Quartus II Release 8.0 SP1 (web)", true, "8.0"},
      {"Version 10.0 Build 1", false, "10.0"},
      {"Version 9.1", false, ""},  // the version must be followed by a space
      {"Nothing useful here", false, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.firstLine);
    host.tools->toolPath["Altera/Quartus_Cmd"] = quartus(dir, c.firstLine);
    std::string version = "stale";
    EXPECT_EQ(AlteraVersion(version), c.supported);
    EXPECT_EQ(version, c.version);
  }
  host.tools->toolPath["Altera/Quartus_Cmd"] = quartus(dir, "Version 9.1 Build 222");
  EXPECT_DOUBLE_EQ(AlteraVersionNumber(), 9.1);
  EXPECT_EQ(VendorToolVersion("Altera"), "9.1");
}

TEST_F(VendorTools, MissingFilesRaiseFileErrors) {
  FakeHost host;
  TempDir dir;
  host.tools->toolPath["Altera/Quartus_Cmd"] = dir.write("q/bin/quartus_sh", "");
  std::string version;
  try {
    AlteraVersion(version);
    FAIL() << "no error for a missing readme";
  } catch (const EFileAccessError& e) {
    EXPECT_NE(std::string(e.what()).find("readme.txt"), std::string::npos) << e.what();
  }
  dir.write("q/readme.txt", "Version 9.1 Build 222\n");
  std::filesystem::remove(GetSystemFolder() + kAlteraVersionsFile);
  EXPECT_THROW(AlteraVersion(version), EFileAccessError);
  EXPECT_THROW(AlteraVersionNumber(), EFileAccessError);
}

TEST_F(VendorTools, ActelVersionFromVerinfo) {
  FakeHost host;
  TempDir dir;
  host.tools->toolPath["Actel/Designer"] = dir.write("libero/bin/designer", "");
  std::string version;
  EXPECT_EQ(ActelAdmFolder(), "");  // no adm folder yet
  EXPECT_FALSE(ActelVersion(version));
  dir.write("libero/adm/verinfo", "8.6\n");
  writeSystemFile(kActelVersionsFile, "8.5\n8.6\n");
  EXPECT_EQ(ActelAdmFolder(), dir.str() + "libero/bin/../adm/");
  EXPECT_TRUE(ActelVersion(version));
  EXPECT_EQ(version, "8.6");
  dir.write("libero/adm/verinfo", "\n");
  EXPECT_FALSE(ActelVersion(version));
  EXPECT_EQ(version, "");
}

TEST(VersionText, ToNumber) {
  const std::pair<const char*, double> cases[] = {{"9.1", 9.1},    {"10.0", 10},  {"10.0sp1", 10.01}, {".5", 0.5},
                                                  {"11", 11},      {"2", 2},      {"", 0},            {"1.2.3", 1.23},
                                                  {"9.1.0beta", 9.1}};
  for (auto [text, value] : cases) {
    SCOPED_TRACE(text);
    EXPECT_NEAR(VersionTextToNumber(text), value, 1e-9);
  }
}

TEST_F(VendorTools, BuiltInFamilies) {
  EXPECT_EQ(VendorOfDeviceFamily("Arria2GZ"), "Altera");
  EXPECT_EQ(VendorOfDeviceFamily("arria2gz"), "");
  EXPECT_EQ(VendorOfDeviceFamily("Spartan6"), "Xilinx");
  EXPECT_EQ(VendorOfDeviceFamily("IGLOOnano"), "Actel");
  EXPECT_EQ(VendorOfDeviceFamily("ispMACH4000Z"), "Lattice");
  EXPECT_EQ(VendorOfDeviceFamily("STM32"), "STMicroelectronics");
  EXPECT_EQ(VendorOfDeviceFamily("Nothing"), "");
  const std::pair<const char*, const char*> edif[] = {
      {"Arria2GZ", "ARRIA2GZ"}, {"IGLOOnano", "IGLOOnano"}, {"ispMACH4000B", "ispMACH4000B"},
      {"XCF", ""},              {"Stellaris", ""},         {"ProASICPlus", "PROASICPLUS"}};
  for (auto [family, folder] : edif) {
    SCOPED_TRACE(family);
    TDeviceFamilyInfo info;
    ASSERT_TRUE(DeviceFamilyInfoOf(family, info));
    EXPECT_EQ(info.EDIF, folder);
  }
}

TEST_F(VendorTools, ConfigurationFilesExtendAndOverrideFamilies) {
  FakeHost host;
  TempDir one, two, three, flagged;
  one.write("ZoltaConfig.ini", "[General]\nDeviceFamily=Cyclone\nDeviceVendor=Other\nEDIF=CYC\n");
  two.write("zoltaconfig.INI", "[General]\nDeviceFamily=NewFam\nDeviceVendor=First\nEDIF=NF\n");
  three.write("ZoltaConfig.ini",
              "; comment\n[General]\nDeviceFamily = NewFam\nDeviceVendor = Second\nEDIF = NF2\n"
              "[Other]\nDeviceFamily=Ignored\n");
  flagged.write("ZoltaConfig.ini", "[General]\nDeviceFamily=Flagged\nDeviceVendor=X\nEDIF=Y\n");
  TempDir incomplete;
  incomplete.write("ZoltaConfig.ini", "[General]\nDeviceFamily=Arria2GZ\nDeviceVendor=Nobody\n");
  host.registry->addFolder(one.str());
  host.registry->addFolder(two.str());
  host.registry->addFolder(three.str());
  host.registry->addFolder(flagged.str(), 1);
  host.registry->addFolder(incomplete.str());
  EXPECT_EQ(VendorOfDeviceFamily("Cyclone"), "Other");
  EXPECT_EQ(VendorOfDeviceFamily("NewFam"), "Second");  // a later folder wins
  TDeviceFamilyInfo info;
  ASSERT_TRUE(DeviceFamilyInfoOf("NewFam", info));
  EXPECT_EQ(info.EDIF, "NF2");
  EXPECT_EQ(VendorOfDeviceFamily("Flagged"), "");
  EXPECT_EQ(VendorOfDeviceFamily("Ignored"), "");
  EXPECT_EQ(VendorOfDeviceFamily("Arria2GZ"), "Altera");  // a file without EDIF is ignored
  // The table is built once: later calls do not walk the registry again.
  host.log.calls.clear();
  InitDeviceFamilies();
  EXPECT_EQ(VendorOfDeviceFamily("Cyclone"), "Other");
  EXPECT_TRUE(host.log.calls.empty());
}

TEST(CommandLines, ActionIndexOf) {
  const std::pair<const char*, int32_t> cases[] = {
      {"Action=resetdevice|Index=1", 11}, {"ShowViewer", 13},          {"Action=Unknown", 0},
      {"Action=VerifyProgram", 31},       {"", 0},                     {"Target=HardDevice|Action=ShowViewer", 13},
      {"Index=1|Action= HideViewer ", 28}, {"Flash_ChooseAndDownload", 20}};
  for (auto [line, index] : cases) {
    SCOPED_TRACE(line);
    EXPECT_EQ(ActionIndexOf(line), index);
  }
  EXPECT_EQ(ActionNameOf(11), "ResetDevice");
  EXPECT_EQ(ActionNameOf(32), "");
}

TEST(CommandLines, ToolchainNameOf) {
  std::string name;
  EXPECT_TRUE(ToolchainNameOf("Action=CompileProgram|ToolchainName=GCC", name));
  EXPECT_EQ(name, "GCC");
  EXPECT_FALSE(ToolchainNameOf("Action=CompileProgram", name));
  EXPECT_FALSE(ToolchainNameOf("", name));
}

TEST(CommandLines, SplitCommandArguments) {
  struct Case {
    std::string command, arguments, expectedCommand, expectedArguments;
  };
  const Case cases[] = {
      {"C:\\q\\bin\\tool.exe -x", "", "C:\\q\\bin\\tool.exe", "-x"},
      {"C:\\Program Files\\q\\tool.exe", "", "C:\\Program Files\\q\\tool.exe", ""},
      {"/opt/q/bin/quartus_sh -t top.tcl", " --more", "/opt/q/bin/quartus_sh", "-t top.tcl --more"},
      {"\"/opt/my tools/x\"", "a", "\"/opt/my tools/x\"", "a"},
      {"ab", "", "ab", ""},
      {"tool a b", "", "tool", "a b"},
      {"/x/y z\"", "", "/x/y z\"", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.command);
    std::string command = c.command, arguments = c.arguments;
    SplitCommandArguments(command, arguments);
    EXPECT_EQ(command, c.expectedCommand);
    EXPECT_EQ(arguments, c.expectedArguments);
  }
}

}  // namespace
}  // namespace zolta
