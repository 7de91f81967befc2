#include "cli.h"
namespace zolta::cli {
int runOptions(Context& context, const std::vector<std::string>&) { return context.failure("options: not built yet"); }
}  // namespace zolta::cli
