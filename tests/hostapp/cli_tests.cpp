// The `zolta` program, run as a process.
#include <gtest/gtest.h>

#include <filesystem>

#include "test_support.h"

namespace zolta::hostapp::test {
namespace {

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

size_t countOf(const std::string& text, const std::string& part) {
  size_t n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

class CliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    plugins = folder.mkdir("plugins");
    folder.copy(ZOLTA_TEST_PLUGIN, "plugins/TestDev/TestDev.ZLT");
  }
  TempFolder folder;
  std::string plugins;
};

TEST_F(CliTest, DevicesListsEveryKindForPeople) {
  ProcessResult r = runZolta({"--plugins", plugins, "devices"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out,
            "TestDev (3 kinds)\n"
            "KIND  DEVICE    DESCRIPTION\n"
            "0     TESTDEV0  Test device 0 on Zolta\n"
            "1     TESTDEV1  Test device 1 on Zolta\n"
            "2     TESTDEV2  Test device 2 on Zolta\n");
  EXPECT_EQ(r.err, "");
}

TEST_F(CliTest, DevicesAsJsonNamesSkippedPluginsAndGoesOn) {
  folder.write("plugins/Bad/Bad.ZLT", "not a shared object\n");
  ProcessResult r = runZolta({"devices", "--json", "--plugins=" + plugins});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(countOf(r.out, "\"kind\": "), 3u) << r.out;
  EXPECT_TRUE(contains(r.out, "{\"plugin\": \"TestDev\", \"kind\": 1, \"name\": \"TESTDEV1\", "
                              "\"description\": \"Test device 1 on Zolta\"}"))
      << r.out;
  EXPECT_TRUE(contains(r.out, "\"file\": \"" + plugins + "/Bad/Bad.ZLT\", \"reason\": \"not a loadable shared object"))
      << r.out;
  EXPECT_TRUE(contains(r.err, "zolta: warning: " + plugins + "/Bad/Bad.ZLT: not a loadable shared object")) << r.err;
}

TEST_F(CliTest, UsageErrorsExitWithTwoAndSayWhy) {
  struct Case {
    std::vector<std::string> args;
    const char* message;
  } cases[] = {
      {{"--frobnicate", "devices"}, "unknown option '--frobnicate'"},
      {{"devices", "--frobnicate"}, "devices: unexpected argument '--frobnicate'"},
      {{"devices", "extra"}, "devices: unexpected argument 'extra'"},
      {{"bogus"}, "unknown command 'bogus'"},
      {{"--plugins"}, "option --plugins needs a folder"},
      {{"--plugins", "/no/such/folder", "devices"}, "option --plugins: folder '/no/such/folder' does not exist"},
      {{"--quartus=/no/such/quartus", "devices"}, "option --quartus: folder '/no/such/quartus' does not exist"},
      {{}, "Usage: zolta"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    ProcessResult r = runZolta(c.args);
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_TRUE(contains(r.err, c.message)) << r.err;
    EXPECT_EQ(r.out, "");
  }
}

TEST_F(CliTest, HelpAndVersion) {
  ProcessResult help = runZolta({"--help"});
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_TRUE(contains(help.out, "devices [--json]"));
  EXPECT_TRUE(contains(help.out, "--quartus DIR"));
  ProcessResult devicesHelp = runZolta({"devices", "--help"});
  EXPECT_EQ(devicesHelp.exitCode, 0);
  EXPECT_TRUE(contains(devicesHelp.out, "Usage: zolta devices [--json]"));
  ProcessResult version = runZolta({"--version"});
  EXPECT_EQ(version.exitCode, 0);
  EXPECT_TRUE(contains(version.out, "zolta "));
}

TEST_F(CliTest, DevicesFailsWhenNothingCouldBeLoaded) {
  std::string onlyBad = folder.mkdir("bad-only");
  folder.write("bad-only/x/Broken.ZLT", "text");
  ProcessResult r = runZolta({"--plugins", onlyBad, "devices"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_TRUE(contains(r.err, "Broken.ZLT: not a loadable shared object")) << r.err;
  EXPECT_TRUE(contains(r.err, "no device kinds")) << r.err;

  std::string empty = folder.mkdir("empty");
  ProcessResult e = runZolta({"--plugins", empty, "devices", "--json"});
  EXPECT_EQ(e.exitCode, 0) << e.err;
  EXPECT_TRUE(contains(e.out, "\"devices\": []"));
}

// The Arria II GZ plug-in in its installed place beside the program.
TEST(CliRealPlugin, DevicesListsTheSixtyFourArriaKinds) {
#ifndef ZOLTA_REAL_PLUGIN
  GTEST_SKIP() << "the Arria II GZ plug-in is not part of this build";
#else
  ASSERT_TRUE(std::filesystem::exists(ZOLTA_REAL_PLUGIN));
  ProcessResult r = runZolta({"devices", "--json"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(countOf(r.out, "\"plugin\": \"Arria2GZ\""), 64u) << r.out;
  EXPECT_TRUE(contains(r.out, "\"name\": \"EP2AGZ225FF35C3\"")) << r.out;
  EXPECT_TRUE(contains(r.out, "\"name\": \"EP2AGZ350HF40I4N\"")) << r.out;
#endif
}

}  // namespace
}  // namespace zolta::hostapp::test
