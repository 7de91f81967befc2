// The Arria II GZ catalogue tables. The 64-row kind table is generated at compile time from the base,
// device-package and grade tables; the checks at the end hold the generated order to TDeviceKind.
#include <stdexcept>
#include <string>

#include "zolta/device_data.h"

namespace zolta {

namespace {

constexpr std::array<TBaseNameIdParameters, kBaseNameIdCount> kBaseNames = {{
    {"EP2AGZ225F", 179200, 854},
    {"EP2AGZ225H", 179200, 854},
    {"EP2AGZ300F", 238400, 854},
    {"EP2AGZ300H", 238400, 854},
    {"EP2AGZ350F", 278800, 854},
    {"EP2AGZ350H", 278800, 854},
}};

constexpr std::array<TTextParameters, kPackageCount> kPackages = {{
    {"F35", "FBGA1152", "1152-Ball FineLine Ball Grid Array (FBGA1152) - Flip Chip", "35 x 35 mm"},
    {"F40", "FBGA1517", "1517-Ball FineLine Ball Grid Array (FBGA1517) - Flip Chip", "40 x 40 mm"},
    {"H29", "HBGA780", "780-Ball Hybrid FineLine Ball Grid Array (HBGA780) - Flip Chip", "29 x 29 mm"},
}};

constexpr std::array<TTextParameters, kPackageTypeCount> kPackageTypes = {{
    {"F", "FBGA", "FineLine Ball Grid Array (FBGA) - Flip Chip", ""},
    {"H", "HBGA", "Hybrid FineLine Ball Grid Array (HBGA) - Flip Chip", ""},
}};

constexpr std::array<TTextParameters, kTemperatureGradeCount> kTemperatureGrades = {{
    {"C", "Commercial", "Commercial Grade", ""},
    {"I", "Industrial", "Industrial Grade", ""},
}};

constexpr std::array<TTextParameters, kSpeedGradeCount> kSpeedGrades = {{
    {"3", "3", "Speed Grade 3 (Fastest)", ""},
    {"4", "4", "Speed Grade 4 (Slowest)", ""},
}};

constexpr std::array<TTextParameters, kOptionDesignatorCount> kOptionDesignators = {{
    {"N", "N", "Pb-Free", ""},
    {"None", "Standard", "Standard Configuration", ""},
}};

constexpr std::array<TDevicePackagePair, kDevicePackageCount> kDevicePackagePairs = {{
    {eEP2AGZ225F, ePackage_F35},
    {eEP2AGZ225H, ePackage_F40},
    {eEP2AGZ300F, ePackage_F35},
    {eEP2AGZ300F, ePackage_H29},
    {eEP2AGZ300H, ePackage_F40},
    {eEP2AGZ350F, ePackage_F35},
    {eEP2AGZ350F, ePackage_H29},
    {eEP2AGZ350H, ePackage_F40},
}};

constexpr std::array<TDevicePackageParameters, kDevicePackageCount> kDevicePackages = {{
    // DSP multipliers, clock managers, memory size, termination, global clocks, config memory
    {800, 6, 13915, true, 16, 0},   // EP2AGZ225F F35
    {800, 8, 13915, true, 16, 0},   // EP2AGZ225H F40
    {920, 6, 18413, true, 16, 0},   // EP2AGZ300F F35
    {920, 4, 18413, true, 16, 0},   // EP2AGZ300F H29
    {920, 8, 18413, true, 16, 0},   // EP2AGZ300H F40
    {1040, 6, 20772, true, 16, 0},  // EP2AGZ350F F35
    {1040, 4, 20772, true, 16, 0},  // EP2AGZ350F H29
    {1040, 8, 20772, true, 16, 0},  // EP2AGZ350H F40
}};

// What every kind of this family shares.
constexpr uint32_t kIdCode = 0;
constexpr std::string_view kBSDLFileName = "BSDF_FILE_NAME.bsd";
constexpr int32_t kInstructionLength = 10;

constexpr void append(TDeviceName& name, std::string_view text) {
  for (char c : text) name.Text[name.Length++] = c;
}

constexpr TPackageType packageTypeOf(TPackage package) {
  return package == ePackage_H29 ? ePackageType_H : ePackageType_F;
}

// The kind table: for each base device; without, then with the option designator N; for each of the
// base's device packages; temperature grade C, I; speed grade 3, 4.
constexpr std::array<TDeviceParameters, kDeviceKindCount> generateDeviceTable() {
  std::array<TDeviceParameters, kDeviceKindCount> table{};
  int32_t kind = 0;
  for (int32_t base = 0; base < kBaseNameIdCount; ++base) {
    for (TOptionDesignator option : {eOptionDesignator_None, eOptionDesignator_N}) {
      for (int32_t dp = 0; dp < kDevicePackageCount; ++dp) {
        const TDevicePackagePair pair = kDevicePackagePairs[size_t(dp)];
        if (pair.BaseName != base) continue;
        for (int32_t t = 0; t < kTemperatureGradeCount; ++t) {
          for (int32_t s = 0; s < kSpeedGradeCount; ++s) {
            TDeviceParameters& r = table[size_t(kind)];
            r.Kind = TDeviceKind(kind);
            r.IdCode = kIdCode;
            r.BaseName = TBaseNameId(base);
            r.Package = pair.Package;
            r.PackageType = packageTypeOf(pair.Package);
            r.TemperatureGrade = TTemperatureGrade(t);
            r.SpeedGrade = TSpeedGrade(s);
            r.OptionDesignator = option;
            r.BSDL = kBSDLFileName;
            r.PinSet = ePinSet_DUMMY_PIN_SET;
            r.InstructionLength = kInstructionLength;
            r.DevicePackage = TDevicePackage(dp);
            append(r.FullName, kBaseNames[size_t(base)].Name);
            append(r.FullName, kPackages[size_t(pair.Package)].Id);
            append(r.FullName, kTemperatureGrades[size_t(t)].Id);
            append(r.FullName, kSpeedGrades[size_t(s)].Id);
            if (option == eOptionDesignator_N) append(r.FullName, "N");
            ++kind;
          }
        }
      }
    }
  }
  if (kind != kDeviceKindCount) throw "the generation rule does not give 64 kinds";
  return table;
}

constexpr std::array<TDeviceParameters, kDeviceKindCount> kDevices = generateDeviceTable();

// The names of TDeviceKind without their "e", in declaration order.
#define ZOLTA_ARRIA2GZ_KIND_NAME(package, option) \
  #package "C3" #option, #package "C4" #option, #package "I3" #option, #package "I4" #option,
constexpr std::string_view kKindNames[] = {ZOLTA_ARRIA2GZ_KIND_GROUPS(ZOLTA_ARRIA2GZ_KIND_NAME)};
#undef ZOLTA_ARRIA2GZ_KIND_NAME
static_assert(std::size(kKindNames) == kDeviceKindCount);

constexpr bool generatedOrderMatchesKindNames() {
  for (size_t k = 0; k < kDevices.size(); ++k)
    if (kDevices[k].FullName.View() != kKindNames[k]) return false;
  return true;
}
static_assert(generatedOrderMatchesKindNames(), "TDeviceKind and the generated kind table disagree");
static_assert(kDevices[eEP2AGZ300FH29C3].FullName.View() == "EP2AGZ300FH29C3");
static_assert(kDevices[eEP2AGZ350HF40I4N].Kind == 63);

// ---- compiled-in boundary-scan descriptions ----------------------------------------------------------

// This family carries one description, empty, under the empty name; no kind's BSDL file name matches it.
constexpr std::array<std::string_view, 1> kBSDLNames = {""};
constexpr std::array<TBSDLParameters, 1> kBSDLDescriptions = {TBSDLParameters{}};

template <class T, size_t N>
const T& row(const std::array<T, N>& table, int32_t index, const char* what) {
  if (index < 0 || size_t(index) >= N)
    throw std::out_of_range(std::string(what) + " " + std::to_string(index) + " is outside 0.." + std::to_string(N - 1));
  return table[size_t(index)];
}

}  // namespace

const std::array<TDeviceParameters, kDeviceKindCount>& DeviceTable() { return kDevices; }
const TDeviceParameters& DeviceParameters(int32_t kind) { return row(kDevices, kind, "device kind"); }
const TBaseNameIdParameters& BaseNameParameters(TBaseNameId base) { return row(kBaseNames, base, "base device"); }
const TTextParameters& PackageText(TPackage package) { return row(kPackages, package, "package"); }
const TTextParameters& PackageTypeText(TPackageType type) { return row(kPackageTypes, type, "package type"); }
const TTextParameters& TemperatureGradeText(TTemperatureGrade grade) {
  return row(kTemperatureGrades, grade, "temperature grade");
}
const TTextParameters& SpeedGradeText(TSpeedGrade grade) { return row(kSpeedGrades, grade, "speed grade"); }
const TTextParameters& OptionDesignatorText(TOptionDesignator option) {
  return row(kOptionDesignators, option, "option designator");
}
const TDevicePackagePair& DevicePackagePair(TDevicePackage devicePackage) {
  return row(kDevicePackagePairs, devicePackage, "device package");
}
const TDevicePackageParameters& DevicePackageParameters(TDevicePackage devicePackage) {
  return row(kDevicePackages, devicePackage, "device package");
}

std::span<const std::string_view> BSDLNameList() { return kBSDLNames; }
const TBSDLParameters& BSDLDescription(int32_t index) { return row(kBSDLDescriptions, index, "BSDL description"); }

}  // namespace zolta
