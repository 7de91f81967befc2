#include "zolta/bscan/bsdl_types.h"

#include "zolta/dispatch.h"

namespace zolta {

namespace {
// The member whose table name equals `name` (ASCII case folding); the empty name never matches.
template <class E, size_t N>
std::optional<E> lookup(const std::array<std::string_view, N>& table, std::string_view name) {
  if (name.empty()) return std::nullopt;
  for (size_t i = 0; i < N; ++i)
    if (zabi::sameText(table[i], name)) return static_cast<E>(i);
  return std::nullopt;
}
}  // namespace

std::optional<TCellKind> parseCellKind(std::string_view name) { return lookup<TCellKind>(CellKindNames, name); }

std::optional<TCellFunction> parseCellFunction(std::string_view name) {
  if (zabi::sameText(name, "OBSERVE_ONLY")) return eCellFunction_ObserveOnly;
  return lookup<TCellFunction>(CellFunctionNames, name);
}

std::optional<TBitValue> parseBitValue(std::string_view name) { return lookup<TBitValue>(BitValueNames, name); }

std::optional<TDisableResult> parseDisableResult(std::string_view name) {
  return lookup<TDisableResult>(DisableResultNames, name);
}

std::optional<TScanPinKind> parseScanPinKind(std::string_view name) {
  return lookup<TScanPinKind>(ScanPinKindNames, name);
}

std::optional<TScanClockHaltMode> parseScanClockHaltMode(std::string_view name) {
  return lookup<TScanClockHaltMode>(ScanClockHaltModeNames, name);
}

std::optional<TPinElectrical> parsePinElectrical(std::string_view name) {
  return lookup<TPinElectrical>(PinElectricalNames, name);
}

}  // namespace zolta
