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

namespace zolta::hostapp::ids {

// ---- process-flow objects the host runs (IProcessFlow) ------------------------------------------
inline constexpr DispId Flow_StageName = 503705;          // -> text
inline constexpr DispId Flow_StageCaption = 503706;       // -> text
inline constexpr DispId Flow_StageDescription = 503707;   // -> text
inline constexpr DispId Flow_InputDescription = 503708;   // -> text
inline constexpr DispId Flow_OutputDescription = 503709;  // -> text
inline constexpr DispId Flow_CanRun = 503710;             // -> Boolean
inline constexpr DispId Flow_IsCategory = 503711;         // -> Boolean
inline constexpr DispId Flow_Run = 503712;                // (runner) -> result, forced
inline constexpr DispId Flow_RunIfOutOfDate = 503713;     // (runner) -> result
inline constexpr DispId Flow_RunAll = 503714;             // (runner) -> result, forced with dependencies
inline constexpr DispId Flow_Stop = 503716;
inline constexpr DispId Flow_UpdateFlowState = 503717;    // -> Boolean
inline constexpr DispId Flow_FlowState = 503718;          // -> state
inline constexpr DispId Flow_IsRunning = 503719;          // -> Boolean
inline constexpr DispId Flow_LastRunResult = 503721;      // -> result
inline constexpr DispId Flow_ProjectChanged = 503723;     // (project path)
inline constexpr DispId Flow_SetBasePath = 503724;        // (path)
inline constexpr DispId Flow_ReportCount = 503728;        // -> integer
inline constexpr DispId Flow_ReportPath = 503729;         // (index) -> text
inline constexpr DispId Flow_GetChildStageCount = 503732; // -> integer
inline constexpr DispId Flow_GetChildStage = 503733;      // (index) -> flow object
inline constexpr DispId Flow_ClearChildren = 503734;
inline constexpr DispId Flow_GetDependenciesCount = 503736;  // -> integer
inline constexpr DispId Flow_GetDependency = 503737;         // (index) -> flow object

// The driver's flows.
inline constexpr DispId Driver_FlowStage_Build = 503790;     // -> the build category
inline constexpr DispId Driver_FlowStage_Download = 503791;  // -> the download stage

// Run results and flow states as the flow objects answer them.
inline constexpr int32_t FlowRun_DidNotRun = 0, FlowRun_Cancelled = 1, FlowRun_Failure = 2, FlowRun_Success = 3;
inline constexpr int32_t FlowState_UpToDate = 0, FlowState_OutOfDate = 1, FlowState_Missing = 2, FlowState_None = 3;

}  // namespace zolta::hostapp::ids
