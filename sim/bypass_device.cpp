#include "zolta/sim/bypass_device.h"

#include "zolta/sim/error.h"

namespace zsim {

BypassDevice::BypassDevice(int irLength) : ir_(static_cast<size_t>(irLength > 0 ? irLength : 1)) {
  if (irLength < kMinIrLength || irLength > kMaxIrLength)
    throw SimError("bypass device instruction length " + std::to_string(irLength) + " is outside " +
                   std::to_string(kMinIrLength) + ".." + std::to_string(kMaxIrLength));
  instruction_ = allOnes();
}

std::string BypassDevice::name() const {
  return ir_.length() == kDefaultIrLength ? "bypass" : "bypass:" + std::to_string(ir_.length());
}

}  // namespace zsim
