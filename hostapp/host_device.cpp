#include "zolta/hostapp/host_device.h"

#include "zolta/host_ids.h"
#include "zolta/hostapp/ids.h"

namespace zolta::hostapp {

namespace h = zabi::host;

static uint32_t maskOf(int32_t width) {
  if (width < 1 || width > 32) throw zabi::DispatchError("register width " + std::to_string(width) + " is not 1..32");
  return width == 32 ? 0xFFFFFFFFu : ((1u << width) - 1);
}

int32_t THostDevice::ReadRegister(int32_t address, int32_t width) {
  uint32_t mask = maskOf(width);
  auto it = registers_.find(address);
  return int32_t((it == registers_.end() ? 0u : it->second) & mask);
}

void THostDevice::WriteRegister(int32_t address, int32_t width, int32_t value) {
  registers_[address] = uint32_t(value) & maskOf(width);
}

const DispPtr& THostDevice::driverOrThrow() const {
  if (!driver_) throw zabi::DispatchError("device " + name_ + " has no driver");
  return driver_;
}

std::string THostDevice::GetDescription() {
  return jtagIndex_ < 0 ? name_ : name_ + " at JTAG chain index " + std::to_string(jtagIndex_);
}

bool THostDevice::ResetDevice() { return zabi::invoke(driverOrThrow(), ids::Driver_ResetDevice).toBool(); }

int32_t THostDevice::GetDeviceState() { return zabi::invoke(driverOrThrow(), ids::Driver_GetDeviceState).toInt32(); }

int32_t THostDevice::ProgramDevice(std::string fileName) {
  return zabi::invoke(driverOrThrow(), ids::Driver_ProgramDevice, fileName).toInt32();
}

int32_t THostDevice::ReadUserCode() { return zabi::invoke(driverOrThrow(), ids::Driver_ReadUserCode).toInt32(); }

namespace {
const DispatchEntry kHostDeviceEntries[] = {
    {h::ZoltaDevice_GetName, &op<&THostDevice::GetName>},
    {h::ZoltaDevice_GetDescription, &op<&THostDevice::GetDescription>},
    {h::ZoltaDevice_GetJTagIndex, &op<&THostDevice::GetJTagIndex>},
    {h::ZoltaDevice_GetJTagChannel, &op<&THostDevice::GetJTagChannel>},
    {ids::ZoltaDevice_GetDriver, &op<&THostDevice::GetDriver>},
    {ids::ZoltaDevice_ResetDevice, &op<&THostDevice::ResetDevice>},
    {ids::ZoltaDevice_GetDeviceState, &op<&THostDevice::GetDeviceState>},
    {ids::ZoltaDevice_ProgramDevice, &op<&THostDevice::ProgramDevice>},
    {h::ZoltaDevice_ReadRegister, &op<&THostDevice::ReadRegister>},
    {h::ZoltaDevice_WriteRegister, &op<&THostDevice::WriteRegister>},
};
}  // namespace

const DispatchTable& THostDevice::table() {
  static const DispatchTable t = makeTable(&TAbstractSupportService::rootTable(), "ZoltaDevice", kHostDeviceEntries);
  return t;
}

}  // namespace zolta::hostapp
