// Device pins and I/O standards: the pin-set and I/O-standard tables of the device family, the name
// tables shared by every family (slews, drive strengths, the 186 generic I/O standards), and the
// host-visible pin and I/O-standard objects built on them.
//
// Ownership
//  - Pins (TZoltaAbstractDevicePin and descendants) are not reference counted: AddRef and Release
//    answer -1. A driver creates its pins on first use and frees them when it is destroyed, which
//    happens when the library is unloaded.
//  - The shared I/O-standard objects, one per TDeviceIOStandardID, are created once when the library
//    loads (CreateSharedIOStandards) and freed when it unloads (FreeSharedIOStandards). They count
//    references like every service object, but the library owns them: a host's Release never frees
//    one. Every device and pin hands out these same objects.
//
// Indexed getters answer none (or an empty text) with success for an index outside the list.
#pragma once

#include <array>
#include <bit>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "zolta/driver_interface.h"

namespace zolta {

// ---- identifiers of this family's tables -----------------------------------------------------------

// The I/O standards that the family's pins and devices name. Values never move.
enum TDeviceIOStandardID : int32_t {
  eSt_None,
};
inline constexpr int32_t kDeviceIOStandardIDCount = 1;

// The pin sets of the family.
enum TDevicePinSet : int32_t {
  ePinSet_DUMMY_PIN_SET,
};
inline constexpr int32_t kDevicePinSetCount = 1;

// A set of I/O-standard identifiers, iterated in identifier order.
struct TDeviceIOStandardSet {
  uint64_t Bits = 0;

  static_assert(kDeviceIOStandardIDCount <= 64, "TDeviceIOStandardSet holds at most 64 identifiers");

  constexpr bool Contains(TDeviceIOStandardID id) const { return id >= 0 && id < 64 && ((Bits >> id) & 1u) != 0; }
  constexpr int32_t Count() const { return std::popcount(Bits); }
  // The Index-th member counting from 0 in identifier order; false when there are fewer members.
  constexpr bool Member(int32_t index, TDeviceIOStandardID& id) const {
    if (index < 0) return false;
    for (int32_t bit = 0; bit < 64; ++bit) {
      if (((Bits >> bit) & 1u) == 0) continue;
      if (index-- == 0) {
        id = TDeviceIOStandardID(bit);
        return true;
      }
    }
    return false;
  }
};

// ---- pin tables ------------------------------------------------------------------------------------------

// Bits of TPinParameters::Options.
enum TPinOption : uint16_t {
  ePinOption_IO = 1u << 0,
  ePinOption_VREF = 1u << 1,
  ePinOption_Clock = 1u << 2,
  ePinOption_Special = 1u << 3,
  ePinOption_InputOnly = 1u << 4,
  ePinOption_DCIPositive = 1u << 5,
  ePinOption_DCINegative = 1u << 6,
  ePinOption_DiffPositive = 1u << 7,
  ePinOption_DiffNegative = 1u << 8,
  ePinOption_HighSpeedDiffPositive = 1u << 9,
  ePinOption_HighSpeedDiffNegative = 1u << 10,
  ePinOption_TransmitDiff = 1u << 11,
  ePinOption_ReceiveDiff = 1u << 12,
  ePinOption_ClockDiffPositive = 1u << 13,
  ePinOption_ClockDiffNegative = 1u << 14,
  ePinOption_DLL = 1u << 15,
};

// One pin of a pin set.
struct TPinParameters {
  std::string_view PinNumber;
  std::string_view Bank;
  std::string_view DiffId;
  std::string_view ClkDiffId;
  uint16_t Options = 0;            // TPinOption bits
  TDeviceIOStandardSet Standards;  // the pin's I/O standards
};

// Capacity of a pin set's pin array: the largest pin count among the family's pin sets.
inline constexpr int32_t kPinSetCapacity = 10;

struct TPinSetParameters {
  int32_t PinCount = 0;
  int32_t IOCount = 0;
  int32_t DiffCount = 0;
  int32_t HSpeedDiffCount = 0;
  TDeviceIOStandardSet Standards;  // the device's I/O standards
  std::array<TPinParameters, kPinSetCapacity> Pins{};
};

// The pin set's record; throws std::out_of_range for a value outside the enumeration.
const TPinSetParameters& PinSetParameters(TDevicePinSet pinSet);

// ---- I/O-standard tables ------------------------------------------------------------------------------

// One entry of the family's I/O-standard table.
struct TDeviceIOStandardParameters {
  uint8_t GenericKind = 0;  // index into the shared name tables
  uint8_t Slews = 0;        // set over SlewName (bits 0..2)
  uint32_t Drives = 0;      // set over DriveStrengthName (bits 0..20)
};

// The table entry of an identifier; throws std::out_of_range outside the enumeration.
const TDeviceIOStandardParameters& IOStandardParameters(TDeviceIOStandardID id);

// Shared name tables, used by every device family. Each answers an empty text outside its range.
inline constexpr int32_t kSlewNameCount = 3;
inline constexpr int32_t kDriveStrengthNameCount = 21;
inline constexpr int32_t kGenericIOStandardCount = 186;
std::string_view SlewName(int32_t bit);           // "SLOW", "FAST", "VERY_SLOW"
std::string_view DriveStrengthName(int32_t bit);  // "2mA" ... "35mA"
std::string_view GenericIOStandardDisplayName(int32_t genericKind);  // "LVTTL 1.5V", ...
std::string_view GenericIOStandardParamName(int32_t genericKind);    // "LVTTL15", ...

// ---- pin objects ------------------------------------------------------------------------------------------

// A device pin as the host sees it. Not reference counted (see the top of this file).
class TZoltaAbstractDevicePin : public TAbstractDevicePin {
 public:
  int32_t AddRef() override { return -1; }
  int32_t Release() override { return -1; }

  // GetIOBank + "|" + GetDifferentialId + "|" + GetClkDifferentialId.
  std::string GetUniqueDifferentialID() override;
  // Differential, high-speed differential, DCI or clock-differential positive (negative).
  bool GetIsPosPinOfDiffPair() override;
  bool GetIsNegPinOfDiffPair() override;
};

// A pin answered from one record of a pin-set table.
class TDevicePinData : public TZoltaAbstractDevicePin {
 public:
  // Pin AnIndex of the family's pin set APinSet. Throws std::out_of_range when the set has no such pin.
  TDevicePinData(TDevicePinSet APinSet, int32_t AnIndex);
  // Pin AnIndex of a pin-set record that outlives the pin (another table of the same form).
  TDevicePinData(const TPinSetParameters& pinSetData, int32_t AnIndex);

  std::string GetPinNumber() override { return std::string(Pin().PinNumber); }
  std::string GetIOBank() override { return std::string(Pin().Bank); }
  bool GetIsIOPin() override { return Has(ePinOption_IO); }
  bool GetIsCLKPin() override { return Has(ePinOption_Clock); }
  bool GetIsVREFPin() override { return Has(ePinOption_VREF); }
  bool GetIsSpecialPin() override { return Has(ePinOption_Special); }
  int32_t GetIOStandardCount() override { return Pin().Standards.Count(); }
  DispPtr GetIOStandard(int32_t index) override;
  bool GetIsInputOnlyPin() override { return Has(ePinOption_InputOnly); }
  bool GetIsDCIP_Pin() override { return Has(ePinOption_DCIPositive); }
  bool GetIsDCIN_Pin() override { return Has(ePinOption_DCINegative); }
  bool GetIsDiffP_Pin() override { return Has(ePinOption_DiffPositive); }
  bool GetIsDiffN_Pin() override { return Has(ePinOption_DiffNegative); }
  bool GetIsHDiffP_Pin() override { return Has(ePinOption_HighSpeedDiffPositive); }
  bool GetIsHDiffN_Pin() override { return Has(ePinOption_HighSpeedDiffNegative); }
  bool GetIsTransmitDiffPin() override { return Has(ePinOption_TransmitDiff); }
  bool GetIsReceiveDiffPin() override { return Has(ePinOption_ReceiveDiff); }
  bool GetIsClkDiffP_Pin() override { return Has(ePinOption_ClockDiffPositive); }
  bool GetIsClkDiffN_Pin() override { return Has(ePinOption_ClockDiffNegative); }
  bool GetIsDLLPin() override { return Has(ePinOption_DLL); }
  std::string GetDifferentialId() override { return std::string(Pin().DiffId); }
  std::string GetClkDifferentialId() override { return std::string(Pin().ClkDiffId); }

  TDevicePinSet PinSet() const { return FPinSet; }
  int32_t Index() const { return FIndex; }

 private:
  const TPinParameters& Pin() const { return FPinSetData->Pins[size_t(FIndex)]; }
  bool Has(TPinOption bit) const { return (Pin().Options & bit) != 0; }

  TDevicePinSet FPinSet = ePinSet_DUMMY_PIN_SET;
  int32_t FIndex = 0;
  const TPinSetParameters* FPinSetData;
};

// ---- I/O-standard objects --------------------------------------------------------------------------------

// An I/O standard as the host sees it: names from the shared tables at GenericKind, no slews and no
// drives unless a descendant has them.
class TZoltaAbstractDeviceIOStandard : public TAbstractDeviceIOStandard {
 public:
  std::string GetDisplayName() override { return std::string(GenericIOStandardDisplayName(GenericKind())); }
  std::string GetParamName() override { return std::string(GenericIOStandardParamName(GenericKind())); }
  int32_t GetSlewCount() override { return 0; }
  std::string GetSlewValue(int32_t) override { return {}; }
  int32_t GetDriveCount() override { return 0; }
  std::string GetDriveStrength(int32_t) override { return {}; }

  // The index into the shared name tables.
  virtual int32_t GenericKind() = 0;
};

// An I/O standard answered from one entry of the family's I/O-standard table. Counts references but
// never frees itself: its owner (the library, or a test) destroys it.
class TDeviceIOStandardData : public TZoltaAbstractDeviceIOStandard {
 public:
  explicit TDeviceIOStandardData(TDeviceIOStandardID ID);
  // An object for an entry of another table of the same form.
  TDeviceIOStandardData(TDeviceIOStandardID ID, const TDeviceIOStandardParameters& entry);

  int32_t AddRef() override { return ++FRefCount; }
  int32_t Release() override { return --FRefCount; }

  int32_t GetSlewCount() override { return std::popcount(unsigned(FEntry.Slews & kSlewMask)); }
  std::string GetSlewValue(int32_t index) override;
  int32_t GetDriveCount() override { return std::popcount(FEntry.Drives & kDriveMask); }
  std::string GetDriveStrength(int32_t index) override;
  int32_t GenericKind() override { return FEntry.GenericKind; }

  TDeviceIOStandardID ID() const { return FID; }

 private:
  static constexpr uint32_t kSlewMask = (1u << kSlewNameCount) - 1;
  static constexpr uint32_t kDriveMask = (1u << kDriveStrengthNameCount) - 1;

  TDeviceIOStandardID FID;
  TDeviceIOStandardParameters FEntry;
};

// ---- shared I/O-standard objects ---------------------------------------------------------------------

// Creates one TDeviceIOStandardData per identifier, in identifier order (nothing when they exist).
void CreateSharedIOStandards();
// Frees them (whatever references hosts still hold: the library's code is going away).
void FreeSharedIOStandards();
// The shared object of an identifier. Throws std::logic_error when they are not created and
// std::out_of_range for an identifier outside the enumeration.
TDeviceIOStandardData& SharedIOStandard(TDeviceIOStandardID id);
// The shared object of the Index-th member of a set (a new reference), or none when there are fewer.
DispPtr SharedIOStandardOf(const TDeviceIOStandardSet& standards, int32_t index);

}  // namespace zolta
