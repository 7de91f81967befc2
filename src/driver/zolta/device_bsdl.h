// Compiled-in boundary-scan descriptions and the builder that turns one into a TBSDLEntity.
//
// A description is a constant record with fixed-capacity arrays, each with a count of the entries in
// use; a family picks the capacities (TBSDLCapacity) so that its largest description fits.
//
// The builder keeps five name -> object caches (scan pins by pin number, cells by cell number in
// decimal, pin mappings by pin number, opcodes by instruction name, register associations by register
// name; names compared without regard to case). A driver keeps one builder for all the entities it
// builds. A cached object belongs to the entity it was created for: while building another entity it
// counts as absent (a new object is made and cached in its place), because an object can be listed in
// one entity only. Within one entity a key met twice gives the same object, listed once.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>

#include "zolta/bscan/bsdl_model.h"
#include "zolta/bscan/bsdl_types.h"

namespace zolta {

struct TBSDLCapacity {
  size_t Pins = 1;             // scan pins of a description
  size_t PinCells = 1;         // cell numbers of a scan pin
  size_t Cells = 1;            // boundary cells
  size_t OpCodes = 1;          // instruction opcodes
  size_t Registers = 1;        // register associations
  size_t RegisterOpCodes = 1;  // opcodes of a register association
};

struct TPinMappingParameters {
  std::string_view PinName;
  std::string_view PinNumber;
};

template <size_t NCells>
struct TScanPinParametersT {
  TPinElectrical Direction = eElectricPassive;
  std::string_view PinName;
  std::string_view PinNumber;
  TScanPinKind Kind = eScanPinKind_Normal;
  TPinMappingParameters PinMapping;
  int32_t BoundaryCellCount = 0;
  std::array<int32_t, NCells> BoundaryCells{};  // cell numbers
};

struct TBoundaryCellParameters {
  int32_t CellNumber = 0;
  TCellKind CellKind = eCellKind_Undefined;
  std::string_view PortId;
  TCellFunction CellFunction = eCellFunction_Undefined;
  TBitValue SafeBit = eBit_Undefined;
  TBitValue DisableValue = eBit_Undefined;
  TDisableResult DisableResult = eDisableResult_Undefined;
  std::string_view PinNumber;
  int32_t ControlCellNumber = -1;  // -1: none
  int32_t TargetCellNumber = -1;   // -1: none
};

struct TOpCodeParameters {
  std::string_view InstructionName;
  std::string_view OpCodePattern;
};

template <size_t NOpCodes>
struct TRegisterAssociationParametersT {
  std::string_view RegisterName;
  int32_t RegisterLength = 0;
  int32_t OpCodeCount = 0;
  std::array<TOpCodeParameters, NOpCodes> OpCodes{};  // only InstructionName is used
};

template <TBSDLCapacity C>
struct TBSDLParametersT {
  std::string_view Name;  // the entity name
  int32_t BoundaryLength = 0;
  double ScanClockMaxSpeed = 0;
  TScanClockHaltMode ScanClockHaltMode = eScanClockHaltMode_None;
  std::string_view ConformanceStatement;
  std::string_view CompliancePattern;
  std::string_view Filename;
  int32_t Instruction_SAMPLE = 0;
  std::string_view PinNumber_TDI;
  std::string_view PinNumber_TDO;
  std::string_view PinNumber_TMS;
  std::string_view PinNumber_TCK;
  std::string_view PinNumber_TRST;
  int32_t PinCount = 0;
  std::array<TScanPinParametersT<C.PinCells>, C.Pins> Pins{};
  int32_t BoundaryCellCount = 0;
  std::array<TBoundaryCellParameters, C.Cells> BoundaryCells{};
  int32_t OpCodeCount = 0;
  std::array<TOpCodeParameters, C.OpCodes> OpCodes{};
  int32_t RegisterAssociationCount = 0;
  std::array<TRegisterAssociationParametersT<C.RegisterOpCodes>, C.Registers> RegisterAssociations{};
};

class TBSDLEntityBuilder {
 public:
  // Builds a new entity from description D (see the top of this file for the caches). The entity's
  // instruction length and identification code are left unset. Throws std::out_of_range when a count
  // of D is negative or exceeds its array.
  template <TBSDLCapacity C>
  std::unique_ptr<TBSDLEntity> Build(const TBSDLParametersT<C>& D);

  // Cache lookups for the entity being built (null when absent or cached for another entity).
  TScanPin* CachedPin(std::string_view pinNumber) const { return Find(FScanPins, pinNumber); }
  TBoundaryCell* CachedCell(int32_t cellNumber) const { return Find(FBoundaryCells, std::to_string(cellNumber)); }
  TPinMapping* CachedPinMapping(std::string_view pinNumber) const { return Find(FPinMappings, pinNumber); }
  TInstructionOpCode* CachedOpCode(std::string_view name) const { return Find(FOpCodes, name); }
  TRegisterAssociation* CachedRegister(std::string_view name) const { return Find(FRegisterAssociations, name); }

 private:
  template <class T>
  using Cache = std::unordered_map<std::string, T*>;

  // The number of used entries; throws when it does not fit the array.
  static size_t Used(int32_t count, size_t capacity, std::string_view what, std::string_view description);
  static std::string KeyOf(std::string_view name) { return zabi::lowerAscii(name); }

  template <class T>
  T* Find(const Cache<T>& cache, std::string_view key) const {
    const auto it = cache.find(KeyOf(key));
    return it != cache.end() && it->second->Entity() == FEntity ? it->second : nullptr;
  }
  template <class T>
  static void Store(Cache<T>& cache, std::string_view key, T* object) {
    cache[KeyOf(key)] = object;
  }

  void SetEntityFields(TBSDLEntity& e, std::string_view name, int32_t boundaryLength, double scanClockMaxSpeed,
                       TScanClockHaltMode haltMode, std::string_view conformance, std::string_view compliance,
                       std::string_view filename, int32_t sample);
  void AddCell(const TBoundaryCellParameters& C);
  TScanPin* NewPin(TPinElectrical direction, std::string_view pinName, std::string_view pinNumber,
                   TScanPinKind kind, const TPinMappingParameters& mapping);
  void LinkCell(const TBoundaryCellParameters& C);
  void AddOpCode(const TOpCodeParameters& O);

  Cache<TScanPin> FScanPins;
  Cache<TBoundaryCell> FBoundaryCells;
  Cache<TPinMapping> FPinMappings;
  Cache<TInstructionOpCode> FOpCodes;
  Cache<TRegisterAssociation> FRegisterAssociations;
  TBSDLEntity* FEntity = nullptr;  // the entity being built
};

template <TBSDLCapacity C>
std::unique_ptr<TBSDLEntity> TBSDLEntityBuilder::Build(const TBSDLParametersT<C>& D) {
  const size_t cellCount = Used(D.BoundaryCellCount, C.Cells, "boundary cells", D.Name);
  const size_t pinCount = Used(D.PinCount, C.Pins, "scan pins", D.Name);
  const size_t opCodeCount = Used(D.OpCodeCount, C.OpCodes, "opcodes", D.Name);
  const size_t registerCount = Used(D.RegisterAssociationCount, C.Registers, "register associations", D.Name);
  for (size_t i = 0; i < pinCount; ++i) Used(D.Pins[i].BoundaryCellCount, C.PinCells, "cells of a pin", D.Name);
  for (size_t i = 0; i < registerCount; ++i)
    Used(D.RegisterAssociations[i].OpCodeCount, C.RegisterOpCodes, "opcodes of a register", D.Name);

  auto entity = std::make_unique<TBSDLEntity>();
  FEntity = entity.get();
  struct Reset {
    TBSDLEntity*& e;
    ~Reset() { e = nullptr; }
  } reset{FEntity};

  SetEntityFields(*entity, D.Name, D.BoundaryLength, D.ScanClockMaxSpeed, D.ScanClockHaltMode,
                  D.ConformanceStatement, D.CompliancePattern, D.Filename, D.Instruction_SAMPLE);
  for (size_t i = 0; i < cellCount; ++i) AddCell(D.BoundaryCells[i]);
  for (size_t i = 0; i < pinCount; ++i) {
    const auto& P = D.Pins[i];
    if (CachedPin(P.PinNumber)) continue;  // the same pin number met again: already listed
    TScanPin* pin = NewPin(P.Direction, P.PinName, P.PinNumber, P.Kind, P.PinMapping);
    for (size_t k = 0; k < size_t(P.BoundaryCellCount); ++k) pin->AddBoundaryCell(CachedCell(P.BoundaryCells[k]));
    Store(FScanPins, P.PinNumber, pin);
  }
  entity->TAP_TDI = CachedPin(D.PinNumber_TDI);
  entity->TAP_TDO = CachedPin(D.PinNumber_TDO);
  entity->TAP_TMS = CachedPin(D.PinNumber_TMS);
  entity->TAP_TCK = CachedPin(D.PinNumber_TCK);
  entity->TAP_TRST = CachedPin(D.PinNumber_TRST);
  for (size_t i = 0; i < cellCount; ++i) LinkCell(D.BoundaryCells[i]);
  for (size_t i = 0; i < opCodeCount; ++i) AddOpCode(D.OpCodes[i]);
  for (size_t i = 0; i < registerCount; ++i) {
    const auto& A = D.RegisterAssociations[i];
    if (CachedRegister(A.RegisterName)) continue;
    auto association = std::make_unique<TRegisterAssociation>(FEntity);
    association->SetRegisterName(std::string(A.RegisterName));
    association->SetRegisterLength(A.RegisterLength);
    for (size_t k = 0; k < size_t(A.OpCodeCount); ++k) {
      const std::string_view name = A.OpCodes[k].InstructionName;
      association->AddOpCode(std::string(name), CachedOpCode(name));
    }
    Store(FRegisterAssociations, A.RegisterName, entity->AddRegisterAssociation(std::move(association)));
  }
  return entity;
}

}  // namespace zolta
