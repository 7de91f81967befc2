// What differs between Altera device families for the JTAG routines: where the configuration-done
// status bit sits in a device's boundary register, and how many TCK cycles a device needs after the
// PROGRAM instruction before the configuration data.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace zolta {

// One part of the configuration-done table.
struct TAlteraConfDoneEntry {
  std::string_view BaseName;  // the device's base name, e.g. "EP2AGZ300F"
  int32_t N;                  // boundary-scan register length in groups of three cells
  int32_t K;                  // group index of the CONF_DONE status cell, same counting
};

// The compiled-in table (284 parts, names distinct), in lookup order.
std::span<const TAlteraConfDoneEntry> AlteraConfDoneEntries();

// Looks the base name up without regard to (ASCII) case; the first equal name wins. Not found: N and
// K are set to 0 and the answer is false.
bool AlteraConfDoneTable(std::string_view baseName, int32_t& n, int32_t& k);

// The family configuration file of a plug-in folder and the keys read from it here.
inline constexpr const char* kClockCoreConfigFile = "ZoltaConfig.ini";

// TCK cycles to give after PROGRAM for a family (names compared without regard to case):
//  1. the compiled-in table (Cyclone 175, Cyclone2 300, Cyclone3/Cyclone4GX/Cyclone4E 3181,
//     Stratix/StratixGX 175, Stratix2/Stratix2GX 300, Stratix3 4436, ArriaGX 300);
//  2. otherwise the host's plug-in folders in order (ForEachPluginFolder): the first folder whose
//     "ZoltaConfig.ini" names the family in [General] DeviceFamily and gives a [ClockCore] Cycles of 0
//     or more answers that value. Missing, unreadable or malformed files, other families and negative
//     or unreadable counts pass the folder over. The files are read on every call;
//  3. otherwise 175.
int32_t ClockCyclesForFamily(std::string_view familyName);

// The cycle count a family configuration file gives for familyName, or -1 when the file does not
// name that family, gives no count of 0 or more, or cannot be read.
int32_t ClockCyclesFromConfigFile(const std::string& fileName, std::string_view familyName);

}  // namespace zolta
