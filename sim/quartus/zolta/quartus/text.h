// Small text and file-name helpers shared by the stand-in tools.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace zquartus {

std::string trim(std::string_view s);
std::string upper(std::string_view s);
std::string lower(std::string_view s);
bool sameText(std::string_view a, std::string_view b);  // ASCII case-insensitive
bool startsWithNoCase(std::string_view s, std::string_view prefix);
bool endsWithNoCase(std::string_view s, std::string_view suffix);

// The text in double quotes, as messages show names.
std::string inQuotes(std::string_view s);

// Glob match with '*' and '?' only (brackets in node names are bus indices, not character classes).
bool wildcardMatch(std::string_view pattern, std::string_view text, bool noCase);

// "179200" -> "179,200".
std::string thousands(uint64_t n);
// Fixed-point text with `decimals` digits ("2.110").
std::string fixed(double v, int decimals);
// "( 2 % )", "( < 1 % )", "( 0 % )" for used / available.
std::string percentText(uint64_t used, uint64_t available);
// "24 / 179,200 ( < 1 % )"
std::string usageText(uint64_t used, uint64_t available);
// "0x0000ABCD"
std::string hex32(uint32_t v);

// The entry of `folder` named `name`: the exact name first, else one that differs only in ASCII case;
// empty when there is none.
std::filesystem::path findNoCase(const std::filesystem::path& folder, const std::string& name);
// `name` resolved against `base` (backslashes read as slashes), the file itself found without regard to
// case when the exact name does not exist.
std::filesystem::path resolveFile(const std::filesystem::path& base, std::string name);

// Reads a whole file; throws std::runtime_error naming the file when it cannot be read.
std::string readFile(const std::filesystem::path& path);
// Writes a whole file through a temporary beside it, so a reader never sees half a file; throws
// std::runtime_error naming the file when it cannot be written.
void writeFile(const std::filesystem::path& path, std::string_view content);

// 64-bit FNV-1a, for deterministic figures derived from names and netlists.
uint64_t fnv1a(std::string_view s, uint64_t seed = 0xcbf29ce484222325ull);

// Local date and time in the tools' formats.
std::string ctimeText();     // "Tue Mar  4 10:26:51 2014"
std::string createdText();   // "10:26:51  March 04, 2014"

}  // namespace zquartus
