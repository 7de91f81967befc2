// The download stage: programs the device bound to the driver with the bit file of the flow's base path.
// It goes through the host's device object (reset, program, state), which relays to the driver's JTAG
// operations.
#pragma once

#include <cstdint>
#include <string>

#include "zolta/flow/process_flow.h"

namespace zolta {

class TFlowStage_Download : public TFlowStage_WithDriver {
 public:
  TFlowStage_Download(std::string AFileExt, std::string ACaption, std::string ADescription, bool AResetBeforeDownload,
                      IDispatch* ADriver);

  // The file-name part of the download file.
  std::string InputDescription() override;
  std::string OutputDescription() override { return {}; }
  // Up to date while the device reports state 2 and either nothing was downloaded yet or the download
  // file is the one last downloaded with success.
  bool ThisStage_OutputExists() override;
  double ThisStage_DateTimeUpdated() override;
  TFlowRunResult PerformStage(const DispPtr& runner) override;

  // The flow's base path with the download extension.
  std::string DownloadFile();
  const std::string& LastSuccessfulDownloadFile() const { return FLastSuccessfulDownloadFile; }

  // Programs file into device (reset first when asked); status messages and error boxes as the run
  // goes. No device: failure without a message.
  TFlowRunResult DownloadToDevice(const DispPtr& device, const std::string& file, bool reset);

  // The completion text for a transfer of bits in the given time. A transfer that took no measurable
  // time (under a millisecond) shows "0.00 Seconds" and its rate as if it had taken one millisecond, so
  // the message never shows an infinite or undefined rate.
  static std::string CompletionText(int64_t bits, double milliseconds);

 protected:
  // A status message: an info message in the host's messages panel and a line in its output panel.
  void StatusMessage(const std::string& text);

  std::string FFileExtension;
  bool FResetBeforeDownload;
  std::string FLastSuccessfulDownloadFile;
};

class TFlowStage_DownloadFPGA : public TFlowStage_Download {
 public:
  TFlowStage_DownloadFPGA(std::string AFileExt, IDispatch* ADriver);
};

}  // namespace zolta
