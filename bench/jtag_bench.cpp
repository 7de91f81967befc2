// Programming speed of the host's JTAG path against the simulated cable's own limit.
//
//   jtag_bench [--mib N] [--no-rbb]
//
// 1. The limit: the file's bits shifted by a bare loop straight into the in-process simulated cable,
//    with the same two pin writes per bit (TCK low with TDI, TCK high) that a bit-banging host gives,
//    handed to the cable in 64 Ki blocks; and, for reference, the cable's batched shift().
// 2. `zolta program FILE` through the plug-in on the in-process cable: the time the data took (the
//    status-bar progress bracket), the whole run, and the program's peak resident memory.
// 3. The same through `zolta sim serve` over remote_bitbang on loopback.
// Every run must leave the device configured; the bench stops with an error otherwise.
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "zolta/sim/arria2gz_device.h"
#include "zolta/sim/cable.h"
#include "zolta/sim/chain.h"
#include "zolta/sim/rbf.h"
#include "zolta/sim/scan_engine.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

constexpr const char* kChain = "EP2AGZ225FF35C3,EP2AGZ300FF35C3";

double secondsSince(Clock::time_point t) { return std::chrono::duration<double>(Clock::now() - t).count(); }

std::vector<uint8_t> readFile(const std::string& path) {
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) throw std::runtime_error("cannot read " + path);
  std::vector<uint8_t> data(fs::file_size(path));
  const size_t n = std::fread(data.data(), 1, data.size(), f);
  std::fclose(f);
  data.resize(n);
  return data;
}

// PROGRAM on device 0, the file, STARTUP with 400 clocks; answers the seconds the data took.
double bareLoop(const std::vector<uint8_t>& file, bool batched) {
  auto chain = std::shared_ptr<zsim::Chain>(zsim::buildChain(kChain));
  zsim::SimCable cable(chain);
  zsim::ScanEngine engine(cable);
  engine.setIrLengths({10, 10});
  engine.loadInstruction(zsim::Arria2GZDevice::kProgram, 0);
  engine.gotoState(zsim::TapState::DrShift);
  engine.flush();

  const Clock::time_point start = Clock::now();
  if (batched) {
    cable.shift(nullptr, file.data(), nullptr, file.size() * 8);
  } else {
    std::vector<uint8_t> block;
    block.reserve(1 << 16);
    for (uint8_t byte : file) {
      for (int k = 0; k < 8; ++k) {
        const bool bit = (byte >> k) & 1;
        block.push_back(zsim::pinLevels(false, false, bit));
        block.push_back(zsim::pinLevels(true, false, bit));
      }
      if (block.size() >= (1 << 16) - 16) {
        cable.writePins(block.data(), block.size());
        block.clear();
      }
    }
    cable.writePins(block.data(), block.size());
  }
  const double seconds = secondsSince(start);

  // Trailing clocks so the device sees the whole file, then start-up.
  std::vector<uint8_t> ones(16, 0xFF);
  cable.shift(nullptr, ones.data(), nullptr, 128);
  engine.moveState(zsim::TapState::DrShift, zsim::TapState::DrShift);
  engine.clockTms(true);
  engine.moveState(zsim::TapState::DrExit1, zsim::TapState::Idle);
  engine.loadInstruction(zsim::Arria2GZDevice::kStartup, 0);
  engine.idleClocks(400);
  engine.flush();
  if (!chain->deviceAs<zsim::Arria2GZDevice>(0)->configured())
    throw std::runtime_error("the bare loop left the device unconfigured: " + chain->device(0).status());
  return seconds;
}

struct Child {
  pid_t pid = -1;
  int out = -1;
};

Child spawn(const std::vector<std::string>& args, bool pipeOut) {
  int fds[2] = {-1, -1};
  if (pipeOut && pipe(fds) != 0) throw std::runtime_error("pipe failed");
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (pipeOut) {
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
  }
  std::vector<std::string> argv = args;
  std::vector<char*> raw;
  for (std::string& a : argv) raw.push_back(a.data());
  raw.push_back(nullptr);
  Child c;
  if (posix_spawn(&c.pid, argv[0].c_str(), &actions, nullptr, raw.data(), environ) != 0)
    throw std::runtime_error("cannot start " + argv[0]);
  posix_spawn_file_actions_destroy(&actions);
  if (pipeOut) {
    close(fds[1]);
    c.out = fds[0];
  }
  return c;
}

std::string readAll(int fd) {
  std::string s;
  char buf[4096];
  for (ssize_t n; (n = read(fd, buf, sizeof buf)) > 0;) s.append(buf, size_t(n));
  return s;
}

std::optional<double> jsonNumber(const std::string& json, const std::string& key) {
  const size_t at = json.find("\"" + key + "\": ");
  if (at == std::string::npos) return std::nullopt;
  const char* p = json.c_str() + at + key.size() + 4;
  if (std::strncmp(p, "null", 4) == 0) return std::nullopt;
  return std::strtod(p, nullptr);
}

struct Run {
  double seconds = 0, dataSeconds = 0, bits = 0;
  long peakKiB = 0;
};

// `zolta program --json FILE [extra]`, timed and measured.
Run programRun(const std::string& zolta, const std::string& file, const std::vector<std::string>& extra) {
  std::vector<std::string> args{zolta, "program", "--json", file};
  args.insert(args.end(), extra.begin(), extra.end());
  Child c = spawn(args, true);
  const std::string out = readAll(c.out);
  close(c.out);
  int status = 0;
  rusage usage{};
  wait4(c.pid, &status, 0, &usage);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || out.find("\"configured\": true") == std::string::npos)
    throw std::runtime_error("zolta program failed:\n" + out);
  Run r;
  r.seconds = jsonNumber(out, "seconds").value_or(0);
  r.dataSeconds = jsonNumber(out, "dataSeconds").value_or(0);
  r.bits = jsonNumber(out, "bits").value_or(0);
  r.peakKiB = usage.ru_maxrss;
  return r;
}

}  // namespace

int main(int argc, char** argv) {
  size_t mib = 12;
  bool rbb = true;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--mib" && i + 1 < argc) mib = std::stoul(argv[++i]);
    else if (a == "--no-rbb") rbb = false;
    else {
      std::fprintf(stderr, "usage: jtag_bench [--mib N] [--no-rbb]\n");
      return 2;
    }
  }
  try {
    const fs::path dir = fs::temp_directory_path() / ("zolta-jtag-bench-" + std::to_string(getpid()));
    fs::create_directories(dir);
    struct Cleanup {
      fs::path d;
      ~Cleanup() {
        std::error_code ec;
        fs::remove_all(d, ec);
      }
    } cleanup{dir};
    const std::string file = (dir / "bench.rbf").string();
    const size_t overhead = zsim::kRbfPadding + zsim::kRbfHeaderSize + 4;
    std::vector<uint8_t> payload(mib * (size_t(1) << 20) - overhead);
    uint32_t x = 12345;
    for (uint8_t& b : payload) b = uint8_t((x = x * 1103515245u + 12345u) >> 24);
    zsim::writeRbf(file, "EP2AGZ225FF35C3", 0xBE4C4000, payload);
    payload = {};
    const std::vector<uint8_t> image = readFile(file);
    const double mbit = double(image.size()) * 8 / 1e6;
    std::printf("bit file: %zu bytes (%.1f Mbit), chain %s, device 0\n\n", image.size(), mbit, kChain);

    const double bare = bareLoop(image, false);
    std::printf("%-44s %8.3f s  %8.2f Mbit/s\n", "bare loop, 2 pin writes per bit (the limit)", bare, mbit / bare);
    const double shifted = bareLoop(image, true);
    std::printf("%-44s %8.3f s  %8.2f Mbit/s\n", "bare loop, one batched shift()", shifted, mbit / shifted);

    const std::string zolta = ZOLTA_EXE;
    const Run sim = programRun(zolta, file, {});
    std::printf("%-44s %8.3f s  %8.2f Mbit/s  (%.2fx the limit)\n", "zolta program, in-process cable: data",
                sim.dataSeconds, sim.bits / 1e6 / sim.dataSeconds, sim.dataSeconds / bare);
    std::printf("%-44s %8.3f s  %8.2f Mbit/s  peak RSS %.1f MiB (file %.1f MiB)\n", "zolta program, in-process cable: whole run",
                sim.seconds, sim.bits / 1e6 / sim.seconds, double(sim.peakKiB) / 1024, double(image.size()) / (1 << 20));

    if (rbb) {
      Child server = spawn({zolta, "sim", "serve", "--port", "0"}, true);
      std::string line;
      char ch;
      while (read(server.out, &ch, 1) == 1 && ch != '\n') line += ch;
      const size_t at = line.find("127.0.0.1:");
      if (at == std::string::npos) throw std::runtime_error("the server did not start: " + line);
      const std::string port = line.substr(at + 10, line.find(',', at) - at - 10);
      Run remote;
      try {
        remote = programRun(zolta, file, {"--cable", "rbb://127.0.0.1:" + port});
      } catch (...) {
        kill(server.pid, SIGINT);
        waitpid(server.pid, nullptr, 0);
        throw;
      }
      kill(server.pid, SIGINT);
      waitpid(server.pid, nullptr, 0);
      close(server.out);
      std::printf("%-44s %8.3f s  %8.2f Mbit/s\n", "zolta program, remote_bitbang loopback: data", remote.dataSeconds,
                  remote.bits / 1e6 / remote.dataSeconds);
      std::printf("%-44s %8.3f s  %8.2f Mbit/s  peak RSS %.1f MiB\n", "zolta program, remote_bitbang loopback: whole run",
                  remote.seconds, remote.bits / 1e6 / remote.seconds, double(remote.peakKiB) / 1024);
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "jtag_bench: %s\n", e.what());
    return 1;
  }
  return 0;
}
