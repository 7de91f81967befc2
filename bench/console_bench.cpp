// The console runner with real child programs:
//  - Lines: `cat` of a file of N lines of 80 characters through the runner (every line checked, in
//    order) against `cat` of the same file to /dev/null; peak memory of this process after each size
//    (it must not grow with the output).
//  - ExitToReturn: from the moment a child prints its last words to Execute returning.
//  - AbortGroup: Abort of a child that started a grandchild, until both have ended.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "zolta/flow/console_app.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

// Eight digits with leading zeros.
std::string number(int64_t i) {
  std::string n = std::to_string(i);
  return std::string(n.size() < 8 ? 8 - n.size() : 0, '0') + n;
}

// A file of `lines` lines: an 8-digit line number and 72 filler characters.
std::string linesFile(int64_t lines) {
  const std::string path =
      (std::filesystem::temp_directory_path() / ("zolta_console_bench_" + std::to_string(lines) + ".txt")).string();
  if (std::filesystem::exists(path) && std::filesystem::file_size(path) == uint64_t(lines) * 81) return path;
  std::ofstream out(path, std::ios::binary);
  const std::string filler = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789-=+*/abcde";  // 72
  for (int64_t i = 0; i < lines; ++i) out << number(i) << filler << '\n';
  return path;
}

long peakRssKb() {
  struct rusage u {};
  getrusage(RUSAGE_SELF, &u);
  return u.ru_maxrss;
}

void BM_CatToDevNull(benchmark::State& state) {
  const std::string file = linesFile(state.range(0));
  for (auto _ : state) {
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addopen(&fa, 1, "/dev/null", O_WRONLY, 0);
    char* argv[] = {const_cast<char*>("cat"), const_cast<char*>(file.c_str()), nullptr};
    pid_t pid = 0;
    if (posix_spawn(&pid, "/bin/cat", &fa, nullptr, argv, environ) != 0) state.SkipWithError("cat did not start");
    int status = 0;
    waitpid(pid, &status, 0);
    posix_spawn_file_actions_destroy(&fa);
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * state.range(0) * 81);
}
BENCHMARK(BM_CatToDevNull)->Arg(20000)->Arg(200000)->Unit(benchmark::kMillisecond);

void BM_RunnerLines(benchmark::State& state) {
  const int64_t lines = state.range(0);
  const std::string file = linesFile(lines);
  int64_t seen = 0;
  bool inOrder = true;
  zolta::TConsoleAppWrapper runner(
      "cat", file, "", "",
      [&](const std::string& l) {
        if (seen < lines) {
          int64_t n = 0;  // the line number, read without allocating
          for (size_t i = 0; i < 8 && i < l.size(); ++i) n = n * 10 + (l[i] - '0');
          if (l.size() != 80 || n != seen) inOrder = false;
        } else if (!l.empty()) {
          inOrder = false;
        }
        ++seen;
      },
      [&](const std::string&) { inOrder = false; }, true, 0, true);
  for (auto _ : state) {
    seen = 0;
    if (runner.Execute(60, false, 0, 0) != 0) state.SkipWithError("cat failed");
    if (!inOrder || seen != lines + 1) state.SkipWithError("lines lost or out of order");
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * lines * 81);
  state.counters["lines"] = double(seen - 1);
  state.counters["peak_rss_kb"] = double(peakRssKb());
}
BENCHMARK(BM_RunnerLines)->Arg(20000)->Arg(200000)->Unit(benchmark::kMillisecond);

// The child prints the realtime clock just before it ends; the time from there to Execute's return.
void BM_ExitToReturn(benchmark::State& state) {
  double lastPrinted = 0;
  zolta::TConsoleAppWrapper runner(
      "/bin/sh", "-c \"date +%s.%N\"", "", "", [&](const std::string& l) { if (!l.empty()) lastPrinted = std::stod(l); },
      nullptr, true, 0, true);
  double worst = 0, total = 0;
  for (auto _ : state) {
    runner.Execute(60, false, 0, 0);
    const double now =
        std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
    const double ms = (now - lastPrinted) * 1000.0;
    state.SetIterationTime(ms / 1000.0);
    worst = std::max(worst, ms);
    total += ms;
  }
  state.counters["mean_ms"] = total / double(state.iterations());
  state.counters["worst_ms"] = worst;
}
BENCHMARK(BM_ExitToReturn)->UseManualTime()->Iterations(50)->Unit(benchmark::kMillisecond);

bool ended(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string text;
  if (!stat || !std::getline(stat, text)) return true;
  const size_t close = text.rfind(')');
  return close != std::string::npos && close + 2 < text.size() && (text[close + 2] == 'Z' || text[close + 2] == 'X');
}

// Abort from the line callback; time until the child and its grandchild have both ended.
void BM_AbortGroup(benchmark::State& state) {
  double worst = 0, total = 0;
  for (auto _ : state) {
    pid_t grandchild = 0;
    Clock::time_point aborted;
    std::unique_ptr<zolta::TConsoleAppWrapper> runner;
    runner = std::make_unique<zolta::TConsoleAppWrapper>(
        "/bin/sh", "-c \"sleep 30 & echo $!; sleep 30\"", "", "",
        [&](const std::string& l) {
          if (grandchild || l.empty()) return;
          grandchild = pid_t(std::stoi(l));
          aborted = Clock::now();
          runner->Abort();
        },
        nullptr, true, 0, true);
    runner->Execute(60, false, 0, 0);
    while (!ended(grandchild) && Clock::now() - aborted < std::chrono::seconds(5))
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - aborted).count();
    state.SetIterationTime(ms / 1000.0);
    worst = std::max(worst, ms);
    total += ms;
  }
  state.counters["mean_ms"] = total / double(state.iterations());
  state.counters["worst_ms"] = worst;
}
BENCHMARK(BM_AbortGroup)->UseManualTime()->Iterations(20)->Unit(benchmark::kMillisecond);

}  // namespace
