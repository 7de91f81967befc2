#include "zolta/hostapp/device_manager.h"

#include <ini.h>

#include <cstdio>
#include <stdexcept>

#include "zolta/host_ids.h"
#include "zolta/hostapp/host.h"
#include "zolta/hostapp/ids.h"
#include "zolta/hostapp/text.h"

namespace zolta::hostapp {

namespace h = zabi::host;

// ---- family table ----------------------------------------------------------------------------

const std::string* DeviceFamilyRecord::find(std::string_view parameter) const {
  for (const auto& [name, value] : parameters)
    if (zabi::sameText(name, parameter)) return &value;
  return nullptr;
}

const DeviceFamilyRecord* FamilyTable::find(std::string_view family) const {
  for (const DeviceFamilyRecord& r : families_)
    if (zabi::sameText(r.name, family)) return &r;
  return nullptr;
}

void FamilyTable::load(const std::string& path) {
  FILE* f = std::fopen(path.c_str(), "r");
  if (!f) throw std::runtime_error("cannot be opened");
  struct Sink {
    FamilyTable* table;
    std::string error;
  } sink{this, {}};
  auto handler = [](void* user, const char* section, const char* name, const char* value) -> int {
    auto* s = static_cast<Sink*>(user);
    if (!section || !*section) {
      s->error = std::string("parameter '") + name + "' stands before any [family] section";
      return 0;
    }
    if (!name) return 1;  // a section header alone
    DeviceFamilyRecord* record = nullptr;
    for (DeviceFamilyRecord& r : s->table->families_)
      if (zabi::sameText(r.name, section)) record = &r;
    if (!record) record = &s->table->families_.emplace_back(DeviceFamilyRecord{section, {}});
    for (auto& [n, v] : record->parameters)
      if (zabi::sameText(n, name)) {
        v = value ? value : "";
        return 1;
      }
    record->parameters.emplace_back(name, value ? value : "");
    return 1;
  };
  int line = ini_parse_file(f, handler, &sink);
  std::fclose(f);
  if (!sink.error.empty()) throw std::runtime_error("line " + std::to_string(line) + ": " + sink.error);
  if (line != 0) throw std::runtime_error("line " + std::to_string(line) + " is not a section, key = value or comment");
}

// ---- family ----------------------------------------------------------------------------------

std::string TDeviceFamily::GetParameterValue(std::string name) {
  const std::string* v = record_.find(name);
  return v ? *v : std::string();
}

bool TDeviceFamily::GetParameterBoolean(std::string name) {
  const std::string* v = record_.find(name);
  if (!v) return false;
  try {
    return zabi::Var(*v).toBool();
  } catch (const zabi::DispatchError&) {
    throw zabi::DispatchError("family " + record_.name + ": parameter " + name + " = '" + *v + "' is not a Boolean");
  }
}

int32_t TDeviceFamily::GetParameterInteger(std::string name) {
  const std::string* v = record_.find(name);
  if (!v) return 0;
  try {
    return zabi::Var(*v).toInt32();
  } catch (const zabi::DispatchError&) {
    throw zabi::DispatchError("family " + record_.name + ": parameter " + name + " = '" + *v + "' is not an integer");
  }
}

namespace {
const DispatchEntry kFamilyEntries[] = {
    {h::Family_GetParameterValue, &op<&TDeviceFamily::GetParameterValue>},
    {h::Family_GetParameterBoolean, &op<&TDeviceFamily::GetParameterBoolean>},
    {h::Family_GetParameterInteger, &op<&TDeviceFamily::GetParameterInteger>},
    {h::Family_HasParameter, &op<&TDeviceFamily::HasParameter>},
    {h::Family_HasParameter2, &op<&TDeviceFamily::HasParameter>},
};
}  // namespace

const DispatchTable& TDeviceFamily::table() {
  static const DispatchTable t = makeTable(&TAbstractSupportService::rootTable(), "DeviceFamily", kFamilyEntries);
  return t;
}

// ---- family manager --------------------------------------------------------------------------

DispPtr TFamilyManager::GetFamily(std::string name) {
  const DeviceFamilyRecord* record = families_.find(name);
  if (!record) return {};
  Ptr<TDeviceFamily>& object = objects_[zabi::upperAscii(record->name)];
  if (!object) object = Ptr<TDeviceFamily>(new TDeviceFamily(link(), *record));
  return object;
}

namespace {
const DispatchEntry kFamilyManagerEntries[] = {
    {h::FamilyManager_GetFamily, &op<&TFamilyManager::GetFamily>},
};
}  // namespace

const DispatchTable& TFamilyManager::table() {
  static const DispatchTable t = makeTable(&TAbstractSupportService::rootTable(), "FamilyManager", kFamilyManagerEntries);
  return t;
}

// ---- device manager --------------------------------------------------------------------------

TDeviceManager::TDeviceManager(const HostLink& link, Host& host)
    : THostObject(link), host_(host), familyManager_(new TFamilyManager(link, host.families())) {}

DispPtr TDeviceManager::GetDeviceInformation(std::string deviceName) {
  return host_.drivers().findByDeviceName(deviceName);
}

std::string TDeviceManager::ShowDeviceInformation(std::string deviceName, std::string parameters) {
  DispPtr info = host_.drivers().findByDeviceName(deviceName);
  if (!info) throw zabi::DispatchError("device manager: no loaded driver serves device '" + deviceName + "'");
  std::string text = deviceName + "\n" + zabi::invoke(info, ids::DeviceInfo_GetDeviceDescription).toString();
  host_.dialogs().show({DialogRequest::Kind::Information, "Device Information", text});
  return {};
}

bool TDeviceManager::SameDevice(std::string a, std::string b) {
  return zabi::sameText(trimmed(a), trimmed(b));
}

namespace {
const DispatchEntry kDeviceManagerEntries[] = {
    {ids::DeviceManager_ShowDeviceInformation, &op<&TDeviceManager::ShowDeviceInformation>},
    {ids::DeviceManager_GetDeviceInformation, &op<&TDeviceManager::GetDeviceInformation>},
    {ids::DeviceManager_SameDevice, &op<&TDeviceManager::SameDevice>},
    {h::DeviceManager_GetFamilyManager, &op<&TDeviceManager::GetFamilyManager>},
};
}  // namespace

const DispatchTable& TDeviceManager::table() {
  static const DispatchTable t = makeTable(&TAbstractSupportService::rootTable(), "DeviceManager", kDeviceManagerEntries);
  return t;
}

}  // namespace zolta::hostapp
