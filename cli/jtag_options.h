// What the JTAG commands (chain, status, usercode, reset, program) share: their options and opening the
// chain behind the cable.
//
//   --cable sim[:DEVICE,DEVICE...] | rbb://HOST:PORT    default "sim", the simulated default chain
//   --device INDEX                                       a chain index, 0 nearest TDI; default: the
//                                                        first device a driver serves
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "cli.h"
#include "zolta/hostapp/jtag_chain.h"

namespace zolta::cli {

struct JtagOptions {
  std::string cable = "sim";
  std::optional<int64_t> device;
  std::vector<std::string> positional;
};

// Parses the command's own arguments. `withDevice` allows --device; `positional` is how many plain
// arguments the command takes (named in the usage message by `positionalName`). Answers kExitOk, or
// kExitUsage after printing the message.
int parseJtagOptions(Context& context, const char* command, const std::vector<std::string>& args, bool withDevice,
                     size_t positional, const char* positionalName, JtagOptions& options);

// Opens the cable and scans the chain through the context's host. Throws with a message naming the
// cable or the device at fault.
hostapp::JtagChain& openChain(Context& context, const JtagOptions& options);

// "device 0 EP2AGZ225FF35C3".
std::string deviceLabel(const hostapp::JtagChainDevice& device);
// The JSON members naming a device: "index": 0, "device": "EP2AGZ225FF35C3" (null without a driver).
std::string jsonDeviceFields(const hostapp::JtagChainDevice& device);

}  // namespace zolta::cli
