#include "zolta/host/text_utils.h"

#include <QImage>
#include <algorithm>
#include <cctype>
#include <charconv>
#include <chrono>
#include <cmath>
#include <thread>

namespace zolta {

std::string IncludeTrailingChar(std::string_view s, char ch) {
  std::string r(s);
  if (r.empty() || r.back() != ch) r += ch;
  return r;
}

std::string PadRightWithChar(std::string_view s, char ch, int32_t width) {
  std::string r(s);
  if (width > 0 && r.size() < size_t(width)) r.append(size_t(width) - r.size(), ch);
  return r;
}

std::string PadRightWithSpaces(std::string_view s, int32_t width) { return PadRightWithChar(s, ' ', width); }

std::string PadLeftWithChar(std::string_view s, char ch, int32_t width) {
  std::string r(s);
  if (width > 0 && r.size() < size_t(width)) r.insert(0, size_t(width) - r.size(), ch);
  return r;
}

std::string PadLeftWithSpaces(std::string_view s, int32_t width) { return PadLeftWithChar(s, ' ', width); }

bool IsRelativePath(std::string_view path) {
  if (path.find(':') != std::string_view::npos) return false;
  if (path.substr(0, 2) == "\\\\") return false;
  if (!path.empty() && path.front() == '/') return false;
  return true;
}

namespace {

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string_view trimBlanks(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

// Reads an optional sign, then decimal digits or hexadecimal digits after "$", "x" or "0x". Decimal
// values must fit `maxMagnitude` (plus one for negative numbers); hexadecimal values may use every
// bit of `bits`, and their bit pattern is kept.
bool readIntegerText(std::string_view s, int bits, int64_t& out) {
  s = trimBlanks(s);
  if (s.empty()) return false;
  bool negative = false;
  if (s.front() == '+' || s.front() == '-') {
    negative = s.front() == '-';
    s.remove_prefix(1);
  }
  bool hex = false;
  if (!s.empty() && s.front() == '$') {
    hex = true;
    s.remove_prefix(1);
  } else if (s.size() >= 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
    hex = true;
    s.remove_prefix(2);
  } else if (!s.empty() && (s.front() == 'x' || s.front() == 'X')) {
    hex = true;
    s.remove_prefix(1);
  }
  if (s.empty()) return false;
  const uint64_t mask = bits == 64 ? ~uint64_t(0) : (uint64_t(1) << bits) - 1;
  uint64_t v = 0;
  if (hex) {
    for (char c : s) {
      const int d = hexDigit(c);
      if (d < 0) return false;
      if (v > (mask >> 4)) return false;  // wider than the type
      v = (v << 4) | uint64_t(d);
    }
    // Keep the bit pattern of the type, then apply the sign.
    uint64_t pattern = negative ? (~v + 1) & mask : v;
    if (bits == 32) out = int64_t(int32_t(uint32_t(pattern)));
    else out = int64_t(pattern);
    return true;
  }
  const uint64_t limit = (mask >> 1) + (negative ? 1 : 0);
  for (char c : s) {
    if (c < '0' || c > '9') return false;
    const uint64_t d = uint64_t(c - '0');
    if (v > (limit - d) / 10) return false;  // out of range
    v = v * 10 + d;
  }
  out = negative ? int64_t(~v + 1) : int64_t(v);
  return true;
}

}  // namespace

int64_t HexStrToIntDef(std::string_view s, int64_t def) {
  if (s.size() >= 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) s.remove_prefix(2);
  if (s.empty() || s.size() > 16) return def;
  uint64_t v = 0;
  for (char c : s) {
    const int d = hexDigit(c);
    if (d < 0) return def;
    v = (v << 4) | uint64_t(d);
  }
  return int64_t(v);
}

bool ReadInteger(std::string_view s, int32_t& value) {
  int64_t v = 0;
  if (!readIntegerText(s, 32, v)) return false;
  value = int32_t(v);
  return true;
}

bool ReadInt64(std::string_view s, int64_t& value) {
  int64_t v = 0;
  if (!readIntegerText(s, 64, v)) return false;
  value = v;
  return true;
}

bool TryParseInteger(std::string_view s, int32_t& value) {
  if (trimBlanks(s).empty()) {
    value = 0;
    return true;
  }
  return ReadInteger(s, value);
}

bool TryParseInt64(std::string_view s, int64_t& value) {
  if (trimBlanks(s).empty()) {
    value = 0;
    return true;
  }
  return ReadInt64(s, value);
}

bool ReadFloat(std::string_view s, double& value) {
  s = trimBlanks(s);
  bool negative = false;
  if (!s.empty() && (s.front() == '+' || s.front() == '-')) {
    negative = s.front() == '-';
    s.remove_prefix(1);
  }
  // Only digit forms: from_chars would also take "inf" and "nan".
  if (s.empty() || !(std::isdigit(static_cast<unsigned char>(s.front())) || s.front() == '.')) return false;
  double d = 0;
  const auto [ptr, ec] = std::from_chars(s.data(), s.data() + s.size(), d, std::chars_format::general);
  // Text beyond the number, or a magnitude outside the double range, is not a number.
  if (ptr != s.data() + s.size() || ec != std::errc()) return false;
  value = negative ? -d : d;
  return true;
}

bool TryParseFloat(std::string_view s, double& value) {
  if (trimBlanks(s).empty()) {
    value = 0;
    return true;
  }
  return ReadFloat(s, value);
}

std::string FormatDouble(double value) {
  char buf[64];
  const auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, 15);
  return std::string(buf, r.ptr);
}

std::string BackslashesToSlashes(std::string_view s) {
  std::string r(s);
  std::replace(r.begin(), r.end(), '\\', '/');
  return r;
}

void WaitMilliseconds(uint32_t ms) {
  using clock = std::chrono::steady_clock;
  const auto deadline = clock::now() + std::chrono::milliseconds(ms);
  for (auto now = clock::now(); now < deadline; now = clock::now())
    std::this_thread::sleep_for(std::min<clock::duration>(deadline - now, std::chrono::milliseconds(2)));
}

uint32_t ScaleColor(uint32_t color, double factor) {
  uint32_t out = color & 0xFF000000u;
  for (int shift = 0; shift < 24; shift += 8) {
    const double scaled = std::nearbyint(double((color >> shift) & 0xFFu) * factor);
    const double limited = std::isnan(scaled) ? 0.0 : std::clamp(scaled, 0.0, 255.0);
    out |= uint32_t(limited) << shift;
  }
  return out;
}

void FormatBitGroups(uint32_t value, int32_t bits, std::string& text) {
  const int blanks = 32 - std::clamp(bits, 0, 32);
  std::string digits(32, ' ');
  for (int i = 0; i < 32; ++i) digits[i] = i < blanks ? ' ' : (((value >> (31 - i)) & 1u) ? '1' : '0');
  std::string grouped;
  for (int g = 0; g < 8; ++g) {
    if (g) grouped += '-';
    grouped += digits.substr(size_t(g) * 4, 4);
  }
  for (size_t i = 0; i < grouped.size(); ++i) {
    if (grouped[i] != '-') continue;
    const bool blankBefore = i > 0 && grouped[i - 1] == ' ';
    const bool blankAfter = i + 1 < grouped.size() && grouped[i + 1] == ' ';
    if (blankBefore || blankAfter) grouped[i] = ' ';
  }
  const size_t b = grouped.find_first_not_of(' ');
  const size_t e = grouped.find_last_not_of(' ');
  text = b == std::string::npos ? std::string() : grouped.substr(b, e - b + 1);
}

std::string FormatBitGroups(uint32_t value, int32_t bits) {
  std::string text;
  FormatBitGroups(value, bits, text);
  return text;
}

std::string HexForBitWidth(uint32_t value, int32_t bits) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string r(8, '0');
  for (int i = 0; i < 8; ++i) r[7 - i] = kDigits[(value >> (4 * i)) & 0xFu];
  const size_t keep = size_t(std::clamp((int64_t(bits) + 3) / 4, int64_t(1), int64_t(8)));
  size_t drop = 0;
  while (r.size() - drop > keep && r[drop] == '0') ++drop;
  return r.substr(drop);
}

std::string FixedTwoDecimals(double x) {
  char buf[400];
  const auto r = std::to_chars(buf, buf + sizeof buf, x, std::chars_format::fixed, 2);
  if (r.ec != std::errc()) return std::string();
  return std::string(buf, r.ptr);
}

void CopyBitmapCentred(const QImage& source, QImage& target, bool skipCorners) {
  if (source.width() <= 0 || source.height() <= 0 || target.width() <= 0 || target.height() <= 0) return;
  const QImage src = source.convertToFormat(QImage::Format_RGB888);
  if (target.format() != QImage::Format_RGB888) target = target.convertToFormat(QImage::Format_RGB888);
  const int sw = src.width(), sh = src.height();
  const int tw = target.width(), th = target.height();
  const int x0 = (tw - sw) / 2;
  const int y0 = (th - sh) / 2;
  for (int sy = 0; sy < sh; ++sy) {
    const int ty = y0 + sy;
    if (ty < 0 || ty >= th) continue;
    const uchar* from = src.constScanLine(sy);
    uchar* to = target.scanLine(ty);
    for (int sx = 0; sx < sw; ++sx) {
      const int tx = x0 + sx;
      if (tx < 0 || tx >= tw) continue;
      if (skipCorners && (sx == 0 || sx == sw - 1) && (sy == 0 || sy == sh - 1)) continue;
      std::copy_n(from + 3 * sx, 3, to + 3 * tx);
    }
  }
}

}  // namespace zolta
