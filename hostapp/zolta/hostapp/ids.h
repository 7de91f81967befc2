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
inline constexpr DispId DeviceInfo_GetDeviceName = 503380;    // -> text
inline constexpr DispId DeviceInfo_GetDeviceDescription = 503381;  // -> text

}  // namespace zolta::hostapp::ids
