// zolta reset [--cable C] [--device INDEX] [--json]: puts the device back into the unconfigured state
// through the host device's driver (ResetDevice), then reads its state.
#include "jtag_options.h"
#include "zolta/hostapp/text.h"

namespace zolta::cli {

int runReset(Context& context, const std::vector<std::string>& args) {
  JtagOptions options;
  if (int rc = parseJtagOptions(context, "reset", args, true, 0, nullptr, options); rc != kExitOk) return rc;
  hostapp::JtagChain& chain = openChain(context, options);
  const hostapp::JtagChainDevice& d = chain.served(options.device);
  const bool done = d.host->ResetDevice();
  const int32_t state = d.host->GetDeviceState();
  if (context.options().json) {
    context.out() << "{" << jsonDeviceFields(d) << ", \"reset\": " << (done ? "true" : "false") << ", \"state\": " << state
                  << ", \"stateName\": " << hostapp::jsonString(hostapp::deviceStateName(state)) << "}\n";
  } else {
    context.out() << deviceLabel(d) << ": " << (done ? "reset, " : "") << hostapp::deviceStateName(state) << '\n';
  }
  if (!done) return context.failure("reset: " + deviceLabel(d) + " still reads " + hostapp::deviceStateName(state) + " after the reset");
  return kExitOk;
}

}  // namespace zolta::cli
