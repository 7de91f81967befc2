// A small plug-in for the host application's tests. It serves three kinds ("TESTDEV0".."TESTDEV2") through
// drivers that answer a few device-information and driver operations. Its behaviour depends on its
// file name, so one build serves several cases:
//   FailCount.ZLT  GetZoltaDriverCount fails;
//   NoKind1.ZLT    GetZoltaDriver_Plugin fails for kind 1.
// The description of a kind names the host application when the process exports the host client.
#include <dlfcn.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "zolta/service.h"

namespace {

using namespace zolta;

std::string ownFileStem() {
  Dl_info info{};
  if (!dladdr(reinterpret_cast<void*>(&ownFileStem), &info) || !info.dli_fname) return {};
  return std::filesystem::path(info.dli_fname).stem().string();
}

// The host application's name through its exported client, or "" when the process exports none.
std::string hostName() {
  auto fn = reinterpret_cast<zabi::ClientApiGetClientInterfaceFn>(dlsym(RTLD_DEFAULT, zabi::kHostExportClient));
  if (!fn) return {};
  DispPtr client(fn());
  if (!client) return {};
  return zabi::invoke(client, 548).toString();
}

class TTestDriver : public TAbstractSupportService {
 public:
  explicit TTestDriver(int32_t kind) : kind_(kind) {}
  // Drivers are not counted; the plug-in frees them at unload.
  int32_t AddRef() override { return -1; }
  int32_t Release() override { return -1; }

  std::string GetDeviceName() { return "TESTDEV" + std::to_string(kind_); }
  std::string GetDeviceDescription() {
    std::string host = hostName();
    return "Test device " + std::to_string(kind_) + (host.empty() ? " (no host)" : " on " + host);
  }
  std::string GetFamilyName() { return "Arria2GZ"; }
  DispPtr GetZoltaDevice() { return device_; }
  bool SetZoltaDevice(DispPtr device) {
    device_ = std::move(device);
    return true;
  }
  bool ResetDevice() { return bool(device_); }
  int32_t GetDeviceState() { return device_ ? 2 : 0; }
  int32_t ProgramDevice(std::string fileName) { return int32_t(fileName.size()) * 8; }

  static const DispatchTable& table() {
    static const DispatchEntry entries[] = {
        {503380, &op<&TTestDriver::GetDeviceName>},
        {503381, &op<&TTestDriver::GetDeviceDescription>},
        {503382, &op<&TTestDriver::GetFamilyName>},
        {503753, &op<&TTestDriver::GetZoltaDevice>},
        {503754, &op<&TTestDriver::SetZoltaDevice>},
        {503786, &op<&TTestDriver::ResetDevice>},
        {503787, &op<&TTestDriver::GetDeviceState>},
        {503788, &op<&TTestDriver::ProgramDevice>},
    };
    static const DispatchTable t = makeTable(&TAbstractSupportService::rootTable(), "DeviceInformation", entries);
    return t;
  }
  const DispatchTable& dispatchTable() const override { return table(); }

 private:
  int32_t kind_;
  DispPtr device_;
};

std::vector<std::unique_ptr<TTestDriver>>& drivers() {
  static std::vector<std::unique_ptr<TTestDriver>> d;
  return d;
}

}  // namespace

extern "C" __attribute__((visibility("default"))) zabi::HResult GetZoltaDriverCount(int32_t* count) {
  if (!count) return zabi::kPointer;
  if (ownFileStem() == "FailCount") return zabi::kUnexpected;
  *count = 3;
  return zabi::kOk;
}

extern "C" __attribute__((visibility("default"))) zabi::HResult GetZoltaDriver_Plugin(uint32_t kind,
                                                                                     zabi::IDispatch** driver) {
  if (!driver) return zabi::kPointer;
  *driver = nullptr;
  if (kind >= 3 || (kind == 1 && ownFileStem() == "NoKind1")) return zabi::kUnexpected;
  drivers().push_back(std::make_unique<TTestDriver>(int32_t(kind)));
  *driver = drivers().back()->dispatch();
  return zabi::kOk;
}
