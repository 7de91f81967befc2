#include "zolta/device_pins.h"

#include <stdexcept>

namespace zolta {

// ---- tables of this family ---------------------------------------------------------------------------

namespace {

// Ten pins "A01".."A10" without attributes or standards.
constexpr TPinSetParameters kDummyPinSet = [] {
  TPinSetParameters s;
  s.PinCount = 10;
  constexpr std::string_view kNumbers[] = {"A01", "A02", "A03", "A04", "A05",
                                           "A06", "A07", "A08", "A09", "A10"};
  for (size_t i = 0; i < std::size(kNumbers); ++i) s.Pins[i].PinNumber = kNumbers[i];
  return s;
}();

constexpr std::array<TPinSetParameters, kDevicePinSetCount> kPinSets = {kDummyPinSet};

constexpr std::array<TDeviceIOStandardParameters, kDeviceIOStandardIDCount> kIOStandards = {{
    {0, 0, 0},  // eSt_None
}};

// ---- shared name tables ------------------------------------------------------------------------------

constexpr std::array<std::string_view, kSlewNameCount> kSlewNames = {"SLOW", "FAST", "VERY_SLOW"};

constexpr std::array<std::string_view, kDriveStrengthNameCount> kDriveStrengthNames = {
    "2mA",  "3mA",  "4mA",  "6mA",   "7mA", "8mA", "10mA", "12mA", "14mA", "16mA", "17mA",
    "18mA", "20mA", "24mA", "3.5mA", "5mA", "15mA", "21mA", "25mA", "33mA", "35mA"};

struct GenericIOStandardName {
  std::string_view Display;
  std::string_view Param;
};

// Indexed by generic kind; values never move (families' tables refer to them by index).
constexpr std::array<GenericIOStandardName, kGenericIOStandardCount> kGenericIOStandards = {{
    {"LVTTL 1.5V", "LVTTL15"},  // 0
    {"LVTTL 1.8V", "LVTTL18"},  // 1
    {"LVTTL 2.5V", "LVTTL25"},  // 2
    {"LVTTL 3.3V", "LVTTL33"},  // 3
    {"LVCMOS 1.5V", "LVCMOS15"},  // 4
    {"LVCMOS 1.8V", "LVCMOS18"},  // 5
    {"LVCMOS 2.5V", "LVCMOS25"},  // 6
    {"LVCMOS 3.3V", "LVCMOS33"},  // 7
    {"LVCMOS 5V", "LVCMOS5"},  // 8
    {"PCI 33Mhz 3.3V", "PCI33_3"},  // 9
    {"PCI 33Mhz 5V", "PCI33_5"},  // 10
    {"PCI 66Mhz 3.3V", "PCI66"},  // 11
    {"PCI-X 3.3V", "PCIX_3"},  // 12
    {"Compact PCI 3.3V", "COMPACTPCI_3"},  // 13
    {"SSTL3 Class I", "SSTL3I"},  // 14
    {"SSTL3 Class II", "SSTL3II"},  // 15
    {"SSTL2 Class I", "SSTL2I"},  // 16
    {"SSTL2 Class II", "SSTL2II"},  // 17
    {"SSTL18 Class I", "SSTL18I"},  // 18
    {"SSTL18 Class II", "SSTL18II"},  // 19
    {"GTL", "GTL"},  // 20
    {"GTL+", "GTLP"},  // 21
    {"HSTL Class I", "HSTLI"},  // 22
    {"HSTL Class II", "HSTLII"},  // 23
    {"HSTL Class III", "HSTLIII"},  // 24
    {"HSTL Class IV", "HSTLIV"},  // 25
    {"HSTL 1.2V", "HSTL_12"},  // 26
    {"HSTL Class I 1.8V", "HSTLI_18"},  // 27
    {"HSTL Class II 1.8V", "HSTLII_18"},  // 28
    {"HSTL Class III 1.8V", "HSTLIII_18"},  // 29
    {"HSTL Class IV 1.8V", "HSTLIV_18"},  // 30
    {"CTT", "CTT"},  // 31
    {"AGP 1x", "AGP1x"},  // 32
    {"AGP 2x", "AGP2x"},  // 33
    {"TTL", "TTL"},  // 34
    {"LVCMOS 1.2V", "LVCMOS12"},  // 35
    {"GTL DCI", "GTL_DCI"},  // 36
    {"GTL+ DCI", "GTLP_DCI"},  // 37
    {"HSTL Class I DCI", "HSTLI_DCI"},  // 38
    {"HSTL Class II DCI", "HSTLII_DCI"},  // 39
    {"HSTL Class III DCI", "HSTLIII_DCI"},  // 40
    {"HSTL Class IV DCI", "HSTLIV_DCI"},  // 41
    {"HSTL Class I 1.8V DCI", "HSTLI_18_DCI"},  // 42
    {"HSTL Class II 1.8V DCI", "HSTLII_18_DCI"},  // 43
    {"HSTL Class III 1.8V DCI", "HSTLIII_18_DCI"},  // 44
    {"HSTL Class IV 1.8V DCI", "HSTLIV_18_DCI"},  // 45
    {"DHSTL Class I", "DHSTLI"},  // 46
    {"DHSTL Class II", "DHSTLII"},  // 47
    {"DHSTL Class III", "DHSTLIII"},  // 48
    {"DHSTL 1.8V Class I", "DHSTL18I"},  // 49
    {"DHSTL 1.8V Class II", "DHSTL18II"},  // 50
    {"DHSTL 1.8V Class III", "DHSTL18III"},  // 51
    {"HTT", "HTT"},  // 52
    {"PCML", "PCML"},  // 53
    {"PCML15", "PCML15"},  // 54
    {"SSTL18 Class I DCI", "SSTL18I_DCI"},  // 55
    {"SSTL18 Class II DCI", "SSTL18II_DCI"},  // 56
    {"SSTL2 Class I DCI", "SSTL2I_DCI"},  // 57
    {"SSTL2 Class II DCI", "SSTL2II_DCI"},  // 58
    {"SSTL3 Class I DCI", "SSTL3I_DCI"},  // 59
    {"SSTL3 Class II DCI", "SSTL3II_DCI"},  // 60
    {"LVCMOS 1.5V DCI", "LVCMOS15_DCI"},  // 61
    {"LVCMOS 1.8V DCI", "LVCMOS18_DCI"},  // 62
    {"LVCMOS 2.5V DCI", "LVCMOS25_DCI"},  // 63
    {"LVCMOS 3.3V DCI", "LVCMOS33_DCI"},  // 64
    {"LVCMOS 1.5V DCI DIV2", "LVCMOS15_DCI_DV2"},  // 65
    {"LVCMOS 1.8V DCI DIV2", "LVCMOS18_DCI_DV2"},  // 66
    {"LVCMOS 2.5V DCI DIV2", "LVCMOS25_DCI_DV2"},  // 67
    {"LVCMOS 3.3V DCI DIV2", "LVCMOS33_DCI_DV2"},  // 68
    {"LVDS", "LVDS"},  // 69
    {"LVPECL", "LVPECL"},  // 70
    {"Differential SSTL 1.8V Class I", "DSSTL18I"},  // 71
    {"Differential SSTL 1.8V Class II", "DSSTL18II"},  // 72
    {"Differential SSTL2 Class I", "DSSTL2I"},  // 73
    {"Differential SSTL2 Class II", "DSSTL2II"},  // 74
    {"Differential SSTL3 Class I", "DSSTL3I"},  // 75
    {"Differential SSTL3 Class II", "DSSTL3II"},  // 76
    {"Bus LVDS 2.5V", "BLVDS25"},  // 77
    {"LVPECL 2.5V", "LVPECL25"},  // 78
    {"RSDS 2.5V", "RSDS25"},  // 79
    {"LVDS 3.3V", "LVDS33"},  // 80
    {"LVDS 2.5V DCI", "LVDS25_DCI"},  // 81
    {"LVDS 3.3V DCI", "LVDS33_DCI"},  // 82
    {"LVDSEXT 2.5V", "LVDSEXT25"},  // 83
    {"LVDSEXT 3.3V", "LVDSEXT33"},  // 84
    {"LVDSEXT 2.5V DCI", "LVDSEXT25_DCI"},  // 85
    {"LVDSEXT 3.3V DCI", "LVDSEXT33_DCI"},  // 86
    {"LDT", "LDT"},  // 87
    {"ULVDS 2.5V", "ULVDS25"},  // 88
    {"LDT DT", "LDT_DT"},  // 89
    {"LVDS DT", "LVDS_DT"},  // 90
    {"LVDSEXT 2.5V DT", "LVDSEXT25_DT"},  // 91
    {"ULVDS 2.5V DT", "ULVDS25_DT"},  // 92
    {"Mini LVDS 2.5V", "MiniLVDS25"},  // 93
    {"LVCMOS 3.3V (24mA)", "LVCMOS33_1"},  // 94
    {"LVCMOS 3.3V (12mA)", "LVCMOS33_2"},  // 95
    {"DHSTL Class II DCI", "DHSTLII_DCI"},  // 96
    {"DHSTL 1.8V Class II DCI", "DHSTL18II_DCI"},  // 97
    {"Differential SSTL2 Class II DCI", "DSSTL2II_DCI"},  // 98
    {"Differential SSTL 1.8V Class II DCI", "DSSTL18II_DCI"},  // 99
    {"LVTTL 1.2V", "LVTTL12"},  // 100
    {"PCML12", "PCML12"},  // 101
    {"Bus LVDS 3.3V", "BLVDS33"},  // 102
    {"RSDS 3.3V", "RSDS33"},  // 103
    {"HSLV 1.5V DCI", "HSLV15_DCI"},  // 104
    {"HSLV 1.8V DCI", "HSLV18_DCI"},  // 105
    {"HSLV 2.5V DCI", "HSLV25_DCI"},  // 106
    {"HSLV 3.3V DCI", "HSLV33_DCI"},  // 107
    {"Multi-Point LVDS 2.5V", "MLVDS25"},  // 108
    {"Mini LVDS 3.3V", "MiniLVDS33"},  // 109
    {"TMDS 3.3V", "TMDS33"},  // 110
    {"PPDS 2.5V", "PPDS25"},  // 111
    {"PPDS 3.3V", "PPDS33"},  // 112
    {"DHSTL 1.8V Class I DCI", "DHSTL18I_DCI"},  // 113
    {"DHSTL Class I DCI", "DHSTLI_DCI"},  // 114
    {"Differential SSTL 1.8V Class I DCI", "DSSTL18I_DCI"},  // 115
    {"Differential SSTL2 Class I DCI", "DSSTL2I_DCI"},  // 116
    {"HSTL Class II 1.8V T DCI", "HSTLII_18T_DCI"},  // 117
    {"HSTL Class II T DCI", "HSTLIIT_DCI"},  // 118
    {"SSTL18 Class II T DCI", "SSTL18IIT_DCI"},  // 119
    {"SSTL2 Class II T DCI", "SSTL2IIT_DCI"},  // 120
    {"PCI-X 1.5V", "PCIX_15"},  // 121
    {"CTT 2.5V", "CTT25"},  // 122
    {"LVCMOS30", "LVCMOS30"},  // 123
    {"LVTTL30", "LVTTL30"},  // 124
    {"HSTLII_12", "HSTLII_12"},  // 125
    {"PCI33_30", "PCI33_30"},  // 126
    {"PCIX_30", "PCIX_30"},  // 127
    {"DHSTL12I", "DHSTL12I"},  // 128
    {"DHSTL12II", "DHSTL12II"},  // 129
    {"SSTL Class I 1.5V", "SSTL15I"},  // 130
    {"SSTL Class II 1.5V", "SSTL15II"},  // 131
    {"HSTL Class I 1.2V", "HSTLI_12"},  // 132
    {"Differential SSTL Class I 1.5V", "DSSTL15I"},  // 133
    {"Differential SSTL Class II 1.5V", "DSSTL15II"},  // 134
    {"MiniLVDS25 External One-Resistor", "MiniLVDS25_E_1R"},  // 135
    {"MiniLVDS25 External Three-Resistor Network", "MiniLVDS25_E_3R"},  // 136
    {"RSDS25 External One-Resistor", "RSDS25_E_1R"},  // 137
    {"RSDS25 External Three-Resistor Network", "RSDS25_E_3R"},  // 138
    {"LVDS External One-Resistor", "LVDS_E_1R"},  // 139
    {"LVDS External Three-Resistor Network", "LVDS_E_3R"},  // 140
    {"Gunning Transceiver Logic 3.3 V", "3.3V GTL"},  // 141
    {"Gunning Transceiver Logic 2.5 V", "2.5V GTL"},  // 142
    {"Gunning Transceiver Logic Plus 3.3 V", "3.3V GTL+"},  // 143
    {"Gunning Transceiver Logic Plus 2.5 V", "2.5V GTL+"},  // 144
    {"I2C", "I2C"},  // 145
    {"SMBus", "SMBus"},  // 146
    {"SDIO", "SDIO"},  // 147
    {"Mobile DDR", "Mobile_DDR"},  // 148
    {"Differential Mobile DDR", "DMobile_DDR"},  // 149
    {"Display Port", "Display_Port"},  // 150
    {"DHSTL Class II T DCI", "DHSTLIIT_DCI"},  // 151
    {"DHSTL 1.8V Class II T DCI", "DHSTLII_18T_DCI"},  // 152
    {"SSTL 1.5V", "SSTL15"},  // 153
    {"SSTL 1.5V DCI", "SSTL15_DCI"},  // 154
    {"DSSTL 1.5V", "DSSTL15"},  // 155
    {"DSSTL 1.5V DCI", "DSSTL15_DCI"},  // 156
    {"SSTL 1.5V T DCI", "SSTL15T_DCI"},  // 157
    {"DSSTL 2V Class II T DCI", "DSSTL2IIT_DCI"},  // 158
    {"DSSTL 1.8V Classs II T DCI", "DSSTL18IIT_DCI"},  // 159
    {"DSSTL 1.5V T DCI", "DSSTL15T_DCI"},  // 160
    {"PPDS25 External Three-Resistor Network", "PPDS25_E_3R"},  // 161
    {"Differential SSTL Class II 1.2V", "DSSTL12II"},  // 162
    {"HCSL", "HCSL"},  // 163
    {"Differential 2.5-V Pseudo Current Mode Logic", "PCML25"},  // 164
    {"Differential 2.5-V SSTL Class I", "DSSTL25I"},  // 165
    {"Differential 2.5-V SSTL Class I", "DSSTL25II"},  // 166
    {"Differential 2.0-V SSTL Class II", "DSSTL20II"},  // 167
    {"Differential 1.2-V SSTL Class I", "DSSTL12I"},  // 168
    {"PCML14", "PCML14"},  // 169
    {"LVTTL 3.3V Schmitt Trigger Input", "LVTTL33_STI"},  // 170
    {"LVTTL 2.5V Schmitt Trigger Input", "LVTTL25_STI"},  // 171
    {"SSTL25 Class I", "SSTL25I"},  // 172
    {"SSTL25 Class II", "SSTL25II"},  // 173
    {"LVPECL 3.3V", "LVPECL33"},  // 174
    {"Multi-Point LVDS 3.3V", "MLVDS33"},  // 175
    {"Differential LVTTL 3.3V", "LVTTL33D"},  // 176
    {"Differential LVCMOS 3.3V", "LVCMOS33D"},  // 177
    {"Differential LVCMOS 2.5V", "LVCMOS25D"},  // 178
    {"Differential LVCMOS 1.8V", "LVCMOS18D"},  // 179
    {"Differential LVCMOS 1.5V", "LVCMOS15D"},  // 180
    {"Differential LVCMOS 1.2V", "LVCMOS12D"},  // 181
    {"Emulated BLVDS 2.5V", "BLVDS25E"},  // 182
    {"Emulated MLVDS 2.5V", "MLVDS25E"},  // 183
    {"Emulated LVPECL 3.3V", "LVPECL33E"},  // 184
    {"Emulated RSDS 2.5V", "RSDS25E"},  // 185
}};

// Table checks done once at compile time.
constexpr bool pinSetsFitTheirArrays() {
  for (const TPinSetParameters& s : kPinSets)
    if (s.PinCount < 0 || s.PinCount > kPinSetCapacity) return false;
  return true;
}
static_assert(pinSetsFitTheirArrays(), "a pin set's count exceeds the pin array");

constexpr bool ioStandardsNameKnownKinds() {
  for (const TDeviceIOStandardParameters& e : kIOStandards)
    if (e.GenericKind >= kGenericIOStandardCount || (e.Slews >> kSlewNameCount) != 0 ||
        (e.Drives >> kDriveStrengthNameCount) != 0)
      return false;
  return true;
}
static_assert(ioStandardsNameKnownKinds(), "an I/O-standard entry names an unknown kind, slew or drive");

// The Index-th set bit of Bits (bit order), or -1.
int32_t nthSetBit(uint32_t bits, int32_t index) {
  if (index < 0) return -1;
  for (int32_t bit = 0; bit < 32; ++bit) {
    if (((bits >> bit) & 1u) == 0) continue;
    if (index-- == 0) return bit;
  }
  return -1;
}

}  // namespace

const TPinSetParameters& PinSetParameters(TDevicePinSet pinSet) {
  if (pinSet < 0 || pinSet >= kDevicePinSetCount)
    throw std::out_of_range("pin set " + std::to_string(int32_t(pinSet)) + " is not in the pin-set table");
  return kPinSets[size_t(pinSet)];
}

const TDeviceIOStandardParameters& IOStandardParameters(TDeviceIOStandardID id) {
  if (id < 0 || id >= kDeviceIOStandardIDCount)
    throw std::out_of_range("I/O standard " + std::to_string(int32_t(id)) + " is not in the I/O-standard table");
  return kIOStandards[size_t(id)];
}

std::string_view SlewName(int32_t bit) {
  return bit >= 0 && bit < kSlewNameCount ? kSlewNames[size_t(bit)] : std::string_view();
}

std::string_view DriveStrengthName(int32_t bit) {
  return bit >= 0 && bit < kDriveStrengthNameCount ? kDriveStrengthNames[size_t(bit)] : std::string_view();
}

std::string_view GenericIOStandardDisplayName(int32_t genericKind) {
  return genericKind >= 0 && genericKind < kGenericIOStandardCount ? kGenericIOStandards[size_t(genericKind)].Display
                                                                   : std::string_view();
}

std::string_view GenericIOStandardParamName(int32_t genericKind) {
  return genericKind >= 0 && genericKind < kGenericIOStandardCount ? kGenericIOStandards[size_t(genericKind)].Param
                                                                   : std::string_view();
}

// ---- pins ----------------------------------------------------------------------------------------------

std::string TZoltaAbstractDevicePin::GetUniqueDifferentialID() {
  return GetIOBank() + "|" + GetDifferentialId() + "|" + GetClkDifferentialId();
}

bool TZoltaAbstractDevicePin::GetIsPosPinOfDiffPair() {
  return GetIsDiffP_Pin() || GetIsHDiffP_Pin() || GetIsDCIP_Pin() || GetIsClkDiffP_Pin();
}

bool TZoltaAbstractDevicePin::GetIsNegPinOfDiffPair() {
  return GetIsDiffN_Pin() || GetIsHDiffN_Pin() || GetIsDCIN_Pin() || GetIsClkDiffN_Pin();
}

TDevicePinData::TDevicePinData(TDevicePinSet APinSet, int32_t AnIndex)
    : TDevicePinData(PinSetParameters(APinSet), AnIndex) {
  FPinSet = APinSet;
}

TDevicePinData::TDevicePinData(const TPinSetParameters& pinSetData, int32_t AnIndex)
    : FIndex(AnIndex), FPinSetData(&pinSetData) {
  if (AnIndex < 0 || AnIndex >= pinSetData.PinCount || AnIndex >= kPinSetCapacity)
    throw std::out_of_range("pin index " + std::to_string(AnIndex) + " is outside the pin set of " +
                            std::to_string(pinSetData.PinCount) + " pins");
}

DispPtr TDevicePinData::GetIOStandard(int32_t index) { return SharedIOStandardOf(Pin().Standards, index); }

// ---- I/O standards -------------------------------------------------------------------------------------

TDeviceIOStandardData::TDeviceIOStandardData(TDeviceIOStandardID ID)
    : TDeviceIOStandardData(ID, IOStandardParameters(ID)) {}

TDeviceIOStandardData::TDeviceIOStandardData(TDeviceIOStandardID ID, const TDeviceIOStandardParameters& entry)
    : FID(ID), FEntry(entry) {}

std::string TDeviceIOStandardData::GetSlewValue(int32_t index) {
  return std::string(SlewName(nthSetBit(FEntry.Slews & kSlewMask, index)));
}

std::string TDeviceIOStandardData::GetDriveStrength(int32_t index) {
  return std::string(DriveStrengthName(nthSetBit(FEntry.Drives & kDriveMask, index)));
}

// ---- shared I/O-standard objects -----------------------------------------------------------------------

namespace {
// The library-wide array of shared I/O standards; empty slots before creation and after freeing.
std::array<std::unique_ptr<TDeviceIOStandardData>, kDeviceIOStandardIDCount>& sharedIOStandards() {
  static std::array<std::unique_ptr<TDeviceIOStandardData>, kDeviceIOStandardIDCount> objects;
  return objects;
}
}  // namespace

void CreateSharedIOStandards() {
  auto& objects = sharedIOStandards();
  for (int32_t id = 0; id < kDeviceIOStandardIDCount; ++id) {
    if (objects[size_t(id)]) continue;
    objects[size_t(id)] = std::make_unique<TDeviceIOStandardData>(TDeviceIOStandardID(id));
    objects[size_t(id)]->AddRef();  // the library's own reference
  }
}

void FreeSharedIOStandards() {
  for (auto& object : sharedIOStandards()) object.reset();
}

TDeviceIOStandardData& SharedIOStandard(TDeviceIOStandardID id) {
  if (id < 0 || id >= kDeviceIOStandardIDCount)
    throw std::out_of_range("I/O standard " + std::to_string(int32_t(id)) + " is not in the I/O-standard table");
  auto& object = sharedIOStandards()[size_t(id)];
  if (!object) throw std::logic_error("the shared I/O-standard objects are not created (library not loaded)");
  return *object;
}

DispPtr SharedIOStandardOf(const TDeviceIOStandardSet& standards, int32_t index) {
  TDeviceIOStandardID id{};
  if (!standards.Member(index, id)) return {};
  return SharedIOStandard(id).dispatchPtr();
}

}  // namespace zolta
