// Just enough JSON writing for the command's machine-readable output.
#pragma once

#include <string>
#include <string_view>

namespace zolta::cli {

// A JSON string literal of a UTF-8 text (quotes, backslashes and control characters escaped).
std::string jsonString(std::string_view text);

}  // namespace zolta::cli
