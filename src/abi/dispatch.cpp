#include "zolta/dispatch.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>

namespace zabi {

// ---- text ------------------------------------------------------------------------------------

std::u16string utf8ToUtf16(std::string_view s) {
  std::u16string out;
  out.reserve(s.size());
  size_t i = 0;
  while (i < s.size()) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    uint32_t cp;
    size_t n;
    if (c < 0x80) { cp = c; n = 1; }
    else if ((c >> 5) == 0x6) { cp = c & 0x1F; n = 2; }
    else if ((c >> 4) == 0xE) { cp = c & 0x0F; n = 3; }
    else if ((c >> 3) == 0x1E) { cp = c & 0x07; n = 4; }
    else { out.push_back(0xFFFD); ++i; continue; }
    // A sequence cut short by the end of the text replaces its lead byte only; the bytes after it
    // are read on their own.
    bool ok = i + n <= s.size();
    for (size_t k = 1; ok && k < n; ++k) {
      unsigned char cc = static_cast<unsigned char>(s[i + k]);
      if ((cc >> 6) != 0x2) { ok = false; break; }
      cp = (cp << 6) | (cc & 0x3F);
    }
    // Overlong forms are refused, so that no ASCII character (such as "|" or "=") hides in them.
    static constexpr uint32_t kShortest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (ok && cp < kShortest[n]) ok = false;
    if (!ok || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) { out.push_back(0xFFFD); ++i; continue; }
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(char16_t(0xD800 + (cp >> 10)));
      out.push_back(char16_t(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(char16_t(cp));
    }
    i += n;
  }
  return out;
}

std::string utf16ToUtf8(std::u16string_view s) {
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size(); ++i) {
    uint32_t cp = s[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (s[i + 1] - 0xDC00);
      ++i;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = 0xFFFD;
    }
    if (cp < 0x80) {
      out.push_back(char(cp));
    } else if (cp < 0x800) {
      out.push_back(char(0xC0 | (cp >> 6)));
      out.push_back(char(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
      out.push_back(char(0xE0 | (cp >> 12)));
      out.push_back(char(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(char(0x80 | (cp & 0x3F)));
    } else {
      out.push_back(char(0xF0 | (cp >> 18)));
      out.push_back(char(0x80 | ((cp >> 12) & 0x3F)));
      out.push_back(char(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(char(0x80 | (cp & 0x3F)));
    }
  }
  return out;
}

std::string utf16ToUtf8(const char16_t* s) {
  if (!s) return {};
  size_t n = 0;
  while (s[n]) ++n;
  return utf16ToUtf8(std::u16string_view(s, n));
}

WStr makeWStr(std::string_view utf8) {
  std::u16string w = utf8ToUtf16(utf8);
  return wstrAlloc(w.data(), uint32_t(w.size()));
}

static char foldAscii(char c) { return (c >= 'a' && c <= 'z') ? char(c - 32) : c; }

bool sameText(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (foldAscii(a[i]) != foldAscii(b[i])) return false;
  return true;
}

std::string upperAscii(std::string_view s) {
  std::string r(s);
  for (char& c : r) c = foldAscii(c);
  return r;
}

std::string lowerAscii(std::string_view s) {
  std::string r(s);
  for (char& c : r)
    if (c >= 'A' && c <= 'Z') c = char(c + 32);
  return r;
}

// ---- conversions -----------------------------------------------------------------------------

const char* variantTypeName(uint16_t vt) {
  switch (vt & VT_TYPEMASK) {
    case VT_EMPTY: return "Empty";
    case VT_NULL: return "Null";
    case VT_I1: case VT_I2: return "SmallInt";
    case VT_I4: case VT_INT: return "Integer";
    case VT_UI1: return "Byte";
    case VT_UI2: return "Word";
    case VT_UI4: case VT_UINT: return "LongWord";
    case VT_I8: return "Int64";
    case VT_UI8: return "UInt64";
    case VT_R4: return "Single";
    case VT_R8: return "Double";
    case VT_DATE: return "Date";
    case VT_BSTR: return "String";
    case VT_DISPATCH: return "Dispatch";
    case VT_UNKNOWN: return "Unknown";
    case VT_ERROR: return "Error";
    case VT_BOOL: return "Boolean";
    case VT_VARIANT: return "Variant";
    default: return "Unknown type";
  }
}

[[noreturn]] static void mismatch(const Variant& v, const char* wanted, std::string_view value = {}) {
  std::string m = "Could not convert variant of type (";
  m += variantTypeName(v.vt);
  m += ")";
  if (!value.empty()) {
    m += " '";
    m += value;
    m += "'";
  }
  m += " into type (";
  m += wanted;
  m += ")";
  throw DispatchError(m, kTypeMismatch);
}

// Follows one level of by-reference (and VT_VARIANT|VT_BYREF) to the value variant.
static Variant deref(const Variant& v) {
  if (!(v.vt & VT_BYREF)) return v;
  Variant r{};
  uint16_t t = v.vt & VT_TYPEMASK;
  if (!v.byref) { r.vt = VT_EMPTY; return r; }
  if (t == VT_VARIANT) return deref(*v.pvarVal);
  r.vt = t;
  switch (t) {
    case VT_I1: case VT_UI1: r.bVal = *static_cast<uint8_t*>(v.byref); break;
    case VT_I2: case VT_UI2: case VT_BOOL: r.iVal = *v.piVal; break;
    case VT_I4: case VT_UI4: case VT_INT: case VT_UINT: case VT_ERROR: r.lVal = *v.plVal; break;
    case VT_R4: r.fltVal = *static_cast<float*>(v.byref); break;
    case VT_I8: case VT_UI8: case VT_R8: case VT_DATE: r.llVal = *v.pllVal; break;
    case VT_BSTR: r.bstrVal = *v.pbstrVal; break;
    case VT_DISPATCH: r.pdispVal = *v.ppdispVal; break;
    case VT_UNKNOWN: r.punkVal = *v.ppunkVal; break;
    default: r.vt = VT_EMPTY;
  }
  return r;
}

static std::string_view trimView(std::string_view s) {
  while (!s.empty() && static_cast<unsigned char>(s.front()) <= ' ') s.remove_prefix(1);
  while (!s.empty() && static_cast<unsigned char>(s.back()) <= ' ') s.remove_suffix(1);
  return s;
}

// Integer text: optional sign, decimal, or hexadecimal after "$", "0x" or "x".
static bool parseInteger(std::string_view s, int64_t& out) {
  s = trimView(s);
  if (s.empty()) return false;
  bool neg = false;
  if (s.front() == '-' || s.front() == '+') {
    neg = s.front() == '-';
    s.remove_prefix(1);
  }
  int base = 10;
  if (!s.empty() && s.front() == '$') { base = 16; s.remove_prefix(1); }
  else if (s.size() >= 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) { base = 16; s.remove_prefix(2); }
  else if (!s.empty() && (s.front() == 'x' || s.front() == 'X')) { base = 16; s.remove_prefix(1); }
  if (s.empty()) return false;
  uint64_t v = 0;
  auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), v, base);
  if (ec != std::errc() || p != s.data() + s.size()) return false;
  if (base == 10 && v > uint64_t(std::numeric_limits<int64_t>::max()) + (neg ? 1u : 0u)) return false;
  out = neg ? int64_t(0 - v) : int64_t(v);
  return true;
}

static bool parseDouble(std::string_view s, double& out) {
  s = trimView(s);
  if (s.empty()) return false;
  std::string tmp(s);
  const char* b = tmp.c_str();
  char* e = nullptr;
  errno = 0;
  double d = std::strtod(b, &e);
  if (e != b + tmp.size() || errno == ERANGE || !std::isfinite(d)) return false;
  // strtod honours "inf"/"nan"/hex floats; automation text does not.
  for (char c : tmp)
    if (!(std::isdigit(static_cast<unsigned char>(c)) || c == '.' || c == '-' || c == '+' || c == 'e' || c == 'E'))
      return false;
  out = d;
  return true;
}

static int64_t roundEven(double d, const Variant& v, const char* wanted) {
  if (!std::isfinite(d) || d >= 9.2233720368547758e18 || d < -9.2233720368547758e18) mismatch(v, wanted);
  return static_cast<int64_t>(std::nearbyint(d));  // default rounding mode: halves to even
}

int64_t variantToInt64(const Variant& raw) {
  Variant v = deref(raw);
  switch (v.vt) {
    case VT_EMPTY: return 0;
    case VT_I1: return v.cVal;
    case VT_UI1: return v.bVal;
    case VT_I2: return v.iVal;
    case VT_UI2: return v.uiVal;
    case VT_BOOL: return v.boolVal ? -1 : 0;
    case VT_I4: case VT_INT: case VT_ERROR: return v.lVal;
    case VT_UI4: case VT_UINT: return v.ulVal;
    case VT_I8: return v.llVal;
    case VT_UI8: return int64_t(v.ullVal);
    case VT_R4: return roundEven(v.fltVal, v, "Int64");
    case VT_R8: case VT_DATE: return roundEven(v.dblVal, v, "Int64");
    case VT_BSTR: {
      std::string s = utf16ToUtf8(v.bstrVal);
      int64_t r;
      if (parseInteger(s, r)) return r;
      double d;
      if (parseDouble(s, d)) return roundEven(d, v, "Int64");
      mismatch(v, "Int64", s);
    }
    default: mismatch(v, "Int64");
  }
}

int32_t variantToInt32(const Variant& raw) {
  Variant v = deref(raw);
  switch (v.vt) {
    case VT_R4: case VT_R8: case VT_DATE: {
      double d = v.vt == VT_R4 ? double(v.fltVal) : v.dblVal;
      int64_t r = roundEven(d, v, "Integer");
      if (r < std::numeric_limits<int32_t>::min() || r > std::numeric_limits<int32_t>::max()) mismatch(v, "Integer");
      return int32_t(r);
    }
    case VT_BSTR: {
      std::string s = utf16ToUtf8(v.bstrVal);
      int64_t r;
      if (parseInteger(s, r)) {
        // Hexadecimal text up to 32 bits keeps its bit pattern ("$FFFFFFFF" is -1).
        if (r >= std::numeric_limits<int32_t>::min() && r <= int64_t(std::numeric_limits<uint32_t>::max()))
          return int32_t(uint32_t(r));
        mismatch(v, "Integer", s);
      }
      double d;
      if (parseDouble(s, d)) {
        int64_t x = roundEven(d, v, "Integer");
        if (x >= std::numeric_limits<int32_t>::min() && x <= std::numeric_limits<int32_t>::max()) return int32_t(x);
      }
      mismatch(v, "Integer", s);
    }
    default:
      // 64-bit and unsigned values keep their low 32 bits.
      return static_cast<int32_t>(static_cast<uint32_t>(variantToInt64(v)));
  }
}

double variantToDouble(const Variant& raw) {
  Variant v = deref(raw);
  switch (v.vt) {
    case VT_R4: return v.fltVal;
    case VT_R8: case VT_DATE: return v.dblVal;
    case VT_UI8: return double(v.ullVal);
    case VT_BSTR: {
      std::string s = utf16ToUtf8(v.bstrVal);
      double d;
      if (parseDouble(s, d)) return d;
      int64_t r;
      if (parseInteger(s, r)) return double(r);
      mismatch(v, "Double", s);
    }
    default: return double(variantToInt64(v));
  }
}

bool variantToBool(const Variant& raw) {
  Variant v = deref(raw);
  switch (v.vt) {
    case VT_BOOL: return v.boolVal != 0;
    case VT_R4: return v.fltVal != 0;
    case VT_R8: case VT_DATE: return v.dblVal != 0;
    case VT_BSTR: {
      std::string s = utf16ToUtf8(v.bstrVal);
      std::string_view t = trimView(s);
      if (sameText(t, "True")) return true;
      if (sameText(t, "False")) return false;
      int64_t r;
      if (parseInteger(t, r)) return r != 0;
      double d;
      if (parseDouble(t, d)) return d != 0;
      mismatch(v, "Boolean", s);
    }
    case VT_DISPATCH: case VT_UNKNOWN: mismatch(v, "Boolean");
    default: return variantToInt64(v) != 0;
  }
}

static std::string formatDouble(double d) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.15g", d);  // "C" locale formatting of printf is not used: fix the point
  for (char* p = buf; *p; ++p)
    if (*p == ',') *p = '.';
  return buf;
}

std::string variantToString(const Variant& raw) {
  Variant v = deref(raw);
  switch (v.vt) {
    case VT_EMPTY: case VT_NULL: return {};
    case VT_BSTR: return utf16ToUtf8(v.bstrVal);
    case VT_BOOL: return v.boolVal ? "True" : "False";
    case VT_R4: return formatDouble(v.fltVal);
    case VT_R8: case VT_DATE: return formatDouble(v.dblVal);
    case VT_UI4: case VT_UINT: return std::to_string(v.ulVal);
    case VT_UI8: return std::to_string(v.ullVal);
    case VT_DISPATCH: case VT_UNKNOWN: case VT_ERROR: mismatch(v, "String");
    default: return std::to_string(variantToInt64(v));
  }
}

IDispatch* variantToDispatch(const Variant& raw) {
  Variant v = deref(raw);
  switch (v.vt) {
    case VT_EMPTY: case VT_NULL: return nullptr;
    case VT_DISPATCH: return v.pdispVal;
    case VT_UNKNOWN: {
      if (!v.punkVal) return nullptr;
      void* d = nullptr;
      if (v.punkVal->QueryInterface(IID_IDispatch, &d) == kOk && d) {
        auto* disp = static_cast<IDispatch*>(d);
        disp->Release();  // borrowed: the variant's own reference keeps the object alive
        return disp;
      }
      mismatch(v, "Dispatch");
    }
    default: mismatch(v, "Dispatch");
  }
}

// ---- Var -------------------------------------------------------------------------------------

Var Var::copyOf(const Variant& raw) {
  Variant v = deref(raw);
  Var r;
  r.v_ = v;
  if (v.vt == VT_BSTR) r.v_.bstrVal = wstrAlloc(v.bstrVal, wstrLen(v.bstrVal));
  else if (v.vt == VT_DISPATCH && v.pdispVal) v.pdispVal->AddRef();
  else if (v.vt == VT_UNKNOWN && v.punkVal) v.punkVal->AddRef();
  return r;
}

Var::Var(const Var& o) : Var() { *this = copyOf(o.v_); }

void Var::clear() {
  if (!(v_.vt & VT_BYREF)) {
    if (v_.vt == VT_BSTR) wstrFree(v_.bstrVal);
    else if (v_.vt == VT_DISPATCH && v_.pdispVal) v_.pdispVal->Release();
    else if (v_.vt == VT_UNKNOWN && v_.punkVal) v_.punkVal->Release();
  }
  v_.vt = VT_EMPTY;
  v_.llVal = 0;
}

int32_t Var::toInt32() const { return variantToInt32(v_); }
int64_t Var::toInt64() const { return variantToInt64(v_); }
double Var::toDouble() const { return variantToDouble(v_); }
bool Var::toBool() const { return variantToBool(v_); }
std::string Var::toString() const { return variantToString(v_); }
DispPtr Var::toDispatch() const { return DispPtr(variantToDispatch(v_)); }

// ---- calling out -----------------------------------------------------------------------------

namespace detail {

void Packer::addRef(Ref<int32_t> r) {
  Slot& s = refSlots.emplace_back(Slot{0, &r.value, {}});
  s.store.i = r.value;
  Variant v{};
  v.vt = VT_BYREF | VT_I4;
  v.plVal = &s.store.i;
  args.push_back(v);
}
void Packer::addRef(Ref<bool> r) {
  Slot& s = refSlots.emplace_back(Slot{1, &r.value, {}});
  s.store.b = r.value ? kVariantTrue : kVariantFalse;
  Variant v{};
  v.vt = VT_BYREF | VT_BOOL;
  v.pboolVal = &s.store.b;
  args.push_back(v);
}
void Packer::addRef(Ref<std::string> r) {
  Slot& s = refSlots.emplace_back(Slot{2, &r.value, {}});
  s.store.s = makeWStr(r.value);
  Variant v{};
  v.vt = VT_BYREF | VT_BSTR;
  v.pbstrVal = &s.store.s;
  args.push_back(v);
}
void Packer::addRef(Ref<DispPtr> r) {
  Slot& s = refSlots.emplace_back(Slot{3, &r.value, {}});
  s.store.d = r.value.get();
  if (s.store.d) s.store.d->AddRef();
  Variant v{};
  v.vt = VT_BYREF | VT_DISPATCH;
  v.ppdispVal = &s.store.d;
  args.push_back(v);
}
void Packer::addRef(Ref<int64_t> r) {
  Slot& s = refSlots.emplace_back(Slot{4, &r.value, {}});
  s.store.ll = r.value;
  Variant v{};
  v.vt = VT_BYREF | VT_I8;
  v.pllVal = &s.store.ll;
  args.push_back(v);
}
void Packer::addRef(Ref<double> r) {
  Slot& s = refSlots.emplace_back(Slot{5, &r.value, {}});
  s.store.dbl = r.value;
  Variant v{};
  v.vt = VT_BYREF | VT_R8;
  v.pdblVal = &s.store.dbl;
  args.push_back(v);
}

HResult Packer::call(IDispatch* obj, DispId id, Var* result, std::string* message) {
  HResult h;
  if (!obj) {
    if (message) *message = "dispatch call " + std::to_string(id) + " on an absent object";
    h = kPointer;
  } else {
    DispParams params{};
    std::vector<Variant> reversed(args.rbegin(), args.rend());
    params.args = reversed.empty() ? nullptr : reversed.data();
    params.argCount = uint32_t(reversed.size());
    ExcepInfo info{};
    Variant res{};
    uint32_t argErr = 0;
    h = obj->Invoke(id, IID_NULL, 0, kDispatchMethod, &params, &res, &info, &argErr);
    if (result) *result = Var::adopt(res);
    else Var::adopt(res);
    if (h == kDispException) {
      if (message) {
        *message = utf16ToUtf8(info.description);
        if (message->empty()) *message = "dispatch call " + std::to_string(id) + " failed";
      }
    } else if (h != kOk && message) {
      char buf[80];
      std::snprintf(buf, sizeof buf, "dispatch call %d failed with status 0x%08X", id, uint32_t(h));
      *message = buf;
    }
    wstrFree(info.source);
    wstrFree(info.description);
    wstrFree(info.helpFile);
  }
  for (Slot& s : refSlots) {
    switch (s.kind) {
      case 0: *static_cast<int32_t*>(s.target) = s.store.i; break;
      case 1: *static_cast<bool*>(s.target) = s.store.b != 0; break;
      case 2:
        *static_cast<std::string*>(s.target) = utf16ToUtf8(s.store.s);
        wstrFree(s.store.s);
        break;
      case 3:
        *static_cast<DispPtr*>(s.target) = DispPtr::adopt(s.store.d);
        break;
      case 4: *static_cast<int64_t*>(s.target) = s.store.ll; break;
      case 5: *static_cast<double*>(s.target) = s.store.dbl; break;
    }
  }
  return h;
}

}  // namespace detail

HResult reportException(ExcepInfo* info, std::string_view message, HResult scode) {
  if (info) {
    wstrFree(info->description);
    info->description = makeWStr(message);
    info->scode = scode;
  }
  return kDispException;
}

}  // namespace zabi
