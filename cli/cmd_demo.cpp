// zolta demo [--keep] [--verbose]: the whole way from a netlist to a running device, twice.
//
// Works on a temporary copy of the demo design installed beside the program (bin/Demo): builds it with
// the Quartus tools (the stand-in tools built beside zolta unless --quartus or QUARTUS_ROOTDIR names
// others) for the first Arria II GZ device of the simulated default chain of two, downloads the bit
// file, reads the state and the user code back, samples the boundary scan to show the LED pins
// counting, and then does the same again: the second pass finds the build and the download up to date
// and runs nothing.
#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <regex>
#include <thread>

#include "cmd_flow.h"
#include "jtag_options.h"
#include "zolta/hostapp/paths.h"

namespace zolta::cli {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

std::string fixed2(double v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.2f", v);
  return buf;
}

// The ball of every LED[i] in the project's constraint files ("set_location_assignment PIN_C3 -to LED[0]").
std::vector<std::pair<int, std::string>> ledBalls(const hostapp::ProjectDescription& project) {
  std::vector<std::pair<int, std::string>> balls;
  const std::regex assignment(R"(set_location_assignment\s+PIN_(\w+)\s+-to\s+\{?LED\[(\d+)\]\}?)", std::regex::icase);
  for (const std::string& file : project.constraints) {
    std::ifstream in(file);
    std::string line;
    std::smatch m;
    while (std::getline(in, line))
      if (std::regex_search(line, m, assignment)) balls.emplace_back(std::stoi(m[2].str()), m[1].str());
  }
  std::sort(balls.begin(), balls.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
  return balls;
}

// Samples the device's boundary scan `count` times and prints the LED pins; answers how many samples
// differed from the one before.
int sampleLeds(Context& context, const hostapp::JtagChainDevice& device, const hostapp::ProjectDescription& project,
               int count) {
  std::ostream& out = context.out();
  hostapp::TJTagDevice& jtag = *device.jtag;
  const DispPtr entity = jtag.GetBSDLEntity();
  if (!entity || !jtag.entity()) {
    context.err() << "zolta: demo: no boundary-scan description of " << deviceLabel(device) << ": "
                  << jtag.bsdlProblem() << '\n';
    return 0;
  }
  const auto balls = ledBalls(project);
  std::string header;
  for (const auto& [index, ball] : balls) header += "LED[" + std::to_string(index) + "]=" + ball + " ";
  out << "Boundary scan of " << deviceLabel(device) << " (" << header << "from the constraints):\n";
  std::string previous;
  int moved = 0;
  for (int k = 1; k <= count; ++k) {
    if (!jtag.SampleBoundaryScan(entity)) throw std::runtime_error("sampling the boundary scan failed");
    std::string bits;
    for (const auto& [index, ball] : balls) {
      char c = '?';
      for (const auto& pin : jtag.entity()->Pins())
        if (zabi::sameText(pin->PinNumber, ball)) c = pin->CurrentValue ? '1' : '0';
      bits += c;
    }
    if (!previous.empty() && bits != previous) ++moved;
    out << "  sample " << k << ": LED[" << (balls.empty() ? 0 : balls.front().first) << ":"
        << (balls.empty() ? 0 : balls.back().first) << "] = " << bits << '\n';
    previous = bits;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  out.flush();
  return moved;
}

void copyDemo(const std::string& from, const std::string& to) {
  for (const auto& e : fs::directory_iterator(from))
    if (e.is_regular_file()) fs::copy_file(e.path(), fs::path(to) / e.path().filename());
}

}  // namespace

int runDemo(Context& context, const std::vector<std::string>& args) {
  FlowOptions o;
  if (int rc = parseFlowOptions(context, "demo", args, {}, {"--keep", "--verbose"}, 0, 0, o); rc != kExitOk) return rc;
  const Clock::time_point start = Clock::now();
  const std::string source = hostapp::executableFolder() + "/Demo";
  if (!hostapp::isDirectory(source)) return context.failure("demo: the demo design is missing ('" + source + "')");

  const char* tmp = std::getenv("TMPDIR");
  std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/zolta-demo-XXXXXX";
  if (!mkdtemp(pattern.data())) return context.failure("demo: cannot create a working folder under " + pattern);
  const std::string work = pattern;
  struct Cleanup {
    std::string folder;
    bool keep;
    ~Cleanup() {
      std::error_code ec;
      if (!keep) fs::remove_all(folder, ec);
    }
  } cleanup{work, o.flags.count("--keep") > 0};
  copyDemo(source, work);

  std::ostream& out = context.out();
  out << "Zolta demo: the counter design, from its EDIF netlist to a running Arria II GZ\n"
      << "Working folder: " << work << (cleanup.keep ? " (kept)" : " (removed at the end)") << '\n';
  const hostapp::ProjectDescription project = hostapp::readProjectDescription(work);

  JtagOptions jo;  // the simulated default chain of two devices
  hostapp::JtagChain& chain = openChain(context, jo);
  out << "Chain " << chain.description() << ":";
  for (const auto& d : chain.devices()) out << "  " << deviceLabel(d);
  out << '\n';
  const hostapp::JtagChainDevice& device = projectDeviceOnChain(chain, project.device, std::nullopt);

  FlowSession session(context, project, o.flags.count("--verbose") > 0);
  DownloadOutcome passes[2];
  int moved = 0;
  for (int pass = 0; pass < 2; ++pass) {
    out << "\n=== Pass " << pass + 1 << (pass ? ": the same again, nothing changed" : ": build and program")
        << " ===\n";
    if (!buildAndDownload(context, session, chain, device, false, &passes[pass])) return kExitFailure;
    out << '\n';
    const int m = sampleLeds(context, device, project, 4);
    if (pass == 0) moved = m;
  }

  const double total = std::chrono::duration<double>(Clock::now() - start).count();
  const DownloadOutcome& a = passes[0];
  const DownloadOutcome& b = passes[1];
  std::string expectedCode = project.userId;
  if (expectedCode.rfind("0x", 0) == 0 || expectedCode.rfind("0X", 0) == 0) expectedCode.erase(0, 2);
  const bool codeMatches = expectedCode.empty() || zabi::sameText(hostapp::hexCode(a.userCode).substr(2), expectedCode);
  out << "\n=== Summary ===\n"
      << "Pass 1: build " << fixed2(a.buildSeconds) << " s (" << a.buildStagesRun << " stages run), download "
      << fixed2(a.downloadSeconds) << " s; " << deviceLabel(device) << " "
      << hostapp::deviceStateName(a.state) << ", user code " << hostapp::hexCode(a.userCode)
      << (codeMatches ? " (as the project asks)" : " (the project asks for " + project.userId + ")") << '\n'
      << "Pass 2: build " << fixed2(b.buildSeconds) << " s (" << b.buildStagesRun << " stages run), download "
      << (b.downloadRan ? "ran again" : "up to date") << "; " << hostapp::deviceStateName(b.state) << '\n'
      << "LED pins moved in " << moved << " of 3 sample steps\n"
      << "Demo finished in " << fixed2(total) << " s\n";
  out.flush();
  if (!codeMatches) return context.failure("demo: the device answers user code " + hostapp::hexCode(a.userCode) +
                                           ", not the project's " + project.userId);
  if (b.buildStagesRun != 0 || b.downloadRan)
    return context.failure("demo: the second pass was not up to date");
  return kExitOk;
}

}  // namespace zolta::cli
