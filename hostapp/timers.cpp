#include "zolta/hostapp/timers.h"

#include <algorithm>

#include "zolta/host_ids.h"
#include "zolta/hostapp/ids.h"

namespace zolta::hostapp {

namespace h = zabi::host;

int32_t TimerRegistry::add(DispPtr handler, int32_t intervalMs, bool enabled) {
  if (!handler) throw zabi::DispatchError("timer manager: no timer handler given");
  if (intervalMs <= 0) throw zabi::DispatchError("timer manager: interval " + std::to_string(intervalMs) + " ms is not positive");
  int32_t id = nextId_++;
  timers_[id] = HostTimer{std::move(handler), intervalMs, enabled};
  return id;
}

HostTimer& TimerRegistry::at(int32_t id) {
  auto it = timers_.find(id);
  if (it == timers_.end()) throw zabi::DispatchError("timer manager: no timer with id " + std::to_string(id));
  return it->second;
}

void TimerRegistry::remove(int32_t id) {
  at(id);
  timers_.erase(id);
}

void TimerRegistry::enable(int32_t id, bool enabled) { at(id).enabled = enabled; }

const HostTimer* TimerRegistry::find(int32_t id) const {
  auto it = timers_.find(id);
  return it == timers_.end() ? nullptr : &it->second;
}

bool TimerRegistry::fire(int32_t id) {
  auto it = timers_.find(id);
  if (it == timers_.end() || !it->second.enabled) return false;
  DispPtr handler = it->second.handler;  // the handler may remove its own timer
  zabi::invoke(handler, ids::TimerHandler_Handle, id);
  return true;
}

void NotificationRegistry::add(DispPtr handler) {
  if (!handler) throw zabi::DispatchError("notifications: no handler given");
  handlers_.push_back(std::move(handler));
}

void NotificationRegistry::remove(const DispPtr& handler) {
  auto it = std::find(handlers_.begin(), handlers_.end(), handler);
  if (it != handlers_.end()) handlers_.erase(it);
}

int NotificationRegistry::broadcast(const DispPtr& notification) {
  int failures = 0;
  std::vector<DispPtr> handlers = handlers_;  // a handler may unregister while being called
  for (const DispPtr& h : handlers) {
    zabi::Var result;
    std::string message;
    if (zabi::tryInvoke(h.get(), ids::NotificationHandler_Handle, &result, &message, notification) != zabi::kOk)
      ++failures;
  }
  return failures;
}

int32_t TTimerManager::Add(DispPtr handler, int32_t intervalMs, bool enabled) {
  return timers_.add(std::move(handler), intervalMs, enabled);
}

namespace {
const DispatchEntry kTimerManagerEntries[] = {
    {h::TimerManager_Add, &op<&TTimerManager::Add>},
    {h::TimerManager_Remove, &op<&TTimerManager::Remove>},
    {h::TimerManager_Enable, &op<&TTimerManager::Enable>},
};
}  // namespace

const DispatchTable& TTimerManager::table() {
  static const DispatchTable t = makeTable(&TAbstractSupportService::rootTable(), "TimerManager", kTimerManagerEntries);
  return t;
}

}  // namespace zolta::hostapp
