// Walks all 64 device kinds through the built plug-in (dlopen, entry points, dispatch) and compares each
// answer with values derived here, independently of the driver's own tables.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "zolta/driver_interface.h"

using namespace zolta;

namespace {

// ---- expected catalogue -------------------------------------------------------------------------------

struct Text {
  const char *id, *name, *description, *dimensions;
};
struct Resources {
  int32_t dsp, clockManagers, memory;
  bool termination;
  int32_t globalClocks, configMemory;
};
struct DevicePackage {
  const char* package;  // "F35", "F40", "H29"
  Resources resources;
};
struct Base {
  const char* name;
  int32_t gates, maxIO;
  std::vector<DevicePackage> packages;
};

const Text kF35{"F35", "FBGA1152", "1152-Ball FineLine Ball Grid Array (FBGA1152) - Flip Chip", "35 x 35 mm"};
const Text kF40{"F40", "FBGA1517", "1517-Ball FineLine Ball Grid Array (FBGA1517) - Flip Chip", "40 x 40 mm"};
const Text kH29{"H29", "HBGA780", "780-Ball Hybrid FineLine Ball Grid Array (HBGA780) - Flip Chip", "29 x 29 mm"};
const Text kTypeF{"F", "FBGA", "FineLine Ball Grid Array (FBGA) - Flip Chip", ""};
const Text kTypeH{"H", "HBGA", "Hybrid FineLine Ball Grid Array (HBGA) - Flip Chip", ""};
const Text kTemperatures[] = {{"C", "Commercial", "Commercial Grade", ""}, {"I", "Industrial", "Industrial Grade", ""}};
const Text kSpeeds[] = {{"3", "3", "Speed Grade 3 (Fastest)", ""}, {"4", "4", "Speed Grade 4 (Slowest)", ""}};
const Text kWithoutN{"None", "Standard", "Standard Configuration", ""};
const Text kWithN{"N", "N", "Pb-Free", ""};

const std::vector<Base>& Bases() {
  static const std::vector<Base> bases = {
      {"EP2AGZ225F", 179200, 854, {{"F35", {800, 6, 13915, true, 16, 0}}}},
      {"EP2AGZ225H", 179200, 854, {{"F40", {800, 8, 13915, true, 16, 0}}}},
      {"EP2AGZ300F", 238400, 854, {{"F35", {920, 6, 18413, true, 16, 0}}, {"H29", {920, 4, 18413, true, 16, 0}}}},
      {"EP2AGZ300H", 238400, 854, {{"F40", {920, 8, 18413, true, 16, 0}}}},
      {"EP2AGZ350F", 278800, 854, {{"F35", {1040, 6, 20772, true, 16, 0}}, {"H29", {1040, 4, 20772, true, 16, 0}}}},
      {"EP2AGZ350H", 278800, 854, {{"F40", {1040, 8, 20772, true, 16, 0}}}},
  };
  return bases;
}

struct Kind {
  std::string name;
  const Base* base;
  const Text *package, *packageType, *temperature, *speed, *option;
  Resources resources;
};

// Base device; without, then with N; the base's packages; C, I; 3, 4.
std::vector<Kind> ExpectedKinds() {
  std::vector<Kind> kinds;
  for (const Base& base : Bases()) {
    for (const Text* option : {&kWithoutN, &kWithN}) {
      for (const DevicePackage& dp : base.packages) {
        const std::string p = dp.package;
        const Text* package = p == "F35" ? &kF35 : p == "F40" ? &kF40 : &kH29;
        for (const Text& t : kTemperatures) {
          for (const Text& s : kSpeeds) {
            Kind k;
            k.name = std::string(base.name) + p + t.id + s.id + (option == &kWithN ? "N" : "");
            k.base = &base;
            k.package = package;
            k.packageType = p == "H29" ? &kTypeH : &kTypeF;
            k.temperature = &t;
            k.speed = &s;
            k.option = option;
            k.resources = dp.resources;
            kinds.push_back(k);
          }
        }
      }
    }
  }
  return kinds;
}

// ---- the loaded plug-in -------------------------------------------------------------------------------

class LoadedPlugin : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    const char* bin = std::getenv("ZOLTA_BIN_DIR");
    ASSERT_NE(bin, nullptr) << "ZOLTA_BIN_DIR is not set";
    const std::string path = std::string(bin) + "/plugins/Arria2GZ/Arria2GZ.ZLT";
    handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(handle_, nullptr) << dlerror();
    count_ = reinterpret_cast<zabi::GetZoltaDriverCountFn>(dlsym(handle_, "GetZoltaDriverCount"));
    driver_ = reinterpret_cast<zabi::GetZoltaDriverPluginFn>(dlsym(handle_, "GetZoltaDriver_Plugin"));
    ASSERT_NE(count_, nullptr);
    ASSERT_NE(driver_, nullptr);
  }
  static void TearDownTestSuite() {
    if (handle_) dlclose(handle_);  // frees every driver, pin and shared I/O standard
    handle_ = nullptr;
  }
  void SetUp() override {
    if (!handle_) GTEST_SKIP() << "plug-in not loaded";
  }

  static DispPtr Driver(uint32_t kind) {
    zabi::IDispatch* d = reinterpret_cast<zabi::IDispatch*>(1);
    EXPECT_EQ(driver_(kind, &d), zabi::kOk);
    return DispPtr(d);
  }

  static inline void* handle_ = nullptr;
  static inline zabi::GetZoltaDriverCountFn count_ = nullptr;
  static inline zabi::GetZoltaDriverPluginFn driver_ = nullptr;
};

// Device-information identifiers answered from the catalogue, with the expected text of a kind.
struct TextField {
  DispId id;
  const char* name;
  std::string (*expected)(const Kind&);
};
const TextField kTextFields[] = {
    {503380, "GetDeviceName", [](const Kind& k) { return k.name; }},
    {503381, "GetDeviceDescription", [](const Kind& k) { return "Altera Arria2GZ " + k.name; }},
    {503382, "GetFamilyName", [](const Kind&) { return std::string("Arria2GZ"); }},
    {503383, "GetFamilyDescription", [](const Kind&) { return std::string("Arria II GZ FPGA"); }},
    {503384, "GetLibraryName", [](const Kind&) { return std::string("Altera Arria II GZ.IntLib"); }},
    {503385, "GetVendorPrimitiveLibraryName", [](const Kind&) { return std::string(); }},
    {503386, "GetBaseName", [](const Kind& k) { return std::string(k.base->name); }},
    {503389, "GetPackageTypeId", [](const Kind& k) { return std::string(k.packageType->id); }},
    {503390, "GetPackageTypeName", [](const Kind& k) { return std::string(k.packageType->name); }},
    {503391, "GetPackageTypeDescription", [](const Kind& k) { return std::string(k.packageType->description); }},
    {503392, "GetPackageId", [](const Kind& k) { return std::string(k.package->id); }},
    {503393, "GetPackageName", [](const Kind& k) { return std::string(k.package->name); }},
    {503394, "GetPackageDescription", [](const Kind& k) { return std::string(k.package->description); }},
    {503395, "GetPackageDimensions", [](const Kind& k) { return std::string(k.package->dimensions); }},
    {503396, "GetTemperatureGradeId", [](const Kind& k) { return std::string(k.temperature->id); }},
    {503397, "GetTemperatureGradeName", [](const Kind& k) { return std::string(k.temperature->name); }},
    {503398, "GetTemperatureGradeDescription", [](const Kind& k) { return std::string(k.temperature->description); }},
    {503399, "GetSpeedGradeId", [](const Kind& k) { return std::string(k.speed->id); }},
    {503400, "GetSpeedGradeName", [](const Kind& k) { return std::string(k.speed->name); }},
    {503401, "GetSpeedGradeDescription", [](const Kind& k) { return std::string(k.speed->description); }},
    {503402, "GetOptionDesignatorId", [](const Kind& k) { return std::string(k.option->id); }},
    {503403, "GetOptionDesignatorName", [](const Kind& k) { return std::string(k.option->name); }},
    {503404, "GetOptionDesignatorDescription", [](const Kind& k) { return std::string(k.option->description); }},
    {503405, "GetBSDLFilename", [](const Kind&) { return std::string("BSDF_FILE_NAME.bsd"); }},
    {503407, "GetVendorName", [](const Kind&) { return std::string("Altera"); }},
    {503412, "GetDownloadFileExtensions", [](const Kind&) { return std::string(); }},
    {503423, "GetDeviceDisplayName", [](const Kind& k) { return k.name; }},
    {503792, "CoreGen_OutputExtension", [](const Kind&) { return std::string(".VHD"); }},
};

struct IntField {
  DispId id;
  const char* name;
  int32_t (*expected)(const Kind&);
};
const IntField kIntFields[] = {
    {503379, "GetIdCode", [](const Kind&) { return 0; }},
    {503387, "GetEquivalentGatesForBase", [](const Kind& k) { return k.base->gates; }},
    {503388, "GetMaxIOForBase", [](const Kind& k) { return k.base->maxIO; }},
    {503408, "GetInstructionLength", [](const Kind&) { return 10; }},
    {503409, "GetDevicePinCount", [](const Kind&) { return 10; }},
    {503410, "GetDeviceIOCount", [](const Kind&) { return 0; }},
    {503413, "GetDSPMultiplierCount", [](const Kind& k) { return k.resources.dsp; }},
    {503414, "GetClockManagerCount", [](const Kind& k) { return k.resources.clockManagers; }},
    {503415, "GetMemorySize", [](const Kind& k) { return k.resources.memory; }},
    {503417, "GetGlobalClockCount", [](const Kind& k) { return k.resources.globalClocks; }},
    {503418, "GetConfigMemorySize", [](const Kind& k) { return k.resources.configMemory; }},
    {503419, "GetDiffPairCount", [](const Kind&) { return 0; }},
    {503420, "GetHighSpeedDiffPairCount", [](const Kind&) { return 0; }},
    {503421, "GetIOStandardCount", [](const Kind&) { return 0; }},
};

}  // namespace

TEST(ExpectedCatalogue, AnchorsOfTheGenerationRule) {
  const std::vector<Kind> kinds = ExpectedKinds();
  ASSERT_EQ(kinds.size(), 64u);
  EXPECT_EQ(kinds[0].name, "EP2AGZ225FF35C3");
  EXPECT_EQ(kinds[7].name, "EP2AGZ225FF35I4N");
  EXPECT_EQ(kinds[20].name, "EP2AGZ300FH29C3");
  EXPECT_EQ(kinds[63].name, "EP2AGZ350HF40I4N");
  std::set<std::string> names;
  for (const Kind& k : kinds) names.insert(k.name);
  EXPECT_EQ(names.size(), 64u);
}

TEST_F(LoadedPlugin, ServesSixtyFourKinds) {
  int32_t count = 0;
  EXPECT_EQ(count_(&count), zabi::kOk);
  EXPECT_EQ(count, 64);
  for (uint32_t kind : {64u, 0xFFFFFFFFu, 1000u}) {
    SCOPED_TRACE(kind);
    EXPECT_FALSE(Driver(kind));
  }
  const DispPtr a = Driver(5), b = Driver(5);
  ASSERT_TRUE(a);
  EXPECT_NE(a, b);
}

TEST_F(LoadedPlugin, EveryKindAgreesWithTheCatalogue) {
  const std::vector<Kind> kinds = ExpectedKinds();
  for (uint32_t index = 0; index < kinds.size(); ++index) {
    const Kind& k = kinds[index];
    SCOPED_TRACE(std::to_string(index) + " " + k.name);
    const DispPtr d = Driver(index);
    ASSERT_TRUE(d);
    EXPECT_TRUE(zabi::invoke(d, kDispSupportsService, "DeviceInformation").toBool());
    EXPECT_TRUE(zabi::invoke(d, kDispSupportsService, "ZoltaDriver").toBool());
    for (const TextField& f : kTextFields) EXPECT_EQ(zabi::invoke(d, f.id).toString(), f.expected(k)) << f.name;
    for (const IntField& f : kIntFields) {
      const zabi::Var v = zabi::invoke(d, f.id);
      EXPECT_EQ(v.type(), zabi::VT_I4) << f.name;
      EXPECT_EQ(v.toInt32(), f.expected(k)) << f.name;
    }
    const zabi::Var termination = zabi::invoke(d, 503416);
    EXPECT_EQ(termination.type(), zabi::VT_BOOL);
    EXPECT_EQ(termination.toBool(), k.resources.termination);
    EXPECT_TRUE(zabi::invoke(d, dispid::Supports, "FPGA").toBool());
    EXPECT_FALSE(zabi::invoke(d, dispid::Supports, "CPLD").toBool());
    EXPECT_FALSE(zabi::invoke(d, dispid::GetBSDLEntity).toDispatch());
    EXPECT_FALSE(zabi::invoke(d, dispid::GetIOStandard, 0).toDispatch());

    // The ten pins, and none beyond them.
    for (int32_t i = 0; i < 10; ++i) {
      const DispPtr pin = zabi::invoke(d, dispid::GetDevicePin, i).toDispatch();
      ASSERT_TRUE(pin) << i;
      EXPECT_EQ(zabi::invoke(pin, 503525).toString(), (i < 9 ? "A0" : "A") + std::to_string(i + 1));
      EXPECT_EQ(zabi::invoke(pin, 503547).toString(), "||");
      EXPECT_EQ(zabi::invoke(pin, 503531).toInt32(), 0);
    }
    EXPECT_FALSE(zabi::invoke(d, dispid::GetDevicePin, 10).toDispatch());
    EXPECT_FALSE(zabi::invoke(d, dispid::GetDevicePin, -1).toDispatch());
  }
}
