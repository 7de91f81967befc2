// A scriptable host object for driver tests: each dispatch identifier maps to a handler, and every call
// is logged as "id(arg,arg...)".
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "zolta/service.h"

namespace zolta::testing {

class FakeHostObject : public TAbstractSupportService {
 public:
  using Handler = std::function<Var(DispatchCall&)>;
  std::map<DispId, Handler> handlers;
  std::vector<std::string>* log = nullptr;
  std::string name;

  FakeHostObject& on(DispId id, Handler h) {
    handlers[id] = std::move(h);
    return *this;
  }
  FakeHostObject& answer(DispId id, Var v) {
    handlers[id] = [v](DispatchCall&) { return v; };
    return *this;
  }

 protected:
  bool dispatchCall(DispatchCall& call) override {
    auto it = handlers.find(call.id());
    if (it == handlers.end()) return TAbstractSupportService::dispatchCall(call);
    if (log) {
      std::string entry = name + std::to_string(call.id()) + "(";
      for (uint32_t k = 0; k < call.count(); ++k) entry += (k ? "," : "") + zabi::variantToString(call.arg(k));
      log->push_back(entry + ")");
    }
    call.retVar(it->second(call));
    return true;
  }
};

}  // namespace zolta::testing
