// Small text helpers of the host application.
#pragma once

#include <string>
#include <string_view>

namespace zolta::hostapp {

// The text without leading and trailing spaces and control characters.
inline std::string trimmed(std::string_view s) {
  while (!s.empty() && static_cast<unsigned char>(s.front()) <= ' ') s.remove_prefix(1);
  while (!s.empty() && static_cast<unsigned char>(s.back()) <= ' ') s.remove_suffix(1);
  return std::string(s);
}

// A JSON string literal of a UTF-8 text (quotes, backslashes and control characters escaped).
std::string jsonString(std::string_view text);

}  // namespace zolta::hostapp
