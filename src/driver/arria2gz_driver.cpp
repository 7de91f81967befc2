#include "zolta/arria2gz_driver.h"

#include "zolta/flow/altera_stages.h"
#include "zolta/flow/download_stage.h"

#include "zolta/jtag/altera_jtag.h"

namespace zolta {

TDevice_Arria2GZDriver::TDevice_Arria2GZDriver(int32_t kind) : TDeviceData(kind, ".VHD") {}

// The JTAG operations run the Altera routines on the bound device's channel and chain index. Without a
// bound device or channel those answer fixed values and touch no channel.
bool TDevice_Arria2GZDriver::ResetDevice() {
  const DispPtr channel = GetBoundChannel();
  const int32_t index = GetBoundDeviceIndex();
  return AlteraResetDevice(GetBaseName(), channel, index);
}

int32_t TDevice_Arria2GZDriver::GetDeviceState() {
  const DispPtr channel = GetBoundChannel();
  const int32_t index = GetBoundDeviceIndex();
  return AlteraDeviceState(GetBaseName(), channel, index);
}

int32_t TDevice_Arria2GZDriver::ProgramDevice(const std::string& fileName) {
  const DispPtr channel = GetBoundChannel();
  const int32_t index = GetBoundDeviceIndex();
  return AlteraProgramDevice(dispatchPtr(), fileName, channel, index);
}

int32_t TDevice_Arria2GZDriver::ReadUserCode() {
  const DispPtr channel = GetBoundChannel();
  const int32_t index = GetBoundDeviceIndex();
  return AlteraReadUserCode(channel, index);
}

DispPtr TDevice_Arria2GZDriver::CreateFlowObject(int32_t kind) {
  switch (kind) {
    case 0:
      // The build flow: Quartus project, map, fit, timing analysis and bit file.
      return TProcessFlow_AlteraFPGA::Create(dispatch())->dispatchPtr();
    case 1:
      return MakeFlowObject<TFlowStage_DownloadFPGA>(".RBF", dispatch())->dispatchPtr();
    default:
      return {};
  }
}

}  // namespace zolta
