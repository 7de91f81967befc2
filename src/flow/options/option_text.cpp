// Text helpers of the option model: filters, comma text, lines and the storage escaping.
#include <cstdio>

#include "zolta/dispatch.h"
#include "zolta/flow/fpga_options.h"

namespace zolta {

namespace {

bool isBlank(char c) { return static_cast<unsigned char>(c) <= ' '; }

std::string trimmed(std::string_view s) {
  size_t b = 0, e = s.size();
  while (b < e && isBlank(s[b])) ++b;
  while (e > b && isBlank(s[e - 1])) --e;
  return std::string(s.substr(b, e - b));
}

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

bool FPGAFilterPasses(const std::vector<std::string>& AList, std::string_view AName) {
  if (AList.empty()) return true;
  bool onlyNegated = true;
  for (const std::string& entry : AList) {
    const bool negated = !entry.empty() && entry[0] == '!';
    const std::string_view name = negated ? std::string_view(entry).substr(1) : std::string_view(entry);
    if (zabi::sameText(name, AName)) return !negated;
    onlyNegated = onlyNegated && negated;
  }
  return onlyNegated;
}

bool FPGAToolFilterPasses(const std::vector<std::string>& ATools, std::string_view ATool) {
  if (ATools.empty()) return true;
  const std::string negated = "!" + std::string(ATool);
  bool listed = false, anyNegation = false;
  for (const std::string& entry : ATools) {
    if (zabi::sameText(entry, negated)) return false;
    listed = listed || zabi::sameText(entry, ATool);
    anyNegation = anyNegation || entry.find('!') != std::string::npos;
  }
  return listed || anyNegation;
}

std::vector<std::string> SplitCommaText(std::string_view AText) {
  std::vector<std::string> items;
  size_t i = 0;
  const size_t n = AText.size();
  while (i <= n) {
    while (i < n && isBlank(AText[i])) ++i;
    std::string item;
    if (i < n && AText[i] == '"') {
      // Quoted item: up to the closing quote, "" standing for one quote; text after the closing quote
      // up to the next comma is ignored.
      ++i;
      while (i < n) {
        if (AText[i] == '"') {
          if (i + 1 < n && AText[i + 1] == '"') {
            item += '"';
            i += 2;
            continue;
          }
          ++i;
          break;
        }
        item += AText[i++];
      }
      while (i < n && AText[i] != ',') ++i;
      items.push_back(std::move(item));
    } else {
      const size_t comma = AText.find(',', i);
      const size_t end = comma == std::string_view::npos ? n : comma;
      item = trimmed(AText.substr(i, end - i));
      if (!item.empty()) items.push_back(std::move(item));
      i = end;
    }
    if (i >= n) break;
    ++i;  // the comma
  }
  return items;
}

std::string JoinCommaText(const std::vector<std::string>& AItems) {
  std::string out;
  for (size_t k = 0; k < AItems.size(); ++k) {
    const std::string& item = AItems[k];
    if (k) out += ',';
    const bool quote = item.empty() || item.find_first_of(",\"") != std::string::npos || isBlank(item.front()) ||
                       isBlank(item.back());
    if (!quote) {
      out += item;
      continue;
    }
    out += '"';
    for (char c : item) {
      if (c == '"') out += '"';
      out += c;
    }
    out += '"';
  }
  return out;
}

std::vector<std::string> SplitTextLines(std::string_view AText) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t i = 0; i < AText.size(); ++i) {
    const char c = AText[i];
    if (c != '\r' && c != '\n') continue;
    lines.emplace_back(AText.substr(start, i - start));
    if (c == '\r' && i + 1 < AText.size() && AText[i + 1] == '\n') ++i;
    start = i + 1;
  }
  if (start < AText.size()) lines.emplace_back(AText.substr(start));
  return lines;
}

std::string JoinTextLines(const std::vector<std::string>& ALines) {
  std::string out;
  for (const std::string& line : ALines) {
    out += line;
    out += '\n';
  }
  return out;
}

std::string EscapeOptionText(std::string_view AText) {
  std::string out;
  out.reserve(AText.size());
  for (char c : AText) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 32 || c == '#') {
      char buf[4];
      std::snprintf(buf, sizeof buf, "#%02X", unsigned(u));
      out += buf;
    } else {
      out += c;
    }
  }
  return out;
}

std::string UnescapeOptionText(std::string_view AText) {
  std::string out;
  out.reserve(AText.size());
  for (size_t i = 0; i < AText.size(); ++i) {
    if (AText[i] == '#' && i + 2 < AText.size()) {
      const int hi = hexDigit(AText[i + 1]), lo = hexDigit(AText[i + 2]);
      if (hi >= 0 && lo >= 0) {
        out += char(hi * 16 + lo);
        i += 2;
        continue;
      }
    }
    out += AText[i];
  }
  return out;
}

}  // namespace zolta
