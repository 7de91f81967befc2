#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <fstream>
#include <memory>
#include <system_error>

#include "flow_fakes.h"
#include "zolta/flow/console_app.h"

namespace zolta::flowtest {
namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point t) { return std::chrono::duration<double>(Clock::now() - t).count(); }

// A process that has ended: gone, or a zombie that is not ours to reap.
bool processEnded(pid_t pid, double withinSeconds) {
  const auto start = Clock::now();
  do {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text;
    if (!stat || !std::getline(stat, text)) return true;
    const size_t close = text.rfind(')');
    if (close != std::string::npos && close + 2 < text.size() && (text[close + 2] == 'Z' || text[close + 2] == 'X'))
      return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  } while (secondsSince(start) < withinSeconds);
  return false;
}

std::string executable(const TempDir& dir, const std::string& rel, const std::string& script) {
  const std::string path = dir.write(rel, script);
  ::chmod(path.c_str(), 0755);
  return path;
}

// Runs a program and records its lines as "N:<line>" (new line) or "U:<line>" (updated line).
struct Capture {
  std::vector<std::string> lines;
  std::unique_ptr<TConsoleAppWrapper> wrapper;
  std::function<void(const std::string&)> onLine;  // called after recording a line

  Capture(const std::string& app, const std::string& params, const std::string& env = {},
          const std::string& workDir = {}, bool pump = true) {
    wrapper = std::make_unique<TConsoleAppWrapper>(
        app, params, env, workDir,
        [this](const std::string& l) {
          lines.push_back("N:" + l);
          if (onLine) onLine(l);
        },
        [this](const std::string& l) {
          lines.push_back("U:" + l);
          if (onLine) onLine(l);
        },
        true, 0, pump);
  }
  uint32_t run(int32_t timeout = 60, bool reset = false) { return wrapper->Execute(timeout, reset, 0, 0); }
};

class Console : public ::testing::Test {
 protected:
  TempDir dir;
  void TearDown() override {
    SetEventPump({});
    EXPECT_TRUE(NoChildProcesses()) << "a child process was left unreaped";
  }
};

TEST_F(Console, LinesAreAssembledSplitAndHeldByTheRules) {
  struct Case {
    const char* what;
    std::string output;
    std::vector<std::string> lines;
  };
  const std::string x513(513, 'x');
  const Case cases[] = {
      {"CR LF lines", "a\r\nb\r\n", {"N:a", "N:b", "N:"}},
      {"progress with bare CR", "p1\rp2\rp3\r\n", {"N:p1", "U:p2", "U:p3", "N:"}},
      {"1200 characters", std::string(1200, 'x') + "\r\n", {"N:" + x513, "U:" + x513, "U:" + std::string(174, 'x'), "N:"}},
      {"LF-only lines", "a\nb\n", {"N:a", "N:b", "N:"}},
      {"blank lines", "\n\r\n", {"N:", "N:", "N:"}},
      {"File: line joined to the next", "File: top.v\r\n   line 12 \r\nnext\r\n",
       {"N:File: top.v: line 12", "N:next", "N:"}},
      {"not-found line joined", "File: a.v\r\n  cannot open file Not found  \r\n",
       {"N:File: a.v: cannot open file Not found", "N:"}},
      {"a held line replaces the held one", "File: a.v\r\nError: x file Not found\r\n",
       {"N:Error: x file Not found: "}},
      {"NUL bytes and invalid UTF-8", std::string("a\0b\xff\xfe\r\n", 7), {std::string("N:a\0b\xff\xfe", 7), "N:"}},
      {"no line end at the end", "tail", {"N:tail"}},
      {"output ending on a held line", "File: q", {"N:File: q"}},
      {"no output", "", {"N:"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string file = dir.write("out.bin", c.output);
    Capture cap("/bin/cat", file);
    EXPECT_EQ(cap.run(), 0u);
    EXPECT_EQ(cap.lines, c.lines);
  }
}

TEST_F(Console, MegabyteLineWithoutLineFeedComesInPiecesOf513) {
  const size_t size = 1 << 20;
  const std::string file = dir.write("big.bin", std::string(size, 'y'));
  Capture cap("cat", file);
  EXPECT_EQ(cap.run(), 0u);
  size_t total = 0;
  for (size_t i = 0; i < cap.lines.size(); ++i) {
    const std::string& l = cap.lines[i];
    ASSERT_EQ(l.substr(0, 2), i == 0 ? "N:" : "U:") << i;
    ASSERT_LE(l.size() - 2, kConsoleLineLimit);
    if (i + 1 < cap.lines.size()) {
      ASSERT_EQ(l.size() - 2, kConsoleLineLimit) << i;
    }
    total += l.size() - 2;
  }
  EXPECT_EQ(total, size);
  EXPECT_EQ(cap.lines.size(), size / kConsoleLineLimit + 1);
}

TEST_F(Console, CommandLinesAreQuotedAndSplitWithoutAShell) {
  EXPECT_EQ(ConsoleCommandLine("/opt/my tools/quartus_map", "top"), "\"/opt/my tools/quartus_map\" top");
  EXPECT_EQ(ConsoleCommandLine("\"/opt/my tools/quartus_map\"", "top"), "\"/opt/my tools/quartus_map\" top");
  EXPECT_EQ(ConsoleCommandLine("/bin/quartus_map", ""), "/bin/quartus_map ");

  struct Case {
    std::string line;
    std::vector<std::string> args;
  };
  const Case cases[] = {
      {"prog a  b\tc ", {"prog", "a", "b", "c"}},
      {"\"/my dir/prog\" \"two words\" x\"y z\"w", {"/my dir/prog", "two words", "xy zw"}},
      {R"(p "" a\\b a\"q "in ""q"" side" tail\\)", {"p", "", R"(a\\b)", "a\"q", "in \"q\" side", R"(tail\\)"}},
      {R"(p a\\\"b c\\"d e")", {"p", R"(a\"b)", R"(c\d e)"}},
      {"p $HOME;rm -rf x|y `z`", {"p", "$HOME;rm", "-rf", "x|y", "`z`"}},
      {"   ", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    EXPECT_EQ(SplitConsoleCommandLine(c.line), c.args);
  }

  // A program in a folder with a blank, its arguments reaching it intact (no shell expands them).
  const std::string tool = executable(dir, "my tools/show", "#!/bin/sh\nfor a in \"$@\"; do echo \"[$a]\"; done\n");
  Capture cap(tool, "one \"two three\" $HOME '' \"\" d\\\"q");
  EXPECT_EQ(cap.run(), 0u);
  EXPECT_EQ(cap.lines, (std::vector<std::string>{"N:[one]", "N:[two three]", "N:[$HOME]", "N:['']", "N:[]",
                                                 "N:[d\"q]", "N:"}));
}

TEST_F(Console, EnvironmentBlockGivesTheSearchPathAndWorkingFolderIsUsed) {
  executable(dir, "bin/mytool", "#!/bin/sh\necho \"FOO=$FOO\"\npwd\n");
  const std::string bin = dir.file("bin");
  using namespace std::string_literals;
  const std::string env = "PATHEXT=.nope\0PATH="s + bin + ":/usr/bin:/bin" + "\0FOO=bar\0\0"s;
  const std::string work = std::filesystem::canonical(dir.path).string();
  Capture cap("mytool", "", env, work);
  EXPECT_EQ(cap.run(), 0u);
  EXPECT_EQ(cap.lines, (std::vector<std::string>{"N:FOO=bar", "N:" + work, "N:"}));

  // Without the block the program is not on this process's search path.
  Capture plain("mytool", "");
  try {
    plain.run();
    FAIL() << "started a program that is not on the search path";
  } catch (const std::system_error& e) {
    EXPECT_NE(std::string(e.what()).find("'mytool' not found"), std::string::npos) << e.what();
  }
}

TEST_F(Console, StartFailuresNameTheProgramOrFolderAndLeaveNothingBehind) {
  const std::string plainFile = dir.write("notexec.sh", "#!/bin/sh\necho hi\n");
  ::chmod(plainFile.c_str(), 0644);
  struct Case {
    std::string app, workDir, expected;
  };
  const Case cases[] = {
      {"no_such_tool_zz", "", "'no_such_tool_zz' not found"},
      {"/nonexistent/tool", "", "'/nonexistent/tool' does not exist"},
      {plainFile, "", "'" + plainFile + "' is not executable"},
      {dir.path.string(), "", "is a folder"},
      {"/bin/true", "/nonexistent/folder", "working folder '/nonexistent/folder' does not exist"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.app);
    Capture cap(c.app, "", "", c.workDir);
    try {
      cap.run();
      FAIL() << "started";
    } catch (const std::system_error& e) {
      EXPECT_NE(std::string(e.what()).find(c.expected), std::string::npos) << e.what();
    }
    EXPECT_FALSE(cap.wrapper->Executing());
    EXPECT_TRUE(NoChildProcesses());
  }
}

TEST_F(Console, ExitCodesOfNormalAndSignalledEnds) {
  struct Case {
    std::string params;
    uint32_t code;
  };
  for (const Case& c : {Case{"-c \"exit 3\"", 3}, Case{"-c \"exit 0\"", 0}, Case{"-c \"kill -9 $$\"", 137}}) {
    SCOPED_TRACE(c.params);
    Capture cap("/bin/sh", c.params);
    EXPECT_EQ(cap.run(), c.code);
  }
}

TEST_F(Console, TimeOutKillsTheProgramUnlessOutputKeepsResettingIt) {
  {
    Capture cap("/bin/sh", "-c \"sleep 5\"");
    const auto start = Clock::now();
    EXPECT_EQ(cap.run(1), kConsoleExitStillActive);
    EXPECT_GT(secondsSince(start), 0.9);
    EXPECT_LT(secondsSince(start), 3.0);
  }
  const std::string ticking = "-c \"for i in 1 2 3 4 5; do echo $i; sleep 0.3; done\"";
  {
    Capture cap("/bin/sh", ticking);
    EXPECT_EQ(cap.run(1, true), 0u);
    EXPECT_EQ(cap.lines, (std::vector<std::string>{"N:1", "N:2", "N:3", "N:4", "N:5", "N:"}));
  }
  {
    Capture cap("/bin/sh", ticking);
    EXPECT_EQ(cap.run(1, false), kConsoleExitStillActive);
    EXPECT_LT(cap.lines.size(), 6u);
  }
}

TEST_F(Console, AbortFromACallbackEndsTheWholeProcessGroup) {
  Capture cap("/bin/sh", "-c \"sleep 30 & echo $!; sleep 30\"");
  pid_t grandchild = 0;
  uint32_t nested = 99;
  cap.onLine = [&](const std::string& l) {
    if (grandchild) return;
    grandchild = pid_t(std::stoi(l));
    EXPECT_TRUE(cap.wrapper->Executing());
    nested = cap.wrapper->Execute(60, false, 0, 0);  // a second run while one runs answers 0 at once
    cap.wrapper->Abort();
  };
  const auto start = Clock::now();
  EXPECT_EQ(cap.run(), kConsoleExitKilled);
  EXPECT_LT(secondsSince(start), 5.0);
  EXPECT_EQ(nested, 0u);
  ASSERT_GT(grandchild, 0);
  EXPECT_TRUE(processEnded(grandchild, 2.0));
  EXPECT_FALSE(cap.wrapper->Executing());
  // The same wrapper runs again after a run.
  cap.onLine = nullptr;
  cap.lines.clear();
  EXPECT_NE(cap.run(1), 0u);
}

TEST_F(Console, FailingCallbackStopsTheProgramAndReachesTheCaller) {
  Capture cap("/bin/sh", "-c \"echo one; sleep 30\"");
  cap.onLine = [](const std::string&) { throw std::runtime_error("handler failed"); };
  const auto start = Clock::now();
  EXPECT_THROW(cap.run(), std::runtime_error);
  EXPECT_LT(secondsSince(start), 5.0);
  EXPECT_FALSE(cap.wrapper->Executing());
}

TEST_F(Console, StandardOutputToAGivenDescriptorKeepsErrorsOnThePipe) {
  const std::string file = dir.file("stdout.txt");
  const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  ASSERT_GE(fd, 0);
  std::vector<std::string> lines;
  TConsoleAppWrapper w("/bin/sh", "-c \"echo out; echo err >&2\"", "", "",
                       [&](const std::string& l) { lines.push_back(l); }, nullptr, true, 0, false);
  EXPECT_EQ(w.Execute(60, false, 0, fd), 0u);
  ::close(fd);
  EXPECT_EQ(lines, (std::vector<std::string>{"err", ""}));
  std::ifstream in(file);
  std::string first;
  std::getline(in, first);
  EXPECT_EQ(first, "out");
}

TEST_F(Console, TerminateAsksPolitelyThenKills) {
  struct Case {
    std::string params;
    double minSeconds;  // a program that ignores the request is killed after the time-out
  };
  for (const Case& c : {Case{"-c \"echo go; sleep 30\"", 0.0}, Case{"-c \"trap '' TERM; echo go; sleep 30\"", 0.25}}) {
    SCOPED_TRACE(c.params);
    Capture cap("/bin/sh", c.params);
    double took = -1;
    cap.onLine = [&](const std::string& l) {
      if (l != "go") return;
      const auto t = Clock::now();
      cap.wrapper->Terminate(300);
      took = secondsSince(t);
    };
    EXPECT_EQ(cap.run(), kConsoleExitKilled);
    EXPECT_GE(took, c.minSeconds);
    EXPECT_LT(took, 2.0);
  }
}

TEST_F(Console, WaitingPumpsTheHostEventsOnlyWhenAsked) {
  for (bool pump : {true, false}) {
    SCOPED_TRACE(pump);
    int pumped = 0;
    SetEventPump([&] { ++pumped; });
    Capture cap("/bin/sh", "-c \"sleep 0.5\"", "", "", pump);
    EXPECT_EQ(cap.run(), 0u);
    if (pump) {
      EXPECT_GE(pumped, 4);  // every 100 ms, and after the final line
    } else {
      EXPECT_EQ(pumped, 0);
    }
  }
}

TEST_F(Console, UnredirectedProgramRunsOnItsOwnAndIsReaped) {
  TConsoleAppWrapper w("/bin/sh", "-c \"exit 0\"", "", "", nullptr, nullptr, false, 0, false);
  EXPECT_EQ(w.Execute(60, false, 0, 0), 0u);
  EXPECT_FALSE(w.Executing());
  ASSERT_GT(w.ProcessID(), 0);
  // Reaped in the background: the process disappears without anyone here waiting for it.
  const auto start = Clock::now();
  while (std::filesystem::exists("/proc/" + std::to_string(w.ProcessID())) && secondsSince(start) < 5)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  EXPECT_FALSE(std::filesystem::exists("/proc/" + std::to_string(w.ProcessID())));
}

// ---- a flow stage that runs a tool -------------------------------------------------------------------

class ToolStage : public TProcessFlowStage {
 public:
  ToolStage(Log& log, std::string name, std::string params)
      : TProcessFlowStage(name, name, name), log_(log), params_(std::move(params)) {}
  bool ThisStage_OutputExists() override { return false; }
  double ThisStage_DateTimeUpdated() override { return 0; }
  void Stop() override {
    TProcessFlowStage::Stop();
    if (tool_) tool_->Abort();
  }
  TFlowRunResult PerformStage(const DispPtr&) override {
    log_.push_back("run " + FStageName);
    TConsoleAppWrapper tool("/bin/sh", params_, "", "", [this](const std::string& l) { log_.push_back("line " + l); },
                            nullptr, true, 0, true);
    tool_ = &tool;
    struct Forget {
      TConsoleAppWrapper*& t;
      ~Forget() { t = nullptr; }
    } forget{tool_};
    return tool.Execute(2147483647, false, 0, 0) == 0 ? eFlowRun_Success : eFlowRun_Failure;
  }

 private:
  Log& log_;
  std::string params_;
  TConsoleAppWrapper* tool_ = nullptr;
};

TEST_F(Console, StopOnACategoryAbortsTheRunningToolAndStartsNothingMore) {
  FakeHost host;
  auto build = MakeFlowObject<TProcessFlowCategory>("Build", "Build", "Build", "", "");
  auto fit = MakeFlowObject<ToolStage>(host.log, "Fit", "-c \"echo fitting; sleep 30 & sleep 30\"");
  auto asmb = MakeFlowObject<ToolStage>(host.log, "Assemble", "-c \"echo assembling\"");
  zabi::invoke(asmb, flowid::AddDependency, DispPtr(fit));
  zabi::invoke(build, flowid::AddChildStage, DispPtr(fit));
  zabi::invoke(build, flowid::AddChildStage, DispPtr(asmb));

  // The host's event loop: 300 ms into the run the user presses Stop.
  const auto start = Clock::now();
  bool stopped = false;
  std::string runningAtStop;
  SetEventPump([&] {
    if (stopped || secondsSince(start) < 0.3) return;
    stopped = true;
    runningAtStop = nameOf(zabi::invoke(build, flowid::RunningStage).toDispatch());
    zabi::invoke(build, flowid::Stop);
  });
  EXPECT_EQ(zabi::invoke(build, flowid::RunAll, host.runnerRef).toInt32(), eFlowRun_Failure);
  EXPECT_LT(secondsSince(start), 5.0);
  EXPECT_EQ(runningAtStop, "Fit");
  EXPECT_EQ(host.log, (Log{"runner.begin", "runner.start Build", "runner.start Fit", "run Fit", "line fitting",
                           "line ", "runner.end"}));
  EXPECT_EQ(zabi::invoke(fit, flowid::LastRunResult).toInt32(), eFlowRun_Failure);
  EXPECT_EQ(zabi::invoke(asmb, flowid::LastRunResult).toInt32(), eFlowRun_DidNotRun);
  EXPECT_EQ(zabi::invoke(build, flowid::LastRunResult).toInt32(), eFlowRun_Failure);
  EXPECT_FALSE(zabi::invoke(build, flowid::IsRunning).toBool());
  zabi::invoke(build, flowid::ClearChildren);
}

}  // namespace
}  // namespace zolta::flowtest
