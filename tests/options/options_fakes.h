// Recording fakes of the host objects the options reach: the device manager with device information,
// and a project with its options storage. Each call is logged as "<object>.<id>(<arg>,...)".
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "zolta/host/host_services.h"
#include "zolta/host_ids.h"
#include "zolta/service.h"

namespace zolta::fake {

struct CallLog {
  std::vector<std::string> calls;
  void add(const std::string& object, DispId id, const std::vector<std::string>& args = {}) {
    std::string e = object + "." + std::to_string(id) + "(";
    for (size_t i = 0; i < args.size(); ++i) e += (i ? "," : "") + args[i];
    calls.push_back(e + ")");
  }
};

class FakeDeviceInfo : public TAbstractSupportService {
 public:
  FakeDeviceInfo(std::string family, std::string base, std::string package, std::string speed)
      : family_(std::move(family)), base_(std::move(base)), package_(std::move(package)), speed_(std::move(speed)) {}
  virtual std::string Family() { return family_; }
  virtual std::string Base() { return base_; }
  virtual std::string Package() { return package_; }
  virtual std::string Speed() { return speed_; }
  static const DispatchTable& table() {
    static const DispatchEntry e[] = {{zabi::host::DeviceInfo_GetFamilyName, &op<&FakeDeviceInfo::Family>},
                                      {zabi::host::DeviceInfo_GetBaseName, &op<&FakeDeviceInfo::Base>},
                                      {zabi::host::DeviceInfo_GetPackageName, &op<&FakeDeviceInfo::Package>},
                                      {zabi::host::DeviceInfo_GetSpeedGradeName, &op<&FakeDeviceInfo::Speed>}};
    static const DispatchTable t = makeTable(&rootTable(), "DeviceInformation", e);
    return t;
  }
  const DispatchTable& dispatchTable() const override { return table(); }

 private:
  std::string family_, base_, package_, speed_;
};

// Knows the devices added with addDevice (names compared exactly); answers none for any other.
class FakeDeviceManager : public TAbstractSupportService {
 public:
  explicit FakeDeviceManager(CallLog& log) : log_(log) {}
  void addDevice(const std::string& name, const std::string& family, const std::string& base,
                 const std::string& package, const std::string& speed) {
    devices_[name] = DispPtr((new FakeDeviceInfo(family, base, package, speed))->dispatch());
  }
  virtual DispPtr GetDeviceInformation(std::string name) {
    log_.add("dm", zabi::host::DeviceManager_GetDeviceInformation, {name});
    auto it = devices_.find(name);
    return it == devices_.end() ? DispPtr() : it->second;
  }
  static const DispatchTable& table() {
    static const DispatchEntry e[] = {
        {zabi::host::DeviceManager_GetDeviceInformation, &op<&FakeDeviceManager::GetDeviceInformation>}};
    static const DispatchTable t = makeTable(&rootTable(), "DeviceManager", e);
    return t;
  }
  const DispatchTable& dispatchTable() const override { return table(); }

 private:
  CallLog& log_;
  std::map<std::string, DispPtr> devices_;
};

// Sections of keys to texts; every write and removal is logged.
class FakeOptionsStorage : public TAbstractSupportService {
 public:
  explicit FakeOptionsStorage(CallLog& log) : log_(log) {}
  std::map<std::string, std::map<std::string, std::string>> sections;

  virtual void Write(std::string section, std::string key, std::string value) {
    log_.add("storage", zabi::host::OptionsStorage_WriteValue, {section, key, value});
    sections[section][key] = value;
  }
  virtual std::string Read(std::string section, std::string key, std::string def) {
    auto s = sections.find(section);
    if (s == sections.end()) return def;
    auto k = s->second.find(key);
    return k == s->second.end() ? def : k->second;
  }
  virtual void Remove(std::string section, std::string key) {
    log_.add("storage", zabi::host::OptionsStorage_RemoveKey, {section, key});
    auto s = sections.find(section);
    if (s != sections.end()) s->second.erase(key);
  }
  static const DispatchTable& table() {
    static const DispatchEntry e[] = {{zabi::host::OptionsStorage_WriteValue, &op<&FakeOptionsStorage::Write>},
                                      {zabi::host::OptionsStorage_ReadValue, &op<&FakeOptionsStorage::Read>},
                                      {zabi::host::OptionsStorage_RemoveKey, &op<&FakeOptionsStorage::Remove>}};
    static const DispatchTable t = makeTable(&rootTable(), "OptionsStorage", e);
    return t;
  }
  const DispatchTable& dispatchTable() const override { return table(); }

 private:
  CallLog& log_;
};

// A project answering its options storage (or none when created without one).
class FakeProject : public TAbstractSupportService {
 public:
  explicit FakeProject(DispPtr storage) : storage_(std::move(storage)) {}
  virtual DispPtr OptionsStorage() { return storage_; }
  static const DispatchTable& table() {
    static const DispatchEntry e[] = {{zabi::host::Project_GetOptionsStorage, &op<&FakeProject::OptionsStorage>}};
    static const DispatchTable t = makeTable(&rootTable(), "Project", e);
    return t;
  }
  const DispatchTable& dispatchTable() const override { return table(); }

 private:
  DispPtr storage_;
};

// A fresh folder under the temporary folder, removed with its content at the end.
class TempDir {
 public:
  TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "zolta-options-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("cannot create a temporary folder");
    path_ = pattern;
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  const std::string& path() const { return path_; }
  // Writes a file under the folder (creating sub-folders) and answers its full path.
  std::string write(const std::string& relative, const std::string& content) const {
    const std::filesystem::path p = std::filesystem::path(path_) / relative;
    std::filesystem::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << content;
    return p.string();
  }

 private:
  std::string path_;
};

}  // namespace zolta::fake
