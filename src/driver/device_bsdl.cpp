#include "zolta/device_bsdl.h"

#include <stdexcept>

namespace zolta {

size_t TBSDLEntityBuilder::Used(int32_t count, size_t capacity, std::string_view what, std::string_view description) {
  if (count < 0 || size_t(count) > capacity)
    throw std::out_of_range("boundary-scan description \"" + std::string(description) + "\": " + std::to_string(count) +
                            " " + std::string(what) + " do not fit its table of " + std::to_string(capacity));
  return size_t(count);
}

void TBSDLEntityBuilder::SetEntityFields(TBSDLEntity& e, std::string_view name, int32_t boundaryLength,
                                         double scanClockMaxSpeed, TScanClockHaltMode haltMode,
                                         std::string_view conformance, std::string_view compliance,
                                         std::string_view filename, int32_t sample) {
  e.Name = std::string(name);
  e.BoundaryLength = boundaryLength;
  e.ScanClockMaxSpeed = scanClockMaxSpeed;
  e.ScanClockHaltMode = haltMode;
  e.ConformanceStatement = std::string(conformance);
  e.CompliancePattern = std::string(compliance);
  e.Filename = std::string(filename);
  e.Instruction_SAMPLE = uint32_t(sample);
}

void TBSDLEntityBuilder::AddCell(const TBoundaryCellParameters& C) {
  if (CachedCell(C.CellNumber)) return;  // the same cell number met again: already listed
  auto cell = std::make_unique<TBoundaryCell>(FEntity);
  cell->SetCellNumber(C.CellNumber);
  cell->SetCellKind(C.CellKind);
  cell->SetPortId(std::string(C.PortId));
  cell->SetCellFunction(C.CellFunction);
  cell->SetSafeBit(C.SafeBit);
  cell->SetControlCellNumber(C.ControlCellNumber);
  cell->SetDisableValue(C.DisableValue);
  cell->SetDisableResult(C.DisableResult);
  Store(FBoundaryCells, std::to_string(C.CellNumber), FEntity->AddBoundaryCell(std::move(cell)));
}

TScanPin* TBSDLEntityBuilder::NewPin(TPinElectrical direction, std::string_view pinName, std::string_view pinNumber,
                                     TScanPinKind kind, const TPinMappingParameters& mapping) {
  auto pin = std::make_unique<TScanPin>(FEntity);
  pin->SetDirection(direction);
  pin->SetPinName(std::string(pinName));
  pin->SetPinNumber(std::string(pinNumber));
  pin->SetKind(kind);
  TPinMapping* map = CachedPinMapping(mapping.PinNumber);
  if (!map) {
    auto created = std::make_unique<TPinMapping>(FEntity);
    created->SetPinName(std::string(mapping.PinName));
    created->SetPinNumber(std::string(mapping.PinNumber));
    // The scan pin cached under the mapping's number; when there is none yet and the mapping names
    // the pin being built, that pin.
    TScanPin* target = CachedPin(mapping.PinNumber);
    if (!target && zabi::sameText(mapping.PinNumber, pinNumber)) target = pin.get();
    created->SetScanPin(target);
    // The entity owns the mapping (and lists it), like every object built for it.
    map = FEntity->AddPinMapping(std::move(created));
    Store(FPinMappings, mapping.PinNumber, map);
  }
  pin->SetPinMapping(map);
  return FEntity->AddPin(std::move(pin));
}

void TBSDLEntityBuilder::LinkCell(const TBoundaryCellParameters& C) {
  TBoundaryCell* cell = CachedCell(C.CellNumber);
  if (!cell) return;
  cell->SetPin(CachedPin(C.PinNumber));
  if (C.ControlCellNumber != -1) cell->SetControlCell(CachedCell(C.ControlCellNumber));
  if (C.TargetCellNumber != -1) cell->SetTargetCell(CachedCell(C.TargetCellNumber));
}

void TBSDLEntityBuilder::AddOpCode(const TOpCodeParameters& O) {
  if (CachedOpCode(O.InstructionName)) return;
  auto opCode = std::make_unique<TInstructionOpCode>(FEntity);
  opCode->SetInstructionName(std::string(O.InstructionName));
  opCode->SetOpCodePattern(std::string(O.OpCodePattern));
  Store(FOpCodes, O.InstructionName, FEntity->AddInstructionOpCode(std::move(opCode)));
}

}  // namespace zolta
