#include "zolta/host/vendor_tools.h"

#include <ini.h>

#include <array>
#include <fstream>
#include <map>
#include <memory>

#include "zolta/host/errors.h"
#include "zolta/host/files.h"
#include "zolta/host/parameters.h"
#include "zolta/host/text_utils.h"

namespace zolta {

namespace {

constexpr std::array<const char*, 4> kVendorNames = {"Altera", "Xilinx", "Actel", "Lattice"};

// Opens a text file (found ignoring case); throws EFileAccessError naming it when it cannot be read.
std::ifstream openTextFile(const std::string& path, const char* what) {
  const std::string resolved = ResolveFileCaseInsensitive(path);
  std::ifstream in(resolved.empty() ? path : resolved, std::ios::binary);
  if (!in) throw EFileAccessError(std::string("Cannot open ") + what + " \"" + path + "\"", path);
  return in;
}

std::string firstLineOf(const std::string& path, const char* what) {
  std::ifstream in = openTextFile(path, what);
  std::string line;
  std::getline(in, line);
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

// True when `version` is a whole line of the supported-version list `listName` (ignoring case).
bool versionIsListed(const std::string& version, const char* listName) {
  const std::string path = GetSystemFolder() + listName;
  std::ifstream in = openTextFile(path, "supported-version list");
  std::string line;
  while (std::getline(in, line)) {
    if (zabi::sameText(TrimParameterText(line), version)) return true;
  }
  return false;
}

// A question to the vendor-tool manager; the fallback answers when the manager is absent.
std::string managerText(zabi::DispId id, std::string_view vendor) {
  IVendorToolManager m = GetVendorToolManager();
  return m ? m.call(id, std::string(vendor)).toString() : std::string();
}

bool managerFlag(zabi::DispId id, std::string_view vendor) {
  IVendorToolManager m = GetVendorToolManager();
  return m && m.call(id, std::string(vendor)).toBool();
}

}  // namespace

std::string VendorNameOf(int32_t vendorIndex) {
  if (vendorIndex < 0 || size_t(vendorIndex) >= kVendorNames.size()) return {};
  return kVendorNames[size_t(vendorIndex)];
}

// ---- vendor-tool manager --------------------------------------------------------------------------

IVendorToolManager GetVendorToolManager() {
  IClient client = HostClient();
  if (!client) return {};
  IFPGAFlowModule flow = IFPGAFlowModule::fromVar(
      client.call(zabi::host::Client_GetServerModuleByName, std::string(zabi::host::kServerModule_FPGAFlow)));
  if (!flow) return {};
  return IVendorToolManager::fromVar(flow.call(zabi::host::FPGAFlowModule_GetVendorToolManager));
}

std::string VendorToolPath(int32_t vendorIndex, std::string_view toolName) {
  const std::string vendor = VendorNameOf(vendorIndex);
  if (vendor.empty()) return {};
  IVendorToolManager m = GetVendorToolManager();
  if (!m) return {};
  return m.call(zabi::host::VendorTools_ToolPath, vendor, std::string(toolName)).toString();
}

std::string AlteraToolPath(std::string_view toolName) { return VendorToolPath(kVendor_Altera, toolName); }
std::string ActelToolPath(std::string_view toolName) { return VendorToolPath(kVendor_Actel, toolName); }

std::string ActelAdmFolder() {
  const std::string designer = ActelToolPath("Designer");
  if (designer.empty()) return {};
  const std::string folder = ExtractFilePath(BackslashesToSlashes(designer)) + "../adm/";
  return DirectoryExists(folder) ? folder : std::string();
}

bool XilinxToolsInstalled() { return managerFlag(zabi::host::VendorTools_Installed, "Xilinx"); }
bool LatticeToolsInstalled() { return managerFlag(zabi::host::VendorTools_Installed, "Lattice"); }
bool QuartusPresent() { return !AlteraToolPath("Quartus_Cmd").empty(); }
bool ActelDesignerPresent() { return !ActelToolPath("designer").empty(); }

// ---- versions ---------------------------------------------------------------------------------------

bool AlteraVersion(std::string& version) {
  version.clear();
  const std::string program = BackslashesToSlashes(AlteraToolPath("Quartus_Cmd"));
  if (program.empty()) return false;
  // The installation folder is the one above the program's folder; its readme names the version.
  const std::string programFolder = ExtractFileDir(program);
  const std::string readme = JoinPath(ExtractFilePath(programFolder), "readme.txt");
  const std::string line = firstLineOf(readme, "Quartus readme");
  size_t pos = line.find("Version");
  if (pos == std::string::npos) pos = line.find("Release");
  if (pos == std::string::npos) return false;
  const std::string rest = TrimParameterText(line.substr(pos + 7));
  const size_t space = rest.find(' ');
  if (space == std::string::npos) return false;
  version = rest.substr(0, space);
  return versionIsListed(version, kAlteraVersionsFile);
}

bool ActelVersion(std::string& version) {
  version.clear();
  const std::string folder = ActelAdmFolder();
  if (folder.empty()) return false;
  const std::string line = firstLineOf(folder + "verinfo", "Actel version file");
  if (line.empty()) return false;
  version = line;
  return versionIsListed(line, kActelVersionsFile);
}

bool XilinxVersion(std::string& version) {
  version = managerText(zabi::host::VendorTools_Version, "Xilinx");
  return managerFlag(zabi::host::VendorTools_VersionSupported, "Xilinx");
}

bool LatticeVersion(std::string& version) {
  version = managerText(zabi::host::VendorTools_Version, "Lattice");
  return managerFlag(zabi::host::VendorTools_VersionSupported, "Lattice");
}

std::string VendorToolVersion(std::string_view vendorName) {
  std::string version;
  if (vendorName == "Xilinx") XilinxVersion(version);
  else if (vendorName == "Altera") AlteraVersion(version);
  else if (vendorName == "Lattice") LatticeVersion(version);
  else if (vendorName == "Actel") ActelVersion(version);
  return version;
}

double VersionTextToNumber(std::string_view text) {
  double weight;
  const size_t dot = text.find('.');
  if (dot == std::string_view::npos) {
    weight = 1;
    for (size_t i = 1; i < text.size(); ++i) weight *= 10;
  } else if (dot == 0) {
    weight = 0.1;
  } else {
    // 10 to the power (1-based position of the dot - 2) = number of characters before it - 1.
    weight = 1;
    for (size_t i = 1; i < dot; ++i) weight *= 10;
  }
  double result = 0;
  for (char c : text) {
    if (c >= '0' && c <= '9') {
      result += double(c - '0') * weight;
      weight /= 10;
    }
  }
  return result;
}

double AlteraVersionNumber() {
  std::string version;
  if (!AlteraVersion(version)) return 100000000.0;
  return VersionTextToNumber(version);
}

std::string XilinxToolsDescriptor() { return managerText(zabi::host::VendorTools_Descriptor, "Xilinx"); }
std::string LatticeToolsDescriptor() { return managerText(zabi::host::VendorTools_Descriptor, "Lattice"); }
std::string AlteraToolsDescriptor() { return "Altera Quartus II"; }
std::string ActelToolsDescriptor() { return "ACTEL LiberoIDE"; }

// ---- device families ---------------------------------------------------------------------------------

namespace {

using FamilyTable = std::map<std::string, TDeviceFamilyInfo, std::less<>>;

std::unique_ptr<FamilyTable>& familyTable() {
  static std::unique_ptr<FamilyTable> table;
  return table;
}

// How a built-in row's netlist-library folder name comes from the family name.
enum EdifRule { Upper, Same, None };

struct BuiltInFamily {
  const char* family;
  const char* vendor;
  EdifRule edif;
};

const BuiltInFamily kBuiltInFamilies[] = {
    // Actel
    {"ProASICPlus", "Actel", Upper}, {"ProASIC3", "Actel", Upper}, {"ProASIC3E", "Actel", Upper},
    {"IGLOO", "Actel", Upper}, {"IGLOOE", "Actel", Upper}, {"IGLOOnano", "Actel", Same},
    {"IGLOOPLUS", "Actel", Upper}, {"Fusion", "Actel", Upper}, {"SmartFusion", "Actel", Upper},
    // Altera
    {"MAX3000A", "Altera", Upper}, {"MAX7000AE", "Altera", Upper}, {"MAX7000B", "Altera", Upper},
    {"MAX7000S", "Altera", Upper}, {"MAX2", "Altera", Upper}, {"MAX5", "Altera", Upper},
    {"Cyclone", "Altera", Upper}, {"Cyclone2", "Altera", Upper}, {"Cyclone3", "Altera", Upper},
    {"Cyclone4E", "Altera", Upper}, {"Cyclone4GX", "Altera", Upper}, {"Stratix", "Altera", Upper},
    {"StratixGX", "Altera", Upper}, {"Stratix2", "Altera", Upper}, {"Stratix2GX", "Altera", Upper},
    {"Stratix3", "Altera", Upper}, {"Stratix4", "Altera", Upper}, {"ArriaGX", "Altera", Upper},
    {"Arria2GX", "Altera", Upper}, {"Arria2GZ", "Altera", Upper},
    // Lattice
    {"EC", "Lattice", Upper}, {"ECP", "Lattice", Upper}, {"ECP2", "Lattice", Upper},
    {"ECP2M", "Lattice", Upper}, {"XP", "Lattice", Upper}, {"XP2", "Lattice", Upper},
    {"MachXO", "Lattice", Upper}, {"MachXO2", "Lattice", Upper}, {"SC", "Lattice", Upper},
    {"SCM", "Lattice", Upper}, {"ispXPLD5000MX", "Lattice", Upper}, {"ispMACH4000B", "Lattice", Same},
    {"ispMACH4000C", "Lattice", Same}, {"ispMACH4000V", "Lattice", Same},
    {"ispMACH4000Z", "Lattice", Same},
    // Xilinx
    {"XC9500", "Xilinx", Upper}, {"XC9500XL", "Xilinx", Upper}, {"XA9500XL", "Xilinx", Upper},
    {"XC9500XV", "Xilinx", Upper}, {"CoolRunner2", "Xilinx", Upper}, {"XACoolRunner2", "Xilinx", Upper},
    {"CoolRunnerXPLA3", "Xilinx", Upper}, {"Spartan2", "Xilinx", Upper}, {"Spartan2E", "Xilinx", Upper},
    {"Spartan3", "Xilinx", Upper}, {"Spartan3E", "Xilinx", Upper}, {"XASpartan3E", "Xilinx", Upper},
    {"Spartan3L", "Xilinx", Upper}, {"Spartan3A", "Xilinx", Upper}, {"XASpartan3A", "Xilinx", Upper},
    {"Spartan3ADSP", "Xilinx", Upper}, {"XASpartan3ADSP", "Xilinx", Upper}, {"Spartan3AN", "Xilinx", Upper},
    {"Spartan6", "Xilinx", Upper}, {"Virtex", "Xilinx", Upper}, {"VirtexE", "Xilinx", Upper},
    {"Virtex2", "Xilinx", Upper}, {"Virtex2P", "Xilinx", Upper}, {"Virtex4", "Xilinx", Upper},
    {"Virtex5", "Xilinx", Upper}, {"Virtex6", "Xilinx", Upper}, {"XC17V00", "Xilinx", None},
    {"XC18V00", "Xilinx", None}, {"XCF", "Xilinx", None},
    // Other vendors' processors
    {"BLUESTREAK", "Sharp", None}, {"PPC405", "AMCC", None}, {"Stellaris", "TexasInstruments", None},
    {"STM32", "STMicroelectronics", None},
};
static_assert(std::size(kBuiltInFamilies) == 77);

std::string edifOf(const BuiltInFamily& f) {
  switch (f.edif) {
    case Upper: return zabi::upperAscii(f.family);
    case Same: return f.family;
    case None: break;
  }
  return {};
}

struct FamilyConfig {
  std::string family, vendor, edif;
};

int onIniEntry(void* user, const char* section, const char* name, const char* value) {
  auto* cfg = static_cast<FamilyConfig*>(user);
  if (!zabi::sameText(section, "General")) return 1;
  if (zabi::sameText(name, "DeviceFamily")) cfg->family = value;
  else if (zabi::sameText(name, "DeviceVendor")) cfg->vendor = value;
  else if (zabi::sameText(name, "EDIF")) cfg->edif = value;
  return 1;
}

}  // namespace

void InitDeviceFamilies() {
  auto& table = familyTable();
  if (table) return;
  table = std::make_unique<FamilyTable>();
  for (const BuiltInFamily& f : kBuiltInFamilies) (*table)[f.family] = TDeviceFamilyInfo{f.vendor, edifOf(f)};
  ForEachPluginFolder([&](const std::string& folder, bool&) {
    const std::string file = ResolveFileCaseInsensitive(folder + kFamilyConfigFile);
    if (file.empty() || !FileExists(file)) return;
    FamilyConfig cfg;
    // A file that cannot be parsed in full still gives the keys read before the fault.
    ini_parse(file.c_str(), &onIniEntry, &cfg);
    if (cfg.family.empty() || cfg.vendor.empty() || cfg.edif.empty()) return;
    (*table)[cfg.family] = TDeviceFamilyInfo{cfg.vendor, cfg.edif};
  });
}

std::string VendorOfDeviceFamily(std::string_view familyName) {
  TDeviceFamilyInfo info;
  return DeviceFamilyInfoOf(familyName, info) ? info.VendorName : std::string();
}

bool DeviceFamilyInfoOf(std::string_view familyName, TDeviceFamilyInfo& info) {
  InitDeviceFamilies();
  const FamilyTable& table = *familyTable();
  const auto it = table.find(familyName);
  if (it == table.end()) return false;
  info = it->second;
  return true;
}

void ResetDeviceFamilies() { familyTable().reset(); }

// ---- host command lines -------------------------------------------------------------------------------

namespace {
constexpr std::array<const char*, kActionCount> kActionNames = {
    "None", "PauseProcessor", "ContinueProcessor", "ResetProcessor", "SingleStepProcessor", "CompileProgram",
    "DownloadProgram", "StartDebug", "StartAttach", "EndDebug", "ShowAboutDialog", "ResetDevice",
    "DownloadToDevice", "ShowViewer", "ChooseAndDownload", "ProcessorMenu", "ConfigureJTAGIdMapping",
    "Flash_ResetDevice", "Flash_ConfigureDevice", "Flash_DownloadDevice", "Flash_ChooseAndDownload",
    "WriteToFlash", "ConfigureFpgaProject", "ShowConfiguration", "ShowCurrentSense", "BoardAction",
    "CustomAction", "OnDblClick", "HideViewer", "UpdateFirmware", "ToggleFirmwareAutoUpdate", "VerifyProgram"};
}  // namespace

std::string ActionNameOf(int32_t index) {
  if (index < 0 || index >= kActionCount) return {};
  return kActionNames[size_t(index)];
}

bool ToolchainNameOf(std::string_view line, std::string& name) {
  return ParameterValueFromCachedLine(line, "ToolchainName", name);
}

int32_t ActionIndexOf(std::string_view line) {
  std::string action;
  if (!ParameterValueFromCachedLine(line, "Action", action)) action.assign(line);
  for (int32_t i = 0; i < kActionCount; ++i)
    if (zabi::sameText(action, kActionNames[size_t(i)])) return i;
  return 0;
}

void SplitCommandArguments(std::string& command, std::string& arguments) {
  if (command.size() <= 2 || command.back() == '"') return;
  size_t space = std::string::npos;
  for (size_t i = command.size() - 1; i >= 1; --i) {
    const char c = command[i];
    if (c == ' ') space = i;
    else if (c == '"' || c == '/' || c == '\\') break;
  }
  if (space == std::string::npos) return;
  arguments = command.substr(space + 1) + arguments;
  command.erase(space);
}

}  // namespace zolta
