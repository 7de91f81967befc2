#include "zolta/driver_interface.h"

namespace zolta {

namespace {
const DispatchEntry kDeviceInformationEntries[] = {
    {503379, &op<&TAbstractDeviceInformation::GetIdCode>},
    {503380, &op<&TAbstractDeviceInformation::GetDeviceName>},
    {503381, &op<&TAbstractDeviceInformation::GetDeviceDescription>},
    {503382, &op<&TAbstractDeviceInformation::GetFamilyName>},
    {503383, &op<&TAbstractDeviceInformation::GetFamilyDescription>},
    {503384, &op<&TAbstractDeviceInformation::GetLibraryName>},
    {503385, &op<&TAbstractDeviceInformation::GetVendorPrimitiveLibraryName>},
    {503386, &op<&TAbstractDeviceInformation::GetBaseName>},
    {503387, &op<&TAbstractDeviceInformation::GetEquivalentGatesForBase>},
    {503388, &op<&TAbstractDeviceInformation::GetMaxIOForBase>},
    {503389, &op<&TAbstractDeviceInformation::GetPackageTypeId>},
    {503390, &op<&TAbstractDeviceInformation::GetPackageTypeName>},
    {503391, &op<&TAbstractDeviceInformation::GetPackageTypeDescription>},
    {503392, &op<&TAbstractDeviceInformation::GetPackageId>},
    {503393, &op<&TAbstractDeviceInformation::GetPackageName>},
    {503394, &op<&TAbstractDeviceInformation::GetPackageDescription>},
    {503395, &op<&TAbstractDeviceInformation::GetPackageDimensions>},
    {503396, &op<&TAbstractDeviceInformation::GetTemperatureGradeId>},
    {503397, &op<&TAbstractDeviceInformation::GetTemperatureGradeName>},
    {503398, &op<&TAbstractDeviceInformation::GetTemperatureGradeDescription>},
    {503399, &op<&TAbstractDeviceInformation::GetSpeedGradeId>},
    {503400, &op<&TAbstractDeviceInformation::GetSpeedGradeName>},
    {503401, &op<&TAbstractDeviceInformation::GetSpeedGradeDescription>},
    {503402, &op<&TAbstractDeviceInformation::GetOptionDesignatorId>},
    {503403, &op<&TAbstractDeviceInformation::GetOptionDesignatorName>},
    {503404, &op<&TAbstractDeviceInformation::GetOptionDesignatorDescription>},
    {503405, &op<&TAbstractDeviceInformation::GetBSDLFilename>},
    {503406, &op<&TAbstractDeviceInformation::GetBSDLEntity>},
    {503407, &op<&TAbstractDeviceInformation::GetVendorName>},
    {503408, &op<&TAbstractDeviceInformation::GetInstructionLength>},
    {503409, &op<&TAbstractDeviceInformation::GetDevicePinCount>},
    {503410, &op<&TAbstractDeviceInformation::GetDeviceIOCount>},
    {503411, &op<&TAbstractDeviceInformation::GetDevicePin>},
    {503412, &op<&TAbstractDeviceInformation::GetDownloadFileExtensions>},
    {503413, &op<&TAbstractDeviceInformation::GetDSPMultiplierCount>},
    {503414, &op<&TAbstractDeviceInformation::GetClockManagerCount>},
    {503415, &op<&TAbstractDeviceInformation::GetMemorySize>},
    {503416, &op<&TAbstractDeviceInformation::GetTerminationSupport>},
    {503417, &op<&TAbstractDeviceInformation::GetGlobalClockCount>},
    {503418, &op<&TAbstractDeviceInformation::GetConfigMemorySize>},
    {503419, &op<&TAbstractDeviceInformation::GetDiffPairCount>},
    {503420, &op<&TAbstractDeviceInformation::GetHighSpeedDiffPairCount>},
    {503421, &op<&TAbstractDeviceInformation::GetIOStandardCount>},
    {503422, &op<&TAbstractDeviceInformation::GetIOStandard>},
    {503423, &op<&TAbstractDeviceInformation::GetDeviceDisplayName>},
    {503424, &op<&TAbstractDeviceInformation::GetDeviceParameter>},
};
}  // namespace

const DispatchTable& TAbstractDeviceInformation::table() {
  static const DispatchTable t = makeTable(&TAbstractSupportService::rootTable(), "DeviceInformation", kDeviceInformationEntries);
  return t;
}

namespace {
// CustomAction_GetState (Action, var Enabled, var Checked, var Visible, A, B): the three flags are
// written back into the caller's by-reference Boolean arguments (true as all bits set).
void customActionGetState(TAbstractSupportService& self, DispatchCall& c) {
  c.expect(6);
  int32_t action = c.get<int32_t>(0);
  TCustomActionState st = static_cast<TAbstractZoltaDriver&>(self).CustomAction_GetState(action);
  const bool flags[3] = {st.enabled, st.checked, st.visible};
  for (uint32_t k = 0; k < 3; ++k) {
    zabi::Variant& v = c.arg(1 + k);
    if (v.vt == (zabi::VT_BYREF | zabi::VT_BOOL) && v.pboolVal)
      *v.pboolVal = flags[k] ? zabi::kVariantTrue : zabi::kVariantFalse;
    else if (v.vt == (zabi::VT_BYREF | zabi::VT_VARIANT) && v.pvarVal) {
      Var old = Var::adopt(*v.pvarVal);
      *v.pvarVal = Var(flags[k]).release();
    }
  }
}
}  // namespace

namespace {
const DispatchEntry kZoltaDriverEntries[] = {
    {503753, &op<&TAbstractZoltaDriver::GetZoltaDevice>},
    {503754, &op<&TAbstractZoltaDriver::SetZoltaDevice>},
    {503755, &op<&TAbstractZoltaDriver::Finalize>},
    {503756, &op<&TAbstractZoltaDriver::GetBitmapHandle>},
    {503757, &op<&TAbstractZoltaDriver::SaveProcessorState>},
    {503758, &op<&TAbstractZoltaDriver::RestoreProcessorState>},
    {503759, &op<&TAbstractZoltaDriver::CreateRackViewer>},
    {503760, &op<&TAbstractZoltaDriver::GetRackViewer>},
    {503761, &op<&TAbstractZoltaDriver::Supports>},
    {503762, &op<&TAbstractZoltaDriver::ShowAboutDialog>},
    {503763, &op<&TAbstractZoltaDriver::VendorToolsDescriptor>},
    {503764, &op<&TAbstractZoltaDriver::VendorToolsPresent>},
    {503765, &op<&TAbstractZoltaDriver::VendorToolsUpToDate>},
    {503766, &op<&TAbstractZoltaDriver::SetProcessorRegisterValue>},
    {503767, &op<&TAbstractZoltaDriver::GetProcessorRegisterValue>},
    {503768, &op<&TAbstractZoltaDriver::GetProcessorRegisterWidth>},
    {503769, &op<&TAbstractZoltaDriver::GetProcessorRegisterName>},
    {503770, &op<&TAbstractZoltaDriver::GetProcessorRegisterShortName>},
    {503771, &op<&TAbstractZoltaDriver::GetProcessorRegisterCount>},
    {503772, &op<&TAbstractZoltaDriver::GetRegisterIndex_PC>},
    {503773, &op<&TAbstractZoltaDriver::GetRegisterIndex_SP>},
    {503774, &op<&TAbstractZoltaDriver::GetSoftBreakpointAddressByteAlign>},
    {503775, &op<&TAbstractZoltaDriver::GetMemorySpaceWidth>},
    {503776, &op<&TAbstractZoltaDriver::GetMemorySpaceKind>},
    {503777, &op<&TAbstractZoltaDriver::GetMemorySpaceBytesPerUnit>},
    {503778, &op<&TAbstractZoltaDriver::GetMemorySpaceName>},
    {503779, &op<&TAbstractZoltaDriver::GetMemorySpaceShortName>},
    {503780, &op<&TAbstractZoltaDriver::GetMemorySpaceCount>},
    {503781, &op<&TAbstractZoltaDriver::GetMemorySpace_Program>},
    {503782, &op<&TAbstractZoltaDriver::InitDownload>},
    {503783, &op<&TAbstractZoltaDriver::FinishDownload>},
    {503784, &op<&TAbstractZoltaDriver::RunDiagnostic>},
    {503785, &op<&TAbstractZoltaDriver::LittleEndian>},
    {503786, &op<&TAbstractZoltaDriver::ResetDevice>},
    {503787, &op<&TAbstractZoltaDriver::GetDeviceState>},
    {503788, &op<&TAbstractZoltaDriver::ProgramDevice>},
    {503789, &op<&TAbstractZoltaDriver::ReadUserCode>},
    {503790, &op<&TAbstractZoltaDriver::FlowStage_Build>},
    {503791, &op<&TAbstractZoltaDriver::FlowStage_Download>},
    {503792, &op<&TAbstractZoltaDriver::CoreGen_OutputExtension>},
    {503793, &op<&TAbstractZoltaDriver::ResetZoltaRegisters>},
    {503794, &op<&TAbstractZoltaDriver::SingleStepProcessor>},
    {503795, &op<&TAbstractZoltaDriver::RunSingleStepInSubstitutionRegister>},
    {503796, &op<&TAbstractZoltaDriver::ResetProcessor>},
    {503797, &op<&TAbstractZoltaDriver::PauseProcessor>},
    {503798, &op<&TAbstractZoltaDriver::ContinueProcessor>},
    {503799, &op<&TAbstractZoltaDriver::RunSteps>},
    {503800, &op<&TAbstractZoltaDriver::ProcessorIsPaused>},
    {503801, &op<&TAbstractZoltaDriver::ProcessorIsReset>},
    {503802, &op<&TAbstractZoltaDriver::ProcessorIsRunning>},
    {503803, &op<&TAbstractZoltaDriver::ProcessorIsUsingReducedInstructionSet>},
    {503804, &op<&TAbstractZoltaDriver::Flash_Reset>},
    {503805, &op<&TAbstractZoltaDriver::Flash_Program>},
    {503806, &op<&TAbstractZoltaDriver::Flash_Configure>},
    {503807, &op<&TAbstractZoltaDriver::SetProcessorRegisterWideValue>},
    {503808, &op<&TAbstractZoltaDriver::GetProcessorRegisterWideValue>},
    {503809, &op<&TAbstractZoltaDriver::ConfigureFpgaProject>},
    {503810, &op<&TAbstractZoltaDriver::ShowConfiguration>},
    {503811, &op<&TAbstractZoltaDriver::ShowCurrentSensePanel>},
    {503812, &op<&TAbstractZoltaDriver::ReleaseResources>},
    {503813, &op<&TAbstractZoltaDriver::InvalidateResources>},
    {503814, &op<&TAbstractZoltaDriver::CustomAction_Execute>},
    {503815, &customActionGetState},
    {503816, &op<&TAbstractZoltaDriver::EPM_Download>},
    {503817, &op<&TAbstractZoltaDriver::EPM_InititateTest>},
    {503818, &op<&TAbstractZoltaDriver::EPM_GetTestResult>},
    {503819, &op<&TAbstractZoltaDriver::EPM_SetPercentCallBack>},
    {503820, &op<&TAbstractZoltaDriver::Flash_ResetForBitStream>},
    {503821, &op<&TAbstractZoltaDriver::GetEmbeddedConstraintFile>},
    {503822, &op<&TAbstractZoltaDriver::SetEmbeddedConstraintFile>},
    {508552, &op<&TAbstractZoltaDriver::AddSoftBreakpoint>},
    {508553, &op<&TAbstractZoltaDriver::RemoveSoftBreakpoint>},
    {508554, &op<&TAbstractZoltaDriver::GetMemorySpaceLength>},
    {509312, &op<&TAbstractZoltaDriver::GetFolder_Library>},
    {509376, &op<&TAbstractZoltaDriver::ClockCoreGenerator>},
    {509427, &op<&TAbstractZoltaDriver::ClockCoreTemplateGenerator>},
    {509470, &op<&TAbstractZoltaDriver::ClockGeneratorTargetCore>},
    {509981, &op<&TAbstractZoltaDriver::CustomCoreGenerator>},
};
}  // namespace

const DispatchTable& TAbstractZoltaDriver::table() {
  static const DispatchTable t = makeTable(&TAbstractDeviceInformation::table(), "ZoltaDriver", kZoltaDriverEntries);
  return t;
}

namespace {
const DispatchEntry kDevicePinEntries[] = {
    {503525, &op<&TAbstractDevicePin::GetPinNumber>},
    {503526, &op<&TAbstractDevicePin::GetIOBank>},
    {503527, &op<&TAbstractDevicePin::GetIsIOPin>},
    {503528, &op<&TAbstractDevicePin::GetIsCLKPin>},
    {503529, &op<&TAbstractDevicePin::GetIsVREFPin>},
    {503530, &op<&TAbstractDevicePin::GetIsSpecialPin>},
    {503531, &op<&TAbstractDevicePin::GetIOStandardCount>},
    {503532, &op<&TAbstractDevicePin::GetIOStandard>},
    {503533, &op<&TAbstractDevicePin::GetIsInputOnlyPin>},
    {503534, &op<&TAbstractDevicePin::GetIsDCIP_Pin>},
    {503535, &op<&TAbstractDevicePin::GetIsDCIN_Pin>},
    {503536, &op<&TAbstractDevicePin::GetIsDiffP_Pin>},
    {503537, &op<&TAbstractDevicePin::GetIsDiffN_Pin>},
    {503538, &op<&TAbstractDevicePin::GetIsHDiffP_Pin>},
    {503539, &op<&TAbstractDevicePin::GetIsHDiffN_Pin>},
    {503540, &op<&TAbstractDevicePin::GetIsTransmitDiffPin>},
    {503541, &op<&TAbstractDevicePin::GetIsReceiveDiffPin>},
    {503542, &op<&TAbstractDevicePin::GetIsClkDiffP_Pin>},
    {503543, &op<&TAbstractDevicePin::GetIsClkDiffN_Pin>},
    {503544, &op<&TAbstractDevicePin::GetIsDLLPin>},
    {503545, &op<&TAbstractDevicePin::GetDifferentialId>},
    {503546, &op<&TAbstractDevicePin::GetClkDifferentialId>},
    {503547, &op<&TAbstractDevicePin::GetUniqueDifferentialID>},
    {503548, &op<&TAbstractDevicePin::GetIsPosPinOfDiffPair>},
    {503549, &op<&TAbstractDevicePin::GetIsNegPinOfDiffPair>},
};
}  // namespace

const DispatchTable& TAbstractDevicePin::table() {
  static const DispatchTable t = makeTable(&TAbstractSupportService::rootTable(), "DevicePin", kDevicePinEntries);
  return t;
}

namespace {
const DispatchEntry kDeviceIOStandardEntries[] = {
    {503519, &op<&TAbstractDeviceIOStandard::GetDisplayName>},
    {503520, &op<&TAbstractDeviceIOStandard::GetParamName>},
    {503521, &op<&TAbstractDeviceIOStandard::GetSlewCount>},
    {503522, &op<&TAbstractDeviceIOStandard::GetSlewValue>},
    {503523, &op<&TAbstractDeviceIOStandard::GetDriveCount>},
    {503524, &op<&TAbstractDeviceIOStandard::GetDriveStrength>},
};
}  // namespace

const DispatchTable& TAbstractDeviceIOStandard::table() {
  static const DispatchTable t = makeTable(&TAbstractSupportService::rootTable(), "DeviceIOStandard", kDeviceIOStandardEntries);
  return t;
}

void* TAbstractZoltaDriver::interfaceFor(const Guid& iid) {
  if (iid == zabi::IID_IDriverMemoryAccess) return static_cast<zabi::IDriverMemoryAccess*>(this);
  return TAbstractDeviceInformation::interfaceFor(iid);
}

}  // namespace zolta
