// zolta status [--cable C] [--device INDEX] [--json]: the configuration state of one device, or of every
// device of the chain, through the host device's driver (GetDeviceState).
#include "jtag_options.h"
#include "zolta/hostapp/text.h"

namespace zolta::cli {

int runStatus(Context& context, const std::vector<std::string>& args) {
  JtagOptions options;
  if (int rc = parseJtagOptions(context, "status", args, true, 0, nullptr, options); rc != kExitOk) return rc;
  hostapp::JtagChain& chain = openChain(context, options);

  // One device when one is named, else every device of the chain.
  std::vector<const hostapp::JtagChainDevice*> wanted;
  if (options.device) wanted.push_back(&chain.served(options.device));
  else
    for (const hostapp::JtagChainDevice& d : chain.devices()) wanted.push_back(&d);

  struct Line {
    const hostapp::JtagChainDevice* device;
    int32_t state = -1;
    std::string error;
  };
  std::vector<Line> lines;
  int rc = kExitOk;
  for (const hostapp::JtagChainDevice* d : wanted) {
    Line line{d, -1, {}};
    if (!d->host) {
      line.error = "no driver: " + d->problem;
    } else {
      try {
        line.state = d->host->GetDeviceState();
      } catch (const std::exception& e) {
        line.error = e.what();
        rc = kExitFailure;
      }
    }
    lines.push_back(std::move(line));
  }

  std::ostream& out = context.out();
  if (context.options().json) {
    out << "{\n  \"cable\": " << hostapp::jsonString(chain.description()) << ",\n  \"devices\": [";
    for (size_t i = 0; i < lines.size(); ++i) {
      const Line& l = lines[i];
      out << (i ? ",\n    " : "\n    ") << "{" << jsonDeviceFields(*l.device);
      if (l.error.empty())
        out << ", \"state\": " << l.state << ", \"stateName\": " << hostapp::jsonString(hostapp::deviceStateName(l.state));
      else
        out << ", \"error\": " << hostapp::jsonString(l.error);
      out << "}";
    }
    out << "\n  ]\n}\n";
  } else {
    for (const Line& l : lines)
      out << deviceLabel(*l.device) << ": " << (l.error.empty() ? hostapp::deviceStateName(l.state) : l.error) << '\n';
  }
  if (rc != kExitOk) {
    for (const Line& l : lines)
      if (l.device->host && !l.error.empty()) context.err() << "zolta: status: " << deviceLabel(*l.device) << ": " << l.error << '\n';
    if (chain.channel()->broken()) context.err() << "zolta: status: the JTAG cable failed: " << chain.channel()->failure() << '\n';
  }
  return rc;
}

}  // namespace zolta::cli
