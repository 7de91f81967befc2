#include "jtag_options.h"

#include <charconv>

#include "zolta/hostapp/text.h"

namespace zolta::cli {

namespace {

bool knownCableForm(const std::string& text) {
  return text == "sim" || text.starts_with("sim:") || text.starts_with("rbb://") || text.starts_with("remote_bitbang:");
}

}  // namespace

int parseJtagOptions(Context& context, const char* command, const std::vector<std::string>& args, bool withDevice,
                     size_t positional, const char* positionalName, JtagOptions& options) {
  const std::string cmd = command;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    // "--name VALUE" or "--name=VALUE".
    auto valueOf = [&](const std::string& name, std::string& value) -> int {
      if (a == name) {
        if (i + 1 >= args.size() || args[i + 1].empty()) {
          context.usageError(cmd + ": option " + name + " needs a value");
          return -1;
        }
        value = args[++i];
        return 1;
      }
      if (a.rfind(name + "=", 0) == 0) {
        value = a.substr(name.size() + 1);
        if (value.empty()) {
          context.usageError(cmd + ": option " + name + " needs a value");
          return -1;
        }
        return 1;
      }
      return 0;
    };
    std::string value;
    int got = valueOf("--cable", value);
    if (got < 0) return kExitUsage;
    if (got > 0) {
      if (!knownCableForm(value))
        return context.usageError(cmd + ": unknown cable '" + value + "' (expected sim, sim:DEVICE[,DEVICE...] or rbb://HOST:PORT)");
      options.cable = value;
      continue;
    }
    if (withDevice) {
      got = valueOf("--device", value);
      if (got < 0) return kExitUsage;
      if (got > 0) {
        int64_t index = -1;
        const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), index);
        if (ec != std::errc() || end != value.data() + value.size() || index < 0)
          return context.usageError(cmd + ": --device '" + value + "' is not a chain index (0, 1, ...)");
        options.device = index;
        continue;
      }
    }
    if (a.size() > 1 && a[0] == '-') return context.usageError(cmd + ": unexpected option '" + a + "'");
    if (options.positional.size() >= positional) return context.usageError(cmd + ": unexpected argument '" + a + "'");
    options.positional.push_back(a);
  }
  if (options.positional.size() < positional)
    return context.usageError(cmd + ": missing " + (positionalName ? positionalName : "argument"));
  return kExitOk;
}

hostapp::JtagChain& openChain(Context& context, const JtagOptions& options) {
  hostapp::Host& host = context.host();
  return host.openJtagChain(hostapp::openCable(options.cable));
}

std::string deviceLabel(const hostapp::JtagChainDevice& device) {
  return "device " + std::to_string(device.index()) + (device.deviceName.empty() ? "" : " " + device.deviceName);
}

std::string jsonDeviceFields(const hostapp::JtagChainDevice& device) {
  return "\"index\": " + std::to_string(device.index()) +
         ", \"device\": " + (device.host ? hostapp::jsonString(device.deviceName) : std::string("null"));
}

}  // namespace zolta::cli
