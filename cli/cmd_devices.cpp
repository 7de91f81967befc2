// zolta devices [--json]: every device kind the loaded plug-ins serve, with its device name and
// description (device-information operations 503380 and 503381 of each kind's driver).
#include <algorithm>

#include "cli.h"
#include "zolta/hostapp/ids.h"
#include "zolta/hostapp/text.h"

namespace zolta::cli {

namespace {
struct DeviceRow {
  size_t pluginIndex;
  std::string plugin;
  int32_t kind;
  std::string name;
  std::string description;
};
}  // namespace

int runDevices(Context& context, const std::vector<std::string>& args) {
  if (!args.empty()) return context.usageError("devices: unexpected argument '" + args.front() + "'");
  hostapp::Host& host = context.host();
  hostapp::DriverRegistry& drivers = host.drivers();

  std::vector<DeviceRow> rows;
  std::vector<hostapp::HostIssue> failures;
  for (size_t i = 0; i < drivers.size(); ++i) {
    const hostapp::DriverEntry& e = drivers.entries()[i];
    try {
      std::string description =
          zabi::invoke(e.driver, hostapp::ids::DeviceInfo_GetDeviceDescription).toString();
      rows.push_back({e.plugin, e.pluginName, e.kind, drivers.deviceName(i), std::move(description)});
    } catch (const zabi::DispatchError& err) {
      failures.push_back({host.plugins()[e.plugin]->path(), "kind " + std::to_string(e.kind) + ": " + err.what()});
    }
  }
  for (const hostapp::HostIssue& f : failures) context.err() << "zolta: " << f.file << ": " << f.reason << '\n';

  std::ostream& out = context.out();
  if (context.options().json) {
    out << "{\n  \"devices\": [";
    for (size_t i = 0; i < rows.size(); ++i) {
      const DeviceRow& r = rows[i];
      out << (i ? ",\n    " : "\n    ") << "{\"plugin\": " << hostapp::jsonString(r.plugin) << ", \"kind\": " << r.kind
          << ", \"name\": " << hostapp::jsonString(r.name) << ", \"description\": " << hostapp::jsonString(r.description) << "}";
    }
    out << (rows.empty() ? "],\n" : "\n  ],\n") << "  \"issues\": [";
    std::vector<hostapp::HostIssue> issues = host.issues();
    issues.insert(issues.end(), failures.begin(), failures.end());
    for (size_t i = 0; i < issues.size(); ++i)
      out << (i ? ",\n    " : "\n    ") << "{\"file\": " << hostapp::jsonString(issues[i].file)
          << ", \"reason\": " << hostapp::jsonString(issues[i].reason) << "}";
    out << (issues.empty() ? "]\n}\n" : "\n  ]\n}\n");
  } else if (rows.empty()) {
    context.err() << "zolta: no device kinds: no plug-in loaded from " << host.pluginFolder() << '\n';
  } else {
    size_t nameWidth = 6;
    for (const DeviceRow& r : rows) nameWidth = std::max(nameWidth, r.name.size());
    for (size_t i = 0; i < rows.size(); ++i) {
      const DeviceRow& r = rows[i];
      if (i == 0 || rows[i - 1].pluginIndex != r.pluginIndex) {
        size_t kinds = size_t(std::count_if(rows.begin(), rows.end(),
                                            [&](const DeviceRow& x) { return x.pluginIndex == r.pluginIndex; }));
        out << (i ? "\n" : "") << r.plugin << " (" << kinds << (kinds == 1 ? " kind)\n" : " kinds)\n");
        out << "KIND  DEVICE" << std::string(nameWidth - 6 + 2, ' ') << "DESCRIPTION\n";
      }
      std::string kind = std::to_string(r.kind);
      out << kind << std::string(kind.size() < 6 ? 6 - kind.size() : 1, ' ') << r.name
          << std::string(nameWidth - r.name.size() + 2, ' ') << r.description << '\n';
    }
  }
  if (!failures.empty()) return kExitFailure;
  if (rows.empty() && !host.issues().empty()) return kExitFailure;
  return kExitOk;
}

}  // namespace zolta::cli
