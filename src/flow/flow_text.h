// Text helpers shared by the vendor-tool stages and the report readers (internal to the flow library).
// Case-insensitive means ASCII case folding.
#pragma once

#include <string>
#include <string_view>

namespace zolta::flowtext {

inline char foldAscii(char c) { return (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c; }

// Position of needle in text at or after from, ignoring case; npos when it does not occur.
inline size_t findNoCase(std::string_view text, std::string_view needle, size_t from = 0) {
  if (from > text.size()) return std::string_view::npos;
  if (needle.empty()) return from;
  if (text.size() < needle.size()) return std::string_view::npos;
  const char first = foldAscii(needle[0]);
  for (size_t i = from; i + needle.size() <= text.size(); ++i) {
    if (foldAscii(text[i]) != first) continue;
    size_t k = 1;
    while (k < needle.size() && foldAscii(text[i + k]) == foldAscii(needle[k])) ++k;
    if (k == needle.size()) return i;
  }
  return std::string_view::npos;
}

inline bool containsNoCase(std::string_view text, std::string_view needle) {
  return findNoCase(text, needle) != std::string_view::npos;
}

inline bool startsWithNoCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && findNoCase(text.substr(0, prefix.size()), prefix) == 0;
}

inline bool sameNoCase(std::string_view a, std::string_view b) { return a.size() == b.size() && startsWithNoCase(a, b); }

// Every occurrence of from (ignoring case) replaced by to, in one left-to-right scan.
inline std::string replaceAllNoCase(std::string_view text, std::string_view from, std::string_view to) {
  std::string out;
  if (from.empty()) return std::string(text);
  size_t pos = 0;
  for (;;) {
    const size_t hit = findNoCase(text, from, pos);
    if (hit == std::string_view::npos) break;
    out.append(text.substr(pos, hit - pos));
    out.append(to);
    pos = hit + from.size();
  }
  out.append(text.substr(pos));
  return out;
}

// Characters up to and including the space removed at both ends (blanks, tabs, line breaks).
inline std::string_view trimView(std::string_view s) {
  size_t b = 0, e = s.size();
  while (b < e && static_cast<unsigned char>(s[b]) <= ' ') ++b;
  while (e > b && static_cast<unsigned char>(s[e - 1]) <= ' ') --e;
  return s.substr(b, e - b);
}

}  // namespace zolta::flowtext
