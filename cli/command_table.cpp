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

constexpr const char* kProjectHelp =
    "A project is a folder with a <design>.zproj description (JSON: device, netlist, constraints),\n"
    "the <design>.edf netlist and the constraint files; see data/demo/counter.zproj.\n";

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
    {"flow", "[PROJECT] [--device NAME]", "the build and download flows: stages, states, last results",
     &runFlow, kProjectHelp},
    {"build", "PROJECT [--force] [--stage NAME]",
     "build the project's bit file with the Quartus tools (only what is out of date)", &runBuild,
     "  --device NAME  build for this device instead of the project's\n"
     "  --force        run every stage again, up to date or not\n"
     "  --stage NAME   run one stage (and what it depends on), e.g. \"Map Design\"\n"
     "  --verbose      also print every output line of the tools\n"
     "  --quartus DIR  the Quartus installation (default: $QUARTUS_ROOTDIR, else the stand-in tools\n"
     "                 built beside zolta)\n"
     "Ctrl-C stops the build: the running tool is ended and the command fails.\n"},
    {"options", "STAGE [NAME=VALUE ...]",
     "show a build stage's options, or store overrides in the project", &runOptions,
     "  --project DIR  the project folder (default: the current folder)\n"
     "  --reset NAME   remove the project's override of an option\n"
     "  --device NAME  show the options for this device instead of the project's\n"
     "Stages with options: \"Translate Design\", \"Timing Analysis\".\n"},
    {"run", "PROJECT [--cable C] [--index N]",
     "build the project and program the device on the chain", &runRun,
     "  --cable C      sim (default), sim:DEVICE[,DEVICE...] or rbb://HOST:PORT\n"
     "  --index N      the device's chain index (default: the first device of the project's kind)\n"
     "  --device NAME  build for this device instead of the project's\n"
     "  --force        build and download again even when up to date\n"
     "  --verbose      also print every output line of the tools\n"},
    {"demo", "[--keep] [--verbose]",
     "build and program the demo design on a simulated chain, twice",
     &runDemo,
     "  --keep         keep the demo's working folder (it is named at the start)\n"},
};
}  // namespace

std::span<const Command> commandTable() { return kCommands; }

}  // namespace zolta::cli
