// TDevice_Arria2GZDriver: the driver of one Altera Arria II GZ device kind (0..63). It adds the four
// JTAG operations (reset, state, user code, programming) and the factory of the build flow and the
// download stage to the generic driver.
#pragma once

#include <cstdint>

#include "zolta/zolta_driver.h"

namespace zolta {

inline constexpr int32_t kArria2GZKindCount = 64;

class TDevice_Arria2GZDriver : public TZoltaDriver {
 public:
  explicit TDevice_Arria2GZDriver(int32_t kind);

  int32_t Kind() const { return FKind; }

  bool ResetDevice() override;
  int32_t GetDeviceState() override;
  int32_t ProgramDevice(const std::string& fileName) override;
  int32_t ReadUserCode() override;
  DispPtr CreateFlowObject(int32_t kind) override;

 private:
  int32_t FKind;
};

}  // namespace zolta
