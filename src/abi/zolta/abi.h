// The dispatch ABI shared by the plug-in and the host application.
//
// Only plain C layouts and abstract interfaces with a fixed virtual-function order cross the boundary.
// Strings are length-prefixed UTF-16 buffers (WStr) that either side may allocate and free, because
// both use malloc/free through the inline functions below. No C++ exception crosses the boundary:
// Invoke answers a status, and a failure inside an operation is reported as kDispException with the
// message in ExcepInfo.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace zabi {

using HResult = int32_t;
using DispId = int32_t;

// Status values used across the boundary.
inline constexpr HResult kOk = 0;
inline constexpr HResult kFalse = 1;
inline constexpr HResult kNotImpl = static_cast<HResult>(0x80004001);       // identifier not answered
inline constexpr HResult kNoInterface = static_cast<HResult>(0x80004002);
inline constexpr HResult kPointer = static_cast<HResult>(0x80004003);
inline constexpr HResult kUnexpected = static_cast<HResult>(0x8000FFFF);    // failure inside an operation
inline constexpr HResult kTypeMismatch = static_cast<HResult>(0x80020005);
inline constexpr HResult kDispException = static_cast<HResult>(0x80020009); // message in ExcepInfo
inline constexpr HResult kBadParamCount = static_cast<HResult>(0x8002000E);

inline constexpr bool failed(HResult h) { return h < 0; }

struct Guid {
  uint32_t data1;
  uint16_t data2;
  uint16_t data3;
  uint8_t data4[8];
};

inline bool operator==(const Guid& a, const Guid& b) { return std::memcmp(&a, &b, sizeof(Guid)) == 0; }

// ---------------------------------------------------------------------------------------------
// Wide strings: a uint32_t byte count in front of the characters, a terminating zero behind them.
// A null WStr is the empty string.
using WStr = char16_t*;

inline WStr wstrAlloc(const char16_t* chars, uint32_t length) {
  auto* block = static_cast<uint8_t*>(std::malloc(sizeof(uint32_t) + (size_t(length) + 1) * sizeof(char16_t)));
  if (!block) return nullptr;
  uint32_t bytes = length * uint32_t(sizeof(char16_t));
  std::memcpy(block, &bytes, sizeof bytes);
  auto* text = reinterpret_cast<char16_t*>(block + sizeof(uint32_t));
  if (length && chars) std::memcpy(text, chars, size_t(length) * sizeof(char16_t));
  else if (length) std::memset(text, 0, size_t(length) * sizeof(char16_t));
  text[length] = 0;
  return text;
}

inline uint32_t wstrLen(const char16_t* s) {
  if (!s) return 0;
  uint32_t bytes;
  std::memcpy(&bytes, reinterpret_cast<const uint8_t*>(s) - sizeof(uint32_t), sizeof bytes);
  return bytes / uint32_t(sizeof(char16_t));
}

inline void wstrFree(WStr s) {
  if (s) std::free(reinterpret_cast<uint8_t*>(s) - sizeof(uint32_t));
}

// ---------------------------------------------------------------------------------------------
// Variant type tags, automation numbering.
enum VarType : uint16_t {
  VT_EMPTY = 0,
  VT_NULL = 1,
  VT_I2 = 2,
  VT_I4 = 3,
  VT_R4 = 4,
  VT_R8 = 5,
  VT_DATE = 7,
  VT_BSTR = 8,
  VT_DISPATCH = 9,
  VT_ERROR = 10,
  VT_BOOL = 11,
  VT_VARIANT = 12,
  VT_UNKNOWN = 13,
  VT_I1 = 16,
  VT_UI1 = 17,
  VT_UI2 = 18,
  VT_UI4 = 19,
  VT_I8 = 20,
  VT_UI8 = 21,
  VT_INT = 22,
  VT_UINT = 23,
  VT_BYREF = 0x4000,
  VT_TYPEMASK = 0x0FFF,
};

inline constexpr int16_t kVariantTrue = -1;
inline constexpr int16_t kVariantFalse = 0;

struct IInterface;
struct IDispatch;
struct Variant;

struct Variant {
  uint16_t vt;
  uint16_t reserved1, reserved2, reserved3;
  union {
    int8_t cVal;
    uint8_t bVal;
    int16_t iVal;
    uint16_t uiVal;
    int32_t lVal;
    uint32_t ulVal;
    int64_t llVal;
    uint64_t ullVal;
    float fltVal;
    double dblVal;
    double date;            // days since 1899-12-30
    int16_t boolVal;        // -1 true, 0 false
    HResult scode;
    WStr bstrVal;
    IInterface* punkVal;
    IDispatch* pdispVal;
    // by-reference forms (VT_BYREF | type)
    int16_t* piVal;
    int32_t* plVal;
    int64_t* pllVal;
    double* pdblVal;
    int16_t* pboolVal;
    WStr* pbstrVal;
    IDispatch** ppdispVal;
    IInterface** ppunkVal;
    Variant* pvarVal;
    void* byref;
  };
};
static_assert(sizeof(Variant) == 16, "Variant keeps its automation size");

struct DispParams {
  Variant* args;          // last declared argument first
  DispId* namedArgIds;    // unused by this system
  uint32_t argCount;
  uint32_t namedArgCount;
};

struct ExcepInfo {
  uint16_t code;
  uint16_t reserved;
  WStr source;
  WStr description;
  WStr helpFile;
  uint32_t helpContext;
  void* reserved2;
  void* deferredFill;
  HResult scode;
};

// Invoke flags
inline constexpr uint16_t kDispatchMethod = 1;
inline constexpr uint16_t kDispatchPropertyGet = 2;

// ---------------------------------------------------------------------------------------------
// Interfaces. The virtual-function order is the contract; it never changes.

struct IInterface {
  virtual HResult QueryInterface(const Guid& iid, void** object) = 0;
  virtual int32_t AddRef() = 0;
  virtual int32_t Release() = 0;
 protected:
  ~IInterface() = default;
};

struct IDispatch : IInterface {
  virtual HResult GetTypeInfoCount(uint32_t* count) = 0;
  virtual HResult GetTypeInfo(uint32_t index, uint32_t locale, void** typeInfo) = 0;
  virtual HResult GetIDsOfNames(const Guid& iid, char16_t** names, uint32_t count, uint32_t locale, DispId* ids) = 0;
  virtual HResult Invoke(DispId id, const Guid& iid, uint32_t locale, uint16_t flags, DispParams* params,
                         Variant* result, ExcepInfo* excepInfo, uint32_t* argErr) = 0;
 protected:
  ~IDispatch() = default;
};

// Asked of every host-visible object: does it offer the named service?
struct ISupportService : IInterface {
  virtual HResult SupportsService(const char16_t* name, int16_t* supported) = 0;
 protected:
  ~ISupportService() = default;
};

// Second, non-dispatch interface of a driver.
struct IDriverMemoryAccess : IInterface {
  virtual HResult MemoryRead(int32_t a, int32_t b, int32_t c, int32_t d, int32_t e, int32_t* result) = 0;
  virtual HResult MemoryWrite(int32_t a, int32_t b, int32_t c, int32_t d, int32_t e, int32_t* result) = 0;
 protected:
  ~IDriverMemoryAccess() = default;
};

inline constexpr Guid IID_IInterface = {0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr Guid IID_IDispatch = {0x00020400, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr Guid IID_NULL = {0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};
inline constexpr Guid IID_ISupportService = {0x1DEBA58E, 0x0DF5, 0x4081, {0x93, 0xE9, 0x0C, 0x17, 0x32, 0xE7, 0xDF, 0xAE}};
inline constexpr Guid IID_IDriverMemoryAccess = {0xDE05D751, 0x32F9, 0x4557, {0xA7, 0xB6, 0x67, 0x8A, 0x82, 0x80, 0xE2, 0x74}};

// ---------------------------------------------------------------------------------------------
// Plug-in entry points (exported with C linkage by a ".ZLT" shared object).
extern "C" {
using GetZoltaDriverCountFn = HResult (*)(int32_t* count);
using GetZoltaDriverPluginFn = HResult (*)(uint32_t kind, IDispatch** driver);
}
inline constexpr const char* kEntryDriverCount = "GetZoltaDriverCount";
inline constexpr const char* kEntryDriverPlugin = "GetZoltaDriver_Plugin";

// Host exports, found with dlsym in the host executable.
extern "C" {
using ClientApiGetClientInterfaceFn = IDispatch* (*)();
using VfsExpandRelativePathFn = int32_t (*)(const char16_t* base, const char16_t* relative, char16_t* buffer,
                                            int32_t bufferBytes);
}
inline constexpr const char* kHostExportClient = "ClientAPI_GetClientInterface";
inline constexpr const char* kHostExportExpandPath = "VFSAPI_VFS_ExpandRelativePath";

}  // namespace zabi
