#include "zolta/hostapp/host_object.h"

namespace zolta::hostapp {

std::vector<CallRecord> CallLog::callsOn(std::string_view object) const {
  std::vector<CallRecord> out;
  for (const CallRecord& r : records_)
    if (r.object == object) out.push_back(r);
  return out;
}

std::vector<DispId> CallLog::idsOn(std::string_view object) const {
  std::vector<DispId> out;
  for (const CallRecord& r : records_)
    if (r.object == object) out.push_back(r.id);
  return out;
}

std::string describeArgument(const zabi::Variant& v) {
  uint16_t t = v.vt & zabi::VT_TYPEMASK;
  if ((v.vt & zabi::VT_BYREF) && t == zabi::VT_VARIANT && v.pvarVal) return describeArgument(*v.pvarVal);
  if (t == zabi::VT_DISPATCH || t == zabi::VT_UNKNOWN) {
    void* p = (v.vt & zabi::VT_BYREF) ? (v.byref ? *static_cast<void**>(v.byref) : nullptr) : v.punkVal;
    return p ? "<object>" : "<none>";
  }
  if (t == zabi::VT_ERROR) return "<error>";
  try {
    return zabi::variantToString(v);
  } catch (const std::exception&) {
    return std::string("<") + zabi::variantTypeName(v.vt) + ">";
  }
}

std::string THostObject::objectName() const {
  for (const DispatchTable* t = &dispatchTable(); t; t = t->parent)
    if (!t->serviceName.empty()) return std::string(t->serviceName);
  return "HostObject";
}

bool THostObject::dispatchCall(DispatchCall& call) {
  if (link_.life.expired())
    throw zabi::DispatchError(objectName() + ": the host application has shut down (dispatch identifier " +
                              std::to_string(call.id()) + ")");
  if (CallLog* log = link_.log; log && log->enabled()) {
    CallRecord r{objectName(), call.id(), {}};
    for (uint32_t k = 0; k < call.count(); ++k) r.args.push_back(describeArgument(call.arg(k)));
    log->record(std::move(r));
  }
  return TAbstractSupportService::dispatchCall(call);
}

void storeByRefString(zabi::Variant& arg, const std::string& text) {
  if (arg.vt == (zabi::VT_BYREF | zabi::VT_BSTR) && arg.pbstrVal) {
    zabi::wstrFree(*arg.pbstrVal);
    *arg.pbstrVal = zabi::makeWStr(text);
  } else if (arg.vt == (zabi::VT_BYREF | zabi::VT_VARIANT) && arg.pvarVal) {
    zabi::Var old = zabi::Var::adopt(*arg.pvarVal);
    *arg.pvarVal = zabi::Var(text).release();
  }
}

}  // namespace zolta::hostapp
