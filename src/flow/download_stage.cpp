#include "zolta/flow/download_stage.h"

#include <chrono>
#include <cstdio>

#include "zolta/host/files.h"
#include "zolta/host/host_services.h"
#include "zolta/host/host_ui.h"
#include "zolta/host_ids.h"

namespace zolta {

namespace hid = zabi::host;

namespace {
constexpr int32_t kStateConfigured = 2;
// The driver's own operations the stage asks (the driver's dispatch identifiers).
constexpr zabi::DispId kDriver_GetZoltaDevice = 503753;
constexpr zabi::DispId kDriver_GetDeviceState = 503787;

// Days since 1899-12-30, the host's date-time.
double NowAsHostDateTime() {
  using namespace std::chrono;
  const double seconds = duration<double>(system_clock::now().time_since_epoch()).count();
  return seconds / 86400.0 + 25569.0;
}
}  // namespace

TFlowStage_Download::TFlowStage_Download(std::string AFileExt, std::string ACaption, std::string ADescription,
                                         bool AResetBeforeDownload, IDispatch* ADriver)
    : TFlowStage_WithDriver(ADriver, "Download", std::move(ACaption), std::move(ADescription)),
      FFileExtension(std::move(AFileExt)),
      FResetBeforeDownload(AResetBeforeDownload) {}

// The tools write the bit file in their own letter case ("top.rbf" where the stage names "top.RBF"):
// an existing file is found ignoring case.
std::string TFlowStage_Download::DownloadFile() {
  const std::string name = ChangeFileExt(GetBasePath(), FFileExtension);
  const std::string found = ResolveFileCaseInsensitive(name);
  return found.empty() ? name : found;
}

std::string TFlowStage_Download::InputDescription() { return ExtractFileName(DownloadFile()); }

bool TFlowStage_Download::ThisStage_OutputExists() {
  DispPtr driver = Driver();
  if (!driver) return false;
  if (zabi::invoke(driver, kDriver_GetDeviceState).toInt32() != kStateConfigured) return false;
  return FLastSuccessfulDownloadFile.empty() || zabi::sameText(DownloadFile(), FLastSuccessfulDownloadFile);
}

double TFlowStage_Download::ThisStage_DateTimeUpdated() { return NowAsHostDateTime(); }

TFlowRunResult TFlowStage_Download::PerformStage(const DispPtr&) {
  DispPtr driver = Driver();
  DispPtr device = driver ? zabi::invoke(driver, kDriver_GetZoltaDevice).toDispatch() : DispPtr();
  const std::string file = DownloadFile();
  TFlowRunResult result = DownloadToDevice(device, file, FResetBeforeDownload);
  if (result == eFlowRun_Success) FLastSuccessfulDownloadFile = file;
  return result;
}

std::string TFlowStage_Download::CompletionText(int64_t bits, double milliseconds) {
  const double seconds = milliseconds / 1000.0;
  const double rate = double(bits) / (milliseconds < 1.0 ? 0.001 : seconds) / 1000.0;
  char buf[160];
  std::snprintf(buf, sizeof buf, "Downloading via JTAG Completed in %.2f Seconds at %.2f K Bits/Sec", seconds, rate);
  return buf;
}

TFlowRunResult TFlowStage_Download::DownloadToDevice(const DispPtr& device, const std::string& file, bool reset) {
  if (!device) return eFlowRun_Failure;
  if (!FileExists(file)) {
    StatusMessage("Download file is missing. Current filename is : " + file);
    return eFlowRun_Failure;
  }
  PumpHostEvents();
  const std::string description = zabi::invoke(device, hid::ZoltaDevice_GetDescription).toString();
  if (reset && !zabi::invoke(device, hid::ZoltaDevice_ResetDevice).toBool()) {
    ShowError("Unable To Reset Device:" + description + "\r\rIt may be necessary to Power-Down the Device", "Error");
    return eFlowRun_Failure;
  }
  StatusMessage("Downloading via JTAG");
  const auto start = std::chrono::steady_clock::now();
  const int64_t bits = uint32_t(zabi::invoke(device, hid::ZoltaDevice_ProgramDevice, file).toInt32());
  const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  StatusMessage(CompletionText(bits, ms));
  if (zabi::invoke(device, hid::ZoltaDevice_GetDeviceState).toInt32() == kStateConfigured) return eFlowRun_Success;
  ShowError("Failed To Program Device:" + description, "Error");
  return eFlowRun_Failure;
}

void TFlowStage_Download::StatusMessage(const std::string& text) {
  IWorkspace workspace = GetWorkspace();
  if (!workspace || text.empty()) return;
  DispPtr messages = workspace.call(hid::Workspace_GetMessagesManager).toDispatch();
  if (messages) {
    zabi::invoke(messages, hid::MessagesManager_BeginUpdate);
    zabi::invoke(messages, hid::MessagesManager_AddMessage, "ProcessFlowInfo", text, "", "", "", "", 71, false, "", "");
    zabi::invoke(messages, hid::MessagesManager_EndUpdate);
  }
  workspace.call(hid::Workspace_WriteOutputLine, text, false, false);
}

TFlowStage_DownloadFPGA::TFlowStage_DownloadFPGA(std::string AFileExt, IDispatch* ADriver)
    : TFlowStage_Download(std::move(AFileExt), "Program &FPGA", "Download Bit File to FPGA", true, ADriver) {}

}  // namespace zolta
