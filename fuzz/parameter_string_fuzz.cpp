// Parameter strings from arbitrary bytes: reading then writing must be stable (the written line reads
// back as the same entries and writes back as the same line), lookups must agree with the list, and
// nothing may crash or read out of bounds.
#include <cstddef>
#include <cstdint>
#include <cmath>
#include <cstdlib>
#include <string>

#include "zolta/dispatch.h"
#include "zolta/host/errors.h"
#include "zolta/host/parameters.h"
#include "zolta/host/text_utils.h"

namespace {

void check(bool ok) {
  if (!ok) std::abort();
}

bool sameEntries(const zolta::TParameterList& a, const zolta::TParameterList& b) {
  if (a.Count() != b.Count()) return false;
  for (int32_t i = 0; i < a.Count(); ++i)
    if (a.Items(i).GetName() != b.Items(i).GetName() || a.Items(i).GetValue() != b.Items(i).GetValue()) return false;
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace zolta;
  const std::string input(reinterpret_cast<const char*>(data), size);
  // The first byte splits the input into a line and a (name, value) pair for the edits below.
  const size_t cut = size ? std::min<size_t>(data[0], size) : 0;
  const std::string line = input.substr(0, cut);
  const std::string rest = input.substr(cut);
  const size_t eq = rest.find('\n');
  const std::string name = rest.substr(0, eq);
  const std::string value = eq == std::string::npos ? std::string() : rest.substr(eq + 1);

  TParameterList list;
  list.SetState_FromString(line);
  const std::string written = list.GetState_ToString();
  TParameterList again;
  again.SetState_FromString(written);
  check(sameEntries(list, again));
  check(again.GetState_ToString() == written);
  for (int32_t i = 0; i < list.Count(); ++i) check(!list.Items(i).GetName().empty());

  // The wide form gives the same entries (invalid UTF-8 is replaced the same way on both paths).
  TParameterList wide;
  wide.SetState(list.GetState());
  check(wide.Count() == list.Count());

  // Typed lookups on every entry: no crash, and only the documented error.
  for (int32_t i = 0; i < list.Count(); ++i) {
    const std::string& n = list.Items(i).GetName();
    std::string s;
    check(list.GetState_ParameterAsString(n, s));
    std::string cached;
    check(ParameterValueFromCachedLine(line, n, cached) && cached == s);
    int32_t i32 = 0;
    if (list.GetState_ParameterAsInteger(n, i32)) {
      // Decimal readings write back to the same number.
      int32_t back = 0;
      check(ReadInteger(std::to_string(i32), back) && back == i32);
    }
    int64_t i64 = 0;
    list.GetState_ParameterAsInt64(n, i64);
    float f = 0;
    list.GetState_ParameterAsReal(n, f);
    double d = 0;
    try {
      list.GetState_ParameterAsDouble(n, d);
    } catch (const EConvertError&) {
    }
    char16_t* p = nullptr;
    list.GetState_ParameterAsPChar(n, p);
    FreeParameterPChar(p);
  }

  // Replacing or adding one entry keeps the line readable, with the new value found under the name.
  std::string edited = line;
  try {
    SetParameterInLine(edited, name, value);
    TParameterList e;
    e.SetState_FromString(edited);
    std::string found;
    if (!TrimParameterText(name).empty()) check(e.GetState_ParameterAsString(name, found) && found == TrimParameterText(value));
    check(e.GetState_ToString() == edited);
  } catch (const EParameterTextError&) {
    check(edited == line);  // refused edits leave the line alone
  }

  // Doubles written by the list read back exactly.
  double number = 0;
  if (ReadFloat(value, number)) {
    TParameterList num;
    num.SetState_AddParameterAsDouble("X", number);
    double back = 0;
    check(num.GetState_ParameterAsDouble("X", back));
    check(back == number || (back != back && number != number) ||
          std::abs(back - number) <= std::abs(number) * 1e-14);
  }
  return 0;
}
