#include <gtest/gtest.h>

#include <set>

#include "jtag_fixtures.h"
#include "zolta/jtag/altera_tables.h"

namespace zolta {
namespace {

using jtagtest::FakeHost;
using jtagtest::TempDir;

TEST(AlteraConfDoneTable, LooksPartsUpIgnoringCase) {
  struct Case {
    const char* name;
    bool found;
    int32_t n, k;
  } cases[] = {
      {"ep2agz225f", true, 758, 186}, {"EP2AGZ225H", true, 758, 186}, {"EP2AGZ300F", true, 894, 190},
      {"EP2AGZ350h", true, 894, 190}, {"EP1C3", true, 113, 69},      {"5AGZME7K3", true, 1025, 424},
      {"EP4CE6", true, 201, 126},     {"EP4SGX530N", true, 990, 238}, {"EP1AGX60E", true, 732, 731},
      {"EP2AGZ225", false, 0, 0},     {"", false, 0, 0},             {"EP2AGZ225F ", false, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    int32_t n = -1, k = -1;
    EXPECT_EQ(AlteraConfDoneTable(c.name, n, k), c.found);
    EXPECT_EQ(n, c.n);
    EXPECT_EQ(k, c.k);
  }
}

TEST(AlteraConfDoneTable, HoldsDistinctPartsWithTheirGroupInsideTheRegister) {
  const auto entries = AlteraConfDoneEntries();
  EXPECT_EQ(entries.size(), 284u);
  std::set<std::string> names;
  for (const auto& e : entries) {
    SCOPED_TRACE(std::string(e.BaseName));
    names.insert(zabi::upperAscii(e.BaseName));
    EXPECT_GT(e.N, 0);
    EXPECT_GE(e.K, 0);
    EXPECT_LT(e.K, e.N);
  }
  EXPECT_EQ(names.size(), entries.size());
}

TEST(ClockCyclesForFamily, BuiltInFamiliesIgnoreCaseAndNeedNoHost) {
  struct Case {
    const char* family;
    int32_t cycles;
  } cases[] = {{"Cyclone", 175},   {"cyclone2", 300},  {"CYCLONE3", 3181}, {"Cyclone4GX", 3181},
               {"Cyclone4E", 3181}, {"Stratix", 175},  {"StratixGX", 175}, {"Stratix2", 300},
               {"Stratix2GX", 300}, {"stratix3", 4436}, {"ArriaGX", 300},  {"Arria2GZ", 175},
               {"", 175}};
  ResetHostCaches();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.family);
    EXPECT_EQ(ClockCyclesForFamily(c.family), c.cycles);
  }
}

class ClockCyclesFromFolders : public ::testing::Test {
 protected:
  FakeHost host;
  TempDir dir;
  // A plug-in folder with a configuration file of the given text.
  void folder(const std::string& name, const std::string& ini, const std::string& fileName = "ZoltaConfig.ini") {
    dir.write(name + "/" + fileName, ini);
    host.pluginFolders.push_back(dir.file(name));
  }
  static std::string config(const std::string& family, const std::string& cycles) {
    return "[General]\nDeviceFamily=" + family + "\nDeviceVendor=Altera\n\n[ClockCore]\nCycles=" + cycles + "\n";
  }
};

TEST_F(ClockCyclesFromFolders, TheFirstFolderWithACountOfZeroOrMoreWins) {
  folder("a", config("Arria2GZ", "-1"));
  folder("b", config("Arria2GZ", "500"));
  folder("c", config("Arria2GZ", "700"));
  EXPECT_EQ(ClockCyclesForFamily("Arria2GZ"), 500);
  EXPECT_EQ(ClockCyclesForFamily("arria2gz"), 500);  // family names ignore case

  host.pluginFolders.clear();
  folder("d", config("Arria2GZ", "0"));
  folder("e", config("Arria2GZ", "500"));
  EXPECT_EQ(ClockCyclesForFamily("Arria2GZ"), 0);
}

TEST_F(ClockCyclesFromFolders, FoldersThatDoNotGiveACountArePassedOver) {
  dir.write("nofile/readme.txt", "x");
  host.pluginFolders.push_back(dir.file("nofile"));
  host.pluginFolders.push_back(dir.file("missing-folder"));
  folder("other", config("Stratix4", "900"));
  folder("nocycles", "[General]\nDeviceFamily=Arria2GZ\n");
  folder("text", config("Arria2GZ", "many"));
  folder("binary", std::string("\x01\x02[[[\xff\n=\n"));
  folder("dir-not-file", "");  // replaced below by a folder of that name
  std::filesystem::remove(dir.file("dir-not-file/ZoltaConfig.ini"));
  std::filesystem::create_directories(dir.file("dir-not-file/ZoltaConfig.ini"));
  EXPECT_EQ(ClockCyclesForFamily("Arria2GZ"), 175);

  // The walk reads the files anew on every call.
  folder("good", config("Arria2GZ", "321"));
  EXPECT_EQ(ClockCyclesForFamily("Arria2GZ"), 321);
}

TEST_F(ClockCyclesFromFolders, ReadsTheFileAsTheHostsIniFilesAreRead) {
  struct Case {
    const char* ini;
    int32_t cycles;
  } cases[] = {
      // names of sections and keys ignore case; blanks around values go
      {"[general]\ndevicefamily = Arria2GZ\n[CLOCKCORE]\nCYCLES = 42\n", 42},
      // quoted values lose their quotes, hexadecimal counts read
      {"[General]\nDeviceFamily=\"Arria2GZ\"\n[ClockCore]\nCycles=$40\n", 64},
      // the first occurrence of a key counts; comments are skipped
      {"; comment\n[General]\nDeviceFamily=Arria2GZ\nDeviceFamily=Other\n[ClockCore]\nCycles=7\nCycles=8\n", 7},
      // a line without "=" costs only itself
      {"[General]\nnonsense line\nDeviceFamily=Arria2GZ\n[ClockCore]\nCycles=9\n", 9},
      // the count belongs to [ClockCore], the family to [General]
      {"[ClockCore]\nDeviceFamily=Arria2GZ\n[General]\nCycles=11\n", 175},
      {"[General]\nDeviceFamily=Arria2GZ\n[ClockCore]\nCycles=\n", 175},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.ini);
    host.pluginFolders.clear();
    folder("f", c.ini);
    EXPECT_EQ(ClockCyclesForFamily("Arria2GZ"), c.cycles);
  }
}

TEST_F(ClockCyclesFromFolders, FindsTheFileIgnoringTheCaseOfItsName) {
  folder("lower", config("Arria2GZ", "77"), "zoltaconfig.INI");
  EXPECT_EQ(ClockCyclesForFamily("Arria2GZ"), 77);
}

TEST_F(ClockCyclesFromFolders, BuiltInFamiliesDoNotWalkTheFolders) {
  folder("a", config("Stratix3", "1"));
  EXPECT_EQ(ClockCyclesForFamily("Stratix3"), 4436);
  for (const auto& e : host.log) EXPECT_EQ(e.rfind("reg ", 0), std::string::npos) << e;
}

}  // namespace
}  // namespace zolta
