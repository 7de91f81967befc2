// C++ conveniences over the dispatch ABI, used on both sides of the boundary:
//  - text conversion between UTF-8 (inside) and UTF-16 (at the boundary),
//  - Ptr<T>: an owning reference (AddRef on copy, Release on destruction),
//  - Var: an RAII variant with the standard automation conversions,
//  - invoke(object, id, args...): packs arguments in dispatch order, calls Invoke, and turns a failure
//    status back into a thrown DispatchError.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "zolta/abi.h"

namespace zabi {

// ---- text ------------------------------------------------------------------------------------
std::u16string utf8ToUtf16(std::string_view s);
std::string utf16ToUtf8(std::u16string_view s);
std::string utf16ToUtf8(const char16_t* s);  // zero-terminated or WStr; null gives ""
WStr makeWStr(std::string_view utf8);
inline std::string fromWStr(const char16_t* s) { return utf16ToUtf8(s); }

// ASCII case folding: host names (services, families, parameters, kinds) compare this way.
bool sameText(std::string_view a, std::string_view b);
std::string upperAscii(std::string_view s);
std::string lowerAscii(std::string_view s);

// An error raised by a dispatch call or an operation; carries the status the boundary reports.
class DispatchError : public std::runtime_error {
 public:
  explicit DispatchError(const std::string& message, HResult status = kUnexpected)
      : std::runtime_error(message), status_(status) {}
  HResult status() const { return status_; }

 private:
  HResult status_;
};

// ---- owning pointer --------------------------------------------------------------------------
template <class T>
class Ptr {
 public:
  Ptr() = default;
  Ptr(std::nullptr_t) {}
  // Takes a new reference (AddRef).
  explicit Ptr(T* p) : p_(p) {
    if (p_) p_->AddRef();
  }
  Ptr(const Ptr& o) : Ptr(o.p_) {}
  Ptr(Ptr&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
  template <class U, class = std::enable_if_t<std::is_convertible_v<U*, T*>>>
  Ptr(const Ptr<U>& o) : Ptr(static_cast<T*>(o.get())) {}
  ~Ptr() { reset(); }
  Ptr& operator=(const Ptr& o) {
    Ptr(o).swap(*this);
    return *this;
  }
  Ptr& operator=(Ptr&& o) noexcept {
    Ptr(std::move(o)).swap(*this);
    return *this;
  }
  Ptr& operator=(std::nullptr_t) {
    reset();
    return *this;
  }
  // Adopts a reference that the caller already owns (no AddRef).
  static Ptr adopt(T* p) {
    Ptr r;
    r.p_ = p;
    return r;
  }
  void reset() {
    if (T* p = std::exchange(p_, nullptr)) p->Release();
  }
  T* detach() { return std::exchange(p_, nullptr); }
  T* get() const { return p_; }
  T* operator->() const { return p_; }
  T& operator*() const { return *p_; }
  explicit operator bool() const { return p_ != nullptr; }
  void swap(Ptr& o) noexcept { std::swap(p_, o.p_); }
  T** out() {
    reset();
    return &p_;
  }
  friend bool operator==(const Ptr& a, const Ptr& b) { return a.p_ == b.p_; }

 private:
  T* p_ = nullptr;
};

using DispPtr = Ptr<IDispatch>;

// QueryInterface into a typed owning pointer; empty when the object lacks the interface.
template <class T>
Ptr<T> queryInterface(IInterface* obj, const Guid& iid) {
  void* out = nullptr;
  if (obj && obj->QueryInterface(iid, &out) == kOk && out) return Ptr<T>::adopt(static_cast<T*>(out));
  return {};
}

// ---- variant ---------------------------------------------------------------------------------
// Var owns its contents: a WStr is freed and an interface released when the Var goes.
class Var {
 public:
  Var() { v_.vt = VT_EMPTY; v_.llVal = 0; }
  Var(const Var& o);
  Var(Var&& o) noexcept : v_(o.v_) { o.v_.vt = VT_EMPTY; o.v_.llVal = 0; }
  Var& operator=(Var o) noexcept { std::swap(v_, o.v_); return *this; }
  ~Var() { clear(); }

  Var(int32_t x) : Var() { v_.vt = VT_I4; v_.lVal = x; }
  Var(uint32_t x) : Var() { v_.vt = VT_UI4; v_.ulVal = x; }
  Var(int64_t x) : Var() { v_.vt = VT_I8; v_.llVal = x; }
  Var(double x) : Var() { v_.vt = VT_R8; v_.dblVal = x; }
  Var(bool b) : Var() { v_.vt = VT_BOOL; v_.boolVal = b ? kVariantTrue : kVariantFalse; }
  Var(std::string_view s) : Var() { v_.vt = VT_BSTR; v_.bstrVal = makeWStr(s); }
  Var(const std::string& s) : Var(std::string_view(s)) {}
  Var(const char* s) : Var(std::string_view(s)) {}
  Var(IDispatch* d) : Var() { v_.vt = VT_DISPATCH; v_.pdispVal = d; if (d) d->AddRef(); }
  Var(const DispPtr& d) : Var(d.get()) {}
  static Var date(double days) { Var r; r.v_.vt = VT_DATE; r.v_.date = days; return r; }
  static Var error(HResult code) { Var r; r.v_.vt = VT_ERROR; r.v_.scode = code; return r; }
  // Takes over a raw variant (its string or interface now belongs to the Var).
  static Var adopt(Variant& raw) { Var r; r.v_ = raw; raw.vt = VT_EMPTY; raw.llVal = 0; return r; }
  // Copies a raw variant (strings duplicated, interfaces AddRef'd, by-reference forms followed).
  static Var copyOf(const Variant& raw);

  void clear();
  uint16_t type() const { return v_.vt; }
  bool isEmpty() const { return v_.vt == VT_EMPTY; }
  const Variant& raw() const { return v_; }
  Variant& raw() { return v_; }
  Variant release() { Variant r = v_; v_.vt = VT_EMPTY; v_.llVal = 0; return r; }

  // Standard automation conversions; each throws DispatchError (kTypeMismatch) on a value that does
  // not convert, naming the value and the wanted type.
  int32_t toInt32() const;
  uint32_t toUInt32() const { return static_cast<uint32_t>(toInt64()); }
  int64_t toInt64() const;
  double toDouble() const;
  bool toBool() const;
  std::string toString() const;
  DispPtr toDispatch() const;

 private:
  Variant v_;
};

// Describes a variant's type for error messages ("String", "Integer", ...).
const char* variantTypeName(uint16_t vt);

// Conversions on a raw (possibly by-reference) variant, used by the callee side.
int32_t variantToInt32(const Variant& v);
int64_t variantToInt64(const Variant& v);
double variantToDouble(const Variant& v);
bool variantToBool(const Variant& v);
std::string variantToString(const Variant& v);
IDispatch* variantToDispatch(const Variant& v);  // borrowed, may be null

// ---- calling out -----------------------------------------------------------------------------
// An in-out argument: the callee sees a by-reference variant; the value it leaves is copied back.
template <class T>
struct Ref {
  T& value;
};
template <class T>
Ref<T> ref(T& v) { return Ref<T>{v}; }

namespace detail {
struct Packer {
  std::vector<Variant> args;  // declared order while packing, reversed before the call
  std::vector<Var> owned;
  struct Slot {
    int kind;  // 0 int32, 1 bool, 2 string, 3 dispatch, 4 int64, 5 double
    void* target;
    union { int32_t i; int16_t b; WStr s; IDispatch* d; int64_t ll; double dbl; } store;
  };
  std::vector<Slot> refSlots;  // not "slots": Qt defines that word as a macro

  // The Var keeps ownership; `args` holds a shallow copy (moving a Var keeps its string pointer).
  void add(Var v) {
    owned.push_back(std::move(v));
    args.push_back(owned.back().raw());
  }
  void addRef(Ref<int32_t> r);
  void addRef(Ref<bool> r);
  void addRef(Ref<std::string> r);
  void addRef(Ref<DispPtr> r);
  void addRef(Ref<int64_t> r);
  void addRef(Ref<double> r);
  template <class T>
  void pack(T&& a) {
    if constexpr (requires { addRef(std::forward<T>(a)); }) {
      addRef(std::forward<T>(a));
    } else {
      add(Var(std::forward<T>(a)));
    }
  }
  HResult call(IDispatch* obj, DispId id, Var* result, std::string* message);
};
}  // namespace detail

// Calls operation `id` of `obj` with the given arguments (declared order) and answers its result.
// Throws DispatchError when obj is null or the call fails; the message of the callee is kept.
template <class... A>
Var invoke(IDispatch* obj, DispId id, A&&... args) {
  detail::Packer p;
  p.refSlots.reserve(sizeof...(A));
  (p.pack(std::forward<A>(args)), ...);
  Var result;
  std::string message;
  HResult h = p.call(obj, id, &result, &message);
  if (h != kOk) throw DispatchError(message, h);
  return result;
}
template <class... A>
Var invoke(const DispPtr& obj, DispId id, A&&... args) {
  return invoke(obj.get(), id, std::forward<A>(args)...);
}

// Same as invoke but answers the status instead of throwing; `message` receives the callee's text.
template <class... A>
HResult tryInvoke(IDispatch* obj, DispId id, Var* result, std::string* message, A&&... args) {
  detail::Packer p;
  p.refSlots.reserve(sizeof...(A));
  (p.pack(std::forward<A>(args)), ...);
  return p.call(obj, id, result, message);
}

// Fills an ExcepInfo (when given) with a message; answers kDispException.
HResult reportException(ExcepInfo* info, std::string_view message, HResult scode = kUnexpected);

}  // namespace zabi
