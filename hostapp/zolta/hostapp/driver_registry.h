// The drivers the loaded plug-ins serve: one entry per (plug-in, kind), created once through the
// plug-in's GetZoltaDriver_Plugin entry point and kept until the plug-ins are unloaded.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "zolta/dispatch.h"

namespace zolta::hostapp {

struct DriverEntry {
  size_t plugin = 0;          // index into Host::plugins()
  std::string pluginName;     // the plug-in file's name without extension ("Arria2GZ")
  int32_t kind = 0;
  zabi::DispPtr driver;
};

class DriverRegistry {
 public:
  void add(DriverEntry entry) { entries_.push_back(std::move(entry)); }
  const std::vector<DriverEntry>& entries() const { return entries_; }
  size_t size() const { return entries_.size(); }

  // The device name of an entry's driver (device-information operation 503380), asked once and kept.
  // Throws zabi::DispatchError when the driver refuses.
  const std::string& deviceName(size_t index);
  // The base name of an entry's driver (503386, "EP2AGZ225F"), asked once and kept; empty when the
  // driver does not answer it.
  const std::string& baseName(size_t index);
  // The driver whose device name equals `name` without regard to case; empty when none does. Drivers
  // that refuse to give a name are passed over.
  zabi::DispPtr findByDeviceName(std::string_view name);
  // Drops every driver reference (before the plug-ins are unloaded).
  void clear() {
    entries_.clear();
    names_.clear();
    baseNames_.clear();
  }

 private:
  std::vector<DriverEntry> entries_;
  std::vector<std::optional<std::string>> names_;
  std::vector<std::optional<std::string>> baseNames_;
};

}  // namespace zolta::hostapp
