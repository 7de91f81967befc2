// Enumerations of the boundary-scan model and their name tables.
//
// Every enumeration is stored and passed as one unsigned byte; its numeric value is the member's
// position in the list, counting from 0. Values never move: they cross the dispatch boundary as
// integers. The name tables are indexed by that value; the same names are shown in texts and
// accepted when parsing (see parse* below, which compare without regard to case).
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace zolta {

enum TCellKind : uint8_t {
  eCellKind_Undefined,
  eCellKind_BC_0,
  eCellKind_BC_1,
  eCellKind_BC_2,
  eCellKind_BC_3,
  eCellKind_BC_4,
  eCellKind_BC_5,
  eCellKind_BC_6,
  eCellKind_BC_7,
  eCellKind_BC_8,
  eCellKind_BC_9,
  eCellKind_BC_10,
};

enum TCellFunction : uint8_t {
  eCellFunction_Undefined,
  eCellFunction_Input,
  eCellFunction_Clock,
  eCellFunction_Output2,
  eCellFunction_Output3,
  eCellFunction_Control,
  eCellFunction_ControlR,
  eCellFunction_Internal,
  eCellFunction_BiDir,
  eCellFunction_ObserveOnly,
};

enum TBitValue : uint8_t { eBit_Undefined, eBit_0, eBit_1, eBit_X };

enum TDisableResult : uint8_t {
  eDisableResult_Undefined,
  eDisableResult_HiZ,
  eDisableResult_Weak0,
  eDisableResult_Weak1,
  eDisableResult_Pull0,
  eDisableResult_Pull1,
  eDisableResult_Keeper,
};

enum TScanPinKind : uint8_t {
  eScanPinKind_Normal,
  eScanPinKind_TRST,
  eScanPinKind_TCK,
  eScanPinKind_TDO,
  eScanPinKind_TDI,
  eScanPinKind_TMS,
  eScanPinKind_Power,
  eScanPinKind_Ground,
};

enum TScanClockHaltMode : uint8_t { eScanClockHaltMode_None, eScanClockHaltMode_Low, eScanClockHaltMode_Both };

// Electrical kind of a pin; shared with the device pins and the pins panel.
enum TPinElectrical : uint8_t {
  eElectricInput,
  eElectricIO,
  eElectricOutput,
  eElectricOpenCollector,
  eElectricPassive,
  eElectricHiZ,
  eElectricOpenEmitter,
  eElectricPower,
};

inline constexpr std::array<std::string_view, 12> CellKindNames = {
    "", "BC_0", "BC_1", "BC_2", "BC_3", "BC_4", "BC_5", "BC_6", "BC_7", "BC_8", "BC_9", "BC_10"};
inline constexpr std::array<std::string_view, 10> CellFunctionNames = {
    "", "Input", "Clock", "Output2", "Output3", "Control", "ControlR", "Internal", "BiDir", "ObserveOnly"};
inline constexpr std::array<std::string_view, 4> BitValueNames = {"", "0", "1", "X"};
inline constexpr std::array<std::string_view, 7> DisableResultNames = {"",      "Z",     "Weak0", "Weak1",
                                                                         "Pull0", "Pull1", "Keeper"};
inline constexpr std::array<std::string_view, 8> ScanPinKindNames = {"Normal", "TRST", "TCK",   "TDO",
                                                                       "TDI",    "TMS",  "Power", "Ground"};
inline constexpr std::array<std::string_view, 3> ScanClockHaltModeNames = {"None", "Low", "Both"};
inline constexpr std::array<std::string_view, 8> PinElectricalNames = {
    "Input", "I/O", "Output", "Open Collector", "Passive", "HiZ", "Open Emitter", "Power"};

// The name of a value; an out-of-range value (possible only through a cast) gives "".
template <size_t N>
constexpr std::string_view nameOf(const std::array<std::string_view, N>& table, unsigned value) {
  return value < N ? table[value] : std::string_view();
}
inline std::string_view CellKindName(TCellKind v) { return nameOf(CellKindNames, v); }
inline std::string_view CellFunctionName(TCellFunction v) { return nameOf(CellFunctionNames, v); }
inline std::string_view BitValueName(TBitValue v) { return nameOf(BitValueNames, v); }
inline std::string_view DisableResultName(TDisableResult v) { return nameOf(DisableResultNames, v); }
inline std::string_view ScanPinKindName(TScanPinKind v) { return nameOf(ScanPinKindNames, v); }
inline std::string_view ScanClockHaltModeName(TScanClockHaltMode v) { return nameOf(ScanClockHaltModeNames, v); }
inline std::string_view PinElectricalName(TPinElectrical v) { return nameOf(PinElectricalNames, v); }

// Parsing by name, without regard to case. The empty name of the undefined members is not accepted.
// Besides the table names, the BSDL spellings are accepted where they differ ("OBSERVE_ONLY" for a
// cell function, "Z" is already the name of the high-impedance disable result).
std::optional<TCellKind> parseCellKind(std::string_view name);
std::optional<TCellFunction> parseCellFunction(std::string_view name);
std::optional<TBitValue> parseBitValue(std::string_view name);
std::optional<TDisableResult> parseDisableResult(std::string_view name);
std::optional<TScanPinKind> parseScanPinKind(std::string_view name);
std::optional<TScanClockHaltMode> parseScanClockHaltMode(std::string_view name);
std::optional<TPinElectrical> parsePinElectrical(std::string_view name);

}  // namespace zolta
