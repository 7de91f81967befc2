// Vendor tools (Altera, Xilinx, Actel, Lattice) as the host's FPGA flow module knows them, the
// device-family table, and readers of host command lines.
//
// The vendor-tool manager is asked anew for every question; without it presence answers false and
// paths, versions and descriptors answer empty. The version routines throw EFileAccessError when the
// tool's readme or "verinfo" file or a supported-version list cannot be opened.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "zolta/host/host_services.h"

namespace zolta {

// Vendor indices and names.
inline constexpr int32_t kVendor_Altera = 0;
inline constexpr int32_t kVendor_Xilinx = 1;
inline constexpr int32_t kVendor_Actel = 2;
inline constexpr int32_t kVendor_Lattice = 3;
// "Altera", "Xilinx", "Actel", "Lattice"; empty for another index.
std::string VendorNameOf(int32_t vendorIndex);

// Supported-version lists in the host's system folder.
inline constexpr const char* kAlteraVersionsFile = "AlteraVersions.Txt";
inline constexpr const char* kActelVersionsFile = "ACTELVersions.Txt";
// The family configuration file of a plug-in folder.
inline constexpr const char* kFamilyConfigFile = "ZoltaConfig.ini";

// ---- vendor-tool manager --------------------------------------------------------------------------

// The host's server module "FPGAFlow" (client 797) -> its vendor-tool manager (509009); empty when
// either is absent.
IVendorToolManager GetVendorToolManager();

// Full path of a vendor's tool (509004), empty when not found.
std::string VendorToolPath(int32_t vendorIndex, std::string_view toolName);
std::string AlteraToolPath(std::string_view toolName);
std::string ActelToolPath(std::string_view toolName);
// Folder of the Actel tool "Designer" + "../adm/" when that folder exists; else empty.
std::string ActelAdmFolder();

bool XilinxToolsInstalled();
bool LatticeToolsInstalled();
bool QuartusPresent();        // AlteraToolPath("Quartus_Cmd") is not empty
bool ActelDesignerPresent();  // ActelToolPath("designer") is not empty

// Each answers whether the installed version is supported; version receives the version text
// (empty when no version is found).
bool AlteraVersion(std::string& version);
bool ActelVersion(std::string& version);
bool XilinxVersion(std::string& version);
bool LatticeVersion(std::string& version);
// Version text for "Xilinx", "Altera", "Lattice" or "Actel" (exact case); empty for other names.
std::string VendorToolVersion(std::string_view vendorName);

// Decimal reading digit by digit: "9.1" 9.1, "10.0sp1" 10.01, ".5" 0.5, "11" 11.
double VersionTextToNumber(std::string_view text);
// VersionTextToNumber of the supported Altera version, or 100000000 when there is none.
double AlteraVersionNumber();

std::string XilinxToolsDescriptor();
std::string LatticeToolsDescriptor();
std::string AlteraToolsDescriptor();  // "Altera Quartus II"
std::string ActelToolsDescriptor();   // "ACTEL LiberoIDE"

// ---- device families ---------------------------------------------------------------------------------

struct TDeviceFamilyInfo {
  std::string VendorName;
  std::string EDIF;
};

// Builds the family table once per process: the built-in rows, then every plug-in folder's
// "ZoltaConfig.ini" ([General] DeviceFamily, DeviceVendor, EDIF; all three needed) adds or replaces a
// row, later folders winning. Later calls return at once.
void InitDeviceFamilies();
// Vendor of a family (exact, case-sensitive name); empty when unknown.
std::string VendorOfDeviceFamily(std::string_view familyName);
// The row of a family, or false.
bool DeviceFamilyInfoOf(std::string_view familyName, TDeviceFamilyInfo& info);
// Forgets the family table so that the next use builds it again (tests).
void ResetDeviceFamilies();

// ---- host command lines -------------------------------------------------------------------------------

// Host command actions; the index is ActionIndexOf's answer.
inline constexpr int32_t kAction_None = 0;
inline constexpr int32_t kAction_PauseProcessor = 1;
inline constexpr int32_t kAction_ContinueProcessor = 2;
inline constexpr int32_t kAction_ResetProcessor = 3;
inline constexpr int32_t kAction_SingleStepProcessor = 4;
inline constexpr int32_t kAction_CompileProgram = 5;
inline constexpr int32_t kAction_DownloadProgram = 6;
inline constexpr int32_t kAction_StartDebug = 7;
inline constexpr int32_t kAction_StartAttach = 8;
inline constexpr int32_t kAction_EndDebug = 9;
inline constexpr int32_t kAction_ShowAboutDialog = 10;
inline constexpr int32_t kAction_ResetDevice = 11;
inline constexpr int32_t kAction_DownloadToDevice = 12;
inline constexpr int32_t kAction_ShowViewer = 13;
inline constexpr int32_t kAction_ChooseAndDownload = 14;
inline constexpr int32_t kAction_ProcessorMenu = 15;
inline constexpr int32_t kAction_ConfigureJTAGIdMapping = 16;
inline constexpr int32_t kAction_Flash_ResetDevice = 17;
inline constexpr int32_t kAction_Flash_ConfigureDevice = 18;
inline constexpr int32_t kAction_Flash_DownloadDevice = 19;
inline constexpr int32_t kAction_Flash_ChooseAndDownload = 20;
inline constexpr int32_t kAction_WriteToFlash = 21;
inline constexpr int32_t kAction_ConfigureFpgaProject = 22;
inline constexpr int32_t kAction_ShowConfiguration = 23;
inline constexpr int32_t kAction_ShowCurrentSense = 24;
inline constexpr int32_t kAction_BoardAction = 25;
inline constexpr int32_t kAction_CustomAction = 26;
inline constexpr int32_t kAction_OnDblClick = 27;
inline constexpr int32_t kAction_HideViewer = 28;
inline constexpr int32_t kAction_UpdateFirmware = 29;
inline constexpr int32_t kAction_ToggleFirmwareAutoUpdate = 30;
inline constexpr int32_t kAction_VerifyProgram = 31;
inline constexpr int32_t kActionCount = 32;
// The action name of an index (index 25 answers "BoardAction"); empty outside 0..31.
std::string ActionNameOf(int32_t index);

// The value of "ToolchainName" in the line (cached lookup); false when absent.
bool ToolchainNameOf(std::string_view line, std::string& name);
// The index of the action named by the line's "Action" entry (or by the whole line when it has none),
// ignoring case; 0 when no action has that name.
int32_t ActionIndexOf(std::string_view line);
// Moves the text after the first space behind the program's last path separator from command to the
// front of arguments (no separator added). Nothing happens when command has at most 2 characters or
// ends with a double quote.
void SplitCommandArguments(std::string& command, std::string& arguments);

}  // namespace zolta
