// Host timers and notifications. Plug-ins register timer handlers (timer manager 268/269/271) and
// notification handlers (client 527/528); the host calls them back on its user-interface thread:
// timer handler 267 with the timer id, notification handler 266 with the notification object.
// The command-line host only records registrations; a GUI host or a test calls fire() / broadcast().
#pragma once

#include <cstdint>
#include <map>
#include <vector>

#include "zolta/hostapp/host_object.h"

namespace zolta::hostapp {

struct HostTimer {
  DispPtr handler;
  int32_t intervalMs = 0;
  bool enabled = false;
};

class TimerRegistry {
 public:
  // Answers the new timer's id (1, 2, ...; ids are never reused).
  int32_t add(DispPtr handler, int32_t intervalMs, bool enabled);
  // Refuse an unknown id with an error naming it.
  void remove(int32_t id);
  void enable(int32_t id, bool enabled);
  const HostTimer* find(int32_t id) const;
  const std::map<int32_t, HostTimer>& timers() const { return timers_; }
  // Calls the handler of an enabled timer with its id; false when the timer is gone or disabled.
  bool fire(int32_t id);
  // Drops every handler reference (before the plug-ins that implement them are unloaded).
  void clear() { timers_.clear(); }

 private:
  HostTimer& at(int32_t id);
  std::map<int32_t, HostTimer> timers_;
  int32_t nextId_ = 1;
};

class NotificationRegistry {
 public:
  void add(DispPtr handler);
  // Removing a handler that is not registered does nothing.
  void remove(const DispPtr& handler);
  size_t count() const { return handlers_.size(); }
  // Calls every handler with the notification; a failing handler does not stop the others. Answers
  // the number of handlers that failed.
  int broadcast(const DispPtr& notification);
  void clear() { handlers_.clear(); }

 private:
  std::vector<DispPtr> handlers_;
};

class TTimerManager : public THostObject {
 public:
  TTimerManager(const HostLink& link, TimerRegistry& timers) : THostObject(link), timers_(timers) {}
  int32_t Add(DispPtr handler, int32_t intervalMs, bool enabled);
  void Remove(int32_t id) { timers_.remove(id); }
  void Enable(int32_t id, bool enabled) { timers_.enable(id, enabled); }

  static const DispatchTable& table();
  const DispatchTable& dispatchTable() const override { return table(); }

 private:
  TimerRegistry& timers_;
};

}  // namespace zolta::hostapp
