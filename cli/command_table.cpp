// The commands of `zolta`, one row each; a new command is a new row and a source file of its own.
#include "cli.h"

namespace zolta::cli {

namespace {
const Command kCommands[] = {
    {"devices", "[--json]", "list every device kind the loaded plug-ins serve", &runDevices},
};
}  // namespace

std::span<const Command> commandTable() { return kCommands; }

}  // namespace zolta::cli
