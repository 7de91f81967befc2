// Variant conversions from arbitrary bytes: texts (UTF-8 and raw UTF-16 with stray surrogates) and
// value variants of every automation type must convert or raise DispatchError, never crash.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "zolta/dispatch.h"

namespace {

void check(bool ok) {
  if (!ok) std::abort();
}

// Runs every conversion; each may answer or raise DispatchError.
void convertAll(const zabi::Var& v) {
  try { (void)v.toInt32(); } catch (const zabi::DispatchError&) {}
  try { (void)v.toInt64(); } catch (const zabi::DispatchError&) {}
  try { (void)v.toUInt32(); } catch (const zabi::DispatchError&) {}
  try { (void)v.toDouble(); } catch (const zabi::DispatchError&) {}
  try { (void)v.toBool(); } catch (const zabi::DispatchError&) {}
  try { (void)v.toString(); } catch (const zabi::DispatchError&) {}
  try { (void)v.toDispatch(); } catch (const zabi::DispatchError&) {}
  zabi::Var copy = v;  // copying duplicates strings; both copies free their own
  (void)copy;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);

  // Text as UTF-8, through the wide form and back.
  const std::u16string wide = zabi::utf8ToUtf16(text);
  const std::string narrow = zabi::utf16ToUtf8(wide);
  check(zabi::utf8ToUtf16(narrow) == wide);  // a second pass changes nothing
  convertAll(zabi::Var(text));

  // The same bytes as raw UTF-16 code units (stray surrogates included).
  std::u16string units(size / 2, u'\0');
  if (!units.empty()) std::memcpy(units.data(), data, units.size() * 2);
  zabi::Var raw;
  raw.raw().vt = zabi::VT_BSTR;
  raw.raw().bstrVal = zabi::wstrAlloc(units.data(), uint32_t(units.size()));
  convertAll(raw);
  (void)zabi::utf16ToUtf8(std::u16string_view(units));

  // A value variant of a chosen type with the next eight bytes as its payload.
  if (size >= 10) {
    static const uint16_t kTypes[] = {zabi::VT_EMPTY, zabi::VT_NULL, zabi::VT_I2,  zabi::VT_I4,  zabi::VT_R4,
                                      zabi::VT_R8,    zabi::VT_DATE, zabi::VT_ERROR, zabi::VT_BOOL, zabi::VT_I1,
                                      zabi::VT_UI1,   zabi::VT_UI2,  zabi::VT_UI4, zabi::VT_I8,  zabi::VT_UI8,
                                      zabi::VT_INT,   zabi::VT_UINT, uint16_t(data[1] & 0x3F)};
    const uint16_t vt = kTypes[data[0] % (sizeof kTypes / sizeof kTypes[0])];
    if (vt != zabi::VT_BSTR && vt != zabi::VT_DISPATCH && vt != zabi::VT_UNKNOWN && vt != zabi::VT_VARIANT) {
      zabi::Variant v{};
      v.vt = vt;
      std::memcpy(&v.llVal, data + 2, 8);
      const zabi::Var value = zabi::Var::copyOf(v);
      convertAll(value);
      // The same value by reference converts the same way.
      zabi::Variant byRef{};
      byRef.vt = uint16_t(zabi::VT_BYREF | vt);
      byRef.byref = &v.llVal;
      convertAll(zabi::Var::copyOf(byRef));
    }
  }

  // Numbers written as text read back as the same number.
  if (size >= 4) {
    int32_t n;
    std::memcpy(&n, data, 4);
    check(zabi::Var(zabi::Var(n).toString()).toInt32() == n);
    check(zabi::Var(zabi::Var(bool(n & 1)).toString()).toBool() == bool(n & 1));
  }
  return 0;
}
