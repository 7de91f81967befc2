// Device manager, family manager and device families of the host.
//
// Family parameters come from an INI file in the host's System folder (DeviceFamilies.ini): one section
// per family, each key a parameter name, each value its text. Family and parameter names are compared
// without regard to ASCII case. Booleans are written True/False (or an integer, 0 being false).
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "zolta/hostapp/host_object.h"

namespace zolta::hostapp {

struct DeviceFamilyRecord {
  std::string name;
  std::vector<std::pair<std::string, std::string>> parameters;  // file order, names unique
  const std::string* find(std::string_view parameter) const;
};

class FamilyTable {
 public:
  // Adds the families of an INI file; a later section of the same family adds to it and overrides its
  // keys. Throws std::runtime_error naming the file (and line) when it cannot be read or parsed.
  void load(const std::string& path);
  const DeviceFamilyRecord* find(std::string_view family) const;
  const std::vector<DeviceFamilyRecord>& families() const { return families_; }

 private:
  std::vector<DeviceFamilyRecord> families_;
};

class TDeviceFamily : public THostObject {
 public:
  TDeviceFamily(const HostLink& link, DeviceFamilyRecord record) : THostObject(link), record_(std::move(record)) {}

  // Empty for a parameter the family does not have.
  std::string GetParameterValue(std::string name);
  // False for a missing parameter; a value that is no Boolean is refused with an error.
  bool GetParameterBoolean(std::string name);
  // 0 for a missing parameter; a value that is no integer is refused with an error.
  int32_t GetParameterInteger(std::string name);
  bool HasParameter(std::string name) { return record_.find(name) != nullptr; }

  static const DispatchTable& table();
  const DispatchTable& dispatchTable() const override { return table(); }

 private:
  DeviceFamilyRecord record_;
};

class TFamilyManager : public THostObject {
 public:
  TFamilyManager(const HostLink& link, const FamilyTable& families) : THostObject(link), families_(families) {}
  // The family of that name, or none.
  DispPtr GetFamily(std::string name);

  static const DispatchTable& table();
  const DispatchTable& dispatchTable() const override { return table(); }

 private:
  const FamilyTable& families_;
  std::map<std::string, Ptr<TDeviceFamily>> objects_;  // by upper-case family name
};

class Host;

class TDeviceManager : public THostObject {
 public:
  TDeviceManager(const HostLink& link, Host& host);

  DispPtr GetFamilyManager() { return familyManager_; }
  // The device information (a driver) of the device of that name, or none.
  DispPtr GetDeviceInformation(std::string deviceName);
  // Shows the device's name and description in a dialog; answers an empty text.
  std::string ShowDeviceInformation(std::string deviceName, std::string parameters);
  bool SameDevice(std::string a, std::string b);

  static const DispatchTable& table();
  const DispatchTable& dispatchTable() const override { return table(); }

 private:
  Host& host_;
  Ptr<TFamilyManager> familyManager_;
};

}  // namespace zolta::hostapp
