// Host-visible interfaces of the boundary-scan objects. Each abstract base declares its operations in
// slot order and owns the dispatch table that maps the fixed identifiers to them; identifiers never
// move. Enumerations travel as 32-bit integers holding the member's value, unsigned codes as integers
// with the same bits, objects as dispatch interfaces (an empty dispatch variant for none).
//
// An indexed getter answers none (and success) for an index outside 0 .. count-1.
#pragma once

#include <cstdint>
#include <string>

#include "zolta/service.h"

namespace zolta {

namespace bsdl_dispid {
// Common to the five object kinds.
inline constexpr DispId GetDescription = 503427;
inline constexpr DispId GetShortDescription = 503428;
inline constexpr DispId GetEntity = 503429;
// Entity.
inline constexpr DispId Entity_GetName = 503458;
inline constexpr DispId Entity_GetInstructionLength = 503459;
inline constexpr DispId Entity_GetIdCode = 503460;
inline constexpr DispId Entity_GetBoundaryLength = 503461;
inline constexpr DispId Entity_GetPin = 503462;
inline constexpr DispId Entity_GetPinMapping = 503463;
inline constexpr DispId Entity_GetBoundaryCell = 503464;
inline constexpr DispId Entity_GetInstructionOpcode = 503465;
inline constexpr DispId Entity_GetRegisterAssociation = 503466;
inline constexpr DispId Entity_GetPinCount = 503467;
inline constexpr DispId Entity_GetPinMappingCount = 503468;
inline constexpr DispId Entity_GetBoundaryCellCount = 503469;
inline constexpr DispId Entity_GetInstructionOpcodeCount = 503470;
inline constexpr DispId Entity_GetRegisterAssociationCount = 503471;
inline constexpr DispId Entity_GetPin_TDI = 503472;
inline constexpr DispId Entity_GetPin_TDO = 503473;
inline constexpr DispId Entity_GetPin_TMS = 503474;
inline constexpr DispId Entity_GetPin_TCK = 503475;
inline constexpr DispId Entity_GetPin_TRST = 503476;
inline constexpr DispId Entity_GetInstruction_BYPASS = 503477;
inline constexpr DispId Entity_GetInstruction_EXTEST = 503478;
inline constexpr DispId Entity_GetInstruction_SAMPLE = 503479;
inline constexpr DispId Entity_GetInstruction_IDCODE = 503480;
inline constexpr DispId Entity_GetInstruction_USERCODE = 503481;
inline constexpr DispId Entity_GetInstruction_CLAMP = 503482;
inline constexpr DispId Entity_GetInstruction_HIGHZ = 503483;
inline constexpr DispId Entity_GetScanClockMaxSpeed = 503484;
inline constexpr DispId Entity_GetScanClockHaltMode = 503485;
inline constexpr DispId Entity_GetConformanceStatement = 503486;
inline constexpr DispId Entity_GetCompliancePattern = 503487;
inline constexpr DispId Entity_GetDesignWarning = 503488;
inline constexpr DispId Entity_GetFilename = 503489;
// Scan pin.
inline constexpr DispId ScanPin_GetDirection = 503490;
inline constexpr DispId ScanPin_GetPinName = 503491;
inline constexpr DispId ScanPin_GetPinNumber = 503492;
inline constexpr DispId ScanPin_GetKind = 503493;
inline constexpr DispId ScanPin_GetPinMapping = 503494;
inline constexpr DispId ScanPin_GetBoundaryCellCount = 503495;
inline constexpr DispId ScanPin_GetBoundaryCell = 503496;
inline constexpr DispId ScanPin_GetCurrentValue = 503497;
// Pin mapping.
inline constexpr DispId PinMapping_GetPinName = 503498;
inline constexpr DispId PinMapping_GetPinNumber = 503499;
inline constexpr DispId PinMapping_GetScanPin = 503500;
// Boundary cell.
inline constexpr DispId Cell_GetCellNumber = 503501;
inline constexpr DispId Cell_GetCellKind = 503502;
inline constexpr DispId Cell_GetPortId = 503503;
inline constexpr DispId Cell_GetCellFunction = 503504;
inline constexpr DispId Cell_GetSafeBit = 503505;
inline constexpr DispId Cell_GetControlCellNumber = 503506;
inline constexpr DispId Cell_GetDisableValue = 503507;
inline constexpr DispId Cell_GetDisableResult = 503508;
inline constexpr DispId Cell_GetPin = 503509;
inline constexpr DispId Cell_GetControlCell = 503510;
inline constexpr DispId Cell_GetTargetCell = 503511;
inline constexpr DispId Cell_GetCurrentValue = 503512;
// Instruction opcode.
inline constexpr DispId OpCode_GetInstructionName = 503513;
inline constexpr DispId OpCode_GetOpCodePattern = 503514;
// Register association.
inline constexpr DispId Register_GetRegisterName = 503515;
inline constexpr DispId Register_GetRegisterLength = 503516;
inline constexpr DispId Register_GetInstructionOpcodeCount = 503517;
inline constexpr DispId Register_GetInstructionOpcode = 503518;
// Live value of scan pins and boundary cells (not an interface slot; reached through Invoke only).
inline constexpr DispId SetCurrentValue = 509024;
}  // namespace bsdl_dispid

// Identifiers 503427..503429, service "BSDLObject".
class TAbstractBSDLObject : public TAbstractSupportService {
 public:
  virtual std::string GetDescription() = 0;       // 503427
  virtual std::string GetShortDescription() = 0;  // 503428
  virtual DispPtr GetEntity() = 0;                // 503429 the owning entity's IBSDLEntity

  static const DispatchTable& table();
  const DispatchTable& dispatchTable() const override { return table(); }
};

// Identifiers 503490..503497, service "ScanPin".
class TAbstractScanPin : public TAbstractBSDLObject {
 public:
  virtual int32_t GetDirection() = 0;                  // 503490 TPinElectrical
  virtual std::string GetPinName() = 0;                // 503491
  virtual std::string GetPinNumber() = 0;              // 503492
  virtual int32_t GetKind() = 0;                       // 503493 TScanPinKind
  virtual DispPtr GetPinMapping() = 0;                 // 503494 IPinMapping or none
  virtual int32_t GetBoundaryCellCount() = 0;          // 503495
  virtual DispPtr GetBoundaryCell(int32_t index) = 0;  // 503496 IBoundaryCell or none
  virtual int32_t GetCurrentValue() = 0;               // 503497

  static const DispatchTable& table();
  const DispatchTable& dispatchTable() const override { return table(); }
};

// Identifiers 503498..503500, service "PinMapping".
class TAbstractPinMapping : public TAbstractBSDLObject {
 public:
  virtual std::string GetPinName() = 0;    // 503498
  virtual std::string GetPinNumber() = 0;  // 503499
  virtual DispPtr GetScanPin() = 0;        // 503500 IScanPin or none

  static const DispatchTable& table();
  const DispatchTable& dispatchTable() const override { return table(); }
};

// Identifiers 503501..503512, service "BoundaryCell".
class TAbstractBoundaryCell : public TAbstractBSDLObject {
 public:
  virtual int32_t GetCellNumber() = 0;         // 503501
  virtual int32_t GetCellKind() = 0;           // 503502 TCellKind
  virtual std::string GetPortId() = 0;         // 503503
  virtual int32_t GetCellFunction() = 0;       // 503504 TCellFunction
  virtual int32_t GetSafeBit() = 0;            // 503505 TBitValue
  virtual int32_t GetControlCellNumber() = 0;  // 503506
  virtual int32_t GetDisableValue() = 0;       // 503507 TBitValue
  virtual int32_t GetDisableResult() = 0;      // 503508 TDisableResult
  virtual DispPtr GetPin() = 0;                // 503509 IScanPin or none
  virtual DispPtr GetControlCell() = 0;        // 503510 IBoundaryCell or none
  virtual DispPtr GetTargetCell() = 0;         // 503511 IBoundaryCell or none
  virtual int32_t GetCurrentValue() = 0;       // 503512

  static const DispatchTable& table();
  const DispatchTable& dispatchTable() const override { return table(); }
};

// Identifiers 503513..503514, service "InstructionOpCode".
class TAbstractInstructionOpCode : public TAbstractBSDLObject {
 public:
  virtual std::string GetInstructionName() = 0;  // 503513
  virtual std::string GetOpCodePattern() = 0;    // 503514

  static const DispatchTable& table();
  const DispatchTable& dispatchTable() const override { return table(); }
};

// Identifiers 503515..503518, service "RegisterAssociation".
class TAbstractRegisterAssociation : public TAbstractBSDLObject {
 public:
  virtual std::string GetRegisterName() = 0;                // 503515
  virtual int32_t GetRegisterLength() = 0;                  // 503516
  virtual int32_t GetInstructionOpcodeCount() = 0;          // 503517
  virtual DispPtr GetInstructionOpcode(int32_t index) = 0;  // 503518 the entry's opcode or none

  static const DispatchTable& table();
  const DispatchTable& dispatchTable() const override { return table(); }
};

// Identifiers 503458..503489, service "BSDLEntity".
class TAbstractBSDLEntity : public TAbstractSupportService {
 public:
  virtual std::string GetName() = 0;                                // 503458
  virtual int32_t GetInstructionLength() = 0;                       // 503459
  virtual uint32_t GetIdCode() = 0;                                 // 503460
  virtual int32_t GetBoundaryLength() = 0;                          // 503461
  virtual DispPtr GetPin(int32_t index) = 0;                        // 503462
  virtual DispPtr GetPinMapping(int32_t index) = 0;                 // 503463
  virtual DispPtr GetBoundaryCell(int32_t index) = 0;               // 503464
  virtual DispPtr GetInstructionOpcode(int32_t index) = 0;          // 503465
  virtual DispPtr GetRegisterAssociation(int32_t index) = 0;        // 503466
  virtual int32_t GetPinCount() = 0;                                // 503467
  virtual int32_t GetPinMappingCount() = 0;                         // 503468
  virtual int32_t GetBoundaryCellCount() = 0;                       // 503469
  virtual int32_t GetInstructionOpcodeCount() = 0;                  // 503470
  virtual int32_t GetRegisterAssociationCount() = 0;                // 503471
  virtual DispPtr GetPin_TDI() = 0;                                 // 503472
  virtual DispPtr GetPin_TDO() = 0;                                 // 503473
  virtual DispPtr GetPin_TMS() = 0;                                 // 503474
  virtual DispPtr GetPin_TCK() = 0;                                 // 503475
  virtual DispPtr GetPin_TRST() = 0;                                // 503476
  virtual uint32_t GetInstruction_BYPASS() = 0;                     // 503477
  virtual uint32_t GetInstruction_EXTEST() = 0;                     // 503478
  virtual uint32_t GetInstruction_SAMPLE() = 0;                     // 503479
  virtual uint32_t GetInstruction_IDCODE() = 0;                     // 503480
  virtual uint32_t GetInstruction_USERCODE() = 0;                   // 503481
  virtual uint32_t GetInstruction_CLAMP() = 0;                      // 503482
  virtual uint32_t GetInstruction_HIGHZ() = 0;                      // 503483
  virtual double GetScanClockMaxSpeed() = 0;                        // 503484
  virtual int32_t GetScanClockHaltMode() = 0;                       // 503485 TScanClockHaltMode
  virtual std::string GetConformanceStatement() = 0;                // 503486
  virtual std::string GetCompliancePattern() = 0;                   // 503487
  virtual std::string GetDesignWarning() = 0;                       // 503488
  virtual std::string GetFilename() = 0;                            // 503489

  static const DispatchTable& table();
  const DispatchTable& dispatchTable() const override { return table(); }
};

}  // namespace zolta
