// zolta usercode [--cable C] [--device INDEX] [--json]: the device's user code through the host device's
// driver (ReadUserCode).
#include "jtag_options.h"
#include "zolta/hostapp/text.h"

namespace zolta::cli {

int runUserCode(Context& context, const std::vector<std::string>& args) {
  JtagOptions options;
  if (int rc = parseJtagOptions(context, "usercode", args, true, 0, nullptr, options); rc != kExitOk) return rc;
  hostapp::JtagChain& chain = openChain(context, options);
  const hostapp::JtagChainDevice& d = chain.served(options.device);
  const uint32_t code = uint32_t(d.host->ReadUserCode());
  if (context.options().json) {
    context.out() << "{" << jsonDeviceFields(d) << ", \"userCode\": " << hostapp::jsonString(hostapp::hexCode(code)) << "}\n";
  } else {
    context.out() << deviceLabel(d) << ": user code " << hostapp::hexCode(code)
                  << (code == 0xFFFFFFFFu ? " (all ones: not configured, or the design sets none)" : "") << '\n';
  }
  return kExitOk;
}

}  // namespace zolta::cli
