#include "zolta/jtag/altera_tables.h"

#include <ini.h>

#include <array>
#include <string>

#include "zolta/dispatch.h"
#include "zolta/host/files.h"
#include "zolta/host/text_utils.h"

namespace zolta {

namespace {

// Part base names with their boundary-register length (N) and CONF_DONE group (K), both in groups of
// three cells. Parts that share a die share a row's values.
constexpr TAlteraConfDoneEntry kConfDone[] = {
    {"EP1C3", 113, 69},
    {"EP1C4", 310, 198},
    {"EP1C6", 194, 121},
    {"EP1C12", 258, 163},
    {"EP1C20", 310, 197},
    {"EP1S10", 439, 391},
    {"EP1S20", 599, 533},
    {"EP1S25", 719, 635},
    {"EP1S30", 751, 667},
    {"EP1S40", 843, 741},
    {"EP1S60", 1043, 923},
    {"EP1S80", 1259, 1121},
    {"EP1SGX10G", 343, 295},
    {"EP1SGX25G", 555, 471},
    {"EP1SGX40G", 647, 545},
    {"EP2S15", 380, 379},
    {"EP2S30", 564, 563}, {"EP2SGX30C", 564, 563}, {"EP2SGX30D", 564, 563},
    {"EP2S60", 732, 731}, {"EP2SGX60C", 732, 731}, {"EP2SGX60D", 732, 731}, {"EP2SGX60E", 732, 731},
    {"EP1AGX60C", 732, 731}, {"EP1AGX60D", 732, 731}, {"EP1AGX60E", 732, 731},
    {"EP2S90", 916, 915},
    {"EP2S130", 1140, 1139},
    {"EP2S180", 1360, 1315},
    {"EP2C5", 166, 97},
    {"EP2C8", 199, 119},
    {"EP2C20", 323, 193},
    {"EP2C35", 483, 296},
    {"EP2C50", 458, 280},
    {"EP2C70", 630, 391},
    {"EP3C10", 201, 126}, {"EP4CE6", 201, 126}, {"EP4CE10", 201, 126},
    {"EP3C16", 360, 224}, {"EP4CE15", 360, 224},
    {"EP3C25", 244, 149}, {"EP4CE22", 244, 149},
    {"EP3C40", 544, 343}, {"EP4CE30", 544, 343}, {"EP4CE40", 544, 343},
    {"EP3C55", 388, 241}, {"EP4CE55", 388, 241},
    {"EP3C80", 438, 271}, {"EP4CE75", 438, 271},
    {"EP3C120", 540, 336}, {"EP4CE115", 540, 336},
    {"EP2SGX90E", 672, 671}, {"EP2SGX90F", 672, 671}, {"EP1AGX90E", 672, 671},
    {"EP2SGX130G", 816, 815},
    {"EP2AGX45C", 433, 42}, {"EP2AGX45D", 433, 42}, {"EP2AGX65C", 433, 42}, {"EP2AGX65D", 433, 42},
    {"EP2AGX95D", 525, 62}, {"EP2AGX95E", 525, 62}, {"EP2AGX125D", 525, 62}, {"EP2AGX125E", 525, 62},
    {"EP2AGX190E", 705, 82}, {"EP2AGX190F", 705, 82}, {"EP2AGX260E", 705, 82}, {"EP2AGX260F", 705, 82},
    {"EP2AGZ225F", 758, 186}, {"EP2AGZ225H", 758, 186}, {"EP3SL110", 758, 186}, {"EP3SL150", 758, 186},
    {"EP3SE110", 758, 186}, {"EP4SGX180D", 758, 186}, {"EP4SGX180F", 758, 186}, {"EP4SGX180H", 758, 186},
    {"EP4SGX180K", 758, 186}, {"EP4SGX230D", 758, 186}, {"EP4SGX230F", 758, 186}, {"EP4SGX230H", 758, 186},
    {"EP4SGX230K", 758, 186}, {"EP4SE230", 758, 186}, {"EP4S40G2F", 758, 186}, {"EP4S100G2", 758, 186},
    {"EP2AGZ300F", 894, 190}, {"EP2AGZ300H", 894, 190}, {"EP2AGZ350F", 894, 190}, {"EP2AGZ350H", 894, 190},
    {"EP3SL200", 894, 190}, {"EP4SGX290F", 894, 190}, {"EP4SGX290H", 894, 190}, {"EP4SGX290K", 894, 190},
    {"EP4SGX360F", 894, 190}, {"EP4SGX360H", 894, 190}, {"EP4SGX360K", 894, 190}, {"EP4SE290", 894, 190},
    {"EP4SE360", 894, 190},
    {"EP3SL50", 502, 122}, {"EP3SL70", 502, 122}, {"EP3SE50", 502, 122}, {"EP3SE80", 502, 122},
    {"EP3SL340", 1134, 278}, {"EP4SE680", 1134, 278},
    {"EP3SE260", 990, 238}, {"EP4SGX290N", 990, 238}, {"EP4SGX360N", 990, 238}, {"EP4SGX530H", 990, 238},
    {"EP4SGX530K", 990, 238}, {"EP4SGX530N", 990, 238}, {"EP4SE530", 990, 238}, {"EP4S40G5H", 990, 238},
    {"EP4S100G5", 990, 238},
    {"EP4CGX15B", 96, 20},
    {"EP4SGX70D", 438, 122}, {"EP4SGX70H", 438, 122}, {"EP4SGX110D", 438, 122}, {"EP4SGX110F", 438, 122},
    {"EP4SE110", 438, 122},
    {"5CEBA2", 288, 234}, {"5CEBA4", 288, 234}, {"5CEFA2", 288, 234}, {"5CEFA4", 288, 234},
    {"5CEBA5", 368, 362}, {"5CEFA5", 368, 362}, {"5CGTFD5C5", 368, 362}, {"5CGTFD5F5", 368, 362},
    {"5CGXBC4C6", 368, 362}, {"5CGXBC4C7", 368, 362}, {"5CGXBC5C6", 368, 362}, {"5CGXBC5C7", 368, 362},
    {"5CGXFC4C6", 368, 362}, {"5CGXFC4C7", 368, 362}, {"5CGXFC4F6", 368, 362}, {"5CGXFC4F7", 368, 362},
    {"5CGXFC5C6", 368, 362}, {"5CGXFC5C7", 368, 362}, {"5CGXFC5F6", 368, 362}, {"5CGXFC5F7", 368, 362},
    {"5CEBA7", 498, 490}, {"5CEFA7", 498, 490},
    {"5CEBA9", 576, 570}, {"5CEFA9", 576, 570}, {"5CGTFD9C5", 576, 570}, {"5CGTFD9D5", 576, 570},
    {"5CGTFD9E5", 576, 570}, {"5CGXBC9C6", 576, 570}, {"5CGXBC9C7", 576, 570}, {"5CGXBC9D6", 576, 570},
    {"5CGXBC9D7", 576, 570}, {"5CGXBC9E6", 576, 570}, {"5CGXBC9E7", 576, 570}, {"5CGXFC9C6", 576, 570},
    {"5CGXFC9C7", 576, 570}, {"5CGXFC9D6", 576, 570}, {"5CGXFC9D7", 576, 570}, {"5CGXFC9E6", 576, 570},
    {"5CGXFC9E7", 576, 570},
    {"5CGTFD7B5", 496, 490}, {"5CGTFD7C5", 496, 490}, {"5CGTFD7D5", 496, 490}, {"5CGXBC7B6", 496, 490},
    {"5CGXBC7B7", 496, 490}, {"5CGXBC7C6", 496, 490}, {"5CGXBC7C7", 496, 490}, {"5CGXBC7D6", 496, 490},
    {"5CGXBC7D7", 496, 490}, {"5CGXFC7B6", 496, 490}, {"5CGXFC7B7", 496, 490}, {"5CGXFC7C6", 496, 490},
    {"5CGXFC7C7", 496, 490}, {"5CGXFC7D6", 496, 490}, {"5CGXFC7D7", 496, 490}, {"5AGXBA1D4", 496, 490},
    {"5AGXBA1D6", 496, 490}, {"5AGXBA3D4", 496, 490}, {"5AGXBA3D6", 496, 490}, {"5AGXMA1D4", 496, 490},
    {"5AGXMA1D6", 496, 490}, {"5AGXMA3D4", 496, 490}, {"5AGXMA3D6", 496, 490},
    {"5CGXBC3B6", 240, 234}, {"5CGXBC3B7", 240, 234}, {"5CGXFC3B6", 240, 234}, {"5CGXFC3B7", 240, 234},
    {"5CSEBA5", 495, 489}, {"5CSEBA6", 495, 489}, {"5CSEMA5", 495, 489}, {"5CSEMA6", 495, 489},
    {"5CSXFC5C6", 495, 489}, {"5CSXFC5D6", 495, 489}, {"5CSXFC6C6", 495, 489}, {"5CSXFC6D6", 495, 489},
    {"5CSTFD5D5", 495, 489}, {"5CSTFD6D5", 495, 489},
    {"5AGTFC7H3", 560, 554}, {"5AGTMC7G3", 560, 554}, {"5AGXBA5D4", 560, 554}, {"5AGXBA5D6", 560, 554},
    {"5AGXBA7D4", 560, 554}, {"5AGXBA7D6", 560, 554}, {"5AGXFA5H4", 560, 554}, {"5AGXFA5H6", 560, 554},
    {"5AGXFA7H4", 560, 554}, {"5AGXFA7H6", 560, 554}, {"5AGXMA5D4", 560, 554}, {"5AGXMA5D6", 560, 554},
    {"5AGXMA5G4", 560, 554}, {"5AGXMA5G6", 560, 554}, {"5AGXMA7D4", 560, 554}, {"5AGXMA7D6", 560, 554},
    {"5AGXMA7G4", 560, 554}, {"5AGXMA7G6", 560, 554},
    {"5AGTFD3H3", 720, 714}, {"5AGTFD7H3", 720, 714}, {"5AGTFD7K3", 720, 714}, {"5AGTMC3D3", 720, 714},
    {"5AGTMD3G3", 720, 714}, {"5AGXBB1D4", 720, 714}, {"5AGXBB1D6", 720, 714}, {"5AGXBB3D4", 720, 714},
    {"5AGXBB3D6", 720, 714}, {"5AGXBB5D4", 720, 714}, {"5AGXBB5D6", 720, 714}, {"5AGXBB7D4", 720, 714},
    {"5AGXBB7D6", 720, 714}, {"5AGXFB1H4", 720, 714}, {"5AGXFB1H6", 720, 714}, {"5AGXFB3H4", 720, 714},
    {"5AGXFB3H6", 720, 714}, {"5AGXFB5H4", 720, 714}, {"5AGXFB5H6", 720, 714}, {"5AGXFB5K4", 720, 714},
    {"5AGXFB5K6", 720, 714}, {"5AGXFB7H4", 720, 714}, {"5AGXFB7H6", 720, 714}, {"5AGXFB7K4", 720, 714},
    {"5AGXFB7K6", 720, 714}, {"5AGXMB1G4", 720, 714}, {"5AGXMB1G6", 720, 714}, {"5AGXMB3G4", 720, 714},
    {"5AGXMB3G6", 720, 714}, {"5AGXMB5G4", 720, 714}, {"5AGXMB5G6", 720, 714}, {"5AGXMB7G4", 720, 714},
    {"5AGXMB7G6", 720, 714},
    {"5ASTFD3G3", 823, 817}, {"5ASTFD5G3", 823, 817}, {"5ASTMD3E3", 823, 817}, {"5ASTMD5E3", 823, 817},
    {"5ASXBB3D4", 823, 817}, {"5ASXBB3D6", 823, 817}, {"5ASXBB5D4", 823, 817}, {"5ASXBB5D6", 823, 817},
    {"5ASXFB3G4", 823, 817}, {"5ASXFB3G6", 823, 817}, {"5ASXFB3H4", 823, 817}, {"5ASXFB3H6", 823, 817},
    {"5ASXFB5G4", 823, 817}, {"5ASXFB5G6", 823, 817}, {"5ASXFB5H4", 823, 817}, {"5ASXFB5H6", 823, 817},
    {"5ASXMB3E4", 823, 817}, {"5ASXMB3E6", 823, 817}, {"5ASXMB3G4", 823, 817}, {"5ASXMB3G6", 823, 817},
    {"5ASXMB5E4", 823, 817}, {"5ASXMB5E6", 823, 817}, {"5ASXMB5G4", 823, 817}, {"5ASXMB5G6", 823, 817},
    {"5AGZME1E2", 777, 328}, {"5AGZME1E3", 777, 328}, {"5AGZME1H2", 777, 328}, {"5AGZME1H3", 777, 328},
    {"5AGZME3E2", 777, 328}, {"5AGZME3E3", 777, 328}, {"5AGZME3H2", 777, 328}, {"5AGZME3H3", 777, 328},
    {"5AGZME5H2", 1025, 424}, {"5AGZME5H3", 1025, 424}, {"5AGZME5K2", 1025, 424}, {"5AGZME5K3", 1025, 424},
    {"5AGZME7H2", 1025, 424}, {"5AGZME7H3", 1025, 424}, {"5AGZME7K2", 1025, 424}, {"5AGZME7K3", 1025, 424},
};
static_assert(std::size(kConfDone) == 284);

struct FamilyCycles {
  std::string_view Family;
  int32_t Cycles;
};

// Families whose cycle count is built in, in lookup order.
constexpr FamilyCycles kFamilyCycles[] = {
    {"Cyclone", 175},  {"Cyclone2", 300},   {"Cyclone3", 3181}, {"Cyclone4GX", 3181},
    {"Cyclone4E", 3181}, {"Stratix", 175},  {"StratixGX", 175}, {"Stratix2", 300},
    {"Stratix2GX", 300}, {"Stratix3", 4436}, {"ArriaGX", 300},
};

constexpr int32_t kDefaultClockCycles = 175;

// The two keys of a family configuration file. As with the host's INI files, section and key names
// ignore case, the first occurrence of a key counts, and a value in double quotes loses them.
struct ClockCoreConfig {
  bool HaveFamily = false;
  std::string Family;
  bool HaveCycles = false;
  std::string Cycles;
};

std::string unquoted(const char* value) {
  std::string_view v(value);
  if (v.size() >= 2 && v.front() == '"' && v.back() == '"') v = v.substr(1, v.size() - 2);
  return std::string(v);
}

int onConfigEntry(void* user, const char* section, const char* name, const char* value) {
  if (!name || !value) return 1;  // a section header on its own
  auto& cfg = *static_cast<ClockCoreConfig*>(user);
  if (!cfg.HaveFamily && zabi::sameText(section, "General") && zabi::sameText(name, "DeviceFamily")) {
    cfg.Family = unquoted(value);
    cfg.HaveFamily = true;
  } else if (!cfg.HaveCycles && zabi::sameText(section, "ClockCore") && zabi::sameText(name, "Cycles")) {
    cfg.Cycles = unquoted(value);
    cfg.HaveCycles = true;
  }
  return 1;  // keep going: a malformed line costs only itself
}

}  // namespace

std::span<const TAlteraConfDoneEntry> AlteraConfDoneEntries() { return kConfDone; }

bool AlteraConfDoneTable(std::string_view baseName, int32_t& n, int32_t& k) {
  for (const TAlteraConfDoneEntry& e : kConfDone) {
    if (zabi::sameText(e.BaseName, baseName)) {
      n = e.N;
      k = e.K;
      return true;
    }
  }
  n = 0;
  k = 0;
  return false;
}

int32_t ClockCyclesFromConfigFile(const std::string& fileName, std::string_view familyName) {
  if (!FileExists(fileName)) return -1;
  ClockCoreConfig cfg;
  // An unreadable file leaves both keys at their defaults (no family, -1 cycles).
  ini_parse(fileName.c_str(), &onConfigEntry, &cfg);
  if (!zabi::sameText(cfg.Family, familyName)) return -1;
  int32_t cycles = -1;
  if (!cfg.HaveCycles || !ReadInteger(cfg.Cycles, cycles)) return -1;
  return cycles;
}

int32_t ClockCyclesForFamily(std::string_view familyName) {
  for (const FamilyCycles& f : kFamilyCycles)
    if (zabi::sameText(f.Family, familyName)) return f.Cycles;

  int32_t found = -1;
  ForEachPluginFolder([&](const std::string& folder, bool& stop) {
    const std::string file = ResolveFileCaseInsensitive(JoinPath(folder, kClockCoreConfigFile));
    if (file.empty()) return;
    const int32_t cycles = ClockCyclesFromConfigFile(file, familyName);
    if (cycles >= 0) {
      found = cycles;
      stop = true;
    }
  });
  return found >= 0 ? found : kDefaultClockCycles;
}

}  // namespace zolta
