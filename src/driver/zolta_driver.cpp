#include "zolta/zolta_driver.h"

#include <QWidget>
#include <map>

#include "zolta/flow/process_flow.h"
#include "zolta/host/files.h"
#include "zolta/host/host_services.h"
#include "zolta/host/host_ui.h"
#include "zolta/host/utils.h"
#include "zolta/host/vendor_tools.h"
#include "zolta/host_ids.h"

namespace zolta {

namespace hid = zabi::host;

namespace {
// The application window the plug-in's windows belong to (the host's, when a host runs).
int64_t gApplicationWindow = 0;

// Bitmap handles: small integers standing for images kept by drivers of this module.
std::map<int32_t, const QImage*>& bitmapHandles() {
  static std::map<int32_t, const QImage*> handles;
  return handles;
}
}  // namespace

int32_t RegisterBitmapHandle(const QImage* image) {
  auto& h = bitmapHandles();
  int32_t id = h.empty() ? 1 : h.rbegin()->first + 1;
  h[id] = image;
  return id;
}

const QImage* BitmapFromHandle(int32_t handle) {
  auto& h = bitmapHandles();
  auto it = h.find(handle);
  return it == h.end() ? nullptr : it->second;
}

void ReleaseBitmapHandle(int32_t handle) { bitmapHandles().erase(handle); }

// ---- life --------------------------------------------------------------------------------------

TZoltaDriver::TZoltaDriver(std::string coreExt) : FCoreExt(std::move(coreExt)) {
  // Every window of the plug-in belongs to the host's application window.
  if (IClient client = HostClient()) {
    try {
      gApplicationWindow = client.call(hid::Client_SetApplicationWindow).toInt64();
    } catch (const zabi::DispatchError&) {
      // A host without an application window (the command-line host) leaves the plug-in's own.
    }
  }
}

TZoltaDriver::~TZoltaDriver() {
  if (FBitmapHandle) ReleaseBitmapHandle(FBitmapHandle);
  // A category and its children refer to each other (children to parent, parent to children); clearing
  // the children breaks that cycle so that the flow objects are freed with the driver.
  for (DispPtr* flow : {&FBuildFlow, &FDownloadFlow, &FVerifyFlow}) {
    if (!*flow) continue;
    try {
      zabi::invoke(*flow, flowid::ClearChildren);
    } catch (...) {
    }
    *flow = nullptr;
  }
  try {
    ReleaseResources();
  } catch (...) {
  }
}

// ---- binding -----------------------------------------------------------------------------------

bool TZoltaDriver::SetZoltaDevice(DispPtr device) {
  FZoltaDevice = std::move(device);
  if (FRackForm) {
    // The viewer form follows the device; without a device the viewer is released.
    if (!FZoltaDevice) ReleaseResources();
  }
  return true;
}

DispPtr TZoltaDriver::GetBoundChannel() {
  if (!FZoltaDevice) return {};
  return zabi::invoke(FZoltaDevice, hid::ZoltaDevice_GetJTagChannel).toDispatch();
}

int32_t TZoltaDriver::GetBoundDeviceIndex() {
  if (!FZoltaDevice) return 0;
  return zabi::invoke(FZoltaDevice, hid::ZoltaDevice_GetJTagIndex).toInt32();
}

DispPtr TZoltaDriver::GetBoundJTagDevice() {
  DispPtr channel = GetBoundChannel();
  if (!channel) return {};
  return zabi::invoke(channel, hid::JTagChannel_GetJTagDevice, GetBoundDeviceIndex()).toDispatch();
}

void TZoltaDriver::OpenChannel() {
  if (DispPtr channel = GetBoundChannel()) zabi::invoke(channel, hid::JTagChannel_Lock);
}

void TZoltaDriver::CloseChannel() {
  if (DispPtr channel = GetBoundChannel()) zabi::invoke(channel, hid::JTagChannel_Unlock);
}

// ---- flows -------------------------------------------------------------------------------------

DispPtr TZoltaDriver::FlowStage_Build() {
  if (!FBuildFlow) FBuildFlow = CreateFlowObject(0);
  return FBuildFlow;
}

DispPtr TZoltaDriver::FlowStage_Download() {
  if (!FDownloadFlow) FDownloadFlow = CreateFlowObject(1);
  return FDownloadFlow;
}

// ---- files and pictures ------------------------------------------------------------------------

bool TZoltaDriver::FindLibraryFile(const std::string& name, std::string& path) {
  path.clear();
  if (name.empty()) return false;
  const std::string candidates[] = {
      name,
      JoinPath(JoinPath(GetModuleFolder(), "Library/Embedded"), name),
      JoinPath(GetEmbeddedLibraryFolder(), name),
      JoinPath(JoinPath(SpecialFolder_EmbeddedExtension(), "Library/Embedded"), name),
  };
  for (const std::string& c : candidates) {
    if (FileExists(c)) {
      path = c;
      return true;
    }
  }
  return false;
}

std::string TZoltaDriver::GetEmbeddedConstraintFile() {
  std::string found;
  if (!FCustomConstraintFile.empty() && FindLibraryFile(FCustomConstraintFile, found)) return found;
  const std::string ext = ".Constraint";
  if (FindLibraryFile(GetDeviceName() + ext, found)) return found;
  if (FindLibraryFile(GetDeviceParameter("ProcessorDeviceName") + ext, found)) return found;
  if (FindLibraryFile(GetBaseName() + ext, found)) return found;
  if (FindLibraryFile(GetFamilyName() + ext, found)) return found;
  if (DispPtr info = HasProcessorInformation()) {
    constexpr zabi::DispId kProcessorName = 503890;
    if (FindLibraryFile(zabi::invoke(info, kProcessorName).toString() + ext, found)) return found;
  }
  return {};
}

std::string TZoltaDriver::GetFolder_Library() { return GetLibraryFolder(); }

int32_t TZoltaDriver::GetBitmapHandle() {
  if (!FDeviceImage) {
    const std::string base = JoinPath(GetSystemFolder(), "Generic_Hard_Device.bmp");
    if (!FileExists(base)) return 0;  // tried again on the next call
    auto image = std::make_unique<QImage>(QString::fromStdString(base));
    if (image->isNull()) return 0;
    const std::string overlayPath =
        JoinPath(JoinPath(GetFolder_Library(), "DeviceImages"), GetFamilyName() + ".bmp");
    if (!GetFamilyName().empty() && FileExists(overlayPath)) {
      QImage overlay(QString::fromStdString(overlayPath));
      if (!overlay.isNull()) CopyBitmapCentred(overlay, *image, true);
    }
    FDeviceImage = std::move(image);
    FBitmapHandle = RegisterBitmapHandle(FDeviceImage.get());
  }
  return FBitmapHandle;
}

// ---- questions ---------------------------------------------------------------------------------

bool TZoltaDriver::Supports(const std::string& name) {
  struct Kind {
    const char* name;
    bool (TZoltaDriver::*answer)();
  };
  static const Kind kinds[] = {
      {"CPLD", &TZoltaDriver::IsCPLD},           {"FPGA", &TZoltaDriver::IsFPGA},
      {"PROM", &TZoltaDriver::IsPROM},           {"PROC", &TZoltaDriver::IsProcessor},
      {"SPROC", &TZoltaDriver::IsSoftProcessor}, {"GPROC", &TZoltaDriver::IsGenericProcessor},
  };
  for (const Kind& k : kinds)
    if (zabi::sameText(name, k.name)) return (this->*k.answer)();
  std::string toolchain;
  if (ToolchainNameOf(name, toolchain) && !toolchain.empty()) return false;
  const int32_t action = ActionIndexOf(name);
  // Processor actions (1..9), the processor menu (15), flash actions (17..20) and program verification
  // (31) need a processor or a flash device; the generic driver has neither.
  if ((action >= 1 && action <= 9) || action == 15 || (action >= 17 && action <= 20) || action == 31) return false;
  return true;
}

namespace {
enum class Vendor { Xilinx, Altera, Actel, Lattice, Other };
Vendor vendorOf(const std::string& name) {
  if (zabi::sameText(name, "Xilinx")) return Vendor::Xilinx;
  if (zabi::sameText(name, "Altera")) return Vendor::Altera;
  if (zabi::sameText(name, "Actel")) return Vendor::Actel;
  if (zabi::sameText(name, "Lattice")) return Vendor::Lattice;
  return Vendor::Other;
}
}  // namespace

bool TZoltaDriver::VendorToolsPresent() {
  switch (vendorOf(GetVendorName())) {
    case Vendor::Xilinx: return XilinxToolsInstalled();
    case Vendor::Altera: return QuartusPresent();
    case Vendor::Actel: return ActelDesignerPresent();
    case Vendor::Lattice: return LatticeToolsInstalled();
    case Vendor::Other: break;
  }
  return true;
}

bool TZoltaDriver::VendorToolsUpToDate() {
  std::string version;
  switch (vendorOf(GetVendorName())) {
    case Vendor::Xilinx: return XilinxVersion(version);
    case Vendor::Altera: return AlteraVersion(version);
    case Vendor::Actel: return ActelVersion(version);
    case Vendor::Lattice: return LatticeVersion(version);
    case Vendor::Other: break;
  }
  return true;
}

std::string TZoltaDriver::VendorToolsDescriptor() {
  switch (vendorOf(GetVendorName())) {
    case Vendor::Xilinx: return XilinxToolsDescriptor();
    case Vendor::Altera: return AlteraToolsDescriptor();
    case Vendor::Actel: return ActelToolsDescriptor();
    case Vendor::Lattice: return LatticeToolsDescriptor();
    case Vendor::Other: break;
  }
  return {};
}

bool TZoltaDriver::EPM_Download(const std::string&, const std::string& fileName, const std::string&) {
  if (!ResetDevice()) return false;
  ProgramDevice(fileName);
  return GetDeviceState() == 2;
}

HResult TZoltaDriver::MemoryRead(int32_t, int32_t, int32_t, int32_t, int32_t, int32_t* result) {
  if (result) *result = 0;
  return zabi::kOk;
}

HResult TZoltaDriver::MemoryWrite(int32_t, int32_t, int32_t, int32_t, int32_t, int32_t* result) {
  if (result) *result = 0;
  return zabi::kOk;
}

// ---- rack viewer -------------------------------------------------------------------------------

void TZoltaDriver::CreateRackViewer() {
  if (FRackForm) return;
  FRackForm = CreateRackForm();
  // The viewer form and its view are created by the viewer; without one there is nothing more to do.
}

QWidget* TZoltaDriver::CreateRackForm() {
  DispPtr jtagDevice = GetBoundJTagDevice();
  if (!jtagDevice) return nullptr;
  DispPtr entity = zabi::invoke(jtagDevice, hid::JTagDevice_GetBSDLEntity).toDispatch();
  if (entity) return nullptr;  // the hard-device viewer form is built by the viewer component
  const std::string deviceName = zabi::invoke(FZoltaDevice, hid::ZoltaDevice_GetName).toString();
  ShowError("Failed To find Boundary Scan data for Device\r\rDevice:  " + deviceName, "Error");
  return nullptr;
}

void TZoltaDriver::ReleaseResources() {
  if (FRackView) {
    zabi::invoke(FRackView, hid::InstrumentView_Hidden);
    FRackView = nullptr;
    FRackForm = nullptr;  // the host's view owns the form from now on
  } else if (FRackForm) {
    delete FRackForm;
    FRackForm = nullptr;
  }
}

// ---- soft-processor debug control --------------------------------------------------------------

void TZoltaDriver::ReadControlRegister() {
  FControlRegister = uint8_t(zabi::invoke(FZoltaDevice, hid::ZoltaDevice_ReadRegister, 0x40, 8).toInt32() & 0xFF);
}

void TZoltaDriver::WriteControlRegister() {
  zabi::invoke(FZoltaDevice, hid::ZoltaDevice_WriteRegister, 0x40, 8, int32_t(FControlRegister));
}

namespace {
// Opens the channel for one debug-control sequence and closes it however the sequence ends.
class ChannelSession {
 public:
  explicit ChannelSession(TZoltaDriver& d) : d_(d) { d_.OpenChannel(); }
  ~ChannelSession() {
    try {
      d_.CloseChannel();
    } catch (...) {
    }
  }

 private:
  TZoltaDriver& d_;
};
}  // namespace

void TZoltaDriver::pauseSequence() {
  ReadControlRegister();
  SetControlBit(kStepCounterBreakpointEnable | kReset | kDebugAcknowledge | kDebugStep | kDebuggerProgramSelect,
                false);
  SetControlBit(kDebugEnable | kDebugRequest, true);
  WriteControlRegister();
  ReadControlRegister();
}

void TZoltaDriver::PauseProcessor() {
  ChannelSession s(*this);
  pauseSequence();
}

void TZoltaDriver::ContinueProcessor() {
  ChannelSession s(*this);
  ReadControlRegister();
  SetControlBit(kStepCounterBreakpointEnable | kReset | kDebugEnable | kDebugAcknowledge | kDebugRequest |
                    kDebugStep | kDebuggerProgramSelect,
                false);
  SetControlBit(kDebugEnable | kDebugRequest, true);
  WriteControlRegister();
  SetControlBit(kDebugRequest, false);
  WriteControlRegister();
  ReadControlRegister();
}

void TZoltaDriver::ResetProcessor() {
  ChannelSession s(*this);
  pauseSequence();
  SetControlBit(kReset, true);
  WriteControlRegister();
  SetControlBit(kReset, false);
  WriteControlRegister();
  ReadControlRegister();
}

void TZoltaDriver::SingleStepProcessor() {
  ChannelSession s(*this);
  pauseSequence();
  ReadControlRegister();
  SetControlBit(kReset, false);
  SetControlBit(kDebugRequest | kDebugEnable, true);
  WriteControlRegister();
  SetControlBit(kDebugStep, true);
  WriteControlRegister();
  ReadControlRegister();
}

void TZoltaDriver::RunSteps(int32_t count) {
  ChannelSession s(*this);
  ReadControlRegister();
  pauseSequence();
  SetControlBit(kReset, false);
  SetControlBit(kDebugRequest | kDebugEnable, true);
  WriteControlRegister();
  SetControlBit(kDebugStep, true);
  for (int32_t i = 0; i < count; ++i) WriteControlRegister();
  ReadControlRegister();
}

void TZoltaDriver::RunSingleStepInSubstitutionRegister() {
  ChannelSession s(*this);
  ReadControlRegister();
  SetControlBit(kReset, false);
  SetControlBit(kDebugRequest | kDebugEnable, true);
  WriteControlRegister();
  SetControlBit(kDebuggerProgramSelect, true);
  WriteControlRegister();
  SetControlBit(kDebugStep, true);
  WriteControlRegister();
  SetControlBit(kDebuggerProgramSelect | kDebugStep, false);
  WriteControlRegister();
  ReadControlRegister();
}

bool TZoltaDriver::ProcessorIsPaused() {
  ChannelSession s(*this);
  ReadControlRegister();
  return GetControlBit(kDebugEnable) && GetControlBit(kDebugAcknowledge);
}

bool TZoltaDriver::ProcessorIsReset() {
  ChannelSession s(*this);
  ReadControlRegister();
  return GetControlBit(kReset);
}

bool TZoltaDriver::ProcessorIsRunning() {
  if (ProcessorIsReset()) return false;
  return !ProcessorIsPaused();
}

void TZoltaDriver::ResetZoltaRegisters() {
  ChannelSession s(*this);
  zabi::invoke(GetBoundChannel(), hid::JTagChannel_LoadInstruction, 2, GetBoundDeviceIndex());
}

}  // namespace zolta
