// The commands of `zolta`, one row each; a new command is a new row and a source file of its own.
#include "cli.h"

namespace zolta::cli {

namespace {
// Help shared by the commands that reach a JTAG chain.
constexpr const char* kJtagHelp =
    "Options:\n"
    "  --cable C      sim (default: the simulated chain EP2AGZ225FF35C3,EP2AGZ300FF35C3),\n"
    "                 sim:DEVICE[,DEVICE...] (a simulated chain, index 0 nearest TDI; a device is an\n"
    "                 Arria II GZ name, bypass or bypass:N), or rbb://HOST:PORT (a remote_bitbang server)\n"
    "  --device N     the device's chain index (default: the first device a driver serves)\n";

const Command kCommands[] = {
    {"devices", "[--json]", "list every device kind the loaded plug-ins serve", &runDevices},
    {"info", "DEVICE [--pins] [--json]", "every device-information answer of a device (name or kind number)",
     &runInfo},
    {"bsdl", "FILE [--json]", "read a BSDL file and summarise its entity", &runBsdl},
    {"chain", "[--cable C] [--json]", "scan the JTAG chain: IDCODEs, devices, BSDL files", &runChain,
     kJtagHelp},
    {"status", "[--cable C] [--device N] [--json]", "the configuration state of the chain's devices", &runStatus,
     kJtagHelp},
    {"usercode", "[--cable C] [--device N] [--json]", "read a device's user code", &runUserCode, kJtagHelp},
    {"reset", "[--cable C] [--device N] [--json]", "put a device back into the unconfigured state", &runReset,
     kJtagHelp},
    {"program", "FILE.rbf [--cable C] [--device N] [--json]", "configure a device from a raw bit file",
     &runProgram, kJtagHelp},
    {"sim", "serve [--port P] [--chain SPEC]", "serve a simulated chain over remote_bitbang on 127.0.0.1",
     &runSim,
     "  --port P       the TCP port (default 3335; 0 picks a free one, named on stdout)\n"
     "  --chain SPEC   the simulated chain (default EP2AGZ225FF35C3,EP2AGZ300FF35C3)\n"
     "Ctrl-C stops the server.\n"},
};
}  // namespace

std::span<const Command> commandTable() { return kCommands; }

}  // namespace zolta::cli
