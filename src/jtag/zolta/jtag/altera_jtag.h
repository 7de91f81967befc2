// The Altera JTAG routines: read a device's user code, tell whether it is configured, reset it into the
// unconfigured state, and configure it from a raw bit file (".rbf").
//
// Every routine works on the host's JTAG channel object (dispatch operations of zabi::host
// JTagChannel_*, plus its pin-level interface zabi::IJTagPinAccess for the probe and the bit stream)
// and on the device at DeviceIndex of that channel's chain. The call order on the channel is fixed:
// tests and the host rely on it.
//
// Channel: an empty channel is not an error. The routines then touch nothing and answer the fixed
// values documented below.
// Locking: a routine that locks the channel (JTagChannel_Lock) unlocks it on every path, including
// failures; the lock is held for one routine only.
// Failures: a failing host call, a channel without the pin-level interface, a missing device manager,
// family manager or family, or a port that fails raise zabi::DispatchError with a message that names
// the operation and the device index; the driver operation turns it into its error status.
// Threads: the routines block the calling (host user-interface) thread; the only waits are fixed
// busy waits that do not pump host events.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "zolta/dispatch.h"

namespace zolta {

// Altera JTAG instruction codes used here.
inline constexpr int32_t kAlteraInstr_Program = 0x002;
inline constexpr int32_t kAlteraInstr_Startup = 0x003;
inline constexpr int32_t kAlteraInstr_CheckStatus = 0x004;
inline constexpr int32_t kAlteraInstr_UserCode = 0x007;
inline constexpr int32_t kAlteraInstr_ActiveDisengage = 0x2D0;

// TAP state numbers of the channel's state arguments.
inline constexpr int32_t kTapState_Undefined = 0;
inline constexpr int32_t kTapState_Reset = 1;
inline constexpr int32_t kTapState_Idle = 2;
inline constexpr int32_t kTapState_DrShift = 5;
inline constexpr int32_t kTapState_DrExit1 = 6;

// Device states.
inline constexpr int32_t kDeviceState_NotConfigured = 1;
inline constexpr int32_t kDeviceState_Configured = 2;

// Device-information operation of the calling driver that answers its family name (text).
inline constexpr zabi::DispId kDriver_GetFamilyName = 503382;

// Family parameters read from the host's device-family object.
inline constexpr const char* kFamilyParam_ActiveDisengage = "ND_ActiveDisengage";      // Boolean
inline constexpr const char* kFamilyParam_ProgramBitsToIgnore = "ND_ProgramBitsToIgnore";  // leading bytes

// Text of the host's status-bar progress while programming.
inline constexpr const char* kProgrammingProgressText = "Programming Device Via JTAG...";

// The user code register (USERCODE instruction, 32-bit scan). No channel: -1 (all bits set).
int32_t AlteraReadUserCode(const zabi::DispPtr& channel, int32_t deviceIndex);

// Reads the CONF_DONE cell through CHECK_STATUS: true when the device is configured. False without a
// channel and for a base name that the CONF_DONE table does not know (its N is 0).
bool ConfDoneProbe(std::string_view baseName, const zabi::DispPtr& channel, int32_t deviceIndex);

// kDeviceState_Configured (2) when ConfDoneProbe answers true, else kDeviceState_NotConfigured (1).
int32_t AlteraDeviceState(std::string_view baseName, const zabi::DispPtr& channel, int32_t deviceIndex);

// Loads PROGRAM (which clears the configuration), then answers whether the device now reads as not
// configured. No channel: false.
bool AlteraResetDevice(std::string_view baseName, const zabi::DispPtr& channel, int32_t deviceIndex);

// Shifts the bit file fileName into the device after PROGRAM, then gives STARTUP with 400 TCK cycles
// in Run-Test/Idle. driver is the calling driver's dispatch interface; it is asked for its family
// name (kDriver_GetFamilyName), which selects the host's family object (ND_ActiveDisengage,
// ND_ProgramBitsToIgnore) and the cycle count of ClockCyclesForFamily.
//
// Answers the file's size in bits (bytes x 8) once programming ran, and 0 without a channel or when
// the file does not exist (nothing is sent, the channel is not locked). The file is found ignoring the
// case of its name when the exact name is missing. A file that exists but cannot be read, or whose bit
// count does not fit a 32-bit integer (256 MiB or more), raises an error before the channel is locked.
// Whether the device took the data is for the caller to ask (AlteraDeviceState must answer 2).
int32_t AlteraProgramDevice(const zabi::DispPtr& driver, const std::string& fileName, const zabi::DispPtr& channel,
                            int32_t deviceIndex);

}  // namespace zolta
