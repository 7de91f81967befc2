// TZoltaDriver: the generic device driver. Every driver operation has a generic answer here; a device
// driver replaces what its device has. The generic base binds to the host's device object (and through
// it the JTAG channel and chain index), keeps the build and download flows, finds constraint files,
// composes the device bitmap, answers the vendor-tool questions, creates the hard-device viewer and drives
// the soft-processor debug control register.
//
// Lifetime: drivers are not reference counted. AddRef/Release answer -1 and never free; the plug-in frees
// its drivers when the library is unloaded.
#pragma once

#include <QImage>
#include <cstdint>
#include <memory>
#include <string>

#include "zolta/driver_interface.h"

class QWidget;

namespace zolta {

class TZoltaDriver : public TAbstractZoltaDriver {
 public:
  explicit TZoltaDriver(std::string coreExt);
  ~TZoltaDriver() override;

  // Not counted: the host's references never free a driver.
  int32_t AddRef() override { return -1; }
  int32_t Release() override { return -1; }

  // ---- device information (generic answers) --------------------------------------------------
  uint32_t GetIdCode() override { return 0; }
  std::string GetDeviceName() override { return "Generic Zolta Device"; }
  std::string GetDeviceDescription() override { return GetDeviceName(); }
  std::string GetFamilyName() override { return {}; }
  std::string GetFamilyDescription() override { return {}; }
  std::string GetLibraryName() override { return {}; }
  std::string GetVendorPrimitiveLibraryName() override { return {}; }
  std::string GetBaseName() override { return {}; }
  int32_t GetEquivalentGatesForBase() override { return -1; }
  int32_t GetMaxIOForBase() override { return -1; }
  std::string GetPackageTypeId() override { return "Generic"; }
  std::string GetPackageTypeName() override { return "Generic"; }
  std::string GetPackageTypeDescription() override { return "Un-Classified Packages"; }
  std::string GetPackageId() override { return {}; }
  std::string GetPackageName() override { return {}; }
  std::string GetPackageDescription() override { return {}; }
  std::string GetPackageDimensions() override { return "? x ? mm"; }
  std::string GetTemperatureGradeId() override { return {}; }
  std::string GetTemperatureGradeName() override { return {}; }
  std::string GetTemperatureGradeDescription() override { return {}; }
  std::string GetSpeedGradeId() override { return {}; }
  std::string GetSpeedGradeName() override { return {}; }
  std::string GetSpeedGradeDescription() override { return {}; }
  std::string GetOptionDesignatorId() override { return {}; }
  std::string GetOptionDesignatorName() override { return {}; }
  std::string GetOptionDesignatorDescription() override { return {}; }
  std::string GetBSDLFilename() override { return {}; }
  DispPtr GetBSDLEntity() override { return {}; }
  std::string GetVendorName() override { return {}; }
  int32_t GetInstructionLength() override { return 4; }
  int32_t GetDevicePinCount() override { return 0; }
  int32_t GetDeviceIOCount() override { return -1; }
  DispPtr GetDevicePin(int32_t) override { return {}; }
  std::string GetDownloadFileExtensions() override { return {}; }
  int32_t GetDSPMultiplierCount() override { return -1; }
  int32_t GetClockManagerCount() override { return -1; }
  int32_t GetMemorySize() override { return -1; }
  bool GetTerminationSupport() override { return false; }
  int32_t GetGlobalClockCount() override { return -1; }
  int32_t GetConfigMemorySize() override { return -1; }
  int32_t GetDiffPairCount() override { return -1; }
  int32_t GetHighSpeedDiffPairCount() override { return -1; }
  int32_t GetIOStandardCount() override { return 0; }
  DispPtr GetIOStandard(int32_t) override { return {}; }
  std::string GetDeviceDisplayName() override { return GetDeviceName(); }
  std::string GetDeviceParameter(const std::string&) override { return {}; }

  // ---- driver ---------------------------------------------------------------------------------
  DispPtr GetZoltaDevice() override { return FZoltaDevice; }
  bool SetZoltaDevice(DispPtr device) override;
  bool Finalize() override { return false; }
  int32_t GetBitmapHandle() override;
  bool SaveProcessorState() override { return false; }
  bool RestoreProcessorState() override { return false; }
  void CreateRackViewer() override;
  DispPtr GetRackViewer() override { return FRackView; }
  bool Supports(const std::string& name) override;
  void ShowAboutDialog() override {}
  std::string VendorToolsDescriptor() override;
  bool VendorToolsPresent() override;
  bool VendorToolsUpToDate() override;
  bool SetProcessorRegisterValue(int32_t, uint32_t) override { return false; }
  int32_t GetProcessorRegisterValue(int32_t) override { return 0; }
  int32_t GetProcessorRegisterWidth(int32_t) override { return 0; }
  std::string GetProcessorRegisterName(int32_t) override { return {}; }
  std::string GetProcessorRegisterShortName(int32_t index) override { return GetProcessorRegisterName(index); }
  int32_t GetProcessorRegisterCount() override { return 0; }
  int32_t GetRegisterIndex_PC() override { return -1; }
  int32_t GetRegisterIndex_SP() override { return -1; }
  int32_t GetSoftBreakpointAddressByteAlign() override { return 1; }
  int32_t GetMemorySpaceWidth(int32_t) override { return 0; }
  int32_t GetMemorySpaceKind(int32_t) override { return 0; }
  int32_t GetMemorySpaceBytesPerUnit(int32_t) override { return 1; }
  std::string GetMemorySpaceName(int32_t) override { return {}; }
  std::string GetMemorySpaceShortName(int32_t index) override { return GetMemorySpaceName(index); }
  int32_t GetMemorySpaceCount() override { return 0; }
  int32_t GetMemorySpace_Program() override { return -1; }
  bool InitDownload(int32_t) override { return true; }
  bool FinishDownload(int32_t) override { return true; }
  bool RunDiagnostic() override { return true; }
  bool LittleEndian() override { return false; }
  bool ResetDevice() override { return false; }
  int32_t GetDeviceState() override { return 0; }
  int32_t ProgramDevice(const std::string&) override { return 0; }
  int32_t ReadUserCode() override { return -1; }
  DispPtr FlowStage_Build() override;
  DispPtr FlowStage_Download() override;
  std::string CoreGen_OutputExtension() override { return FCoreExt; }
  void ResetZoltaRegisters() override;
  void SingleStepProcessor() override;
  void RunSingleStepInSubstitutionRegister() override;
  void ResetProcessor() override;
  void PauseProcessor() override;
  void ContinueProcessor() override;
  void RunSteps(int32_t count) override;
  bool ProcessorIsPaused() override;
  bool ProcessorIsReset() override;
  bool ProcessorIsRunning() override;
  bool ProcessorIsUsingReducedInstructionSet() override { return false; }
  bool Flash_Reset() override { return false; }
  int32_t Flash_Program(const std::string&) override { return 0; }
  void Flash_Configure() override {}
  bool SetProcessorRegisterWideValue(int32_t, const std::string&) override { return false; }
  std::string GetProcessorRegisterWideValue(int32_t) override { return "0"; }
  bool ConfigureFpgaProject(DispPtr) override { return false; }
  bool ShowConfiguration() override { return true; }
  void ShowCurrentSensePanel() override {}
  void ReleaseResources() override;
  bool InvalidateResources() override { return false; }
  void CustomAction_Execute(int32_t) override {}
  TCustomActionState CustomAction_GetState(int32_t) override { return {}; }
  bool EPM_Download(const std::string& first, const std::string& fileName, const std::string& third) override;
  bool EPM_InititateTest() override { return false; }
  int32_t EPM_GetTestResult(int32_t) override { return -1; }
  void EPM_SetPercentCallBack(DispPtr callback) override { FCallBack = std::move(callback); }
  bool Flash_ResetForBitStream() override { return Flash_Reset(); }
  std::string GetEmbeddedConstraintFile() override;
  void SetEmbeddedConstraintFile(const std::string& fileName) override { FCustomConstraintFile = fileName; }
  int32_t AddSoftBreakpoint(int32_t, int64_t) override { return 0; }
  bool RemoveSoftBreakpoint(int32_t, int64_t, int32_t) override { return false; }
  int64_t GetMemorySpaceLength(int32_t) override { return 0; }
  std::string GetFolder_Library() override;
  DispPtr ClockCoreGenerator() override { return {}; }
  DispPtr ClockCoreTemplateGenerator() override { return {}; }
  DispPtr ClockGeneratorTargetCore() override { return {}; }
  DispPtr CustomCoreGenerator(int32_t) override { return {}; }

  // IDriverMemoryAccess
  HResult MemoryRead(int32_t, int32_t, int32_t, int32_t, int32_t, int32_t* result) override;
  HResult MemoryWrite(int32_t, int32_t, int32_t, int32_t, int32_t, int32_t* result) override;

  // ---- operations added by the generic base (descendants replace them) --------------------------
  virtual DispPtr HasProcessorInformation() { return {}; }  // none: no processor information
  virtual bool IsCPLD() { return false; }
  virtual bool IsFPGA() { return false; }
  virtual bool IsPROM() { return false; }
  virtual bool IsProcessor() { return false; }
  virtual bool IsSoftProcessor() { return false; }
  virtual bool IsGenericProcessor() { return false; }
  virtual DispPtr CreateFlowObject(int32_t kind) { return {}; }
  virtual QWidget* CreateRackForm();
  QWidget* RackForm() const { return FRackForm; }
  virtual void WriteControlRegister();
  virtual void ReadControlRegister();
  virtual void OpenChannel();
  virtual void CloseChannel();

  // ---- binding ---------------------------------------------------------------------------------
  DispPtr GetBoundChannel();
  int32_t GetBoundDeviceIndex();
  DispPtr GetBoundJTagDevice();

  // Finds a library file: Name itself, then Library/Embedded under the plug-in folder, the host's
  // embedded-library folder, and Library/Embedded under the embedded extension folder.
  bool FindLibraryFile(const std::string& name, std::string& path);

  // Debug control register bits.
  enum : uint8_t {
    kStepCounterBreakpointEnable = 0x80,
    kReset = 0x20,
    kDebugEnable = 0x10,
    kDebugAcknowledge = 0x08,
    kDebugRequest = 0x04,
    kDebugStep = 0x02,
    kDebuggerProgramSelect = 0x01,
  };
  uint8_t ControlRegister() const { return FControlRegister; }
  bool GetControlBit(uint8_t mask) const { return (FControlRegister & mask) != 0; }
  void SetControlBit(uint8_t mask, bool on) { FControlRegister = on ? (FControlRegister | mask) : (FControlRegister & ~mask); }

  // The bitmap kept for GetBitmapHandle (null until built).
  const QImage* DeviceImage() const { return FDeviceImage.get(); }

 protected:
  DispPtr FZoltaDevice;
  std::unique_ptr<QImage> FDeviceImage;
  std::unique_ptr<QImage> FDeviceAboutImage;
  DispPtr FCallBack;
  std::string FCustomConstraintFile;
  DispPtr FBuildFlow, FDownloadFlow, FVerifyFlow;
  QWidget* FRackForm = nullptr;
  DispPtr FRackView;
  uint8_t FControlRegister = 0;
  std::string FCoreExt;

 private:
  void pauseSequence();
  int32_t FBitmapHandle = 0;
};

// Bitmap handles handed to the host: small non-zero integers that stand for a kept image of this module.
int32_t RegisterBitmapHandle(const QImage* image);
const QImage* BitmapFromHandle(int32_t handle);
void ReleaseBitmapHandle(int32_t handle);

}  // namespace zolta
