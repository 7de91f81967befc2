#include "zolta/service.h"

#include <algorithm>
#include <exception>

namespace zolta {

using zabi::kOk;

// ---- TReferencedObject -----------------------------------------------------------------------

void* TReferencedObject::interfaceFor(const Guid& iid) {
  if (iid == zabi::IID_IInterface) return static_cast<IInterface*>(this);
  return nullptr;
}

HResult TReferencedObject::QueryInterface(const Guid& iid, void** object) {
  if (!object) return zabi::kPointer;
  *object = interfaceFor(iid);
  if (!*object) return zabi::kNoInterface;
  AddRef();
  return kOk;
}

int32_t TReferencedObject::AddRef() { return ++FRefCount; }

int32_t TReferencedObject::Release() {
  int32_t n = --FRefCount;
  if (n == 0) delete this;
  return n;
}

void TReferencedObject::Free() {
  if (FRefCount.load() != 0) throw zabi::DispatchError("Invalid Pointer");
  delete this;
}

void* TDispatchObject::interfaceFor(const Guid& iid) {
  if (iid == zabi::IID_IDispatch) return static_cast<IDispatch*>(this);
  if (iid == zabi::IID_IInterface) return static_cast<IInterface*>(static_cast<TReferencedObject*>(this));
  return nullptr;
}

// ---- DispatchCall ----------------------------------------------------------------------------

void DispatchCall::expect(uint32_t n) const {
  if (count() != n)
    throw zabi::DispatchError("dispatch identifier " + std::to_string(id_) + " takes " + std::to_string(n) +
                                  " argument(s), " + std::to_string(count()) + " given",
                              zabi::kBadParamCount);
}

zabi::Variant& DispatchCall::arg(uint32_t k) const {
  if (k >= count() || !params_->args)
    throw zabi::DispatchError("dispatch identifier " + std::to_string(id_) + ": argument " + std::to_string(k + 1) +
                                  " is missing",
                              zabi::kBadParamCount);
  return params_->args[count() - 1 - k];
}

const DispatchHandler* DispatchTable::find(DispId id) const {
  const DispatchEntry* end = entries + count;
  const DispatchEntry* it =
      std::lower_bound(entries, end, id, [](const DispatchEntry& e, DispId v) { return e.id < v; });
  return (it != end && it->id == id) ? &it->handler : nullptr;
}

// ---- TAbstractSupportService -----------------------------------------------------------------

const DispatchTable& TAbstractSupportService::rootTable() {
  static const DispatchTable root{nullptr, {}, nullptr, 0};
  return root;
}

const DispatchTable& TAbstractSupportService::dispatchTable() const { return rootTable(); }

void* TAbstractSupportService::interfaceFor(const Guid& iid) {
  if (iid == zabi::IID_IDispatch || iid == zabi::IID_IInterface) return static_cast<IDispatch*>(this);
  if (iid == zabi::IID_ISupportService) return static_cast<zabi::ISupportService*>(this);
  return nullptr;
}

HResult TAbstractSupportService::QueryInterface(const Guid& iid, void** object) {
  if (!object) return zabi::kPointer;
  *object = interfaceFor(iid);
  if (!*object) return zabi::kNoInterface;
  AddRef();
  return kOk;
}

int32_t TAbstractSupportService::AddRef() { return ++FRefCount; }

int32_t TAbstractSupportService::Release() {
  int32_t n = --FRefCount;
  if (n == 0) delete this;
  return n;
}

bool TAbstractSupportService::supportsService(std::string_view name) const {
  for (const DispatchTable* t = &dispatchTable(); t; t = t->parent)
    if (!t->serviceName.empty() && zabi::sameText(t->serviceName, name)) return true;
  return false;
}

HResult TAbstractSupportService::SupportsService(const char16_t* name, int16_t* supported) {
  try {
    bool s = supportsService(zabi::fromWStr(name));
    if (supported) *supported = s ? zabi::kVariantTrue : zabi::kVariantFalse;
    return kOk;
  } catch (...) {
    return zabi::kUnexpected;
  }
}

bool TAbstractSupportService::dispatchCall(DispatchCall& call) {
  for (const DispatchTable* t = &dispatchTable(); t; t = t->parent) {
    if (const DispatchHandler* h = t->find(call.id())) {
      (*h)(*this, call);
      return true;
    }
  }
  if (call.id() == kDispSupportsService) {
    call.expect(1);
    call.ret(supportsService(call.get<std::string>(0)));
    return true;
  }
  return false;
}

HResult TAbstractSupportService::Invoke(DispId id, const Guid&, uint32_t, uint16_t, zabi::DispParams* params,
                                        zabi::Variant* result, zabi::ExcepInfo* excepInfo, uint32_t*) {
  DispatchCall call(id, params, result);
  try {
    return dispatchCall(call) ? kOk : zabi::kNotImpl;
  } catch (const zabi::DispatchError& e) {
    return zabi::reportException(excepInfo, e.what(), e.status());
  } catch (const std::exception& e) {
    return zabi::reportException(excepInfo, e.what());
  } catch (...) {
    return zabi::reportException(excepInfo, "unknown failure in dispatch identifier " + std::to_string(id));
  }
}

TAbstractSupportService* serviceObjectOf(IDispatch* d) {
  return d ? dynamic_cast<TAbstractSupportService*>(d) : nullptr;
}

bool QueryService(IInterface* object, std::string_view name, DispPtr& result) {
  result = nullptr;
  if (!object) return false;
  auto ss = zabi::queryInterface<zabi::ISupportService>(object, zabi::IID_ISupportService);
  if (!ss) return false;
  std::u16string w = zabi::utf8ToUtf16(name);
  zabi::WStr ws = zabi::wstrAlloc(w.data(), uint32_t(w.size()));
  int16_t supported = 0;
  HResult h = ss->SupportsService(ws, &supported);
  zabi::wstrFree(ws);
  if (h != kOk || !supported) return false;
  result = zabi::queryInterface<IDispatch>(object, zabi::IID_IDispatch);
  return bool(result);
}

}  // namespace zolta
