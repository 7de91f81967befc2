#include "zolta/bscan/bsdl_model.h"

#include <stdexcept>

namespace zolta {

using zabi::kOk;

namespace {

// Appends `text` followed by spaces up to `width` characters; never cuts.
void appendPadded(std::string& out, std::string_view text, size_t width) {
  out.append(text);
  if (text.size() < width) out.append(width - text.size(), ' ');
}

template <class List>
DispPtr itemAt(const List& list, int32_t index) {
  if (index < 0 || size_t(index) >= list.size()) return {};
  return WrapperOf(list[size_t(index)].get());
}

}  // namespace

DispPtr WrapperOf(const TBSDLObject* object) { return object ? object->WrapperDispatch() : DispPtr(); }

// ---- TBSDLObject ----------------------------------------------------------------------------------

TBSDLObject::TBSDLObject(TBSDLEntity* AEntity) : FEntity(AEntity) {
  FImplementators.reserve(2);  // the base wrapper and the kind's
  FBaseImpl = new TBSDLObject_Impl(this);
  AddImplementator(FBaseImpl);
}

TBSDLObject::~TBSDLObject() {
  // A host may still hold the wrappers: cut them loose before dropping our references.
  FBaseImpl->Ex = nullptr;
  FImplementators.clear();
}

void TBSDLObject::AddImplementator(TAbstractBSDLObject* impl) { FImplementators.emplace_back(impl); }

DispPtr TBSDLObject::WrapperDispatch() const { return Wrapper()->dispatchPtr(); }

HResult TBSDLObject::Invoke(DispId id, const Guid& iid, uint32_t locale, uint16_t flags, zabi::DispParams* params,
                            zabi::Variant* result, zabi::ExcepInfo* excepInfo, uint32_t* argErr) {
  HResult h = TDispatchObjectNoRef::Invoke(id, iid, locale, flags, params, result, excepInfo, argErr);
  if (h == kOk) return h;
  for (const auto& impl : FImplementators) {
    h = impl->Invoke(id, iid, locale, flags, params, result, excepInfo, argErr);
    if (h == kOk) return h;
  }
  return h;
}

// ---- kinds ----------------------------------------------------------------------------------------

TScanPin::TScanPin(TBSDLEntity* AEntity) : TBSDLObject(AEntity), FImpl(new TScanPin_Impl(this)) {
  AddImplementator(FImpl);
}
TScanPin::~TScanPin() { FImpl->Ex = nullptr; }

std::string TScanPin::GetState_Description() {
  std::string s = " Pin Name:";
  appendPadded(s, PinName, 12);
  s += " Number:";
  appendPadded(s, PinNumber, 12);
  s += " IO:";
  s += PinElectricalName(Direction);
  return s;
}

std::string TScanPin::GetState_ShortDescription() {
  std::string s = PinName;
  s += '(';
  s += PinNumber;
  s += ")-";
  s += PinElectricalName(Direction);
  return s;
}

TBoundaryCell::TBoundaryCell(TBSDLEntity* AEntity) : TBSDLObject(AEntity), FImpl(new TBoundaryCell_Impl(this)) {
  AddImplementator(FImpl);
}
TBoundaryCell::~TBoundaryCell() { FImpl->Ex = nullptr; }

std::string TBoundaryCell::GetState_Description() {
  std::string s;
  appendPadded(s, std::to_string(CellNumber), 4);
  s += '(';
  appendPadded(s, CellKindName(CellKind), 10);
  s += ',';
  appendPadded(s, PortId, 10);
  s += ',';
  appendPadded(s, CellFunctionName(CellFunction), 10);
  s += ',';
  appendPadded(s, BitValueName(SafeBit), 2);
  if (ControlCellNumber < 0) return s;
  s += ',';
  appendPadded(s, std::to_string(ControlCellNumber), 4);
  s += ',';
  appendPadded(s, BitValueName(DisableValue), 2);
  s += ',';
  appendPadded(s, DisableResultName(DisableResult), 10);
  s += ',';
  if (Pin) {
    s += " Pin:";
    s += Pin->PinName;
  }
  return s;
}

TPinMapping::TPinMapping(TBSDLEntity* AEntity) : TBSDLObject(AEntity), FImpl(new TPinMapping_Impl(this)) {
  AddImplementator(FImpl);
}
TPinMapping::~TPinMapping() { FImpl->Ex = nullptr; }

void TPinMapping::SetPinName(std::u16string_view v) { PinName = zabi::utf16ToUtf8(v); }
void TPinMapping::SetPinNumber(std::u16string_view v) { PinNumber = zabi::utf16ToUtf8(v); }

TInstructionOpCode::TInstructionOpCode(TBSDLEntity* AEntity)
    : TBSDLObject(AEntity), FImpl(new TInstructionOpCode_Impl(this)) {
  AddImplementator(FImpl);
}
TInstructionOpCode::~TInstructionOpCode() { FImpl->Ex = nullptr; }

std::string TInstructionOpCode::GetState_Description() {
  std::string s = InstructionName;
  s += '(';
  s += OpCodePattern;
  s += ')';
  return s;
}

TRegisterAssociation::TRegisterAssociation(TBSDLEntity* AEntity)
    : TBSDLObject(AEntity), FImpl(new TRegisterAssociation_Impl(this)) {
  AddImplementator(FImpl);
}
TRegisterAssociation::~TRegisterAssociation() { FImpl->Ex = nullptr; }

void TRegisterAssociation::AddOpCode(TInstructionOpCode* opCode) {
  InstructionOpCodes.push_back({opCode ? opCode->InstructionName : std::string(), opCode});
}

void TRegisterAssociation::AddOpCode(std::string name, TInstructionOpCode* opCode) {
  InstructionOpCodes.push_back({std::move(name), opCode});
}

std::string TRegisterAssociation::GetState_Description() {
  std::string s;
  appendPadded(s, RegisterName, 10);
  if (RegisterLength > 0) {
    s += '[';
    s += std::to_string(RegisterLength);
    s += ']';
  }
  s += " (";
  for (size_t i = 0; i < InstructionOpCodes.size(); ++i) {
    const TRegisterOpCodeEntry& e = InstructionOpCodes[i];
    if (i) s += ',';
    s += e.Name;
    s += '(';
    s += e.OpCode ? std::string_view(e.OpCode->OpCodePattern) : std::string_view("NoOpcode");
    s += ')';
  }
  s += ')';
  return s;
}

// ---- entity ---------------------------------------------------------------------------------------

const TVHDLAttribute* TEntity::FindAttribute(std::string_view name) const {
  for (const auto& a : Attributes)
    if (a && zabi::sameText(a->Name, name)) return a.get();
  return nullptr;
}

TBSDLEntity::TBSDLEntity() : FImpl(new TBSDLEntity_Impl(this)) {}

TBSDLEntity::~TBSDLEntity() {
  FPins.clear();
  FPinMappings.clear();
  FBoundaryCells.clear();
  FInstructionOpCodes.clear();
  FRegisterAssociations.clear();
  FImpl->Ex = nullptr;
  FImpl.reset();
}

HResult TBSDLEntity::Invoke(DispId id, const Guid& iid, uint32_t locale, uint16_t flags, zabi::DispParams* params,
                            zabi::Variant* result, zabi::ExcepInfo* excepInfo, uint32_t* argErr) {
  HResult h = TEntity::Invoke(id, iid, locale, flags, params, result, excepInfo, argErr);
  if (h == kOk || !FImpl) return h;
  return FImpl->Invoke(id, iid, locale, flags, params, result, excepInfo, argErr);
}

template <class T>
T* TBSDLEntity::adopt(std::vector<std::unique_ptr<T>>& list, std::unique_ptr<T> object, const char* what) {
  if (object) {
    if (object->FListed) {
      object.release();  // its list still owns it
      throw std::invalid_argument(std::string(what) + " is already listed in an entity");
    }
    if (object->FEntity != this) throw std::invalid_argument(std::string(what) + " belongs to another entity");
    object->FListed = true;
  }
  list.push_back(std::move(object));
  return list.back().get();
}

TScanPin* TBSDLEntity::AddPin(std::unique_ptr<TScanPin> pin) { return adopt(FPins, std::move(pin), "scan pin"); }

TPinMapping* TBSDLEntity::AddPinMapping(std::unique_ptr<TPinMapping> mapping) {
  return adopt(FPinMappings, std::move(mapping), "pin mapping");
}

TBoundaryCell* TBSDLEntity::AddBoundaryCell(std::unique_ptr<TBoundaryCell> cell) {
  return adopt(FBoundaryCells, std::move(cell), "boundary cell");
}

TInstructionOpCode* TBSDLEntity::AddInstructionOpCode(std::unique_ptr<TInstructionOpCode> opCode) {
  return adopt(FInstructionOpCodes, std::move(opCode), "instruction opcode");
}

TRegisterAssociation* TBSDLEntity::AddRegisterAssociation(std::unique_ptr<TRegisterAssociation> association) {
  return adopt(FRegisterAssociations, std::move(association), "register association");
}

TScanPin* TBSDLEntity::FindPinByName(std::string_view name) const {
  for (const auto& p : FPins)
    if (p && zabi::sameText(p->PinName, name)) return p.get();
  return nullptr;
}

TScanPin* TBSDLEntity::FindPinByNumber(std::string_view number) const {
  for (const auto& p : FPins)
    if (p && zabi::sameText(p->PinNumber, number)) return p.get();
  return nullptr;
}

TInstructionOpCode* TBSDLEntity::FindInstructionOpCode(std::string_view name) const {
  for (const auto& o : FInstructionOpCodes)
    if (o && zabi::sameText(o->InstructionName, name)) return o.get();
  return nullptr;
}

TRegisterAssociation* TBSDLEntity::FindRegisterAssociation(std::string_view name) const {
  for (const auto& r : FRegisterAssociations)
    if (r && zabi::sameText(r->RegisterName, name)) return r.get();
  return nullptr;
}

// ---- wrappers -------------------------------------------------------------------------------------

namespace {
const DispatchEntry kScanPinValueEntries[] = {{bsdl_dispid::SetCurrentValue, &op<&TScanPin_Impl::SetCurrentValue>}};
const DispatchEntry kBoundaryCellValueEntries[] = {
    {bsdl_dispid::SetCurrentValue, &op<&TBoundaryCell_Impl::SetCurrentValue>}};
}  // namespace

const DispatchTable& TScanPin_Impl::table() {
  static const DispatchTable t = makeTable(&TAbstractScanPin::table(), "BSDLValueHolder", kScanPinValueEntries);
  return t;
}

const DispatchTable& TBoundaryCell_Impl::table() {
  static const DispatchTable t =
      makeTable(&TAbstractBoundaryCell::table(), "BSDLValueHolder", kBoundaryCellValueEntries);
  return t;
}

DispPtr TScanPin_Impl::GetPinMapping() { return WrapperOf(model().PinMapping); }

DispPtr TScanPin_Impl::GetBoundaryCell(int32_t index) {
  const auto& cells = model().BoundaryCells;
  if (index < 0 || size_t(index) >= cells.size()) return {};
  return WrapperOf(cells[size_t(index)]);
}

DispPtr TBoundaryCell_Impl::GetPin() { return WrapperOf(model().Pin); }
DispPtr TBoundaryCell_Impl::GetControlCell() { return WrapperOf(model().ControlCell); }
DispPtr TBoundaryCell_Impl::GetTargetCell() { return WrapperOf(model().TargetCell); }

DispPtr TPinMapping_Impl::GetScanPin() { return WrapperOf(model().ScanPin); }

DispPtr TRegisterAssociation_Impl::GetInstructionOpcode(int32_t index) {
  const auto& entries = model().InstructionOpCodes;
  if (index < 0 || size_t(index) >= entries.size()) return {};
  return WrapperOf(entries[size_t(index)].OpCode);
}

DispPtr TBSDLEntity_Impl::GetPin(int32_t index) { return itemAt(model().Pins(), index); }
DispPtr TBSDLEntity_Impl::GetPinMapping(int32_t index) { return itemAt(model().PinMappings(), index); }
DispPtr TBSDLEntity_Impl::GetBoundaryCell(int32_t index) { return itemAt(model().BoundaryCells(), index); }
DispPtr TBSDLEntity_Impl::GetInstructionOpcode(int32_t index) { return itemAt(model().InstructionOpCodes(), index); }
DispPtr TBSDLEntity_Impl::GetRegisterAssociation(int32_t index) {
  return itemAt(model().RegisterAssociations(), index);
}
DispPtr TBSDLEntity_Impl::GetPin_TDI() { return WrapperOf(model().TAP_TDI); }
DispPtr TBSDLEntity_Impl::GetPin_TDO() { return WrapperOf(model().TAP_TDO); }
DispPtr TBSDLEntity_Impl::GetPin_TMS() { return WrapperOf(model().TAP_TMS); }
DispPtr TBSDLEntity_Impl::GetPin_TCK() { return WrapperOf(model().TAP_TCK); }
DispPtr TBSDLEntity_Impl::GetPin_TRST() { return WrapperOf(model().TAP_TRST); }

}  // namespace zolta
