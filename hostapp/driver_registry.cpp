#include "zolta/hostapp/driver_registry.h"

#include "zolta/hostapp/ids.h"

namespace zolta::hostapp {

const std::string& DriverRegistry::deviceName(size_t index) {
  if (names_.size() < entries_.size()) names_.resize(entries_.size());
  std::optional<std::string>& name = names_.at(index);
  if (!name) name = zabi::invoke(entries_.at(index).driver, ids::DeviceInfo_GetDeviceName).toString();
  return *name;
}

const std::string& DriverRegistry::baseName(size_t index) {
  if (baseNames_.size() < entries_.size()) baseNames_.resize(entries_.size());
  std::optional<std::string>& name = baseNames_.at(index);
  if (!name) {
    zabi::Var answer;
    std::string message;
    const bool ok = zabi::tryInvoke(entries_.at(index).driver.get(), ids::DeviceInfo_GetBaseName, &answer, &message) == zabi::kOk;
    name = ok ? answer.toString() : std::string();
  }
  return *name;
}

zabi::DispPtr DriverRegistry::findByDeviceName(std::string_view name) {
  for (size_t i = 0; i < entries_.size(); ++i) {
    try {
      if (zabi::sameText(deviceName(i), name)) return entries_[i].driver;
    } catch (const zabi::DispatchError&) {
      // a driver without a name cannot be the one asked for
    }
  }
  return {};
}

}  // namespace zolta::hostapp
