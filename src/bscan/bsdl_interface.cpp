#include "zolta/bscan/bsdl_interface.h"

namespace zolta {

namespace {
const DispatchEntry kBSDLObjectEntries[] = {
    {503427, &op<&TAbstractBSDLObject::GetDescription>},
    {503428, &op<&TAbstractBSDLObject::GetShortDescription>},
    {503429, &op<&TAbstractBSDLObject::GetEntity>},
};

const DispatchEntry kScanPinEntries[] = {
    {503490, &op<&TAbstractScanPin::GetDirection>},
    {503491, &op<&TAbstractScanPin::GetPinName>},
    {503492, &op<&TAbstractScanPin::GetPinNumber>},
    {503493, &op<&TAbstractScanPin::GetKind>},
    {503494, &op<&TAbstractScanPin::GetPinMapping>},
    {503495, &op<&TAbstractScanPin::GetBoundaryCellCount>},
    {503496, &op<&TAbstractScanPin::GetBoundaryCell>},
    {503497, &op<&TAbstractScanPin::GetCurrentValue>},
};

const DispatchEntry kPinMappingEntries[] = {
    {503498, &op<&TAbstractPinMapping::GetPinName>},
    {503499, &op<&TAbstractPinMapping::GetPinNumber>},
    {503500, &op<&TAbstractPinMapping::GetScanPin>},
};

const DispatchEntry kBoundaryCellEntries[] = {
    {503501, &op<&TAbstractBoundaryCell::GetCellNumber>},
    {503502, &op<&TAbstractBoundaryCell::GetCellKind>},
    {503503, &op<&TAbstractBoundaryCell::GetPortId>},
    {503504, &op<&TAbstractBoundaryCell::GetCellFunction>},
    {503505, &op<&TAbstractBoundaryCell::GetSafeBit>},
    {503506, &op<&TAbstractBoundaryCell::GetControlCellNumber>},
    {503507, &op<&TAbstractBoundaryCell::GetDisableValue>},
    {503508, &op<&TAbstractBoundaryCell::GetDisableResult>},
    {503509, &op<&TAbstractBoundaryCell::GetPin>},
    {503510, &op<&TAbstractBoundaryCell::GetControlCell>},
    {503511, &op<&TAbstractBoundaryCell::GetTargetCell>},
    {503512, &op<&TAbstractBoundaryCell::GetCurrentValue>},
};

const DispatchEntry kInstructionOpCodeEntries[] = {
    {503513, &op<&TAbstractInstructionOpCode::GetInstructionName>},
    {503514, &op<&TAbstractInstructionOpCode::GetOpCodePattern>},
};

const DispatchEntry kRegisterAssociationEntries[] = {
    {503515, &op<&TAbstractRegisterAssociation::GetRegisterName>},
    {503516, &op<&TAbstractRegisterAssociation::GetRegisterLength>},
    {503517, &op<&TAbstractRegisterAssociation::GetInstructionOpcodeCount>},
    {503518, &op<&TAbstractRegisterAssociation::GetInstructionOpcode>},
};

const DispatchEntry kBSDLEntityEntries[] = {
    {503458, &op<&TAbstractBSDLEntity::GetName>},
    {503459, &op<&TAbstractBSDLEntity::GetInstructionLength>},
    {503460, &op<&TAbstractBSDLEntity::GetIdCode>},
    {503461, &op<&TAbstractBSDLEntity::GetBoundaryLength>},
    {503462, &op<&TAbstractBSDLEntity::GetPin>},
    {503463, &op<&TAbstractBSDLEntity::GetPinMapping>},
    {503464, &op<&TAbstractBSDLEntity::GetBoundaryCell>},
    {503465, &op<&TAbstractBSDLEntity::GetInstructionOpcode>},
    {503466, &op<&TAbstractBSDLEntity::GetRegisterAssociation>},
    {503467, &op<&TAbstractBSDLEntity::GetPinCount>},
    {503468, &op<&TAbstractBSDLEntity::GetPinMappingCount>},
    {503469, &op<&TAbstractBSDLEntity::GetBoundaryCellCount>},
    {503470, &op<&TAbstractBSDLEntity::GetInstructionOpcodeCount>},
    {503471, &op<&TAbstractBSDLEntity::GetRegisterAssociationCount>},
    {503472, &op<&TAbstractBSDLEntity::GetPin_TDI>},
    {503473, &op<&TAbstractBSDLEntity::GetPin_TDO>},
    {503474, &op<&TAbstractBSDLEntity::GetPin_TMS>},
    {503475, &op<&TAbstractBSDLEntity::GetPin_TCK>},
    {503476, &op<&TAbstractBSDLEntity::GetPin_TRST>},
    {503477, &op<&TAbstractBSDLEntity::GetInstruction_BYPASS>},
    {503478, &op<&TAbstractBSDLEntity::GetInstruction_EXTEST>},
    {503479, &op<&TAbstractBSDLEntity::GetInstruction_SAMPLE>},
    {503480, &op<&TAbstractBSDLEntity::GetInstruction_IDCODE>},
    {503481, &op<&TAbstractBSDLEntity::GetInstruction_USERCODE>},
    {503482, &op<&TAbstractBSDLEntity::GetInstruction_CLAMP>},
    {503483, &op<&TAbstractBSDLEntity::GetInstruction_HIGHZ>},
    {503484, &op<&TAbstractBSDLEntity::GetScanClockMaxSpeed>},
    {503485, &op<&TAbstractBSDLEntity::GetScanClockHaltMode>},
    {503486, &op<&TAbstractBSDLEntity::GetConformanceStatement>},
    {503487, &op<&TAbstractBSDLEntity::GetCompliancePattern>},
    {503488, &op<&TAbstractBSDLEntity::GetDesignWarning>},
    {503489, &op<&TAbstractBSDLEntity::GetFilename>},
};
}  // namespace

const DispatchTable& TAbstractBSDLObject::table() {
  static const DispatchTable t = makeTable(&TAbstractSupportService::rootTable(), "BSDLObject", kBSDLObjectEntries);
  return t;
}

const DispatchTable& TAbstractScanPin::table() {
  static const DispatchTable t = makeTable(&TAbstractBSDLObject::table(), "ScanPin", kScanPinEntries);
  return t;
}

const DispatchTable& TAbstractPinMapping::table() {
  static const DispatchTable t = makeTable(&TAbstractBSDLObject::table(), "PinMapping", kPinMappingEntries);
  return t;
}

const DispatchTable& TAbstractBoundaryCell::table() {
  static const DispatchTable t = makeTable(&TAbstractBSDLObject::table(), "BoundaryCell", kBoundaryCellEntries);
  return t;
}

const DispatchTable& TAbstractInstructionOpCode::table() {
  static const DispatchTable t =
      makeTable(&TAbstractBSDLObject::table(), "InstructionOpCode", kInstructionOpCodeEntries);
  return t;
}

const DispatchTable& TAbstractRegisterAssociation::table() {
  static const DispatchTable t =
      makeTable(&TAbstractBSDLObject::table(), "RegisterAssociation", kRegisterAssociationEntries);
  return t;
}

const DispatchTable& TAbstractBSDLEntity::table() {
  static const DispatchTable t = makeTable(&TAbstractSupportService::rootTable(), "BSDLEntity", kBSDLEntityEntries);
  return t;
}

}  // namespace zolta
