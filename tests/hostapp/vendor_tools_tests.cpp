// The vendor-tool manager of the FPGA-flow module on a fake Quartus installation tree.
#include <gtest/gtest.h>

#include <cstdlib>

#include "test_support.h"
#include "zolta/host_ids.h"

namespace zolta::hostapp::test {
namespace {

namespace h = zabi::host;

class VendorToolsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    quartus = tree.mkdir("altera/quartus");
    tree.write("altera/quartus/bin/quartus_sh", "#!/bin/sh\n");
    tree.write("altera/quartus/bin/QUARTUS_MAP", "#!/bin/sh\n");
    tree.write("altera/quartus/readme.txt", "Version 9.1 Build 222 10/21/2009 SJ Full Version\nmore\n");
    tree.write("root/System/AlteraVersions.Txt", "9.0\n9.1\n10.0sp1\n");
  }
  // The vendor-tool manager as a plug-in reaches it: client -> "FPGAFlow" -> 509009.
  DispPtr manager(Host& host) {
    DispPtr module = zabi::invoke(host.client(), h::Client_GetServerModuleByName, "FPGAFlow").toDispatch();
    return zabi::invoke(module, h::FPGAFlowModule_GetVendorToolManager).toDispatch();
  }
  HostOptions options(std::optional<std::string> quartusFolder) {
    HostOptions o;
    o.rootFolder = tree.path() + "/root";
    o.quartusFolder = std::move(quartusFolder);
    return o;
  }
  TempFolder tree;
  std::string quartus;
};

TEST_F(VendorToolsTest, QuartusToolsPathsVersionAndDescriptor) {
  Host host(options(quartus));
  DispPtr m = manager(host);
  EXPECT_TRUE(zabi::invoke(m, h::VendorTools_Installed, "Altera").toBool());
  EXPECT_TRUE(zabi::invoke(m, h::VendorTools_Installed, "altera").toBool());
  EXPECT_EQ(zabi::invoke(m, h::VendorTools_ToolPath, "Altera", "Quartus_Cmd").toString(), quartus + "/bin/quartus_sh");
  EXPECT_EQ(zabi::invoke(m, h::VendorTools_ToolPath, "Altera", "Quartus_Map").toString(), quartus + "/bin/QUARTUS_MAP");
  EXPECT_EQ(zabi::invoke(m, h::VendorTools_ToolPath, "Altera", "Quartus_Fit").toString(), "");
  EXPECT_EQ(zabi::invoke(m, h::VendorTools_ToolPath, "Altera", "../bin/quartus_sh").toString(), "");
  EXPECT_EQ(zabi::invoke(m, h::VendorTools_Version, "Altera").toString(), "9.1");
  EXPECT_TRUE(zabi::invoke(m, h::VendorTools_VersionSupported, "Altera").toBool());
  EXPECT_EQ(zabi::invoke(m, h::VendorTools_Descriptor, "Altera").toString(), "Altera Quartus II 9.1");
  for (const char* vendor : {"Xilinx", "Actel", "Lattice", "Nobody"}) {
    SCOPED_TRACE(vendor);
    EXPECT_FALSE(zabi::invoke(m, h::VendorTools_Installed, vendor).toBool());
    EXPECT_EQ(zabi::invoke(m, h::VendorTools_ToolPath, vendor, "designer").toString(), "");
    EXPECT_EQ(zabi::invoke(m, h::VendorTools_Descriptor, vendor).toString(), "");
    EXPECT_EQ(zabi::invoke(m, h::VendorTools_Version, vendor).toString(), "");
  }
}

TEST_F(VendorToolsTest, VersionsFromTheReadmeAgainstTheSupportedList) {
  struct Case {
    const char* readme;
    const char* version;
    bool supported;
  } cases[] = {
      {"Version 9.1 Build 222 10/21/2009 SJ Full Version", "9.1", true},
      {"Quartus II Version 10.0sp1 Build 262", "10.0sp1", true},
      {"Release 9.0 Build 132", "9.0", true},
      {"Version 13.1.0 Build 162", "13.1.0", false},
      {"Version 9.1", "9.1", true},
      {"Quartus II readme", "", false},
      {"", "", false},
  };
  Host host(options(quartus));
  DispPtr m = manager(host);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.readme);
    tree.write("altera/quartus/readme.txt", std::string(c.readme) + "\r\nsecond line\r\n");
    EXPECT_EQ(zabi::invoke(m, h::VendorTools_Version, "Altera").toString(), c.version);
    EXPECT_EQ(zabi::invoke(m, h::VendorTools_VersionSupported, "Altera").toBool(), c.supported);
  }
}

TEST_F(VendorToolsTest, WithoutQuartusShOrListTheAnswersAreNegative) {
  std::remove((quartus + "/bin/quartus_sh").c_str());
  std::remove((tree.path() + "/root/System/AlteraVersions.Txt").c_str());
  Host host(options(quartus));
  DispPtr m = manager(host);
  EXPECT_FALSE(zabi::invoke(m, h::VendorTools_Installed, "Altera").toBool());
  EXPECT_EQ(zabi::invoke(m, h::VendorTools_ToolPath, "Altera", "Quartus_Cmd").toString(), "");
  EXPECT_EQ(zabi::invoke(m, h::VendorTools_Version, "Altera").toString(), "9.1");
  EXPECT_FALSE(zabi::invoke(m, h::VendorTools_VersionSupported, "Altera").toBool());

  Host none(options(std::string()));
  EXPECT_FALSE(zabi::invoke(manager(none), h::VendorTools_Installed, "Altera").toBool());
  EXPECT_EQ(zabi::invoke(manager(none), h::VendorTools_Descriptor, "Altera").toString(), "");
}

TEST_F(VendorToolsTest, TheInstallationComesFromQuartusRootdirWhenNotGiven) {
  const char* old = std::getenv("QUARTUS_ROOTDIR");
  std::string saved = old ? old : "";
  setenv("QUARTUS_ROOTDIR", (quartus + "/").c_str(), 1);
  Host host(options(std::nullopt));
  if (old) setenv("QUARTUS_ROOTDIR", saved.c_str(), 1);
  else unsetenv("QUARTUS_ROOTDIR");
  EXPECT_EQ(host.vendorTools().quartusRoot(), quartus);
  EXPECT_EQ(zabi::invoke(manager(host), h::VendorTools_ToolPath, "Altera", "Quartus_Cmd").toString(),
            quartus + "/bin/quartus_sh");
}

}  // namespace
}  // namespace zolta::hostapp::test
