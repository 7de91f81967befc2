// The driver-side service interfaces: device information, driver, device pin and I/O standard.
// Each abstract base declares its operations in dispatch-table order and owns the table that maps the
// fixed dispatch identifiers to them. Identifiers never move: they are the contract with the host.
#pragma once

#include <cstdint>
#include <string>

#include "zolta/service.h"

namespace zolta {

// Device information: identifiers 503379..503424, service "DeviceInformation".
class TAbstractDeviceInformation : public TAbstractSupportService {
 public:
  virtual uint32_t GetIdCode() = 0;                   // 503379
  virtual std::string GetDeviceName() = 0;            // 503380
  virtual std::string GetDeviceDescription() = 0;     // 503381
  virtual std::string GetFamilyName() = 0;            // 503382
  virtual std::string GetFamilyDescription() = 0;     // 503383
  virtual std::string GetLibraryName() = 0;           // 503384
  virtual std::string GetVendorPrimitiveLibraryName() = 0;  // 503385
  virtual std::string GetBaseName() = 0;              // 503386
  virtual int32_t GetEquivalentGatesForBase() = 0;    // 503387
  virtual int32_t GetMaxIOForBase() = 0;              // 503388
  virtual std::string GetPackageTypeId() = 0;         // 503389
  virtual std::string GetPackageTypeName() = 0;       // 503390
  virtual std::string GetPackageTypeDescription() = 0;  // 503391
  virtual std::string GetPackageId() = 0;             // 503392
  virtual std::string GetPackageName() = 0;           // 503393
  virtual std::string GetPackageDescription() = 0;    // 503394
  virtual std::string GetPackageDimensions() = 0;     // 503395
  virtual std::string GetTemperatureGradeId() = 0;    // 503396
  virtual std::string GetTemperatureGradeName() = 0;  // 503397
  virtual std::string GetTemperatureGradeDescription() = 0;  // 503398
  virtual std::string GetSpeedGradeId() = 0;          // 503399
  virtual std::string GetSpeedGradeName() = 0;        // 503400
  virtual std::string GetSpeedGradeDescription() = 0;  // 503401
  virtual std::string GetOptionDesignatorId() = 0;    // 503402
  virtual std::string GetOptionDesignatorName() = 0;  // 503403
  virtual std::string GetOptionDesignatorDescription() = 0;  // 503404
  virtual std::string GetBSDLFilename() = 0;          // 503405
  virtual DispPtr GetBSDLEntity() = 0;                // 503406 IBSDLEntity or none
  virtual std::string GetVendorName() = 0;            // 503407
  virtual int32_t GetInstructionLength() = 0;         // 503408
  virtual int32_t GetDevicePinCount() = 0;            // 503409
  virtual int32_t GetDeviceIOCount() = 0;             // 503410
  virtual DispPtr GetDevicePin(int32_t index) = 0;    // 503411 IDevicePin
  virtual std::string GetDownloadFileExtensions() = 0;  // 503412
  virtual int32_t GetDSPMultiplierCount() = 0;        // 503413
  virtual int32_t GetClockManagerCount() = 0;         // 503414
  virtual int32_t GetMemorySize() = 0;                // 503415
  virtual bool GetTerminationSupport() = 0;           // 503416
  virtual int32_t GetGlobalClockCount() = 0;          // 503417
  virtual int32_t GetConfigMemorySize() = 0;          // 503418
  virtual int32_t GetDiffPairCount() = 0;             // 503419
  virtual int32_t GetHighSpeedDiffPairCount() = 0;    // 503420
  virtual int32_t GetIOStandardCount() = 0;           // 503421
  virtual DispPtr GetIOStandard(int32_t index) = 0;   // 503422 IDeviceIOStandard
  virtual std::string GetDeviceDisplayName() = 0;     // 503423
  virtual std::string GetDeviceParameter(const std::string& name) = 0;  // 503424

  static const DispatchTable& table();
  const DispatchTable& dispatchTable() const override { return table(); }
};

// The three flags that CustomAction_GetState answers.
struct TCustomActionState {
  bool enabled = false;
  bool checked = false;
  bool visible = false;
};

// Driver: identifiers 503753..503822 and 508552..508554, 509312, 509376, 509427, 509470, 509981;
// service "ZoltaDriver". Also offers the non-dispatch IDriverMemoryAccess.
class TAbstractZoltaDriver : public TAbstractDeviceInformation, public zabi::IDriverMemoryAccess {
 public:
  // IInterface is shared by all interfaces of the driver.
  HResult QueryInterface(const Guid& iid, void** object) override { return TAbstractDeviceInformation::QueryInterface(iid, object); }
  int32_t AddRef() override { return TAbstractDeviceInformation::AddRef(); }
  int32_t Release() override { return TAbstractDeviceInformation::Release(); }

  virtual DispPtr GetZoltaDevice() = 0;               // 503753
  virtual bool SetZoltaDevice(DispPtr device) = 0;    // 503754
  virtual bool Finalize() = 0;                        // 503755
  virtual int32_t GetBitmapHandle() = 0;              // 503756
  virtual bool SaveProcessorState() = 0;              // 503757
  virtual bool RestoreProcessorState() = 0;           // 503758
  virtual void CreateRackViewer() = 0;                // 503759
  virtual DispPtr GetRackViewer() = 0;                // 503760
  virtual bool Supports(const std::string& name) = 0;  // 503761
  virtual void ShowAboutDialog() = 0;                 // 503762
  virtual std::string VendorToolsDescriptor() = 0;    // 503763
  virtual bool VendorToolsPresent() = 0;              // 503764
  virtual bool VendorToolsUpToDate() = 0;             // 503765
  virtual bool SetProcessorRegisterValue(int32_t index, uint32_t value) = 0;  // 503766
  virtual int32_t GetProcessorRegisterValue(int32_t index) = 0;   // 503767
  virtual int32_t GetProcessorRegisterWidth(int32_t index) = 0;   // 503768
  virtual std::string GetProcessorRegisterName(int32_t index) = 0;       // 503769
  virtual std::string GetProcessorRegisterShortName(int32_t index) = 0;  // 503770
  virtual int32_t GetProcessorRegisterCount() = 0;    // 503771
  virtual int32_t GetRegisterIndex_PC() = 0;          // 503772
  virtual int32_t GetRegisterIndex_SP() = 0;          // 503773
  virtual int32_t GetSoftBreakpointAddressByteAlign() = 0;  // 503774
  virtual int32_t GetMemorySpaceWidth(int32_t index) = 0;   // 503775
  virtual int32_t GetMemorySpaceKind(int32_t index) = 0;    // 503776
  virtual int32_t GetMemorySpaceBytesPerUnit(int32_t index) = 0;  // 503777
  virtual std::string GetMemorySpaceName(int32_t index) = 0;       // 503778
  virtual std::string GetMemorySpaceShortName(int32_t index) = 0;  // 503779
  virtual int32_t GetMemorySpaceCount() = 0;          // 503780
  virtual int32_t GetMemorySpace_Program() = 0;       // 503781
  virtual bool InitDownload(int32_t value) = 0;       // 503782
  virtual bool FinishDownload(int32_t value) = 0;     // 503783
  virtual bool RunDiagnostic() = 0;                   // 503784
  virtual bool LittleEndian() = 0;                    // 503785
  virtual bool ResetDevice() = 0;                     // 503786
  virtual int32_t GetDeviceState() = 0;               // 503787
  virtual int32_t ProgramDevice(const std::string& fileName) = 0;  // 503788
  virtual int32_t ReadUserCode() = 0;                 // 503789
  virtual DispPtr FlowStage_Build() = 0;              // 503790
  virtual DispPtr FlowStage_Download() = 0;           // 503791
  virtual std::string CoreGen_OutputExtension() = 0;  // 503792
  virtual void ResetZoltaRegisters() = 0;             // 503793
  virtual void SingleStepProcessor() = 0;             // 503794
  virtual void RunSingleStepInSubstitutionRegister() = 0;  // 503795
  virtual void ResetProcessor() = 0;                  // 503796
  virtual void PauseProcessor() = 0;                  // 503797
  virtual void ContinueProcessor() = 0;               // 503798
  virtual void RunSteps(int32_t count) = 0;           // 503799
  virtual bool ProcessorIsPaused() = 0;               // 503800
  virtual bool ProcessorIsReset() = 0;                // 503801
  virtual bool ProcessorIsRunning() = 0;              // 503802
  virtual bool ProcessorIsUsingReducedInstructionSet() = 0;  // 503803
  virtual bool Flash_Reset() = 0;                     // 503804
  virtual int32_t Flash_Program(const std::string& fileName) = 0;  // 503805
  virtual void Flash_Configure() = 0;                 // 503806
  virtual bool SetProcessorRegisterWideValue(int32_t index, const std::string& value) = 0;  // 503807
  virtual std::string GetProcessorRegisterWideValue(int32_t index) = 0;  // 503808
  virtual bool ConfigureFpgaProject(DispPtr project) = 0;  // 503809
  virtual bool ShowConfiguration() = 0;               // 503810
  virtual void ShowCurrentSensePanel() = 0;           // 503811
  virtual void ReleaseResources() = 0;                // 503812
  virtual bool InvalidateResources() = 0;             // 503813
  virtual void CustomAction_Execute(int32_t action) = 0;  // 503814
  virtual TCustomActionState CustomAction_GetState(int32_t action) = 0;  // 503815 (by-reference flags)
  virtual bool EPM_Download(const std::string& first, const std::string& fileName, const std::string& third) = 0;  // 503816
  virtual bool EPM_InititateTest() = 0;               // 503817
  virtual int32_t EPM_GetTestResult(int32_t value) = 0;  // 503818
  virtual void EPM_SetPercentCallBack(DispPtr callback) = 0;  // 503819
  virtual bool Flash_ResetForBitStream() = 0;         // 503820
  virtual std::string GetEmbeddedConstraintFile() = 0;  // 503821
  virtual void SetEmbeddedConstraintFile(const std::string& fileName) = 0;  // 503822
  virtual int32_t AddSoftBreakpoint(int32_t memorySpace, int64_t address) = 0;  // 508552
  virtual bool RemoveSoftBreakpoint(int32_t memorySpace, int64_t address, int32_t handle) = 0;  // 508553
  virtual int64_t GetMemorySpaceLength(int32_t index) = 0;  // 508554
  virtual std::string GetFolder_Library() = 0;        // 509312
  virtual DispPtr ClockCoreGenerator() = 0;           // 509376
  virtual DispPtr ClockCoreTemplateGenerator() = 0;   // 509427
  virtual DispPtr ClockGeneratorTargetCore() = 0;     // 509470
  virtual DispPtr CustomCoreGenerator(int32_t kind) = 0;  // 509981

  static const DispatchTable& table();
  const DispatchTable& dispatchTable() const override { return table(); }

 protected:
  void* interfaceFor(const Guid& iid) override;
};

// Device pin: identifiers 503525..503549, service "DevicePin".
class TAbstractDevicePin : public TAbstractSupportService {
 public:
  virtual std::string GetPinNumber() = 0;       // 503525
  virtual std::string GetIOBank() = 0;          // 503526
  virtual bool GetIsIOPin() = 0;                // 503527
  virtual bool GetIsCLKPin() = 0;               // 503528
  virtual bool GetIsVREFPin() = 0;              // 503529
  virtual bool GetIsSpecialPin() = 0;           // 503530
  virtual int32_t GetIOStandardCount() = 0;     // 503531
  virtual DispPtr GetIOStandard(int32_t index) = 0;  // 503532
  virtual bool GetIsInputOnlyPin() = 0;         // 503533
  virtual bool GetIsDCIP_Pin() = 0;             // 503534
  virtual bool GetIsDCIN_Pin() = 0;             // 503535
  virtual bool GetIsDiffP_Pin() = 0;            // 503536
  virtual bool GetIsDiffN_Pin() = 0;            // 503537
  virtual bool GetIsHDiffP_Pin() = 0;           // 503538
  virtual bool GetIsHDiffN_Pin() = 0;           // 503539
  virtual bool GetIsTransmitDiffPin() = 0;      // 503540
  virtual bool GetIsReceiveDiffPin() = 0;       // 503541
  virtual bool GetIsClkDiffP_Pin() = 0;         // 503542
  virtual bool GetIsClkDiffN_Pin() = 0;         // 503543
  virtual bool GetIsDLLPin() = 0;               // 503544
  virtual std::string GetDifferentialId() = 0;  // 503545
  virtual std::string GetClkDifferentialId() = 0;     // 503546
  virtual std::string GetUniqueDifferentialID() = 0;  // 503547
  virtual bool GetIsPosPinOfDiffPair() = 0;     // 503548
  virtual bool GetIsNegPinOfDiffPair() = 0;     // 503549

  static const DispatchTable& table();
  const DispatchTable& dispatchTable() const override { return table(); }
};

// I/O standard: identifiers 503519..503524, service "DeviceIOStandard".
class TAbstractDeviceIOStandard : public TAbstractSupportService {
 public:
  virtual std::string GetDisplayName() = 0;          // 503519
  virtual std::string GetParamName() = 0;            // 503520
  virtual int32_t GetSlewCount() = 0;                // 503521
  virtual std::string GetSlewValue(int32_t index) = 0;  // 503522
  virtual int32_t GetDriveCount() = 0;               // 503523
  virtual std::string GetDriveStrength(int32_t index) = 0;  // 503524

  static const DispatchTable& table();
  const DispatchTable& dispatchTable() const override { return table(); }
};

// Dispatch identifiers of the driver interfaces, for callers on either side.
namespace dispid {
inline constexpr DispId GetIdCode = 503379, GetDeviceName = 503380, GetDeviceDescription = 503381,
                        GetFamilyName = 503382, GetBaseName = 503386, GetPackageDimensions = 503395,
                        GetBSDLFilename = 503405, GetBSDLEntity = 503406, GetVendorName = 503407,
                        GetInstructionLength = 503408, GetDevicePinCount = 503409, GetDevicePin = 503411,
                        GetIOStandardCount = 503421, GetIOStandard = 503422, GetDeviceDisplayName = 503423,
                        GetDeviceParameter = 503424;
inline constexpr DispId GetZoltaDevice = 503753, SetZoltaDevice = 503754, GetBitmapHandle = 503756,
                        CreateRackViewer = 503759, GetRackViewer = 503760, Supports = 503761,
                        VendorToolsDescriptor = 503763, VendorToolsPresent = 503764, VendorToolsUpToDate = 503765,
                        ResetDevice = 503786, GetDeviceState = 503787, ProgramDevice = 503788,
                        ReadUserCode = 503789, FlowStage_Build = 503790, FlowStage_Download = 503791,
                        CoreGen_OutputExtension = 503792, CustomAction_GetState = 503815, EPM_Download = 503816,
                        GetEmbeddedConstraintFile = 503821, SetEmbeddedConstraintFile = 503822,
                        GetFolder_Library = 509312;
}  // namespace dispid

}  // namespace zolta
