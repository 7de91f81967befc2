#include <gtest/gtest.h>

#include <QImage>
#include <chrono>

#include "zolta/host/text_utils.h"

namespace zolta {
namespace {

TEST(TextHelpers, TrailingCharAndPadding) {
  EXPECT_EQ(IncludeTrailingChar("", '\\'), "\\");
  EXPECT_EQ(IncludeTrailingChar("a\\", '\\'), "a\\");
  EXPECT_EQ(IncludeTrailingChar("a", '/'), "a/");
  EXPECT_EQ(PadRightWithSpaces("ab", 5), "ab   ");
  EXPECT_EQ(PadLeftWithSpaces("ab", 5), "   ab");
  EXPECT_EQ(PadRightWithChar("abcdef", '.', 3), "abcdef");  // never cuts
  EXPECT_EQ(PadLeftWithChar("7", '0', 3), "007");
  EXPECT_EQ(PadLeftWithChar("7", '0', -2), "7");
}

TEST(TextHelpers, IsRelativePath) {
  const std::pair<const char*, bool> cases[] = {
      {"C:\\x", false}, {"\\\\server\\share", false}, {"a:b", false}, {"/usr/lib", false},
      {"Library\\x.bsd", true}, {"\\x", true}, {"", true}, {"lib/x.bsd", true}};
  for (auto [path, relative] : cases) {
    SCOPED_TRACE(path);
    EXPECT_EQ(IsRelativePath(path), relative);
  }
}

TEST(TextHelpers, HexStrToIntDef) {
  const std::pair<const char*, int64_t> cases[] = {
      {"0x1F", 31}, {"0X1f", 31}, {"ff", 255}, {"1G", -1}, {"", -1}, {"0x", -1},
      {"FFFFFFFF", 0xFFFFFFFFLL}, {"12345678901234567", -1}, {" 1", -1}};
  for (auto [text, value] : cases) {
    SCOPED_TRACE(text);
    EXPECT_EQ(HexStrToIntDef(text, -1), value);
  }
}

TEST(TextHelpers, TryParseIntegerAndFloat) {
  struct IntCase {
    const char* text;
    bool ok;
    int32_t value;
  };
  const IntCase ints[] = {{"", true, 0},       {"42", true, 42},    {"-42", true, -42}, {"+7", true, 7},
                          {"$1F", true, 31},   {"x1f", true, 31},   {"0x1F", true, 31}, {" 12 ", true, 12},
                          {"1.5", false, 0},   {"12a", false, 0},   {"-", false, 0},    {"$", false, 0},
                          {"2147483647", true, INT32_MAX},          {"2147483648", false, 0},
                          {"$100000000", false, 0}};
  for (const IntCase& c : ints) {
    SCOPED_TRACE(c.text);
    int32_t v = 99;
    EXPECT_EQ(TryParseInteger(c.text, v), c.ok);
    EXPECT_EQ(v, c.ok ? c.value : 99);
  }
  struct FloatCase {
    const char* text;
    bool ok;
    double value;
  };
  const FloatCase floats[] = {{"", true, 0},         {"1.5", true, 1.5},   {"-.5", true, -0.5},  {"2e3", true, 2000},
                              {"1,5", false, 0},     {"inf", false, 0},    {"nan", false, 0},    {"1e", false, 0},
                              {"0x10", false, 0},    {"1e999", false, 0},  {" 3 ", true, 3}};
  for (const FloatCase& c : floats) {
    SCOPED_TRACE(c.text);
    double v = 99;
    EXPECT_EQ(TryParseFloat(c.text, v), c.ok);
    EXPECT_EQ(v, c.ok ? c.value : 99);
  }
}

TEST(TextHelpers, BitAndHexFormatting) {
  EXPECT_EQ(FormatBitGroups(5, 8), "0000-0101");
  EXPECT_EQ(FormatBitGroups(5, 6), "00-0101");
  EXPECT_EQ(FormatBitGroups(0xFFFFFFFFu, 32), "1111-1111-1111-1111-1111-1111-1111-1111");
  EXPECT_EQ(FormatBitGroups(1, 1), "1");
  EXPECT_EQ(FormatBitGroups(1, 0), "");
  EXPECT_EQ(HexForBitWidth(5, 8), "05");
  EXPECT_EQ(HexForBitWidth(5, 1), "5");
  EXPECT_EQ(HexForBitWidth(0x1234, 4), "1234");  // significant digits are kept
  EXPECT_EQ(HexForBitWidth(0xABCDEF01u, 32), "ABCDEF01");
  EXPECT_EQ(HexForBitWidth(0, 10), "000");
  EXPECT_EQ(FixedTwoDecimals(3.14159), "3.14");
  EXPECT_EQ(FixedTwoDecimals(-2), "-2.00");
  EXPECT_EQ(BackslashesToSlashes("a\\b\\c"), "a/b/c");
}

TEST(TextHelpers, ScaleColor) {
  EXPECT_EQ(ScaleColor(0x00808080u, 0.5), 0x00404040u);
  EXPECT_EQ(ScaleColor(0x00FF8010u, 2.0), 0x00FFFF20u);  // limited to 255
  EXPECT_EQ(ScaleColor(0xFF102030u, 0.0), 0xFF000000u);  // top byte kept
  EXPECT_EQ(ScaleColor(0x00010203u, -1.0), 0u);
}

TEST(TextHelpers, WaitMillisecondsWaitsAtLeastTheTime) {
  const auto start = std::chrono::steady_clock::now();
  WaitMilliseconds(20);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(20));
}

QImage filled(int w, int h, QRgb c) {
  QImage img(w, h, QImage::Format_RGB32);
  img.fill(c);
  return img;
}

TEST(CopyBitmapCentred, CentresSkipsCornersAndConvertsTo24Bits) {
  QImage target = filled(5, 4, qRgb(0, 0, 0));
  QImage source = filled(3, 2, qRgb(255, 0, 0));
  CopyBitmapCentred(source, target, true);
  EXPECT_EQ(target.format(), QImage::Format_RGB888);
  // Top-left at ((5-3)/2, (4-2)/2) = (1, 1); corners of the source stay black.
  const QRgb red = qRgb(255, 0, 0), black = qRgb(0, 0, 0);
  const char* expected[4] = {".....", "..r..", "..r..", "....."};
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 5; ++x) {
      SCOPED_TRACE(testing::Message() << x << "," << y);
      EXPECT_EQ(target.pixel(x, y), expected[y][x] == 'r' ? red : black);
    }
  CopyBitmapCentred(source, target, false);
  EXPECT_EQ(target.pixel(1, 1), red);
  EXPECT_EQ(target.pixel(3, 2), red);
}

TEST(CopyBitmapCentred, LargerSourceIsClippedAndEmptyPicturesAreLeftAlone) {
  QImage target = filled(2, 2, qRgb(0, 0, 0));
  QImage source(6, 6, QImage::Format_RGB32);
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 6; ++x) source.setPixel(x, y, qRgb(x * 10, y * 10, 0));
  CopyBitmapCentred(source, target, false);
  // Offset (2-6)/2 = -2: target (0,0) shows source (2,2).
  EXPECT_EQ(target.pixel(0, 0), qRgb(20, 20, 0));
  EXPECT_EQ(target.pixel(1, 1), qRgb(30, 30, 0));

  QImage untouched = filled(3, 3, qRgb(1, 2, 3));
  CopyBitmapCentred(QImage(), untouched, false);
  EXPECT_EQ(untouched.format(), QImage::Format_RGB32);
  QImage empty;
  CopyBitmapCentred(source, empty, false);
  EXPECT_TRUE(empty.isNull());
}

}  // namespace
}  // namespace zolta
