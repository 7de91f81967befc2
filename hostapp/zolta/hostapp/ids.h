// Dispatch identifiers that the host application answers or calls beyond those of zolta/host_ids.h.
// All of them are fixed by the plug-in contract; an identifier this host chooses itself is marked (ours).
#pragma once

#include "zolta/abi.h"

namespace zolta::hostapp::ids {

using zabi::DispId;

// ---- workspace and messages manager ---------------------------------------------------------------
inline constexpr DispId Workspace_WriteOutputLine = 501423;     // (text, flag, flag)
inline constexpr DispId Workspace_GetOutputPosition = 501447;   // -> integer, lines written so far
inline constexpr DispId Workspace_GetMessagesManager2 = 508377; // -> messages manager (same object as 469)
inline constexpr DispId MessagesManager_AddMessageParams = 440; // (message parameters, call-back parameters)
inline constexpr DispId MessagesManager_BeginUpdate = 445;
inline constexpr DispId MessagesManager_EndUpdate = 446;

// ---- device manager ----------------------------------------------------------------------------
inline constexpr DispId DeviceManager_ShowDeviceInformation = 504001;  // (device name, parameters) -> text
inline constexpr DispId DeviceManager_GetDeviceInformation = 504002;   // (device name) -> IDeviceInformation
inline constexpr DispId DeviceManager_SameDevice = 504007;             // (reference, reference) -> Boolean

// ---- host device relays to its driver -----------------------------------------------------------
inline constexpr DispId ZoltaDevice_GetDriver = 503635;       // -> driver
inline constexpr DispId ZoltaDevice_ResetDevice = 503636;     // -> Boolean
inline constexpr DispId ZoltaDevice_GetDeviceState = 503637;  // -> integer
inline constexpr DispId ZoltaDevice_ProgramDevice = 503638;   // (file name) -> integer, bits sent

// ---- plug-in objects the host calls ----------------------------------------------------------------
inline constexpr DispId NotificationHandler_Handle = 266;     // (notification)
inline constexpr DispId TimerHandler_Handle = 267;            // (timer id)

// ---- driver operations the host relays to --------------------------------------------------------
inline constexpr DispId Driver_SetZoltaDevice = 503754;       // (device) -> Boolean
inline constexpr DispId Driver_ResetDevice = 503786;          // -> Boolean
inline constexpr DispId Driver_GetDeviceState = 503787;       // -> integer
inline constexpr DispId Driver_ProgramDevice = 503788;        // (file name) -> integer
inline constexpr DispId Driver_ReadUserCode = 503789;         // -> integer, all bits set when unknown
inline constexpr DispId DeviceInfo_GetDeviceName = 503380;    // -> text
inline constexpr DispId DeviceInfo_GetDeviceDescription = 503381;  // -> text
inline constexpr DispId DeviceInfo_GetFamilyName = 503382;    // -> text
inline constexpr DispId DeviceInfo_GetBaseName = 503386;      // -> text
inline constexpr DispId DeviceInfo_GetVendorName = 503407;    // -> text
inline constexpr DispId DeviceInfo_GetInstructionLength = 503408;  // -> integer

// The device-information answers run from 503379 (GetIdCode) to 503424 (GetDeviceParameter); the
// `zolta info` command lists them from its own table. Indexed ones:
inline constexpr DispId DeviceInfo_GetBSDLEntity = 503406;    // -> IBSDLEntity or none
inline constexpr DispId DeviceInfo_GetDevicePinCount = 503409;  // -> integer
inline constexpr DispId DeviceInfo_GetDevicePin = 503411;     // (index) -> IDevicePin
inline constexpr DispId DeviceInfo_GetIOStandardCount = 503421;  // -> integer
inline constexpr DispId DeviceInfo_GetIOStandard = 503422;    // (index) -> IDeviceIOStandard

// ---- device pins (503525..503549) and I/O standards (503519..503524) ------------------------------
inline constexpr DispId DevicePin_GetPinNumber = 503525;      // -> text
inline constexpr DispId DevicePin_GetIOBank = 503526;         // -> text
inline constexpr DispId DevicePin_GetIOStandardCount = 503531;  // -> integer
inline constexpr DispId DevicePin_GetIOStandard = 503532;     // (index) -> IDeviceIOStandard or none
inline constexpr DispId DevicePin_GetDifferentialId = 503545;  // -> text
inline constexpr DispId DevicePin_GetClkDifferentialId = 503546;  // -> text
inline constexpr DispId DevicePin_GetUniqueDifferentialID = 503547;  // -> text
inline constexpr DispId IOStandard_GetDisplayName = 503519;   // -> text
inline constexpr DispId IOStandard_GetParamName = 503520;     // -> text
inline constexpr DispId IOStandard_GetSlewCount = 503521;     // -> integer
inline constexpr DispId IOStandard_GetSlewValue = 503522;     // (index) -> text
inline constexpr DispId IOStandard_GetDriveCount = 503523;    // -> integer
inline constexpr DispId IOStandard_GetDriveStrength = 503524;  // (index) -> text

// ---- host JTAG device ------------------------------------------------------------------------------
// GetBSDLEntity is zabi::host::JTagDevice_GetBSDLEntity (503550).
inline constexpr DispId JTagDevice_SampleBoundaryScan = 503566;  // (entity) -> Boolean
inline constexpr DispId JTagPort_GetDescription = 503612;        // (ours) -> text, the cable

// The boundary-scan objects' identifiers are those of zolta/bscan/bsdl_interface.h (zolta::bsdl_dispid).

}  // namespace zolta::hostapp::ids
