// The boundary-scan description of one device as an object graph: an entity owns its scan pins, pin
// mappings, boundary cells, instruction opcodes and register associations.
//
// Ownership and lifetime
//  - Model objects (TScanPin, TBoundaryCell, ...) are plain internal objects. `Create` (the
//    constructor) makes an unlisted object; the entity's adders take ownership. An object is listed
//    in at most one list of exactly the entity it was created for (the adders refuse anything else).
//    Destroying the entity frees the lists in the order pins, pin mappings, cells, opcodes,
//    register associations.
//  - Cross links (a cell's pin, control and target cell, a pin's mapping and cells, a mapping's pin,
//    an association's opcodes, the entity's TAP pins) are borrowed pointers into the same entity.
//  - What the host sees of a model object is a separate counted wrapper (`..._Impl`, field `Ex`).
//    The model object holds one reference to each of its wrappers (FImplementators, creation order:
//    the TBSDLObject_Impl first, the kind's wrapper last) and drops them when it goes. A host may
//    keep a wrapper longer: once its model object is gone, `Ex` is cleared and every call on the
//    wrapper fails with an error status instead of touching freed memory.
//  - The dispatch interface that a model object or the entity carries itself counts no references.
//
// Setters store their argument and do nothing else: producers make the cross links themselves.
// Everything runs on one thread; nothing is locked.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "zolta/bscan/bsdl_interface.h"
#include "zolta/bscan/bsdl_types.h"
#include "zolta/service.h"

namespace zolta {

class TBSDLEntity;
class TBSDLEntity_Impl;
class TBSDLObject_Impl;
class TScanPin;
class TScanPin_Impl;
class TBoundaryCell;
class TBoundaryCell_Impl;
class TPinMapping;
class TPinMapping_Impl;
class TInstructionOpCode;
class TInstructionOpCode_Impl;
class TRegisterAssociation;
class TRegisterAssociation_Impl;

// An instruction code of the entity that the description does not define.
inline constexpr uint32_t kInstructionUndefined = 0xFFFFFFFFu;

// Image indexes of the object kinds in the host's image list.
inline constexpr int32_t kImageIndex_BSDLObject = 4;
inline constexpr int32_t kImageIndex_ScanPin = 19;
inline constexpr int32_t kImageIndex_BoundaryCell = 41;
inline constexpr int32_t kImageIndex_InstructionOpCode = 72;
inline constexpr int32_t kImageIndex_RegisterAssociation = 99;

// ---- model objects ------------------------------------------------------------------------------

// Root of the five object kinds. Its own dispatch interface asks the base first and then each
// wrapper in creation order; the first success ends the call, else the last failure is answered.
class TBSDLObject : public TDispatchObjectNoRef {
 public:
  explicit TBSDLObject(TBSDLEntity* AEntity);
  ~TBSDLObject() override;

  HResult Invoke(DispId id, const Guid& iid, uint32_t locale, uint16_t flags, zabi::DispParams* params,
                 zabi::Variant* result, zabi::ExcepInfo* excepInfo, uint32_t* argErr) override;

  virtual std::string GetState_Description() { return {}; }
  virtual std::string GetState_ShortDescription() { return {}; }
  virtual int32_t GetState_ImageIndex() { return kImageIndex_BSDLObject; }

  // The owning entity (not owned); set at creation.
  TBSDLEntity* Entity() const { return FEntity; }
  // The object's wrapper: the last entry of FImplementators.
  TAbstractBSDLObject* Wrapper() const { return FImplementators.back().get(); }
  // The wrapper as the dispatch interface handed to the host (a new reference).
  DispPtr WrapperDispatch() const;
  // The model object's own (uncounted) dispatch interface.
  IDispatch* dispatch() { return static_cast<IDispatch*>(this); }

 protected:
  // Appends a wrapper; the object keeps one reference to it until it is destroyed.
  void AddImplementator(TAbstractBSDLObject* impl);

 private:
  friend class TBSDLEntity;
  std::vector<Ptr<TAbstractBSDLObject>> FImplementators;
  TBSDLObject_Impl* FBaseImpl = nullptr;  // FImplementators[0]
  TBSDLEntity* FEntity;
  bool FListed = false;  // set by the entity's adders
};

class TScanPin : public TBSDLObject {
 public:
  explicit TScanPin(TBSDLEntity* AEntity);
  ~TScanPin() override;

  TPinElectrical Direction = eElectricPassive;
  std::string PinName;    // the port name in the BSDL text ("IOA5", "VCC(3)")
  std::string PinNumber;  // the package pin designator ("A5")
  TScanPinKind Kind = eScanPinKind_Normal;
  TPinMapping* PinMapping = nullptr;           // not owned
  int32_t CurrentValue = 0;                    // the live value last stored
  std::vector<TBoundaryCell*> BoundaryCells;   // the cells that serve the pin (not owned)

  void SetDirection(TPinElectrical v) { Direction = v; }
  void SetPinName(std::string v) { PinName = std::move(v); }
  void SetPinNumber(std::string v) { PinNumber = std::move(v); }
  void SetKind(TScanPinKind v) { Kind = v; }
  void SetPinMapping(TPinMapping* v) { PinMapping = v; }
  void AddBoundaryCell(TBoundaryCell* cell) { BoundaryCells.push_back(cell); }

  // " Pin Name:" + name padded to 12 + " Number:" + number padded to 12 + " IO:" + direction.
  std::string GetState_Description() override;
  // name + "(" + number + ")-" + direction.
  std::string GetState_ShortDescription() override;
  int32_t GetState_ImageIndex() override { return kImageIndex_ScanPin; }

  TScanPin_Impl* Impl() const { return FImpl; }

 private:
  TScanPin_Impl* FImpl;
};

class TBoundaryCell : public TBSDLObject {
 public:
  explicit TBoundaryCell(TBSDLEntity* AEntity);
  ~TBoundaryCell() override;

  int32_t CellNumber = -1;
  TCellKind CellKind = eCellKind_Undefined;
  std::string PortId = "*";  // "*" for a cell without a port
  TBitValue SafeBit = eBit_X;
  int32_t ControlCellNumber = -1;  // -1: no control cell
  TBitValue DisableValue = eBit_0;
  TDisableResult DisableResult = eDisableResult_Undefined;
  TScanPin* Pin = nullptr;               // the scan pin whose PinName equals PortId
  TBoundaryCell* ControlCell = nullptr;  // the cell numbered ControlCellNumber
  TBoundaryCell* TargetCell = nullptr;   // on a control cell, a cell that it controls
  TCellFunction CellFunction = eCellFunction_Undefined;
  int32_t CurrentValue = 0;

  void SetCellNumber(int32_t v) { CellNumber = v; }
  void SetCellKind(TCellKind v) { CellKind = v; }
  void SetPortId(std::string v) { PortId = std::move(v); }
  void SetCellFunction(TCellFunction v) { CellFunction = v; }
  void SetSafeBit(TBitValue v) { SafeBit = v; }
  void SetControlCellNumber(int32_t v) { ControlCellNumber = v; }
  void SetDisableValue(TBitValue v) { DisableValue = v; }
  void SetDisableResult(TDisableResult v) { DisableResult = v; }
  void SetPin(TScanPin* v) { Pin = v; }
  void SetControlCell(TBoundaryCell* v) { ControlCell = v; }
  void SetTargetCell(TBoundaryCell* v) { TargetCell = v; }

  // "num(kind,port,function,safe" with the disable value and pin when a control cell is set;
  // see the implementation for the exact layout. The short description is the same text.
  std::string GetState_Description() override;
  std::string GetState_ShortDescription() override { return GetState_Description(); }
  int32_t GetState_ImageIndex() override { return kImageIndex_BoundaryCell; }

  TBoundaryCell_Impl* Impl() const { return FImpl; }

 private:
  TBoundaryCell_Impl* FImpl;
};

class TPinMapping : public TBSDLObject {
 public:
  explicit TPinMapping(TBSDLEntity* AEntity);
  ~TPinMapping() override;

  std::string PinName;
  std::string PinNumber;
  TScanPin* ScanPin = nullptr;  // not owned

  void SetPinName(std::string v) { PinName = std::move(v); }
  void SetPinNumber(std::string v) { PinNumber = std::move(v); }
  // The same setters for wide (UTF-16) texts as the host passes them.
  void SetPinName(std::u16string_view v);
  void SetPinNumber(std::u16string_view v);
  void SetScanPin(TScanPin* v) { ScanPin = v; }

  // Pin mappings have empty texts and the base's image index.
  TPinMapping_Impl* Impl() const { return FImpl; }

 private:
  TPinMapping_Impl* FImpl;
};

class TInstructionOpCode : public TBSDLObject {
 public:
  explicit TInstructionOpCode(TBSDLEntity* AEntity);
  ~TInstructionOpCode() override;

  std::string InstructionName;
  std::string OpCodePattern;     // bit characters as written ("0000000110")
  uint32_t InstructionCode = 0;  // kept for producers; no operation reads it

  void SetInstructionName(std::string v) { InstructionName = std::move(v); }
  void SetOpCodePattern(std::string v) { OpCodePattern = std::move(v); }

  // name + "(" + pattern + ")"; the short description is the same text.
  std::string GetState_Description() override;
  std::string GetState_ShortDescription() override { return GetState_Description(); }
  int32_t GetState_ImageIndex() override { return kImageIndex_InstructionOpCode; }

  TInstructionOpCode_Impl* Impl() const { return FImpl; }

 private:
  TInstructionOpCode_Impl* FImpl;
};

// One entry of a register association: the instruction's name and its opcode object (or none).
struct TRegisterOpCodeEntry {
  std::string Name;
  TInstructionOpCode* OpCode = nullptr;  // not owned
};

class TRegisterAssociation : public TBSDLObject {
 public:
  explicit TRegisterAssociation(TBSDLEntity* AEntity);
  ~TRegisterAssociation() override;

  std::string RegisterName;
  int32_t RegisterLength = 0;
  std::vector<TRegisterOpCodeEntry> InstructionOpCodes;

  void SetRegisterName(std::string v) { RegisterName = std::move(v); }
  void SetRegisterLength(int32_t v) { RegisterLength = v; }
  // Appends an entry named by the opcode's InstructionName and carrying the opcode. A null opcode
  // appends an entry with an empty name; producers that know the instruction's name but have no
  // opcode object use the two-argument form so the name is kept.
  void AddOpCode(TInstructionOpCode* opCode);
  void AddOpCode(std::string name, TInstructionOpCode* opCode);

  // Name padded to 10, "[length]" when the length is positive, then " (" and the entries as
  // name(pattern) or name(NoOpcode), separated by ",", and ")". The short description is the same.
  std::string GetState_Description() override;
  std::string GetState_ShortDescription() override { return GetState_Description(); }
  int32_t GetState_ImageIndex() override { return kImageIndex_RegisterAssociation; }

  TRegisterAssociation_Impl* Impl() const { return FImpl; }

 private:
  TRegisterAssociation_Impl* FImpl;
};

// ---- entity -------------------------------------------------------------------------------------

// Root of the VHDL design objects.
class TVHDLObject : public TDispatchObjectNoRef {};

// One attribute statement as the design text gives it: the attribute's name, the name of the item it
// describes and its value text (string literals concatenated, other values as written).
class TVHDLAttribute : public TVHDLObject {
 public:
  std::string Name;
  std::string Target;
  std::string Value;
  int32_t Line = 0;  // line of the statement in its file, 0 when not read from a file
};

// A named design entity with its attribute statements (in text order).
class TEntity : public TVHDLObject {
 public:
  std::string Name;
  std::vector<std::unique_ptr<TVHDLAttribute>> Attributes;

  // The first attribute with this name (ASCII case folding), or null.
  const TVHDLAttribute* FindAttribute(std::string_view name) const;
};

class TBSDLEntity : public TEntity {
 public:
  TBSDLEntity();
  ~TBSDLEntity() override;

  // Asks the base first and, when that fails, passes the call unchanged to Impl.
  HResult Invoke(DispId id, const Guid& iid, uint32_t locale, uint16_t flags, zabi::DispParams* params,
                 zabi::Variant* result, zabi::ExcepInfo* excepInfo, uint32_t* argErr) override;

  // The entity's own dispatch interface (uncounted), the one handed to the host.
  IDispatch* dispatch() { return static_cast<IDispatch*>(this); }
  // The entity's wrapper; the entity holds one reference to it for its whole life.
  TBSDLEntity_Impl* Impl() const { return FImpl.get(); }

  int32_t InstructionLength = 0;
  uint32_t IdCode = 0;
  int32_t BoundaryLength = 0;
  uint32_t Instruction_BYPASS = kInstructionUndefined;
  uint32_t Instruction_EXTEST = kInstructionUndefined;
  uint32_t Instruction_SAMPLE = kInstructionUndefined;
  uint32_t Instruction_IDCODE = kInstructionUndefined;
  uint32_t Instruction_USERCODE = kInstructionUndefined;
  uint32_t Instruction_CLAMP = kInstructionUndefined;
  uint32_t Instruction_HIGHZ = kInstructionUndefined;
  double ScanClockMaxSpeed = 0;  // highest TCK frequency in Hz
  TScanClockHaltMode ScanClockHaltMode = eScanClockHaltMode_None;
  std::string ConformanceStatement;
  std::string CompliancePattern;
  std::string DesignWarning;
  std::string Filename;
  // The TAP pins (not owned; producers store them directly).
  TScanPin* TAP_TDI = nullptr;
  TScanPin* TAP_TDO = nullptr;
  TScanPin* TAP_TMS = nullptr;
  TScanPin* TAP_TCK = nullptr;
  TScanPin* TAP_TRST = nullptr;

  // Adders: append to the list and take ownership; answer the object. A null object appends an
  // empty slot (indexed getters answer none for it). Refused with std::invalid_argument: an object
  // created for another entity (it is freed, as the caller gave it up) and an object that some list
  // already holds (it stays with that list and is not freed a second time).
  TScanPin* AddPin(std::unique_ptr<TScanPin> pin);
  TPinMapping* AddPinMapping(std::unique_ptr<TPinMapping> mapping);
  TBoundaryCell* AddBoundaryCell(std::unique_ptr<TBoundaryCell> cell);
  TInstructionOpCode* AddInstructionOpCode(std::unique_ptr<TInstructionOpCode> opCode);
  TRegisterAssociation* AddRegisterAssociation(std::unique_ptr<TRegisterAssociation> association);

  // The owned lists, in adding order.
  const std::vector<std::unique_ptr<TScanPin>>& Pins() const { return FPins; }
  const std::vector<std::unique_ptr<TPinMapping>>& PinMappings() const { return FPinMappings; }
  const std::vector<std::unique_ptr<TBoundaryCell>>& BoundaryCells() const { return FBoundaryCells; }
  const std::vector<std::unique_ptr<TInstructionOpCode>>& InstructionOpCodes() const { return FInstructionOpCodes; }
  const std::vector<std::unique_ptr<TRegisterAssociation>>& RegisterAssociations() const {
    return FRegisterAssociations;
  }

  // Lookups by name (ASCII case folding) or number; null when absent. Linear: for tools and tests.
  TScanPin* FindPinByName(std::string_view name) const;
  TScanPin* FindPinByNumber(std::string_view number) const;
  TInstructionOpCode* FindInstructionOpCode(std::string_view name) const;
  TRegisterAssociation* FindRegisterAssociation(std::string_view name) const;

 private:
  template <class T>
  T* adopt(std::vector<std::unique_ptr<T>>& list, std::unique_ptr<T> object, const char* what);

  Ptr<TBSDLEntity_Impl> FImpl;
  std::vector<std::unique_ptr<TScanPin>> FPins;
  std::vector<std::unique_ptr<TPinMapping>> FPinMappings;
  std::vector<std::unique_ptr<TBoundaryCell>> FBoundaryCells;
  std::vector<std::unique_ptr<TInstructionOpCode>> FInstructionOpCodes;
  std::vector<std::unique_ptr<TRegisterAssociation>> FRegisterAssociations;
};

// ---- wrappers -----------------------------------------------------------------------------------

// The common part of every object wrapper: `Ex` and the three common operations.
template <class Interface, class Model>
class TBSDLObjectImplT : public Interface {
 public:
  explicit TBSDLObjectImplT(Model* ex) : Ex(ex) {}
  Model* Ex;  // the model object served; cleared when it is destroyed

  std::string GetDescription() override { return model().GetState_Description(); }
  std::string GetShortDescription() override { return model().GetState_ShortDescription(); }
  DispPtr GetEntity() override;

 protected:
  Model& model() const {
    if (!Ex) throw zabi::DispatchError("the boundary-scan object behind this interface no longer exists");
    return *Ex;
  }
};

class TBSDLObject_Impl final : public TBSDLObjectImplT<TAbstractBSDLObject, TBSDLObject> {
 public:
  using TBSDLObjectImplT::TBSDLObjectImplT;
};

// Service "BSDLValueHolder" on top of "ScanPin": also accepts SetCurrentValue (509024).
class TScanPin_Impl final : public TBSDLObjectImplT<TAbstractScanPin, TScanPin> {
 public:
  using TBSDLObjectImplT::TBSDLObjectImplT;
  int32_t GetDirection() override { return model().Direction; }
  std::string GetPinName() override { return model().PinName; }
  std::string GetPinNumber() override { return model().PinNumber; }
  int32_t GetKind() override { return model().Kind; }
  DispPtr GetPinMapping() override;
  int32_t GetBoundaryCellCount() override { return int32_t(model().BoundaryCells.size()); }
  DispPtr GetBoundaryCell(int32_t index) override;
  int32_t GetCurrentValue() override { return model().CurrentValue; }
  void SetCurrentValue(int32_t value) { model().CurrentValue = value; }

  static const DispatchTable& table();
  const DispatchTable& dispatchTable() const override { return table(); }
};

// Service "BSDLValueHolder" on top of "BoundaryCell": also accepts SetCurrentValue (509024).
class TBoundaryCell_Impl final : public TBSDLObjectImplT<TAbstractBoundaryCell, TBoundaryCell> {
 public:
  using TBSDLObjectImplT::TBSDLObjectImplT;
  int32_t GetCellNumber() override { return model().CellNumber; }
  int32_t GetCellKind() override { return model().CellKind; }
  std::string GetPortId() override { return model().PortId; }
  int32_t GetCellFunction() override { return model().CellFunction; }
  int32_t GetSafeBit() override { return model().SafeBit; }
  int32_t GetControlCellNumber() override { return model().ControlCellNumber; }
  int32_t GetDisableValue() override { return model().DisableValue; }
  int32_t GetDisableResult() override { return model().DisableResult; }
  DispPtr GetPin() override;
  DispPtr GetControlCell() override;
  DispPtr GetTargetCell() override;
  int32_t GetCurrentValue() override { return model().CurrentValue; }
  void SetCurrentValue(int32_t value) { model().CurrentValue = value; }

  static const DispatchTable& table();
  const DispatchTable& dispatchTable() const override { return table(); }
};

class TPinMapping_Impl final : public TBSDLObjectImplT<TAbstractPinMapping, TPinMapping> {
 public:
  using TBSDLObjectImplT::TBSDLObjectImplT;
  std::string GetPinName() override { return model().PinName; }
  std::string GetPinNumber() override { return model().PinNumber; }
  DispPtr GetScanPin() override;
};

class TInstructionOpCode_Impl final : public TBSDLObjectImplT<TAbstractInstructionOpCode, TInstructionOpCode> {
 public:
  using TBSDLObjectImplT::TBSDLObjectImplT;
  std::string GetInstructionName() override { return model().InstructionName; }
  std::string GetOpCodePattern() override { return model().OpCodePattern; }
};

class TRegisterAssociation_Impl final
    : public TBSDLObjectImplT<TAbstractRegisterAssociation, TRegisterAssociation> {
 public:
  using TBSDLObjectImplT::TBSDLObjectImplT;
  std::string GetRegisterName() override { return model().RegisterName; }
  int32_t GetRegisterLength() override { return model().RegisterLength; }
  int32_t GetInstructionOpcodeCount() override { return int32_t(model().InstructionOpCodes.size()); }
  DispPtr GetInstructionOpcode(int32_t index) override;
};

class TBSDLEntity_Impl final : public TAbstractBSDLEntity {
 public:
  explicit TBSDLEntity_Impl(TBSDLEntity* ex) : Ex(ex) {}
  TBSDLEntity* Ex;  // cleared when the entity is destroyed

  std::string GetName() override { return model().Name; }
  int32_t GetInstructionLength() override { return model().InstructionLength; }
  uint32_t GetIdCode() override { return model().IdCode; }
  int32_t GetBoundaryLength() override { return model().BoundaryLength; }
  DispPtr GetPin(int32_t index) override;
  DispPtr GetPinMapping(int32_t index) override;
  DispPtr GetBoundaryCell(int32_t index) override;
  DispPtr GetInstructionOpcode(int32_t index) override;
  DispPtr GetRegisterAssociation(int32_t index) override;
  int32_t GetPinCount() override { return int32_t(model().Pins().size()); }
  int32_t GetPinMappingCount() override { return int32_t(model().PinMappings().size()); }
  int32_t GetBoundaryCellCount() override { return int32_t(model().BoundaryCells().size()); }
  int32_t GetInstructionOpcodeCount() override { return int32_t(model().InstructionOpCodes().size()); }
  int32_t GetRegisterAssociationCount() override { return int32_t(model().RegisterAssociations().size()); }
  DispPtr GetPin_TDI() override;
  DispPtr GetPin_TDO() override;
  DispPtr GetPin_TMS() override;
  DispPtr GetPin_TCK() override;
  DispPtr GetPin_TRST() override;
  uint32_t GetInstruction_BYPASS() override { return model().Instruction_BYPASS; }
  uint32_t GetInstruction_EXTEST() override { return model().Instruction_EXTEST; }
  uint32_t GetInstruction_SAMPLE() override { return model().Instruction_SAMPLE; }
  uint32_t GetInstruction_IDCODE() override { return model().Instruction_IDCODE; }
  uint32_t GetInstruction_USERCODE() override { return model().Instruction_USERCODE; }
  uint32_t GetInstruction_CLAMP() override { return model().Instruction_CLAMP; }
  uint32_t GetInstruction_HIGHZ() override { return model().Instruction_HIGHZ; }
  double GetScanClockMaxSpeed() override { return model().ScanClockMaxSpeed; }
  int32_t GetScanClockHaltMode() override { return model().ScanClockHaltMode; }
  std::string GetConformanceStatement() override { return model().ConformanceStatement; }
  std::string GetCompliancePattern() override { return model().CompliancePattern; }
  std::string GetDesignWarning() override { return model().DesignWarning; }
  std::string GetFilename() override { return model().Filename; }

 private:
  TBSDLEntity& model() const {
    if (!Ex) throw zabi::DispatchError("the boundary-scan entity behind this interface no longer exists");
    return *Ex;
  }
};

// The wrapper of a model object as a dispatch interface (a new reference), none for null.
DispPtr WrapperOf(const TBSDLObject* object);

template <class Interface, class Model>
DispPtr TBSDLObjectImplT<Interface, Model>::GetEntity() {
  TBSDLEntity* e = model().Entity();
  return (e && e->Impl()) ? e->Impl()->dispatchPtr() : DispPtr();
}

}  // namespace zolta
