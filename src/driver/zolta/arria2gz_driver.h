// TDevice_Arria2GZDriver: the driver of one Altera Arria II GZ device kind (0..63). It adds the four
// JTAG operations (reset, state, user code, programming) and the factory of the build flow and the
// download stage to the device catalogue (TDeviceData), which answers the device information.
#pragma once

#include <cstdint>

#include "zolta/device_data.h"

namespace zolta {

inline constexpr int32_t kArria2GZKindCount = kDeviceKindCount;

class TDevice_Arria2GZDriver : public TDeviceData {
 public:
  // Kind must be 0..63 (std::out_of_range otherwise).
  explicit TDevice_Arria2GZDriver(int32_t kind);

  bool ResetDevice() override;
  int32_t GetDeviceState() override;
  int32_t ProgramDevice(const std::string& fileName) override;
  int32_t ReadUserCode() override;
  DispPtr CreateFlowObject(int32_t kind) override;
};

}  // namespace zolta
