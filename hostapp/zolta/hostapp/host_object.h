// Base of every dispatch object the host application hands to plug-ins, and the call log.
//
// Host objects are counted support-service objects (zolta_service) with a dispatch table per class.
// The Host owns one reference to each long-lived object; a plug-in may hold more, even beyond the Host's
// life (process-wide caches of a plug-in last until the process ends). So a host object never touches
// the Host from its destructor, and once the Host is gone it refuses every call with an error instead
// of reaching the Host's models.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "zolta/service.h"

namespace zolta::hostapp {

// One dispatch call a plug-in made on a host object.
struct CallRecord {
  std::string object;             // the object's service name ("Client", "GUIManager", ...)
  DispId id = 0;
  std::vector<std::string> args;  // declared order, as text ("<none>" / "<object>" for references)
};

// Records calls while switched on (tests check call orders with it). Off by default.
class CallLog {
 public:
  void enable(bool on) { enabled_ = on; }
  bool enabled() const { return enabled_; }
  void record(CallRecord r) { records_.push_back(std::move(r)); }
  const std::vector<CallRecord>& records() const { return records_; }
  // The calls made on one object, in order.
  std::vector<CallRecord> callsOn(std::string_view object) const;
  // The identifiers called on one object, in order.
  std::vector<DispId> idsOn(std::string_view object) const;
  void clear() { records_.clear(); }

 private:
  bool enabled_ = false;
  std::vector<CallRecord> records_;
};

// A readable text of an argument for the log and for messages.
std::string describeArgument(const zabi::Variant& v);

// What every host object knows of its Host: the call log and whether the Host still lives.
struct HostLink {
  CallLog* log = nullptr;
  std::weak_ptr<const void> life;  // expires when the Host goes
};

class THostObject : public TAbstractSupportService {
 public:
  explicit THostObject(const HostLink& link) : link_(link) {}
  // The name calls are logged under: the service name of the most derived table.
  std::string objectName() const;
  const HostLink& link() const { return link_; }

 protected:
  bool dispatchCall(DispatchCall& call) override;

 private:
  HostLink link_;
};

// Writes a text into an in-out argument (by-reference string or variant); a plain value argument is
// left alone, since the caller then keeps no reference to receive the text.
void storeByRefString(zabi::Variant& arg, const std::string& text);

}  // namespace zolta::hostapp
