// The catalogue driver, its pins and I/O standards, exercised through the classes and through dispatch.
#include <gtest/gtest.h>

#include <stdexcept>

#include "zolta/arria2gz_driver.h"
#include "zolta/host/vendor_tools.h"

using namespace zolta;

namespace {

// The plug-in creates the shared I/O standards when it is loaded; a test program linking the driver
// library does the same around its tests.
class SharedIOStandardsEnvironment : public ::testing::Environment {
 public:
  void SetUp() override { CreateSharedIOStandards(); }
  void TearDown() override { FreeSharedIOStandards(); }
};
[[maybe_unused]] ::testing::Environment* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new SharedIOStandardsEnvironment);

// Pin and I/O-standard dispatch identifiers.
constexpr DispId kPin_GetPinNumber = 503525, kPin_GetIOBank = 503526, kPin_GetIOStandardCount = 503531,
                 kPin_GetIOStandard = 503532, kPin_GetUniqueDifferentialID = 503547,
                 kPin_GetIsPosPinOfDiffPair = 503548, kPin_GetIsNegPinOfDiffPair = 503549;
constexpr DispId kStd_GetDisplayName = 503519, kStd_GetParamName = 503520, kStd_GetSlewCount = 503521,
                 kStd_GetSlewValue = 503522, kStd_GetDriveCount = 503523, kStd_GetDriveStrength = 503524;
// The sixteen option flags, in Options bit order.
constexpr DispId kPinFlagIds[16] = {503527, 503529, 503528, 503530, 503533, 503534, 503535, 503536,
                                    503537, 503538, 503539, 503540, 503541, 503542, 503543, 503544};

// A dispatch result that stands for "no object": an empty dispatch variant.
void ExpectNone(const zabi::Var& v) {
  EXPECT_EQ(v.type(), zabi::VT_DISPATCH);
  EXPECT_FALSE(v.toDispatch());
}

}  // namespace

// ---- catalogue rows -----------------------------------------------------------------------------------

TEST(Catalogue, KindsAnswerTheirRowsThroughDispatch) {
  struct Case {
    int32_t kind;
    DispId id;
    const char* expected;
  } cases[] = {
      {0, dispid::GetDeviceName, "EP2AGZ225FF35C3"},
      {0, dispid::GetBaseName, "EP2AGZ225F"},
      {0, 503393, "FBGA1152"},                 // GetPackageName
      {0, 503389, "F"},                        // GetPackageTypeId
      {0, 503397, "Commercial"},               // GetTemperatureGradeName
      {0, 503401, "Speed Grade 3 (Fastest)"},  // GetSpeedGradeDescription
      {0, 503403, "Standard"},                 // GetOptionDesignatorName
      {0, 503402, "None"},                     // GetOptionDesignatorId
      {0, 503414, "6"},                        // GetClockManagerCount
      {7, dispid::GetDeviceName, "EP2AGZ225FF35I4N"},
      {7, 503404, "Pb-Free"},  // GetOptionDesignatorDescription
      {8, dispid::GetDeviceName, "EP2AGZ225HF40C3"},
      {8, 503395, "40 x 40 mm"},
      {16, dispid::GetDeviceName, "EP2AGZ300FF35C3"},
      {20, dispid::GetDeviceName, "EP2AGZ300FH29C3"},
      {20, dispid::GetPackageDimensions, "29 x 29 mm"},
      {20, 503391, "Hybrid FineLine Ball Grid Array (HBGA) - Flip Chip"},
      {20, 503414, "4"},
      {20, 503387, "238400"},  // GetEquivalentGatesForBase
      {24, dispid::GetDeviceName, "EP2AGZ300FF35C3N"},
      {31, dispid::GetDeviceName, "EP2AGZ300FH29I4N"},
      {47, dispid::GetDeviceName, "EP2AGZ350FH29I4"},
      {55, dispid::GetDeviceName, "EP2AGZ350FH29I4N"},
      {63, dispid::GetDeviceName, "EP2AGZ350HF40I4N"},
      {63, 503394, "1517-Ball FineLine Ball Grid Array (FBGA1517) - Flip Chip"},
      {63, 503415, "20772"},  // GetMemorySize
      {63, 503413, "1040"},   // GetDSPMultiplierCount
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.kind) + "/" + std::to_string(c.id));
    TDevice_Arria2GZDriver driver(c.kind);
    EXPECT_EQ(zabi::invoke(driver.dispatch(), c.id).toString(), c.expected);
  }
}

TEST(Catalogue, KindEnumerationFollowsTheTable) {
  EXPECT_EQ(eEP2AGZ225FF35C3, 0);
  EXPECT_EQ(eEP2AGZ225FF35I4N, 7);
  EXPECT_EQ(eEP2AGZ300FH29C3, 20);
  EXPECT_EQ(eEP2AGZ350HF40I4N, 63);
  for (int32_t k = 0; k < kDeviceKindCount; ++k) {
    const TDeviceParameters& r = DeviceParameters(k);
    SCOPED_TRACE(std::string(r.FullName.View()));
    EXPECT_EQ(r.Kind, k);
    const TDevicePackagePair& pair = DevicePackagePair(r.DevicePackage);
    EXPECT_EQ(pair.BaseName, r.BaseName);
    EXPECT_EQ(pair.Package, r.Package);
    EXPECT_EQ(r.PackageType, r.Package == ePackage_H29 ? ePackageType_H : ePackageType_F);
  }
}

TEST(Catalogue, DescriptionJoinsVendorFamilyAndName) {
  TDevice_Arria2GZDriver driver(0);
  EXPECT_EQ(driver.GetVendorName(), "Altera");
  EXPECT_EQ(zabi::invoke(driver.dispatch(), dispid::GetDeviceDescription).toString(), "Altera Arria2GZ EP2AGZ225FF35C3");

  // A family the family table does not hold: no vendor, and the description begins with a blank.
  struct UnknownFamily : TDevice_Arria2GZDriver {
    UnknownFamily() : TDevice_Arria2GZDriver(5) {}
    std::string GetFamilyName() override { return "arria2gz"; }  // the table's names are case-sensitive
  } unknown;
  EXPECT_EQ(unknown.GetVendorName(), "");
  EXPECT_EQ(unknown.GetDeviceDescription(), " arria2gz EP2AGZ225FF35C4N");
}

TEST(Catalogue, KindOutsideTheCatalogueIsRefused) {
  for (int32_t kind : {-1, 64, 1000}) {
    SCOPED_TRACE(kind);
    try {
      TDevice_Arria2GZDriver driver(kind);
      ADD_FAILURE() << "a driver was built";
    } catch (const std::out_of_range& e) {
      EXPECT_NE(std::string(e.what()).find(std::to_string(kind)), std::string::npos) << e.what();
    }
  }
  EXPECT_THROW(DeviceParameters(64), std::out_of_range);
  EXPECT_THROW(PackageText(TPackage(3)), std::out_of_range);
}

TEST(Catalogue, CapabilitiesAndGenericDefaults) {
  TDevice_Arria2GZDriver driver(12);
  zabi::IDispatch* d = driver.dispatch();
  EXPECT_TRUE(zabi::invoke(d, dispid::Supports, "fpga").toBool());
  EXPECT_FALSE(zabi::invoke(d, dispid::Supports, "CPLD").toBool());
  EXPECT_FALSE(zabi::invoke(d, dispid::Supports, "PROM").toBool());
  EXPECT_EQ(zabi::invoke(d, dispid::CoreGen_OutputExtension).toString(), ".VHD");
  EXPECT_EQ(zabi::invoke(d, dispid::GetDeviceDisplayName).toString(), "EP2AGZ225HF40C3N");
  EXPECT_EQ(zabi::invoke(d, dispid::GetDeviceParameter, "Anything").toString(), "");
  EXPECT_EQ(zabi::invoke(d, 503385).toString(), "");  // GetVendorPrimitiveLibraryName
}

// ---- boundary-scan entity -----------------------------------------------------------------------------------

TEST(CatalogueBSDL, NoDescriptionCarriesTheKindsFileName) {
  TDevice_Arria2GZDriver driver(3);
  for (int i = 0; i < 2; ++i) ExpectNone(zabi::invoke(driver.dispatch(), dispid::GetBSDLEntity));
}

TEST(CatalogueBSDL, AMatchingNameBuildsTheEntityOnceAndKeepsIt) {
  // The family's only description is found under the empty name.
  struct EmptyName : TDevice_Arria2GZDriver {
    EmptyName() : TDevice_Arria2GZDriver(0) {}
    std::string GetBSDLFilename() override { return ""; }
  } driver;
  const DispPtr first = zabi::invoke(driver.dispatch(), dispid::GetBSDLEntity).toDispatch();
  ASSERT_TRUE(first);
  EXPECT_EQ(zabi::invoke(driver.dispatch(), dispid::GetBSDLEntity).toDispatch(), first);
  EXPECT_TRUE(zabi::invoke(first, kDispSupportsService, "BSDLEntity").toBool());
  EXPECT_EQ(zabi::invoke(first, bsdl_dispid::Entity_GetName).toString(), "");
  EXPECT_EQ(zabi::invoke(first, bsdl_dispid::Entity_GetPinCount).toInt32(), 0);
  EXPECT_EQ(zabi::invoke(first, bsdl_dispid::Entity_GetBoundaryCellCount).toInt32(), 0);
  EXPECT_EQ(zabi::invoke(first, bsdl_dispid::Entity_GetInstructionLength).toInt32(), 0);
}

// ---- pins ------------------------------------------------------------------------------------------

TEST(CataloguePins, EveryKindHasTenPlainPins) {
  for (int32_t kind = 0; kind < kDeviceKindCount; ++kind) {
    SCOPED_TRACE(kind);
    TDevice_Arria2GZDriver driver(kind);
    zabi::IDispatch* d = driver.dispatch();
    ASSERT_EQ(zabi::invoke(d, dispid::GetDevicePinCount).toInt32(), 10);
    EXPECT_EQ(zabi::invoke(d, 503410).toInt32(), 0);  // GetDeviceIOCount
    EXPECT_EQ(zabi::invoke(d, 503419).toInt32(), 0);  // GetDiffPairCount
    EXPECT_EQ(zabi::invoke(d, 503420).toInt32(), 0);  // GetHighSpeedDiffPairCount
    EXPECT_EQ(zabi::invoke(d, dispid::GetIOStandardCount).toInt32(), 0);
    ExpectNone(zabi::invoke(d, dispid::GetIOStandard, 0));
    for (int32_t i = 0; i < 10; ++i) {
      const DispPtr pin = zabi::invoke(d, dispid::GetDevicePin, i).toDispatch();
      ASSERT_TRUE(pin);
      const std::string number = (i < 9 ? "A0" : "A") + std::to_string(i + 1);
      EXPECT_EQ(zabi::invoke(pin, kPin_GetPinNumber).toString(), number);
      EXPECT_EQ(zabi::invoke(pin, kPin_GetIOBank).toString(), "");
      EXPECT_EQ(zabi::invoke(pin, kPin_GetUniqueDifferentialID).toString(), "||");
      EXPECT_EQ(zabi::invoke(pin, kPin_GetIOStandardCount).toInt32(), 0);
      ExpectNone(zabi::invoke(pin, kPin_GetIOStandard, 0));
      for (DispId flag : kPinFlagIds) EXPECT_FALSE(zabi::invoke(pin, flag).toBool()) << flag;
      EXPECT_FALSE(zabi::invoke(pin, kPin_GetIsPosPinOfDiffPair).toBool());
      EXPECT_FALSE(zabi::invoke(pin, kPin_GetIsNegPinOfDiffPair).toBool());
    }
  }
}

TEST(CataloguePins, IndexOutsideThePinArrayAnswersNone) {
  TDevice_Arria2GZDriver driver(9);
  for (int32_t index : {-1, 10, 11, 1 << 30}) {
    SCOPED_TRACE(index);
    zabi::Var result;
    std::string message;
    EXPECT_EQ(zabi::tryInvoke(driver.dispatch(), dispid::GetDevicePin, &result, &message, index), zabi::kOk)
        << message;
    ExpectNone(result);
  }
  // Asking out of range first does not spoil the pins built later.
  EXPECT_EQ(zabi::invoke(zabi::invoke(driver.dispatch(), dispid::GetDevicePin, 9).toDispatch(), kPin_GetPinNumber)
                .toString(),
            "A10");
}

TEST(CataloguePins, PinsAreBuiltOncePerDriverAndNotCounted) {
  TDevice_Arria2GZDriver a(4), b(4);
  const DispPtr first = zabi::invoke(a.dispatch(), dispid::GetDevicePin, 3).toDispatch();
  EXPECT_EQ(zabi::invoke(a.dispatch(), dispid::GetDevicePin, 3).toDispatch(), first);
  EXPECT_NE(zabi::invoke(b.dispatch(), dispid::GetDevicePin, 3).toDispatch(), first);
  EXPECT_EQ(first->AddRef(), -1);
  for (int i = 0; i < 100; ++i) EXPECT_EQ(first->Release(), -1);
  EXPECT_EQ(zabi::invoke(first, kPin_GetPinNumber).toString(), "A04");
  EXPECT_TRUE(zabi::invoke(first, kDispSupportsService, "devicepin").toBool());
  EXPECT_FALSE(zabi::invoke(first, kDispSupportsService, "DeviceIOStandard").toBool());
}

TEST(CataloguePins, OptionBitsAnswerTheirFlags) {
  // One pin per option bit, plus one with attributes and a standard.
  TPinSetParameters set;
  set.PinCount = 10;
  for (int bit = 0; bit < 10; ++bit) set.Pins[size_t(bit)].Options = uint16_t(1u << bit);
  for (int bit = 10; bit < 16; ++bit) {
    TPinSetParameters high;
    high.PinCount = 1;
    high.Pins[0].Options = uint16_t(1u << bit);
    TDevicePinData pin(high, 0);
    for (int f = 0; f < 16; ++f) EXPECT_EQ(zabi::invoke(pin.dispatch(), kPinFlagIds[f]).toBool(), f == bit) << bit;
  }
  for (int bit = 0; bit < 10; ++bit) {
    TDevicePinData pin(set, bit);
    for (int f = 0; f < 16; ++f) EXPECT_EQ(zabi::invoke(pin.dispatch(), kPinFlagIds[f]).toBool(), f == bit) << bit;
  }

  // Which flags make a pin the positive or negative pin of a differential pair.
  struct PairCase {
    uint16_t options;
    bool pos, neg;
  } pairCases[] = {
      {ePinOption_DiffPositive, true, false},
      {ePinOption_HighSpeedDiffPositive, true, false},
      {ePinOption_DCIPositive, true, false},
      {ePinOption_ClockDiffPositive, true, false},
      {ePinOption_DiffNegative, false, true},
      {ePinOption_HighSpeedDiffNegative, false, true},
      {ePinOption_DCINegative, false, true},
      {ePinOption_ClockDiffNegative, false, true},
      {ePinOption_TransmitDiff | ePinOption_ReceiveDiff | ePinOption_Clock, false, false},
  };
  for (const PairCase& c : pairCases) {
    SCOPED_TRACE(c.options);
    TPinSetParameters one;
    one.PinCount = 1;
    one.Pins[0].Options = c.options;
    TDevicePinData pin(one, 0);
    EXPECT_EQ(pin.GetIsPosPinOfDiffPair(), c.pos);
    EXPECT_EQ(pin.GetIsNegPinOfDiffPair(), c.neg);
  }
}

TEST(CataloguePins, TextsAndStandardsOfARecord) {
  TPinSetParameters set;
  set.PinCount = 1;
  set.Pins[0] = TPinParameters{"B7", "3A", "DIFFIO_RX1", "CLK4", 0, TDeviceIOStandardSet{1u << eSt_None}};
  TDevicePinData pin(set, 0);
  zabi::IDispatch* p = pin.dispatch();
  EXPECT_EQ(zabi::invoke(p, kPin_GetUniqueDifferentialID).toString(), "3A|DIFFIO_RX1|CLK4");
  EXPECT_EQ(zabi::invoke(p, kPin_GetIOStandardCount).toInt32(), 1);
  const DispPtr standard = zabi::invoke(p, kPin_GetIOStandard, 0).toDispatch();
  EXPECT_EQ(standard.get(), SharedIOStandard(eSt_None).dispatch());
  ExpectNone(zabi::invoke(p, kPin_GetIOStandard, 1));
  ExpectNone(zabi::invoke(p, kPin_GetIOStandard, -1));
}

TEST(CataloguePins, APinOutsideItsSetIsNotBuilt) {
  EXPECT_THROW(TDevicePinData(ePinSet_DUMMY_PIN_SET, 10), std::out_of_range);
  EXPECT_THROW(TDevicePinData(ePinSet_DUMMY_PIN_SET, -1), std::out_of_range);
  EXPECT_THROW(TDevicePinData(TDevicePinSet(1), 0), std::out_of_range);
  TPinSetParameters set;
  set.PinCount = 3;
  EXPECT_THROW(TDevicePinData(set, 3), std::out_of_range);
}

// ---- I/O standards --------------------------------------------------------------------------------------------

TEST(CatalogueIOStandards, SharedObjectOfTheOnlyIdentifier) {
  TDeviceIOStandardData& shared = SharedIOStandard(eSt_None);
  zabi::IDispatch* s = shared.dispatch();
  EXPECT_EQ(zabi::invoke(s, kStd_GetDisplayName).toString(), "LVTTL 1.5V");
  EXPECT_EQ(zabi::invoke(s, kStd_GetParamName).toString(), "LVTTL15");
  EXPECT_EQ(zabi::invoke(s, kStd_GetSlewCount).toInt32(), 0);
  EXPECT_EQ(zabi::invoke(s, kStd_GetDriveCount).toInt32(), 0);
  EXPECT_EQ(zabi::invoke(s, kStd_GetSlewValue, 0).toString(), "");
  EXPECT_EQ(zabi::invoke(s, kStd_GetDriveStrength, 0).toString(), "");
  EXPECT_TRUE(zabi::invoke(s, kDispSupportsService, "DeviceIOStandard").toBool());

  // Hosts that release more than they took never free a shared object.
  const int32_t before = shared.refCount();
  { DispPtr held(s); }
  for (int i = 0; i < 5; ++i) s->Release();
  EXPECT_EQ(zabi::invoke(s, kStd_GetParamName).toString(), "LVTTL15");
  for (int i = 0; i < 5; ++i) s->AddRef();
  EXPECT_EQ(shared.refCount(), before);
}

TEST(CatalogueIOStandards, SlewAndDriveSetsAreWalkedInBitOrder) {
  struct Case {
    TDeviceIOStandardParameters entry;
    std::vector<std::string> slews, drives;
  } cases[] = {
      {{0, 0, (1u << 0) | (1u << 13)}, {}, {"2mA", "24mA"}},
      {{0, 0b101, 0}, {"SLOW", "VERY_SLOW"}, {}},
      {{0, 0b111, (1u << 14) | (1u << 20)}, {"SLOW", "FAST", "VERY_SLOW"}, {"3.5mA", "35mA"}},
      {{0, 0, 0x1FFFFF}, {},
       {"2mA", "3mA", "4mA", "6mA", "7mA", "8mA", "10mA", "12mA", "14mA", "16mA", "17mA",
        "18mA", "20mA", "24mA", "3.5mA", "5mA", "15mA", "21mA", "25mA", "33mA", "35mA"}},
  };
  for (const Case& c : cases) {
    TDeviceIOStandardData standard(eSt_None, c.entry);
    zabi::IDispatch* s = standard.dispatch();
    ASSERT_EQ(zabi::invoke(s, kStd_GetSlewCount).toInt32(), int32_t(c.slews.size()));
    ASSERT_EQ(zabi::invoke(s, kStd_GetDriveCount).toInt32(), int32_t(c.drives.size()));
    for (size_t i = 0; i < c.slews.size(); ++i) EXPECT_EQ(zabi::invoke(s, kStd_GetSlewValue, int32_t(i)).toString(), c.slews[i]);
    for (size_t i = 0; i < c.drives.size(); ++i)
      EXPECT_EQ(zabi::invoke(s, kStd_GetDriveStrength, int32_t(i)).toString(), c.drives[i]);
    for (int32_t beyond : {int32_t(c.slews.size()), -1}) EXPECT_EQ(zabi::invoke(s, kStd_GetSlewValue, beyond).toString(), "");
    for (int32_t beyond : {int32_t(c.drives.size()), -1})
      EXPECT_EQ(zabi::invoke(s, kStd_GetDriveStrength, beyond).toString(), "");
  }
}

TEST(CatalogueIOStandards, GenericNameTables) {
  struct Case {
    int32_t kind;
    const char* display;
    const char* param;
  } cases[] = {
      {0, "LVTTL 1.5V", "LVTTL15"},
      {21, "GTL+", "GTLP"},
      {94, "LVCMOS 3.3V (24mA)", "LVCMOS33_1"},
      {143, "Gunning Transceiver Logic Plus 3.3 V", "3.3V GTL+"},
      {159, "DSSTL 1.8V Classs II T DCI", "DSSTL18IIT_DCI"},
      {166, "Differential 2.5-V SSTL Class I", "DSSTL25II"},
      {185, "Emulated RSDS 2.5V", "RSDS25E"},
      {186, "", ""},
      {-1, "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.kind);
    EXPECT_EQ(GenericIOStandardDisplayName(c.kind), c.display);
    EXPECT_EQ(GenericIOStandardParamName(c.kind), c.param);
  }
  // Every entry of the table is named.
  for (int32_t k = 0; k < kGenericIOStandardCount; ++k) {
    EXPECT_FALSE(GenericIOStandardDisplayName(k).empty()) << k;
    EXPECT_FALSE(GenericIOStandardParamName(k).empty()) << k;
  }
  // An object answers the names at its generic kind.
  TDeviceIOStandardData standard(eSt_None, {185, 0, 0});
  EXPECT_EQ(standard.GetDisplayName(), "Emulated RSDS 2.5V");
  EXPECT_EQ(standard.GetParamName(), "RSDS25E");
}

TEST(CatalogueIOStandards, SharedObjectsLiveBetweenCreateAndFree) {
  TDeviceIOStandardData* first = &SharedIOStandard(eSt_None);
  CreateSharedIOStandards();  // a second creation keeps the existing objects
  EXPECT_EQ(&SharedIOStandard(eSt_None), first);
  FreeSharedIOStandards();
  EXPECT_THROW(SharedIOStandard(eSt_None), std::logic_error);
  TDeviceIOStandardSet set{1u << eSt_None};
  EXPECT_THROW(SharedIOStandardOf(set, 0), std::logic_error);
  CreateSharedIOStandards();
  EXPECT_EQ(SharedIOStandard(eSt_None).GetParamName(), "LVTTL15");
  EXPECT_THROW(SharedIOStandard(TDeviceIOStandardID(1)), std::out_of_range);
}
