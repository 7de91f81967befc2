#include "zolta/device_data.h"

#include <algorithm>
#include <stdexcept>

#include "zolta/host/vendor_tools.h"

namespace zolta {

TDeviceData::TDeviceData(int32_t AKind, std::string Ext)
    : TZoltaDriver(std::move(Ext)), FKind(TDeviceKind(AKind)), FParameters(&DeviceParameters(AKind)) {
  for (std::string_view name : BSDLNameList()) FBSDLDataList.push_back({std::string(name), nullptr});
}

TDeviceData::~TDeviceData() = default;

std::string TDeviceData::GetDeviceDescription() {
  return GetVendorName() + " " + GetFamilyName() + " " + GetDeviceName();
}

std::string TDeviceData::GetVendorName() { return VendorOfDeviceFamily(GetFamilyName()); }

DispPtr TDeviceData::GetDevicePin(int32_t index) {
  if (FPins.empty()) {
    const int32_t count = GetDevicePinCount();
    FPins.reserve(size_t(std::max(count, 0)));
    for (int32_t i = 0; i < count; ++i) FPins.push_back(std::make_unique<TDevicePinData>(FParameters->PinSet, i));
  }
  if (index < 0 || size_t(index) >= FPins.size()) return {};
  return FPins[size_t(index)]->dispatchPtr();
}

DispPtr TDeviceData::GetIOStandard(int32_t index) { return SharedIOStandardOf(PinSet().Standards, index); }

DispPtr TDeviceData::GetBSDLEntity() {
  const std::string name = GetBSDLFilename();
  TBSDLDataEntry* entry = nullptr;
  for (TBSDLDataEntry& e : FBSDLDataList) {
    if (zabi::sameText(e.Name, name)) {
      entry = &e;
      break;
    }
  }
  if (!entry) return {};
  if (!entry->Entity) {
    // The description under that name; when several names match, the last one.
    const std::span<const std::string_view> names = BSDLNameList();
    int32_t index = 0;
    for (size_t i = 0; i < names.size(); ++i)
      if (zabi::sameText(names[i], name)) index = int32_t(i);
    entry->Entity = FBuilder.Build(BSDLDescription(index));
  }
  return DispPtr(entry->Entity->dispatch());
}

}  // namespace zolta
