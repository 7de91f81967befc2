#include <gtest/gtest.h>

#include <clocale>

#include "zolta/dispatch.h"
#include "zolta/host/errors.h"
#include "zolta/host/parameters.h"

namespace zolta {
namespace {

std::vector<std::pair<std::string, std::string>> entries(const TParameterList& l) {
  std::vector<std::pair<std::string, std::string>> r;
  for (int32_t i = 0; i < l.Count(); ++i) r.emplace_back(l.Items(i).GetName(), l.Items(i).GetValue());
  return r;
}

using Entries = std::vector<std::pair<std::string, std::string>>;

TEST(ParameterList, ReadsAndWritesLines) {
  struct Case {
    std::string line;
    Entries parsed;
    std::string written;
  };
  const Case cases[] = {
      {"A=1|B|C=x=y| D =  2 |=9", {{"A", "1"}, {"C", "x=y"}, {"D", "2"}}, "A=1|C=x=y|D=2"},
      {"A=|B=2", {{"A", ""}, {"B", "2"}}, "A= |B=2"},
      {"", {}, ""},
      {"|||", {}, ""},
      {"N=1|N=2", {{"N", "1"}, {"N", "2"}}, "N=1|N=2"},
      {"A=1|", {{"A", "1"}}, "A=1"},
      {"noequals", {}, ""},
      {"a=\t b \r\n", {{"a", "b"}}, "a=b"},
      {"K=v|junk|L=w", {{"K", "v"}, {"L", "w"}}, "K=v|L=w"},
      {"Target=HardDevice|Action=ResetDevice|Index=3",
       {{"Target", "HardDevice"}, {"Action", "ResetDevice"}, {"Index", "3"}},
       "Target=HardDevice|Action=ResetDevice|Index=3"},
      {"Name=\xC3\xA9t\xC3\xA9", {{"Name", "\xC3\xA9t\xC3\xA9"}}, "Name=\xC3\xA9t\xC3\xA9"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    TParameterList l;
    l.SetState_FromString(c.line);
    EXPECT_EQ(entries(l), c.parsed);
    EXPECT_EQ(l.GetState_ToString(), c.written);
    // Writing then reading again gives the same list.
    TParameterList again;
    again.SetState(l.GetState());
    EXPECT_EQ(entries(again), c.parsed);
  }
}

TEST(ParameterList, WideFormKeepsEntriesAroundBrokenUtf8) {
  // A multi-byte sequence cut short by the end of the line, and an overlong "=" (C0 BD): neither may
  // swallow or invent separators on the way through the wide form.
  const std::string lines[] = {"A=1|B\xF6=", "N\xC0\xBDx=1|M=2", "K=\xE2\x82|L=3"};
  for (const std::string& line : lines) {
    SCOPED_TRACE(line);
    TParameterList l;
    l.SetState_FromString(line);
    TParameterList w;
    w.SetState(l.GetState());
    ASSERT_EQ(w.Count(), l.Count());
    for (int32_t i = 0; i < l.Count(); ++i) {
      EXPECT_EQ(w.Items(i).GetName().find_first_of("=|"), std::string::npos);
      EXPECT_EQ(zabi::utf8ToUtf16(w.Items(i).GetValue()), zabi::utf8ToUtf16(l.Items(i).GetValue()));
    }
  }
}

TEST(ParameterList, ReadingReplacesThePreviousContents) {
  TParameterList l;
  l.SetState_FromString("A=1|B=2");
  l.SetState_FromString("C=3");
  EXPECT_EQ(entries(l), (Entries{{"C", "3"}}));
}

TEST(ParameterList, LookupTakesTheFirstEntryIgnoringCaseAndBlanks) {
  TParameterList l;
  l.SetState_FromString("Action=One|action=Two|Index=7");
  std::string v;
  EXPECT_TRUE(l.GetState_ParameterAsString("ACTION", v));
  EXPECT_EQ(v, "One");
  EXPECT_TRUE(l.GetState_ParameterAsString(" Index ", v));
  EXPECT_EQ(v, "7");
  EXPECT_FALSE(l.GetState_ParameterAsString("Missing", v));
  EXPECT_EQ(v, "");
  EXPECT_TRUE(l.SetState_RemoveByName("Action"));
  EXPECT_EQ(l.GetState_ToString(), "action=Two|Index=7");
  EXPECT_TRUE(l.SetState_RemoveByName("ACTION"));
  EXPECT_FALSE(l.SetState_RemoveByName("Action"));
  const TParameter* p = nullptr;
  EXPECT_TRUE(l.GetState_ParameterByName("index", p));
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(p->GetName(), "Index");
  EXPECT_FALSE(l.GetState_ParameterByName("nothing", p));
  EXPECT_EQ(p, nullptr);
}

TEST(ParameterList, BooleanLookups) {
  TParameterList l;
  l.SetState_FromString("A= true |B=Yes|C=TRUE|D=");
  const std::pair<const char*, bool> cases[] = {{"A", true}, {"B", false}, {"C", true}, {"D", false}};
  for (auto [name, expected] : cases) {
    SCOPED_TRACE(name);
    bool v = !expected;
    EXPECT_TRUE(l.GetState_ParameterAsBoolean(name, v));
    EXPECT_EQ(v, expected);
    int16_t w = 5;
    EXPECT_TRUE(l.GetState_ParameterAsWordBool(name, w));
    EXPECT_EQ(w, expected ? -1 : 0);
  }
  bool untouched = true;
  EXPECT_FALSE(l.GetState_ParameterAsBoolean("Missing", untouched));
  EXPECT_TRUE(untouched);
}

TEST(ParameterList, IntegerLookups) {
  TParameterList l;
  l.SetState_FromString("hex=$1F|cx=0x1F|x=x1F|neg=-12|frac=1.5|big=2147483648|min=-2147483648|"
                        "wide=$FFFFFFFF|word=70000|text=abc|empty=|i64=9000000000|nhex=-$10");
  struct Case {
    const char* name;
    bool ok;
    int32_t value;
  };
  const Case cases[] = {{"hex", true, 31},      {"cx", true, 31},          {"x", true, 31},
                        {"neg", true, -12},     {"frac", false, 0},        {"big", false, 0},
                        {"min", true, INT32_MIN}, {"wide", true, -1},      {"text", false, 0},
                        {"empty", false, 0},    {"missing", false, 0},     {"nhex", true, -16}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    int32_t v = 4242;
    EXPECT_EQ(l.GetState_ParameterAsInteger(c.name, v), c.ok);
    EXPECT_EQ(v, c.ok ? c.value : 4242);  // a refused value leaves the out value alone
  }
  // The narrow forms keep the low bits of the 32-bit reading.
  int16_t s = 0;
  uint16_t w = 0;
  uint8_t by = 0;
  EXPECT_TRUE(l.GetState_ParameterAsSmallInt("word", s));
  EXPECT_EQ(s, int16_t(70000 & 0xFFFF));
  EXPECT_TRUE(l.GetState_ParameterAsWord("word", w));
  EXPECT_EQ(w, 70000 & 0xFFFF);
  EXPECT_TRUE(l.GetState_ParameterAsByte("neg", by));
  EXPECT_EQ(by, uint8_t(-12));
  int64_t big = 0;
  EXPECT_TRUE(l.GetState_ParameterAsInt64("i64", big));
  EXPECT_EQ(big, 9000000000LL);
  EXPECT_FALSE(l.GetState_ParameterAsInt64("frac", big));
}

TEST(ParameterList, FloatLookups) {
  TParameterList l;
  l.SetState_FromString("half=0.5|exp=-1.25e2|comma=0,5|text=abc|huge=1e300");
  double d = 0;
  EXPECT_TRUE(l.GetState_ParameterAsDouble("half", d));
  EXPECT_EQ(d, 0.5);
  EXPECT_TRUE(l.GetState_ParameterAsDouble("exp", d));
  EXPECT_EQ(d, -125.0);
  EXPECT_FALSE(l.GetState_ParameterAsDouble("missing", d));
  try {
    l.GetState_ParameterAsDouble("comma", d);
    FAIL() << "no conversion error";
  } catch (const EConvertError& e) {
    EXPECT_STREQ(e.what(), "'0,5' is not a valid floating point value");
  }
  float f = 7;
  EXPECT_TRUE(l.GetState_ParameterAsReal("half", f));
  EXPECT_EQ(f, 0.5f);
  f = 7;
  EXPECT_FALSE(l.GetState_ParameterAsReal("text", f));
  EXPECT_FALSE(l.GetState_ParameterAsReal("huge", f));  // beyond single precision
  EXPECT_EQ(f, 7.0f);
}

TEST(ParameterList, AddingWritesTypedValues) {
  const char* previous = std::setlocale(LC_NUMERIC, nullptr);
  const std::string saved = previous ? previous : "C";
  // A locale with a decimal comma, when the machine has one, must not change the text.
  const bool comma = std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr;
  TParameterList l;
  l.SetState_AddParameterAsDouble("Half", 0.5);
  l.SetState_AddParameterAsDouble("Third", 1.0 / 3.0);
  l.SetState_AddParameterAsDouble("Big", 1e20);
  l.SetState_AddParameterAsInteger("Neg", -5);
  l.SetState_AddParameterAsInt64("Wide", -9000000000LL);
  l.SetState_AddParameterAsBoolean("Yes", true);
  l.SetState_AddParameterAsBoolean("No", false);
  l.SetState_AddParameterAsString("  ", "dropped");
  l.SetState_AddParameter(" Pad ", "  v  ");
  l.SetState_AddParameter("Pad", "again");
  std::setlocale(LC_NUMERIC, saved.c_str());
  SCOPED_TRACE(comma ? "decimal-comma locale" : "no decimal-comma locale installed");
  EXPECT_EQ(l.GetState_ToString(),
            "Half=0.5|Third=0.333333333333333|Big=1e+20|Neg=-5|Wide=-9000000000|Yes=True|No=False|Pad=v|Pad=again");
  double back = 0;
  EXPECT_TRUE(l.GetState_ParameterAsDouble("Big", back));
  EXPECT_EQ(back, 1e20);
}

TEST(ParameterList, PCharCopiesAndTheSharedEmptyConstant) {
  TParameterList l;
  l.SetState_FromString("Name=\xC3\xA9x");
  char16_t* p = nullptr;
  ASSERT_TRUE(l.GetState_ParameterAsPChar("name", p));
  EXPECT_EQ(std::u16string(p), u"\u00E9x");
  FreeParameterPChar(p);
  char16_t* empty = nullptr;
  EXPECT_FALSE(l.GetState_ParameterAsPChar("missing", empty));
  ASSERT_NE(empty, nullptr);
  EXPECT_EQ(empty[0], u'\0');
  FreeParameterPChar(empty);  // the shared constant survives being "freed"
  char16_t* again = nullptr;
  l.GetState_ParameterAsPChar("missing", again);
  EXPECT_EQ(again, empty);
}

TEST(ParameterList, TextThatCannotBeWrittenIsRefused) {
  TParameterList l;
  l.SetState_FromString("Target=HardDevice");
  // A "|" would smuggle another entry into the line; an "=" in a name would move the split.
  EXPECT_THROW(l.SetState_AddParameter("FileName", "a.rbf|Action=Erase"), EParameterTextError);
  EXPECT_THROW(l.SetState_AddParameter("Bad|Name", "x"), EParameterTextError);
  EXPECT_THROW(l.SetState_AddParameter("A=B", "x"), EParameterTextError);
  EXPECT_THROW(l.Items(0).SetValue("x|y"), EParameterTextError);
  EXPECT_EQ(l.GetState_ToString(), "Target=HardDevice");
  std::string line = "Action=ResetDevice|Index=1";
  EXPECT_THROW(SetParameterInLine(line, "Index", "1|Action=Erase"), EParameterTextError);
  EXPECT_EQ(line, "Action=ResetDevice|Index=1");
  try {
    l.SetState_AddParameter("FileName", "a|b");
  } catch (const EParameterTextError& e) {
    EXPECT_NE(std::string(e.what()).find("'a|b' of parameter 'FileName'"), std::string::npos) << e.what();
  }
}

TEST(ParameterList, CopiesAreIndependent) {
  TParameterList a;
  a.SetState_FromString("A=1|B=2");
  TParameterList b = a;
  b.SetState_RemoveByName("A");
  EXPECT_EQ(a.GetState_ToString(), "A=1|B=2");
  EXPECT_EQ(b.GetState_ToString(), "B=2");
}

TEST(ParameterLine, CachedLookupFollowsTheLine) {
  ResetParameterLineCache();
  std::string v = "stale";
  EXPECT_FALSE(ParameterValueFromCachedLine("", "A", v));
  EXPECT_EQ(v, "");
  EXPECT_TRUE(ParameterValueFromCachedLine("A=1|B=2", "b", v));
  EXPECT_EQ(v, "2");
  EXPECT_TRUE(ParameterValueFromCachedLine("A=1|B=2", "A", v));
  EXPECT_EQ(v, "1");
  // A different line (even only by case) is parsed again.
  EXPECT_TRUE(ParameterValueFromCachedLine("a=9|B=2", "A", v));
  EXPECT_EQ(v, "9");
  EXPECT_FALSE(ParameterValueFromCachedLine("a=9|B=2", "C", v));
  EXPECT_EQ(v, "");
}

TEST(ParameterLine, SetParameterInLine) {
  struct Case {
    std::string line, name, value, expected;
  };
  const Case cases[] = {
      {"A=1|B=2", "b", " 5 ", "A=1|B=5"},
      {"A=1|B=2", "C", "3", "A=1|B=2|C=3"},
      {"A=|B=2", "B", "", "A= |B= "},
      {"", "X", "1", "X=1"},
      {"N=1|N=2", "n", "0", "N=0|N=2"},
      {"A=1", "", "z", "A=1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line + " <- " + c.name);
    std::string line = c.line;
    SetParameterInLine(line, c.name, c.value);
    EXPECT_EQ(line, c.expected);
  }
}

}  // namespace
}  // namespace zolta
