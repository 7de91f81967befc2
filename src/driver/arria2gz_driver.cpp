#include "zolta/arria2gz_driver.h"

namespace zolta {

TDevice_Arria2GZDriver::TDevice_Arria2GZDriver(int32_t kind) : TDeviceData(kind, ".VHD") {}

// Without a bound device or channel the JTAG operations answer fixed values and touch no channel.
bool TDevice_Arria2GZDriver::ResetDevice() {
  DispPtr channel = GetBoundChannel();
  if (!channel) return false;
  throw zabi::DispatchError("JTAG reset of " + GetDeviceName() + " is not available in this build");
}

int32_t TDevice_Arria2GZDriver::GetDeviceState() {
  DispPtr channel = GetBoundChannel();
  if (!channel) return 1;
  throw zabi::DispatchError("JTAG state of " + GetDeviceName() + " is not available in this build");
}

int32_t TDevice_Arria2GZDriver::ProgramDevice(const std::string&) {
  DispPtr channel = GetBoundChannel();
  if (!channel) return 0;
  throw zabi::DispatchError("JTAG programming of " + GetDeviceName() + " is not available in this build");
}

int32_t TDevice_Arria2GZDriver::ReadUserCode() {
  DispPtr channel = GetBoundChannel();
  if (!channel) return -1;
  throw zabi::DispatchError("JTAG user code of " + GetDeviceName() + " is not available in this build");
}

DispPtr TDevice_Arria2GZDriver::CreateFlowObject(int32_t) { return {}; }

}  // namespace zolta
