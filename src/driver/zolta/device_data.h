// The Arria II GZ device catalogue and TDeviceData, the device-information half of the driver.
//
// The catalogue is a set of constant tables compiled into the library: 6 base devices, 8 device
// packages (base device + package) and 64 device kinds. The kind table is generated from the base,
// package and grade tables (device_tables.cpp); the order of TDeviceKind below is that generation order:
// base device, then without / with the option designator N, then the base's device packages, then
// temperature grade C before I, then speed grade 3 before 4.
//
// TDeviceData answers every device-information operation of one kind from these tables, hands out the
// kind's pins and I/O standards (device_pins.h) and builds the kind's boundary-scan entity from the
// compiled-in descriptions (device_bsdl.h). Pins and entities are built on first use and live as long
// as the driver.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "zolta/device_bsdl.h"
#include "zolta/device_pins.h"
#include "zolta/zolta_driver.h"

namespace zolta {

// ---- enumerations (stored as 32-bit integers) -----------------------------------------------------------

// The device packages of each base device and the two option-designator variants, in kind order.
// X(package name, option suffix) expands to the four grade variants C3, C4, I3, I4 of one package.
#define ZOLTA_ARRIA2GZ_KIND_GROUPS(X)                                                                  \
  X(EP2AGZ225FF35, ) X(EP2AGZ225FF35, N)                                                               \
  X(EP2AGZ225HF40, ) X(EP2AGZ225HF40, N)                                                               \
  X(EP2AGZ300FF35, ) X(EP2AGZ300FH29, ) X(EP2AGZ300FF35, N) X(EP2AGZ300FH29, N)                       \
  X(EP2AGZ300HF40, ) X(EP2AGZ300HF40, N)                                                               \
  X(EP2AGZ350FF35, ) X(EP2AGZ350FH29, ) X(EP2AGZ350FF35, N) X(EP2AGZ350FH29, N)                       \
  X(EP2AGZ350HF40, ) X(EP2AGZ350HF40, N)

#define ZOLTA_ARRIA2GZ_KIND_ENUM(package, option) \
  e##package##C3##option, e##package##C4##option, e##package##I3##option, e##package##I4##option,

// "e" + the device's full name: eEP2AGZ225FF35C3 (0) ... eEP2AGZ350HF40I4N (63).
enum TDeviceKind : int32_t { ZOLTA_ARRIA2GZ_KIND_GROUPS(ZOLTA_ARRIA2GZ_KIND_ENUM) };
#undef ZOLTA_ARRIA2GZ_KIND_ENUM

inline constexpr int32_t kDeviceKindCount = 64;

enum TBaseNameId : int32_t { eEP2AGZ225F, eEP2AGZ225H, eEP2AGZ300F, eEP2AGZ300H, eEP2AGZ350F, eEP2AGZ350H };
inline constexpr int32_t kBaseNameIdCount = 6;

enum TPackage : int32_t { ePackage_F35, ePackage_F40, ePackage_H29 };
inline constexpr int32_t kPackageCount = 3;

enum TPackageType : int32_t { ePackageType_F, ePackageType_H };
inline constexpr int32_t kPackageTypeCount = 2;

enum TTemperatureGrade : int32_t { eTemperatureGrade_C, eTemperatureGrade_I };
inline constexpr int32_t kTemperatureGradeCount = 2;

enum TSpeedGrade : int32_t { eSpeedGrade_3, eSpeedGrade_4 };
inline constexpr int32_t kSpeedGradeCount = 2;

enum TOptionDesignator : int32_t { eOptionDesignator_N, eOptionDesignator_None };
inline constexpr int32_t kOptionDesignatorCount = 2;

// One value per (base device, package) pair, in this order.
enum TDevicePackage : int32_t {
  eDevicePackage_EP2AGZ225F_F35,
  eDevicePackage_EP2AGZ225H_F40,
  eDevicePackage_EP2AGZ300F_F35,
  eDevicePackage_EP2AGZ300F_H29,
  eDevicePackage_EP2AGZ300H_F40,
  eDevicePackage_EP2AGZ350F_F35,
  eDevicePackage_EP2AGZ350F_H29,
  eDevicePackage_EP2AGZ350H_F40,
};
inline constexpr int32_t kDevicePackageCount = 8;

// ---- records ---------------------------------------------------------------------------------------------

// A device's full name held in the constant table ("EP2AGZ300FH29I4N").
struct TDeviceName {
  char Text[24] = {};
  size_t Length = 0;
  constexpr std::string_view View() const { return std::string_view(Text, Length); }
};

// One row per kind.
struct TDeviceParameters {
  TDeviceKind Kind{};
  TDeviceName FullName;
  uint32_t IdCode = 0;
  TBaseNameId BaseName{};
  TPackage Package{};
  TPackageType PackageType{};
  TTemperatureGrade TemperatureGrade{};
  TSpeedGrade SpeedGrade{};
  TOptionDesignator OptionDesignator{};
  std::string_view BSDL;  // the BSDL file name
  TDevicePinSet PinSet{};
  int32_t InstructionLength = 0;
  TDevicePackage DevicePackage{};
};

struct TBaseNameIdParameters {
  std::string_view Name;
  int32_t EquivalentGates = 0;
  int32_t MaxIO = 0;
};

// A row of a text table: package, package type, temperature grade, speed grade, option designator.
struct TTextParameters {
  std::string_view Id;
  std::string_view Name;
  std::string_view Description;
  std::string_view Dimensions;  // packages only
};

// The (base device, package) pair that a TDevicePackage stands for.
struct TDevicePackagePair {
  TBaseNameId BaseName{};
  TPackage Package{};
};

struct TDevicePackageParameters {
  int32_t DSPMultiplierCount = 0;
  int32_t ClockManagerCount = 0;
  int32_t MemorySize = 0;
  bool TerminationSupport = false;
  int32_t GlobalClockCount = 0;
  int32_t ConfigMemorySize = 0;
};

// ---- table access (device_tables.cpp) ------------------------------------------------------------------
// Each throws std::out_of_range, naming the value, for a value outside its enumeration.

const std::array<TDeviceParameters, kDeviceKindCount>& DeviceTable();
const TDeviceParameters& DeviceParameters(int32_t kind);
const TBaseNameIdParameters& BaseNameParameters(TBaseNameId base);
const TTextParameters& PackageText(TPackage package);
const TTextParameters& PackageTypeText(TPackageType type);
const TTextParameters& TemperatureGradeText(TTemperatureGrade grade);
const TTextParameters& SpeedGradeText(TSpeedGrade grade);
const TTextParameters& OptionDesignatorText(TOptionDesignator option);
const TDevicePackagePair& DevicePackagePair(TDevicePackage devicePackage);
const TDevicePackageParameters& DevicePackageParameters(TDevicePackage devicePackage);

// The family's compiled-in boundary-scan descriptions: the capacity of their arrays, the name list
// (one name per description) and the descriptions themselves.
inline constexpr TBSDLCapacity kArria2GZBSDLCapacity{1, 1, 1, 1, 1, 1};
using TBSDLParameters = TBSDLParametersT<kArria2GZBSDLCapacity>;
std::span<const std::string_view> BSDLNameList();
const TBSDLParameters& BSDLDescription(int32_t index);

// ---- TDeviceData ---------------------------------------------------------------------------------------

class TDeviceData : public TZoltaDriver {
 public:
  // Kind must be one of the 64 kinds (std::out_of_range otherwise); Ext is the core extension that
  // CoreGen_OutputExtension answers.
  TDeviceData(int32_t AKind, std::string Ext);
  ~TDeviceData() override;

  TDeviceKind Kind() const { return FKind; }
  // The kind's catalogue row.
  const TDeviceParameters& Parameters() const { return *FParameters; }

  uint32_t GetIdCode() override { return FParameters->IdCode; }
  std::string GetDeviceName() override { return std::string(FParameters->FullName.View()); }
  std::string GetDeviceDescription() override;  // vendor + " " + family + " " + device name
  std::string GetFamilyName() override { return "Arria2GZ"; }
  std::string GetFamilyDescription() override { return "Arria II GZ FPGA"; }
  std::string GetLibraryName() override { return "Altera Arria II GZ.IntLib"; }
  // The family table's vendor of GetFamilyName; empty when the table has no such family.
  std::string GetVendorName() override;
  std::string GetBaseName() override { return std::string(Base().Name); }
  int32_t GetEquivalentGatesForBase() override { return Base().EquivalentGates; }
  int32_t GetMaxIOForBase() override { return Base().MaxIO; }
  std::string GetPackageId() override { return std::string(Package().Id); }
  std::string GetPackageName() override { return std::string(Package().Name); }
  std::string GetPackageDescription() override { return std::string(Package().Description); }
  std::string GetPackageDimensions() override { return std::string(Package().Dimensions); }
  std::string GetPackageTypeId() override { return std::string(PackageType().Id); }
  std::string GetPackageTypeName() override { return std::string(PackageType().Name); }
  std::string GetPackageTypeDescription() override { return std::string(PackageType().Description); }
  std::string GetTemperatureGradeId() override { return std::string(TemperatureGrade().Id); }
  std::string GetTemperatureGradeName() override { return std::string(TemperatureGrade().Name); }
  std::string GetTemperatureGradeDescription() override { return std::string(TemperatureGrade().Description); }
  std::string GetSpeedGradeId() override { return std::string(SpeedGrade().Id); }
  std::string GetSpeedGradeName() override { return std::string(SpeedGrade().Name); }
  std::string GetSpeedGradeDescription() override { return std::string(SpeedGrade().Description); }
  std::string GetOptionDesignatorId() override { return std::string(OptionDesignator().Id); }
  std::string GetOptionDesignatorName() override { return std::string(OptionDesignator().Name); }
  std::string GetOptionDesignatorDescription() override { return std::string(OptionDesignator().Description); }
  std::string GetBSDLFilename() override { return std::string(FParameters->BSDL); }
  // The entity built from the description named by GetBSDLFilename, or none when no description has
  // that name. Built on the first call; later calls answer the same entity.
  DispPtr GetBSDLEntity() override;
  int32_t GetInstructionLength() override { return FParameters->InstructionLength; }
  int32_t GetDSPMultiplierCount() override { return Resources().DSPMultiplierCount; }
  int32_t GetClockManagerCount() override { return Resources().ClockManagerCount; }
  int32_t GetMemorySize() override { return Resources().MemorySize; }
  bool GetTerminationSupport() override { return Resources().TerminationSupport; }
  int32_t GetGlobalClockCount() override { return Resources().GlobalClockCount; }
  int32_t GetConfigMemorySize() override { return Resources().ConfigMemorySize; }

  // Pins and I/O standards of the kind's pin set. GetDevicePin builds the driver's pins on the first
  // call; an index outside 0..GetDevicePinCount-1 answers none, as does GetIOStandard beyond the last
  // standard.
  int32_t GetDevicePinCount() override { return PinSet().PinCount; }
  int32_t GetDeviceIOCount() override { return PinSet().IOCount; }
  int32_t GetDiffPairCount() override { return PinSet().DiffCount; }
  int32_t GetHighSpeedDiffPairCount() override { return PinSet().HSpeedDiffCount; }
  DispPtr GetDevicePin(int32_t index) override;
  int32_t GetIOStandardCount() override { return PinSet().Standards.Count(); }
  DispPtr GetIOStandard(int32_t index) override;

  bool IsFPGA() override { return true; }
  bool IsCPLD() override { return false; }
  bool IsPROM() override { return false; }

 private:
  const TBaseNameIdParameters& Base() const { return BaseNameParameters(FParameters->BaseName); }
  const TTextParameters& Package() const { return PackageText(FParameters->Package); }
  const TTextParameters& PackageType() const { return PackageTypeText(FParameters->PackageType); }
  const TTextParameters& TemperatureGrade() const { return TemperatureGradeText(FParameters->TemperatureGrade); }
  const TTextParameters& SpeedGrade() const { return SpeedGradeText(FParameters->SpeedGrade); }
  const TTextParameters& OptionDesignator() const { return OptionDesignatorText(FParameters->OptionDesignator); }
  const TDevicePackageParameters& Resources() const { return DevicePackageParameters(FParameters->DevicePackage); }
  const TPinSetParameters& PinSet() const { return PinSetParameters(FParameters->PinSet); }

  // One entry per BSDL name, in name-list order, with the entity built for it (none until built).
  struct TBSDLDataEntry {
    std::string Name;
    std::unique_ptr<TBSDLEntity> Entity;
  };

  TDeviceKind FKind;
  const TDeviceParameters* FParameters;
  std::vector<std::unique_ptr<TDevicePinData>> FPins;  // built on the first GetDevicePin
  std::vector<TBSDLDataEntry> FBSDLDataList;
  TBSDLEntityBuilder FBuilder;  // the name -> object caches shared by every entity of this driver
};

}  // namespace zolta
