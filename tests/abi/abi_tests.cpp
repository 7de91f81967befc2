#include <gtest/gtest.h>

#include <clocale>

#include "zolta/dispatch.h"

using namespace zabi;

TEST(WStr, RoundTripsUtf8ThroughUtf16) {
  for (std::string s : {std::string(), std::string("plain"), std::string("Ä€𝄞 mixed"), std::string(1000, 'x')}) {
    SCOPED_TRACE(s.substr(0, 20));
    WStr w = makeWStr(s);
    EXPECT_EQ(wstrLen(w), utf8ToUtf16(s).size());
    EXPECT_EQ(fromWStr(w), s);
    wstrFree(w);
  }
  EXPECT_EQ(fromWStr(nullptr), "");
  EXPECT_EQ(wstrLen(nullptr), 0u);
}

TEST(WStr, InvalidUtf8BecomesReplacementCharacters) {
  std::string bad = "a\xff\xfe" "b\xc3";
  EXPECT_EQ(utf16ToUtf8(utf8ToUtf16(bad)), "a\xEF\xBF\xBD\xEF\xBF\xBD" "b\xEF\xBF\xBD");
}

TEST(Text, CaseFoldingIsAsciiOnly) {
  EXPECT_TRUE(sameText("ZoltaDriver", "zoltadriver"));
  EXPECT_FALSE(sameText("Ä", "ä"));
  EXPECT_FALSE(sameText("abc", "abcd"));
  EXPECT_EQ(upperAscii("a1z"), "A1Z");
}

struct IntCase {
  Var value;
  bool ok;
  int32_t expected;
};

TEST(Variant, ToInt32Conversions) {
  const IntCase cases[] = {
      {Var(), true, 0},
      {Var(int32_t(-7)), true, -7},
      {Var(true), true, -1},
      {Var(false), true, 0},
      {Var(int64_t(0x1'0000'0005)), true, 5},  // 64 to 32 bits keeps the low bits
      {Var(2.5), true, 2},                     // halves round to even
      {Var(3.5), true, 4},
      {Var("42"), true, 42},
      {Var(" -3 "), true, -3},
      {Var("$1F"), true, 31},
      {Var("0x1F"), true, 31},
      {Var("$FFFFFFFF"), true, -1},
      {Var("1.5"), true, 2},
      {Var("abc"), false, 0},
      {Var(""), false, 0},
      {Var("99999999999"), false, 0},
      {Var(1e20), false, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(variantTypeName(c.value.type()) + std::string(" ") +
                 (c.value.type() == VT_BSTR ? c.value.toString() : std::string()));
    if (c.ok) {
      EXPECT_EQ(c.value.toInt32(), c.expected);
    } else {
      try {
        c.value.toInt32();
        ADD_FAILURE() << "converted";
      } catch (const DispatchError& e) {
        EXPECT_EQ(e.status(), kTypeMismatch);
        EXPECT_NE(std::string(e.what()).find("Integer"), std::string::npos);
      }
    }
  }
}

TEST(Variant, TextAndBooleanConversions) {
  EXPECT_EQ(Var(true).toString(), "True");
  EXPECT_EQ(Var(false).toString(), "False");
  EXPECT_EQ(Var(int32_t(-12)).toString(), "-12");
  EXPECT_EQ(Var(uint32_t(0xFFFFFFFF)).toString(), "4294967295");
  EXPECT_EQ(Var().toString(), "");
  EXPECT_TRUE(Var("true").toBool());
  EXPECT_FALSE(Var(" FALSE ").toBool());
  EXPECT_TRUE(Var("1").toBool());
  EXPECT_TRUE(Var(int32_t(2)).toBool());
  EXPECT_THROW(Var("yes").toBool(), DispatchError);
  EXPECT_EQ(Var("-5").toInt64(), -5);
  EXPECT_DOUBLE_EQ(Var("0.25").toDouble(), 0.25);
  EXPECT_THROW(Var("1,5").toDouble(), DispatchError);
}

TEST(Variant, DoubleTextUsesAPointWhateverTheLocale) {
  const char* old = std::setlocale(LC_NUMERIC, nullptr);
  std::string saved = old ? old : "C";
  if (!std::setlocale(LC_NUMERIC, "de_DE.UTF-8")) std::setlocale(LC_NUMERIC, "C");
  EXPECT_EQ(Var(0.5).toString(), "0.5");
  std::setlocale(LC_NUMERIC, saved.c_str());
}

// A minimal dispatch object: id 1 adds two integers, id 2 doubles an in-out integer and appends "!" to an
// in-out text, id 3 fails with a message.
class Adder : public IDispatch {
 public:
  int32_t refs = 1;
  HResult QueryInterface(const Guid&, void**) override { return kNoInterface; }
  int32_t AddRef() override { return ++refs; }
  int32_t Release() override { return --refs; }
  HResult GetTypeInfoCount(uint32_t*) override { return kNotImpl; }
  HResult GetTypeInfo(uint32_t, uint32_t, void**) override { return kNotImpl; }
  HResult GetIDsOfNames(const Guid&, char16_t**, uint32_t, uint32_t, DispId*) override { return kNotImpl; }
  HResult Invoke(DispId id, const Guid&, uint32_t, uint16_t, DispParams* p, Variant* r, ExcepInfo* e,
                 uint32_t*) override {
    if (id == 1) {
      // arguments arrive last-first
      int32_t a = variantToInt32(p->args[1]), b = variantToInt32(p->args[0]);
      *r = Var(a * 10 + b).release();
      return kOk;
    }
    if (id == 2) {
      *p->args[1].plVal *= 2;
      std::string s = fromWStr(*p->args[0].pbstrVal) + "!";
      wstrFree(*p->args[0].pbstrVal);
      *p->args[0].pbstrVal = makeWStr(s);
      return kOk;
    }
    if (id == 3) return reportException(e, "device EP2AGZ225 not bound");
    return kNotImpl;
  }
};

TEST(Invoke, PacksArgumentsInDispatchOrderAndReturnsResult) {
  Adder a;
  EXPECT_EQ(invoke(&a, 1, 4, 2).toInt32(), 42);
  EXPECT_EQ(a.refs, 1);
}

TEST(Invoke, CopiesInOutArgumentsBack) {
  Adder a;
  int32_t n = 21;
  std::string s = "hi";
  invoke(&a, 2, zabi::ref(n), zabi::ref(s));
  EXPECT_EQ(n, 42);
  EXPECT_EQ(s, "hi!");
}

TEST(Invoke, FailuresBecomeErrorsWithTheCalleesMessage) {
  Adder a;
  try {
    invoke(&a, 3);
    FAIL();
  } catch (const DispatchError& e) {
    EXPECT_STREQ(e.what(), "device EP2AGZ225 not bound");
    EXPECT_EQ(e.status(), kDispException);
  }
  Var r;
  std::string msg;
  EXPECT_EQ(tryInvoke(&a, 99, &r, &msg), kNotImpl);
  EXPECT_NE(msg.find("0x80004001"), std::string::npos);
  EXPECT_THROW(invoke(static_cast<IDispatch*>(nullptr), 1), DispatchError);
}

TEST(Ptr, CountsReferences) {
  Adder a;
  {
    DispPtr p(&a);
    EXPECT_EQ(a.refs, 2);
    DispPtr q = p;
    EXPECT_EQ(a.refs, 3);
    DispPtr m = std::move(q);
    EXPECT_EQ(a.refs, 3);
    Var v(p);
    EXPECT_EQ(a.refs, 4);
  }
  EXPECT_EQ(a.refs, 1);
}
