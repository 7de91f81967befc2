// The whole way through the zolta program: the demo, builds that are up to date the second time, a
// design with an error, programming over a remote_bitbang server and stopping a build half way.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "test_support.h"

namespace zolta::hostapp::test {
namespace {

namespace fs = std::filesystem;

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

std::string demoFile(const std::string& name) { return std::string(std::getenv("ZOLTA_SOURCE_DIR")) + "/data/demo/" + name; }

// A project folder holding the demo design; `netlist` replaces counter.edf, `extraConstraints` is added
// as one more constraint document.
struct Project {
  TempFolder folder;
  explicit Project(const std::string& netlist = "counter.edf", const std::string& extraConstraints = {}) {
    folder.copy(demoFile(netlist), "counter.edf");
    folder.copy(demoFile("counter_pins.tcl"), "counter_pins.tcl");
    folder.copy(demoFile("counter_sta.sdc"), "counter_sta.sdc");
    std::string constraints = "\"counter_pins.tcl\"";
    if (!extraConstraints.empty()) {
      folder.write("extra.tcl", extraConstraints);
      constraints += ", \"extra.tcl\"";
    }
    folder.write("counter.zproj", "{\"device\": \"EP2AGZ225FF35C3\", \"constraints\": [" + constraints +
                                      "], \"userId\": \"0x00C0FFEE\"}\n");
  }
  const std::string& path() const { return folder.path(); }
  bool has(const std::string& name) const { return fs::exists(path() + "/" + name); }
};

struct Server {
  ZoltaProcess process{{"sim", "serve", "--port", "0"}};
  std::string port;
  Server() {
    std::optional<std::string> line = process.readLine(10000);
    const std::string marker = "listening on 127.0.0.1:";
    if (!line || !contains(*line, marker)) throw std::runtime_error("the server did not start: " + process.err());
    port = line->substr(line->find(marker) + marker.size());
    port = port.substr(0, port.find(','));
  }
  ~Server() {
    process.signal(SIGINT);
    process.wait(5000);
  }
  std::string cable() const { return "rbb://127.0.0.1:" + port; }
};

// The processes whose current folder lies in `folder` (a tool left running in a project).
std::vector<std::string> processesIn(const std::string& folder) {
  std::vector<std::string> found;
  std::error_code ec;
  const std::string canonical = fs::canonical(folder, ec).string();
  for (const auto& e : fs::directory_iterator("/proc", ec)) {
    std::error_code e2;
    const fs::path cwd = fs::read_symlink(e.path() / "cwd", e2);
    if (!e2 && cwd.string().rfind(canonical, 0) == 0) found.push_back(e.path().filename().string());
  }
  return found;
}

TEST(EndToEnd, TheDemoBuildsProgramsAndIsUpToDateTheSecondTime) {
  const auto start = std::chrono::steady_clock::now();
  ProcessResult r = runZolta({"demo"});
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
  for (const char* part : {"==> Translate Design", "==> Make BIT File", "Device Resources - Usage Summary",
                           "Downloading via JTAG Completed in", "configured, user code 0x2011C0DE",
                           "(0 stages run), download up to date", "Pass 1: build", "(5 stages run)"})
    EXPECT_TRUE(contains(r.out, part)) << part << "\n" << r.out;
  // None of the download stage's faults shows on the default path.
  for (const char* fault : {"error:", "missing", "Unable To Reset", "Failed To Program", "not configured"})
    EXPECT_FALSE(contains(r.out, fault)) << fault << "\n" << r.out;
  EXPECT_LT(seconds, 60.0);
  std::cout << "[ figures  ] zolta demo took " << seconds << " s\n";
}

TEST(EndToEnd, ASecondBuildStartsNoToolUntilAnInputChanges) {
  Project p;
  ProcessResult first = runZolta({"build", p.path()});
  ASSERT_EQ(first.exitCode, 0) << first.out << first.err;
  EXPECT_TRUE(contains(first.out, "5 of 5 stages run")) << first.out;
  EXPECT_TRUE(contains(first.out, "Design Statistics - Timing Summary")) << first.out;
  EXPECT_TRUE(p.has("counter.rbf"));

  ProcessResult second = runZolta({"build", p.path()});
  ASSERT_EQ(second.exitCode, 0) << second.err;
  EXPECT_TRUE(contains(second.out, "0 of 5 stages run (everything up to date)")) << second.out;
  EXPECT_FALSE(contains(second.out, "Running ")) << second.out;

  // A newer netlist makes the build out of date again; --force runs everything whatever the dates.
  const auto later = fs::last_write_time(p.path() + "/counter.rbf") + std::chrono::seconds(2);
  fs::last_write_time(p.path() + "/counter.edf", later);
  ProcessResult third = runZolta({"build", p.path()});
  ASSERT_EQ(third.exitCode, 0) << third.err;
  EXPECT_TRUE(contains(third.out, "The project's files changed since the last build")) << third.out;
  EXPECT_TRUE(contains(third.out, "5 of 5 stages run")) << third.out;
  ProcessResult forced = runZolta({"build", p.path(), "--force"});
  EXPECT_TRUE(contains(forced.out, "5 of 5 stages run")) << forced.out;

  ProcessResult one = runZolta({"build", p.path(), "--stage", "place and route", "--force"});
  EXPECT_EQ(one.exitCode, 0) << one.err;
  EXPECT_TRUE(contains(one.out, "==> Place and Route")) << one.out;
  EXPECT_FALSE(contains(one.out, "==> Make BIT File")) << one.out;

  ProcessResult tree = runZolta({"flow", p.path()});
  EXPECT_EQ(tree.exitCode, 0) << tree.err;
  // Placing again left the stages after it out of date.
  EXPECT_TRUE(contains(tree.out, "  Place and Route: up to date")) << tree.out;
  EXPECT_TRUE(contains(tree.out, "  Make BIT File: out of date")) << tree.out;
}

TEST(EndToEnd, ADesignWithAnErrorFailsAndProgramsNothing) {
  Server server;
  Project p("counter_undriven.edf");
  ProcessResult r = runZolta({"run", p.path(), "--cable", server.cable()});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_TRUE(contains(r.out, "error: Error (12061)")) << r.out;
  EXPECT_TRUE(contains(r.out, "Nothing was programmed.")) << r.out;
  EXPECT_FALSE(contains(r.out, "==> Download")) << r.out;
  EXPECT_TRUE(contains(r.err, "build of counter failed")) << r.err;
  EXPECT_FALSE(p.has("counter.rbf"));
  ProcessResult status = runZolta({"status", "--cable", server.cable()});
  EXPECT_TRUE(contains(status.out, "device 0 EP2AGZ225FF35C3: not configured")) << status.out;
}

TEST(EndToEnd, RunProgramsTheDeviceOfARemoteBitbangServer) {
  Server server;
  Project p;
  ProcessResult r = runZolta({"run", p.path(), "--cable", server.cable()});
  ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_TRUE(contains(r.out, "Downloading via JTAG Completed in")) << r.out;
  EXPECT_TRUE(contains(r.out, "device 0 EP2AGZ225FF35C3: configured, user code 0x00C0FFEE")) << r.out;
  // The device keeps its configuration for the next client.
  ProcessResult usercode = runZolta({"usercode", "--cable", server.cable()});
  EXPECT_TRUE(contains(usercode.out, "0x00C0FFEE")) << usercode.out;
  // A project for a device the chain does not hold is refused before anything runs.
  ProcessResult other = runZolta({"run", p.path(), "--cable", server.cable(), "--device", "EP2AGZ350FF35C3"});
  EXPECT_EQ(other.exitCode, 1);
  EXPECT_TRUE(contains(other.err, "no EP2AGZ350FF35C3 on remote_bitbang")) << other.err;
}

TEST(EndToEnd, ACableLostDuringTheBuildFailsTheDownloadStage) {
  // The server goes while the first tool still runs: the build needs no cable and succeeds, the
  // download stage then fails on the reset and says why.
  Project p("counter.edf", "after 2000\n");
  auto server = std::make_unique<Server>();
  ZoltaProcess run({"run", p.path(), "--cable", server->cable()});
  bool started = false;
  while (std::optional<std::string> line = run.readLine(10000))
    if (contains(*line, "Running ")) {
      started = true;
      break;
    }
  ASSERT_TRUE(started) << run.err();
  server.reset();
  std::optional<int> code = run.wait(30000);
  ASSERT_TRUE(code.has_value());
  EXPECT_EQ(*code, 1);
  EXPECT_TRUE(contains(run.rest, "Build succeeded")) << run.rest;
  EXPECT_TRUE(contains(run.rest, "==> Download")) << run.rest;
  EXPECT_TRUE(contains(run.rest, "Download failed")) << run.rest;
  EXPECT_TRUE(contains(run.err(), "download to device 0 EP2AGZ225FF35C3 failed: ")) << run.err();
  EXPECT_TRUE(contains(run.err(), "the server closed the connection")) << run.err();
}

TEST(EndToEnd, CtrlCStopsABuildHalfWayAndLeavesNoToolRunning) {
  // The extra constraint document keeps the first tool busy (Tcl "after") long enough to stop it.
  Project p("counter.edf", "after 30000\n");
  ZoltaProcess build({"build", p.path()});
  bool started = false;
  while (std::optional<std::string> line = build.readLine(10000))
    if (contains(*line, "Running ")) {
      started = true;
      break;
    }
  ASSERT_TRUE(started) << build.err();
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  ASSERT_FALSE(processesIn(p.path()).empty()) << "the tool is not running";
  const auto sent = std::chrono::steady_clock::now();
  build.signal(SIGINT);
  std::optional<int> code = build.wait(5000);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - sent).count();
  ASSERT_TRUE(code.has_value()) << "the build did not end after Ctrl-C";
  EXPECT_EQ(*code, 1);
  EXPECT_LT(seconds, 3.0);
  EXPECT_TRUE(contains(build.rest, "Build stopped")) << build.rest;
  EXPECT_FALSE(contains(build.rest, "==> Map Design")) << build.rest;
  EXPECT_TRUE(contains(build.err(), "stopped by the user")) << build.err();
  EXPECT_TRUE(processesIn(p.path()).empty()) << "a tool is still running in the project folder";
  EXPECT_FALSE(p.has("counter.rbf"));
}

TEST(EndToEnd, OptionOverridesAreStoredInTheProjectAndReachTheTools) {
  Project p;
  ProcessResult shown = runZolta({"options", "translate design", "--project", p.path()});
  ASSERT_EQ(shown.exitCode, 0) << shown.err;
  EXPECT_TRUE(contains(shown.out, "    Fitter Seed = 1\n")) << shown.out;

  ProcessResult set = runZolta({"options", "Translate Design", "--project", p.path(), "fitter seed=7"});
  ASSERT_EQ(set.exitCode, 0) << set.err;
  EXPECT_TRUE(contains(set.out, "Fitter Seed = 7  (project; default 1)")) << set.out;
  ProcessResult bad = runZolta({"options", "Translate Design", "--project", p.path(), "Fitter Seed=zero"});
  EXPECT_EQ(bad.exitCode, 1);
  EXPECT_TRUE(contains(bad.err, "'zero' is not a value of Fitter Seed")) << bad.err;
  ProcessResult none = runZolta({"options", "Make BIT File", "--project", p.path()});
  EXPECT_EQ(none.exitCode, 2);

  ProcessResult build = runZolta({"build", p.path()});
  ASSERT_EQ(build.exitCode, 0) << build.out << build.err;
  std::ifstream script(p.path() + "/counter_Create.tcl");
  const std::string text((std::istreambuf_iterator<char>(script)), std::istreambuf_iterator<char>());
  EXPECT_TRUE(contains(text, "-name SEED 7")) << text;

  // Removing the override makes the build out of date again.
  ASSERT_EQ(runZolta({"options", "Translate Design", "--project", p.path(), "--reset", "Fitter Seed"}).exitCode, 0);
  ProcessResult again = runZolta({"build", p.path()});
  EXPECT_TRUE(contains(again.out, "5 of 5 stages run")) << again.out;
}

TEST(EndToEnd, BadProjectsAreRefusedWithTheirFault) {
  TempFolder empty;
  Project p;
  TempFolder noDevice;
  noDevice.copy(demoFile("counter.edf"), "counter.edf");
  noDevice.write("counter.zproj", "{\"netlist\": \"counter.edf\"}");
  TempFolder badJson;
  badJson.write("top.zproj", "{\"device\": ");
  struct Case {
    std::vector<std::string> args;
    int exit;
    std::string message;
  } cases[] = {
      {{"build", empty.path()}, 1, "no project description (*.zproj)"},
      {{"build", empty.path() + "/nothing"}, 1, "does not exist"},
      {{"build", noDevice.path()}, 1, "no \"device\" given"},
      {{"build", badJson.path()}, 1, "top.zproj': unexpected end of text"},
      {{"build", p.path(), "--device", "XC7A35T"}, 1, "no loaded driver serves the device 'XC7A35T'"},
      {{"build", p.path(), "--stage", "Nope"}, 2, "no stage 'Nope' (stages: Translate Design"},
      {{"build"}, 2, "build: missing the project folder"},
  };
  for (const Case& k : cases) {
    ProcessResult r = runZolta(k.args);
    EXPECT_EQ(r.exitCode, k.exit) << k.message;
    EXPECT_TRUE(contains(r.err, k.message)) << k.message << "\n" << r.err;
  }
}

}  // namespace
}  // namespace zolta::hostapp::test
