// The plug-in's two exported entry points. Everything else in this shared object is hidden.
#include <memory>
#include <vector>

#include "zolta/arria2gz_driver.h"
#include "zolta/host/host_services.h"

namespace {

// Drivers are not reference counted: each lives until the library is unloaded. They are kept here only
// so that unloading frees them.
struct DriverKeeper {
  std::vector<std::unique_ptr<zolta::TDevice_Arria2GZDriver>> drivers;
};

DriverKeeper& keeper() {
  static DriverKeeper k;
  return k;
}

// Lives from library load to unload: creates the shared I/O-standard objects when the library is
// loaded; at unload frees them and the host caches (releasing the host objects they hold). It is
// constructed before the driver keeper (which is made on the first driver request), so the drivers
// and their pins go first at unload.
struct ModuleLifetime {
  ModuleLifetime() { zolta::CreateSharedIOStandards(); }
  ~ModuleLifetime() {
    zolta::FreeSharedIOStandards();
    zolta::FreeHostCaches();
  }
  ModuleLifetime(const ModuleLifetime&) = delete;
  ModuleLifetime& operator=(const ModuleLifetime&) = delete;
};
const ModuleLifetime gModule;

}  // namespace

#define ZOLTA_EXPORT extern "C" __attribute__((visibility("default")))

ZOLTA_EXPORT zabi::HResult GetZoltaDriverCount(int32_t* count) {
  if (!count) return zabi::kPointer;
  *count = zolta::kArria2GZKindCount;
  return zabi::kOk;
}

ZOLTA_EXPORT zabi::HResult GetZoltaDriver_Plugin(uint32_t kind, zabi::IDispatch** driver) {
  if (!driver) return zabi::kPointer;
  *driver = nullptr;
  if (kind >= uint32_t(zolta::kArria2GZKindCount)) return zabi::kOk;
  try {
    auto d = std::make_unique<zolta::TDevice_Arria2GZDriver>(int32_t(kind));
    *driver = d->dispatch();
    keeper().drivers.push_back(std::move(d));
    return zabi::kOk;
  } catch (...) {
    *driver = nullptr;
    return zabi::kUnexpected;
  }
}
