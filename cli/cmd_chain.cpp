// zolta chain [--cable C] [--json]: scans the chain and lists every device with its IDCODE, instruction
// length, the device a driver serves it as (through the host's JTAG ID map) and its BSDL file.
#include <algorithm>
#include <filesystem>

#include "jtag_options.h"
#include "zolta/hostapp/text.h"

namespace zolta::cli {

namespace {

std::string fileName(const std::string& path) { return std::filesystem::path(path).filename().string(); }

std::string padded(const std::string& text, size_t width) {
  return text + std::string(text.size() < width ? width - text.size() : 1, ' ');
}

}  // namespace

int runChain(Context& context, const std::vector<std::string>& args) {
  JtagOptions options;
  if (int rc = parseJtagOptions(context, "chain", args, false, 0, nullptr, options); rc != kExitOk) return rc;
  hostapp::JtagChain& chain = openChain(context, options);
  std::ostream& out = context.out();
  const auto& devices = chain.devices();

  if (context.options().json) {
    out << "{\n  \"cable\": " << hostapp::jsonString(chain.description()) << ",\n  \"devices\": [";
    for (size_t i = 0; i < devices.size(); ++i) {
      const hostapp::JtagChainDevice& d = devices[i];
      const hostapp::JtagDeviceFacts& f = d.jtag->facts();
      out << (i ? ",\n    " : "\n    ") << "{\"index\": " << f.index << ", \"idcode\": "
          << (f.idcode ? hostapp::jsonString(hostapp::hexCode(f.idcode)) : "null") << ", \"irLength\": " << f.irLength
          << ", \"idNames\": [";
      for (size_t k = 0; k < f.idNames.size(); ++k) out << (k ? ", " : "") << hostapp::jsonString(f.idNames[k]);
      out << "], \"device\": " << (d.host ? hostapp::jsonString(d.deviceName) : "null");
      if (d.host) out << ", \"plugin\": " << hostapp::jsonString(d.pluginName) << ", \"kind\": " << d.kind;
      out << ", \"bsdl\": " << (d.jtag->bsdlFile().empty() ? "null" : hostapp::jsonString(d.jtag->bsdlFile()))
          << ", \"problem\": " << (d.problem.empty() ? "null" : hostapp::jsonString(d.problem)) << "}";
    }
    out << "\n  ]\n}\n";
    return kExitOk;
  }

  out << chain.description() << ": " << devices.size() << (devices.size() == 1 ? " device" : " devices")
      << ", index 0 nearest TDI\n";
  struct Row {
    std::string index, idcode, ir, device, bsdl;
  };
  std::vector<Row> rows{{"INDEX", "IDCODE", "IR", "DEVICE", "BSDL"}};
  for (const hostapp::JtagChainDevice& d : devices) {
    const hostapp::JtagDeviceFacts& f = d.jtag->facts();
    std::string device = d.host ? d.deviceName : "-";
    rows.push_back({std::to_string(f.index), f.idcode ? hostapp::hexCode(f.idcode) : "-", std::to_string(f.irLength),
                    device, d.jtag->bsdlFile().empty() ? "-" : fileName(d.jtag->bsdlFile())});
  }
  size_t w[4] = {0, 0, 0, 0};
  for (const Row& r : rows) {
    w[0] = std::max(w[0], r.index.size());
    w[1] = std::max(w[1], r.idcode.size());
    w[2] = std::max(w[2], r.ir.size());
    w[3] = std::max(w[3], r.device.size());
  }
  for (const Row& r : rows)
    out << padded(r.index, w[0] + 2) << padded(r.idcode, w[1] + 2) << padded(r.ir, w[2] + 2) << padded(r.device, w[3] + 2)
        << r.bsdl << '\n';
  for (const hostapp::JtagChainDevice& d : devices)
    if (!d.problem.empty()) out << "device " << d.index() << ": no driver: " << d.problem << '\n';
  return kExitOk;
}

}  // namespace zolta::cli
