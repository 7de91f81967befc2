// Small text, number, time and picture helpers used throughout the plug-in.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

class QImage;

namespace zolta {

// S + ch unless S already ends with ch; an empty S gives ch alone.
std::string IncludeTrailingChar(std::string_view s, char ch);
// S followed (Right) or preceded (Left) by ch up to `width` characters; never cuts.
std::string PadRightWithChar(std::string_view s, char ch, int32_t width);
std::string PadRightWithSpaces(std::string_view s, int32_t width);
std::string PadLeftWithChar(std::string_view s, char ch, int32_t width);
std::string PadLeftWithSpaces(std::string_view s, int32_t width);

// False when the path holds a drive colon, begins with "\\" (a network share) or begins with "/"
// (an absolute Linux path); true otherwise ("Library\x.bsd", "\x").
bool IsRelativePath(std::string_view path);

// Drops a leading "0x"/"0X", then reads hexadecimal digits of either case. Any other character, an
// empty digit sequence or a value wider than 64 bits gives `def`.
int64_t HexStrToIntDef(std::string_view s, int64_t def);

// Integer reading shared with the parameter strings: optional sign, then decimal, or hexadecimal
// after "$", "x" or "0x" (either case; up to 32 or 64 bits, keeping the bit pattern); surrounding
// blanks are ignored. An empty text gives 0 and true. Out of range or not a number: false, value
// unchanged.
bool TryParseInteger(std::string_view s, int32_t& value);
bool TryParseInt64(std::string_view s, int64_t& value);
// The same reading without the empty-text rule: an empty text is not a number.
bool ReadInteger(std::string_view s, int32_t& value);
bool ReadInt64(std::string_view s, int64_t& value);

// A double with "." as decimal separator whatever the locale (optional sign, digits, fraction,
// exponent; surrounding blanks ignored; no "inf", "nan" or hexadecimal forms). An empty text gives 0
// and true. Not a number: false, value unchanged.
bool TryParseFloat(std::string_view s, double& value);
// The same without the empty-text rule.
bool ReadFloat(std::string_view s, double& value);

// Shortest general decimal form with at most 15 significant digits and "." as separator.
std::string FormatDouble(double value);

// Every backslash replaced by "/".
std::string BackslashesToSlashes(std::string_view s);

// Returns after `ms` milliseconds of the steady clock, yielding the processor between checks. Does
// not pump host events.
void WaitMilliseconds(uint32_t ms);

// Each of the three colour channels of the low 24 bits multiplied by factor, rounded, limited to
// 0..255; the top byte is kept. Channel order does not matter (0x00BBGGRR and 0x00RRGGBB alike).
uint32_t ScaleColor(uint32_t color, double factor);

// The 32 bits of value as "0"/"1", most significant first, the first 32 - bits characters blanked,
// in eight groups of four joined by "-"; a "-" next to a blank becomes a blank; the result trimmed.
// FormatBitGroups(5, 8) gives "0000-0101".
void FormatBitGroups(uint32_t value, int32_t bits, std::string& text);
std::string FormatBitGroups(uint32_t value, int32_t bits);

// Value as 8 hexadecimal digits (upper case) with leading zeros removed while more than
// (bits + 3) / 4 digits remain. HexForBitWidth(5, 8) gives "05".
std::string HexForBitWidth(uint32_t value, int32_t bits);

// Fixed notation with exactly two decimals, "." as separator.
std::string FixedTwoDecimals(double x);

// Both pictures become 24 bits per pixel; every pixel of source is copied into target with the
// source's top-left corner at ((tw - sw) / 2, (th - sh) / 2) (rounded toward zero). With skipCorners
// the four corner pixels of the source are left out. A source larger than the target is clipped to
// the target. Nothing happens when either picture has no width or no height.
void CopyBitmapCentred(const QImage& source, QImage& target, bool skipCorners);

}  // namespace zolta
