#include "zolta/quartus/text.h"

#include <cstdio>
#include <ctime>
#include <fstream>
#include <stdexcept>
#include <unistd.h>

namespace zquartus {

namespace fs = std::filesystem;

namespace {
char upperChar(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }
char lowerChar(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

std::string timeText(const char* format) {
  std::time_t now = std::time(nullptr);
  std::tm tm{};
  localtime_r(&now, &tm);
  char buf[64];
  std::strftime(buf, sizeof buf, format, &tm);
  return buf;
}
}  // namespace

std::string trim(std::string_view s) {
  const char* ws = " \t\r\n\f\v";
  const size_t b = s.find_first_not_of(ws);
  if (b == std::string_view::npos) return {};
  const size_t e = s.find_last_not_of(ws);
  return std::string(s.substr(b, e - b + 1));
}

std::string upper(std::string_view s) {
  std::string r(s);
  for (char& c : r) c = upperChar(c);
  return r;
}

std::string lower(std::string_view s) {
  std::string r(s);
  for (char& c : r) c = lowerChar(c);
  return r;
}

bool sameText(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (upperChar(a[i]) != upperChar(b[i])) return false;
  return true;
}

bool startsWithNoCase(std::string_view s, std::string_view prefix) {
  return s.size() >= prefix.size() && sameText(s.substr(0, prefix.size()), prefix);
}

bool endsWithNoCase(std::string_view s, std::string_view suffix) {
  return s.size() >= suffix.size() && sameText(s.substr(s.size() - suffix.size()), suffix);
}

std::string inQuotes(std::string_view s) { return "\"" + std::string(s) + "\""; }

bool wildcardMatch(std::string_view pattern, std::string_view text, bool noCase) {
  // '*' and '?' only: brackets in node names are bus indices.
  size_t p = 0, t = 0, star = std::string_view::npos, mark = 0;
  auto same = [&](char a, char b) { return noCase ? sameText(std::string_view(&a, 1), std::string_view(&b, 1)) : a == b; };
  while (t < text.size()) {
    if (p < pattern.size() && (pattern[p] == '?' || same(pattern[p], text[t]))) {
      ++p;
      ++t;
    } else if (p < pattern.size() && pattern[p] == '*') {
      star = p++;
      mark = t;
    } else if (star != std::string_view::npos) {
      p = star + 1;
      t = ++mark;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

std::string thousands(uint64_t n) {
  std::string digits = std::to_string(n);
  std::string r;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) r += ',';
    r += digits[i];
  }
  return r;
}

std::string fixed(double v, int decimals) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
  std::string s = buf;
  if (s == "-0" || s.rfind("-0.", 0) == 0) {
    // Keep "-0.000" from rounding noise out of reports.
    bool allZero = s.find_first_not_of("-0.") == std::string::npos;
    if (allZero) s.erase(0, 1);
  }
  return s;
}

std::string percentText(uint64_t used, uint64_t available) {
  if (available == 0) return "( 0 % )";
  const double p = 100.0 * static_cast<double>(used) / static_cast<double>(available);
  if (used > 0 && p < 1.0) return "( < 1 % )";
  return "( " + std::to_string(static_cast<long long>(p + 0.5)) + " % )";
}

std::string usageText(uint64_t used, uint64_t available) {
  return thousands(used) + " / " + thousands(available) + " " + percentText(used, available);
}

std::string hex32(uint32_t v) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%08X", v);
  return buf;
}

fs::path findNoCase(const fs::path& folder, const std::string& name) {
  std::error_code ec;
  const fs::path exact = folder / name;
  if (fs::exists(exact, ec)) return exact;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
    if (sameText(it->path().filename().string(), name)) return it->path();
  return {};
}

fs::path resolveFile(const fs::path& base, std::string name) {
  for (char& c : name)
    if (c == '\\') c = '/';
  fs::path p(name);
  if (p.is_relative()) p = base / p;
  p = p.lexically_normal();
  std::error_code ec;
  if (fs::exists(p, ec)) return p;
  const fs::path found = findNoCase(p.parent_path(), p.filename().string());
  return found.empty() ? p : found;
}

std::string readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("can't open file " + path.string());
  std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) throw std::runtime_error("can't read file " + path.string());
  return data;
}

void writeFile(const fs::path& path, std::string_view content) {
  const fs::path tmp = path.string() + ".tmp" + std::to_string(::getpid());
  {
    std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
    if (!out) throw std::runtime_error("can't write file " + path.string());
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
    out.flush();
    if (!out) {
      std::error_code ec;
      fs::remove(tmp, ec);
      throw std::runtime_error("can't write file " + path.string());
    }
  }
  std::error_code ec;
  fs::rename(tmp, path, ec);
  if (ec) {
    fs::remove(tmp, ec);
    throw std::runtime_error("can't write file " + path.string());
  }
}

uint64_t fnv1a(std::string_view s, uint64_t seed) {
  uint64_t h = seed;
  for (unsigned char c : s) {
    h ^= c;
    h *= 0x100000001b3ull;
  }
  return h;
}

std::string ctimeText() { return timeText("%a %b %e %H:%M:%S %Y"); }
std::string createdText() { return timeText("%H:%M:%S  %B %d, %Y"); }

}  // namespace zquartus
