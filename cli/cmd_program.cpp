// zolta program FILE.rbf [--cable C] [--device INDEX] [--json]: configures the device from a raw bit file.
//
// The request goes the way the build flow's download goes: host device -> its driver's ProgramDevice ->
// the plug-in's JTAG routine -> the host channel -> the cable. The status-bar progress the routine
// reports is drawn as a progress bar on a terminal. Afterwards the command reads the device state:
// anything but "configured" is a failure (exit 1) with the reason, as far as the host can tell it
// (the bit file missing or damaged, a file for another device, the cable gone).
#include <chrono>
#include <cstdio>
#include <filesystem>

#include "jtag_options.h"
#include "zolta/hostapp/paths.h"
#include "zolta/hostapp/text.h"
#include "zolta/sim/error.h"
#include "zolta/sim/rbf.h"

namespace zolta::cli {

namespace {

using Clock = std::chrono::steady_clock;

// Passes every status-bar change on and notes when the (outermost) progress bracket opens and closes:
// that is the time the routine spends shifting the file.
class ProgressClock final : public hostapp::ProgressListener {
 public:
  explicit ProgressClock(hostapp::ProgressListener* next) : next_(next) {}
  void progressChanged(const hostapp::StatusBar& bar) override {
    if (bar.progressActive() && !began_) began_ = Clock::now();
    if (!bar.progressActive() && began_ && !ended_) ended_ = Clock::now();
    if (next_) next_->progressChanged(bar);
  }
  void panelTextChanged(int32_t panel, const std::string& text) override {
    if (next_) next_->panelTextChanged(panel, text);
  }
  // Seconds between the bracket's opening and closing; negative when it did not run through.
  double seconds() const {
    return began_ && ended_ ? std::chrono::duration<double>(*ended_ - *began_).count() : -1.0;
  }

 private:
  hostapp::ProgressListener* next_;
  std::optional<Clock::time_point> began_, ended_;
};

bool startsWithNoCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && zabi::sameText(text.substr(0, prefix.size()), prefix);
}

// What the host can tell about the file before it goes out; empty when nothing is wrong. The host knows
// the raw bit-file layout of the simulated devices: header, device name, length and checksums.
std::string checkBitFile(const std::string& file, const hostapp::JtagChainDevice& device, uint64_t& bytes) {
  namespace fs = std::filesystem;
  std::error_code ec;
  std::string path = file;
  if (!fs::exists(path, ec)) {
    const fs::path p(file);
    std::string found = hostapp::findEntryNoCase(p.has_parent_path() ? p.parent_path().string() : ".", p.filename().string());
    if (found.empty()) return "the bit file '" + file + "' does not exist";
    path = found;
  }
  if (fs::is_directory(path, ec)) return "'" + file + "' is a folder, not a bit file";
  bytes = fs::file_size(path, ec);
  zsim::RbfInfo info;
  try {
    info = zsim::readRbf(path);
  } catch (const zsim::SimError& e) {
    return e.what();  // names the file and what is wrong with it
  }
  const std::vector<std::string>& names = device.jtag->facts().idNames;
  for (const std::string& n : names)
    if (startsWithNoCase(info.deviceName, n)) return {};
  if (names.empty() && startsWithNoCase(info.deviceName, device.deviceName.substr(0, 10))) return {};
  std::string is;
  for (const std::string& n : names) is += (is.empty() ? "" : " or ") + n;
  return "the bit file '" + file + "' is for " + info.deviceName + ", but " + deviceLabel(device) + " is " +
         (is.empty() ? device.deviceName : is);
}

std::string fixed(double value, int digits) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.*f", digits, value);
  return buf;
}

std::string jsonText(const std::string& s) { return s.empty() ? std::string("null") : hostapp::jsonString(s); }

}  // namespace

int runProgram(Context& context, const std::vector<std::string>& args) {
  JtagOptions options;
  if (int rc = parseJtagOptions(context, "program", args, true, 1, "the bit file (FILE.rbf)", options); rc != kExitOk)
    return rc;
  const std::string file = options.positional.front();
  hostapp::JtagChain& chain = openChain(context, options);
  const hostapp::JtagChainDevice& device = chain.served(options.device);
  const bool json = context.options().json;

  uint64_t bytes = 0;
  const std::string fileProblem = checkBitFile(file, device, bytes);
  if (!json)
    context.out() << "Programming " << deviceLabel(device) << " on " << chain.description() << " from " << file
                  << (bytes ? " (" + std::to_string(bytes) + " bytes)" : std::string()) << std::endl;
  if (!fileProblem.empty()) context.err() << "zolta: warning: " << fileProblem << std::endl;

  hostapp::StatusBar& bar = context.host().statusBar();
  hostapp::ProgressListener* const terminal = bar.listener();
  ProgressClock clock(terminal);
  bar.setListener(&clock);
  const Clock::time_point start = Clock::now();
  int32_t bits = 0;
  std::string error;
  try {
    bits = device.host->ProgramDevice(file);
  } catch (const std::exception& e) {
    error = e.what();
  }
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  bar.setListener(terminal);
  const double dataSeconds = clock.seconds();

  int32_t state = -1;
  uint32_t userCode = 0;
  std::string stateError;
  try {
    state = device.host->GetDeviceState();
    if (state == 2) userCode = uint32_t(device.host->ReadUserCode());
  } catch (const std::exception& e) {
    stateError = e.what();
  }
  const std::string cableFailure = chain.channel()->broken() ? "the JTAG cable failed: " + chain.channel()->failure() : std::string();

  // Why the device is not configured, as far as the host can tell.
  std::string reason;
  if (!error.empty()) reason = "programming failed: " + error + (cableFailure.empty() ? "" : " (" + cableFailure + ")");
  else if (bits == 0) reason = "programming did not start: " + (fileProblem.empty() ? "the driver sent no data" : fileProblem);
  else if (state != 2) reason = fileProblem.empty() ? "the device did not accept the bit file" : fileProblem;

  const double mbits = seconds > 0 ? double(bits) / seconds / 1e6 : 0.0;
  const double dataMbits = dataSeconds > 0 ? double(bits) / dataSeconds / 1e6 : 0.0;
  std::ostream& out = context.out();
  if (json) {
    out << "{" << jsonDeviceFields(device) << ", \"cable\": " << hostapp::jsonString(chain.description())
        << ", \"file\": " << hostapp::jsonString(file) << ", \"bytes\": " << bytes << ", \"bits\": " << bits
        << ", \"seconds\": " << fixed(seconds, 3) << ", \"mbitPerSecond\": " << fixed(mbits, 3)
        << ", \"dataSeconds\": " << (dataSeconds < 0 ? std::string("null") : fixed(dataSeconds, 3))
        << ", \"dataMbitPerSecond\": " << (dataSeconds < 0 ? std::string("null") : fixed(dataMbits, 3))
        << ", \"state\": " << state << ", \"stateName\": "
        << (state < 0 ? std::string("null") : hostapp::jsonString(hostapp::deviceStateName(state)))
        << ", \"userCode\": " << (state == 2 ? hostapp::jsonString(hostapp::hexCode(userCode)) : std::string("null"))
        << ", \"configured\": " << (state == 2 ? "true" : "false") << ", \"error\": " << jsonText(reason)
        << ", \"stateError\": " << jsonText(stateError) << "}\n";
  } else {
    if (bits > 0) {
      out << "Sent " << bits << " bits in " << fixed(seconds, 2) << " s (" << fixed(mbits, 2) << " Mbit/s)";
      if (dataSeconds >= 0)
        out << "; the data took " << fixed(dataSeconds, 2) << " s (" << fixed(dataMbits, 2) << " Mbit/s)";
      out << '\n';
    }
    out << deviceLabel(device) << ": ";
    if (state < 0) out << "state unknown";
    else out << hostapp::deviceStateName(state);
    if (state == 2) out << ", user code " << hostapp::hexCode(userCode);
    out << '\n';
  }
  out.flush();
  if (state == 2 && error.empty()) return kExitOk;
  if (!stateError.empty()) context.err() << "zolta: program: cannot read the device state: " << stateError << '\n';
  if (state < 0) return context.failure("program: " + deviceLabel(device) + ": " + reason);
  return context.failure("program: " + deviceLabel(device) + " is not configured: " + reason);
}

}  // namespace zolta::cli
