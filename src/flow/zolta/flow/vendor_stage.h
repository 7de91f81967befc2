// TFlowStage_VendorProcess: a flow stage that runs one vendor command-line tool on the design.
//
// Files. Every file of the stage is the flow's base path with another extension: the input (the
// input extension), the output (the output extension), the reports (the report extensions), the
// constraint files (the constraints extension). The names are declared in the vendor's conventional
// letter case; every lookup of an existing file (exists, date, read, delete, rename) finds it ignoring
// the case of its name in its folder (exact match first), because the tools write, for example,
// "top.map.rpt" where the stage declares "top.MAP.RPT".
//
// A run (PerformStage):
//  1. the old output is moved to its backup name (x.RBF -> x.~.RBF), so that an output found after
//     the run was written by this run;
//  2. the command file is written (from the options' command lines, into the input file's folder) and
//     the tool is run in the input file's folder with the arguments (the options' script lines),
//     through TConsoleAppWrapper: no shell, no time-out, the host's events pumped while it runs;
//  3. every output line of the tool is written to the host's output panel and, by its first word,
//     posted as an error, warning or information message (lines holding a text of the message filter
//     "FPGAMessagesToIgnore.txt" of the host's System folder are only written);
//  4. the run succeeds when the output file exists and no error line was seen. A tool that ended
//     abnormally (killed or crashed) counts as an error even when it left an output file behind.
//     A stopped run is cancelled and reports nothing.
// The process's current folder and environment are never changed: the tool gets its working folder
// and search path through the runner.
//
// Options. The stage owns a TFPGAOptions set for the driver's device and the vendor-tool version,
// loaded from the stage's default option file (System folder first, then the plug-in's own folder) on
// every project change and overlaid with the project's overrides (options storage section: stage name
// immediately followed by the tool name). An option file that exists but cannot be read or is not
// well-formed does not stop the project change: its error is posted, the set keeps what it had, and a
// run of the stage fails with that error until the file loads (each run tries again).
//
// Threads and re-entrancy: everything runs on the host's user-interface thread. While the tool runs
// the host may call Stop (which aborts the tool), IsRunning or RunningStage.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "zolta/flow/console_app.h"
#include "zolta/flow/fpga_options.h"
#include "zolta/flow/process_flow.h"

namespace zolta {

// The message filter file in the host's System folder: one text per line.
inline constexpr const char* kMessagesToIgnoreFile = "FPGAMessagesToIgnore.txt";

// The existing file that path names, found ignoring the case of its name in its folder (exact match
// first); path itself when no such file exists.
std::string ResolveFlowFile(std::string_view path);
// path with its extension replaced by ".~" + the old extension (x.RBF -> x.~.RBF).
std::string FlowBackupFileName(std::string_view path);
// Moves the file source (found ignoring case) to target, replacing a file target names (found ignoring
// case). Nothing happens when source does not exist. A failing move raises EFileAccessError naming
// both files.
void MoveFlowFile(std::string_view source, std::string_view target);
// Deletes the file path names (found ignoring case); nothing when it does not exist. A failing delete
// raises EFileAccessError naming the file.
void DeleteFlowFile(std::string_view path);
// An argument as the runner's command-line splitting reads it back: unchanged when it holds no blank
// and no double quote, else in double quotes (inner quotes escaped with a backslash).
std::string QuoteFlowArgument(std::string_view argument);

class TFlowStage_VendorProcess : public TFlowStage_WithDriver {
 public:
  // AReportExts is comma text. AnApplicationName is the tool's name in messages ("Quartus_Map"),
  // AnApplicationPath its full path (may be followed by a blank and fixed arguments). The option set
  // is created for the driver's device name and the vendor-tool version; the message filter is read.
  TFlowStage_VendorProcess(std::string AInputExt, std::string AOutputExt, std::string_view AReportExts,
                           std::string AName, std::string ACaption, std::string ADescription,
                           std::string AnApplicationName, std::string AnApplicationPath, IDispatch* ADriver);
  ~TFlowStage_VendorProcess() override;

  // ---- overrides of the framework ----
  // The file-name parts of InputFileName and OutputFileName.
  std::string InputDescription() override;
  std::string OutputDescription() override;
  // The framework's Stop, then aborts a running tool.
  void Stop() override;
  bool ThisStage_OutputExists() override;
  double ThisStage_DateTimeUpdated() override;
  int32_t ReportCount() override;
  // The base path with the index-th report extension (the existing file's name when one is found
  // ignoring case); empty for an index out of range.
  std::string ReportPath(int32_t index) override;
  // The option set is not empty.
  bool CanEditProperties() override;
  // Loads the project's overrides, shows the options dialog, and stores the overrides when it was
  // confirmed.
  void EditProperties() override;
  // Stores the path, then ProjectOptionsChanged.
  void ProjectChanged(const std::string& projectPath) override;
  // The framework's project; when it names an associated project (500134), that one.
  IProject GetProject() override;
  TFlowRunResult PerformStage(const DispPtr& runner) override;
  // Cmd: the user's custom command text when there is one, else the options' command lines with
  // placeholders replaced; Scr likewise with the custom script text and the script lines. ReadOnly is
  // set; answers whether either list was filled.
  bool BuildCommandLines(std::vector<std::string>* Cmd, std::vector<std::string>* Scr, bool& ReadOnly) override;

  // ---- operations of the tool stage ----
  // A text of the message filter occurs in the line (ignoring case).
  virtual bool IsLineIgnored(std::string_view line);
  // Called for every new output line of the tool: classifies it (after trimming, ignoring case:
  // "ERROR..." an error; "WARNING..." or "CRITICAL WARNING..." a warning; "INFO..." information;
  // anything else only an output line; ignored lines only an output line), counts errors and reports
  // it with a call-back that shows the line in the output panel.
  virtual void HandleOutputLine(const std::string& line);
  virtual std::string InputFileName();
  virtual std::string OutputFileName();
  // The tool's arguments: writes the command file and answers the script lines, each after a blank.
  virtual std::string CommandLineArguments();
  // The line unchanged here; the vendor's stages substitute their placeholders.
  virtual std::string ReplacePlaceholders(const std::string& line);
  // Name of the default option file; none here.
  virtual std::string DefaultOptionsFileName();
  virtual std::string ConstraintsFileName();
  virtual std::string BuildConstraintsFileName();
  // Loads the default option file (System folder first, then the plug-in's folder); nothing when
  // there is no name or no file. Raises the option file's error.
  virtual void LoadDefaultOptions();
  // LoadDefaultOptions (its error is kept and posted), then the project's overrides.
  virtual void ProjectOptionsChanged();
  // Merges the lines of the project's constraint documents (extension FConstraintsExt) and of the
  // build constraints file into ConstraintsFileName.
  virtual void MergeConstraintFiles();
  // Runs the tool once and answers its exit code.
  virtual uint32_t RunTool();
  virtual std::string GetInputExtension() { return FInputExtension; }
  virtual void SetInputExtension(const std::string& ext) { FInputExtension = ext; }
  virtual std::string GetOutputExtension() { return FOutputExtension; }
  virtual void SetOutputExtension(const std::string& ext) { FOutputExtension = ext; }

  // Options storage section of the stage's overrides: stage name immediately followed by tool name.
  std::string OptionsSection();
  // The driver's device name; empty without a driver.
  std::string DeviceName();
  TFPGAOptions& Options() { return *FOptions; }
  const std::vector<std::string>& LinesToIgnore() const { return FLinesToIgnore; }
  const std::vector<std::string>& ReportExtensions() const { return FReportExtensions; }
  bool ErrorsOccured() const { return FErrorsOccured; }
  // The error of the last attempt to load the default option file; empty when it loaded (or there
  // was none to load).
  const std::string& OptionsLoadError() const { return FOptionsLoadError; }

  std::string ApplicationName;  // tool name in messages
  std::string ApplicationPath;  // full path of the tool

 protected:
  // Shows the options dialog for the set and the stage; answers whether the user confirmed it.
  virtual bool ShowOptionsDialog();
  // The run of the tool with its messages: backup of the old output, the tool run, the result
  // (steps 1 to 4 of the file comment), for stages that do more around it.
  TFlowRunResult RunToolStage();

  std::string FInputExtension;
  std::string FOutputExtension;
  std::string FConstraintsExt;                 // empty unless a subclass sets it
  std::vector<std::string> FReportExtensions;
  std::unique_ptr<TFPGAOptions> FOptions;
  std::vector<std::string> FLinesToIgnore;     // texts of the message filter
  TConsoleAppWrapper* FExecWrapper = nullptr;  // the runner while the tool runs
  bool FErrorsOccured = false;                 // an error line was seen in this run
  std::string FOptionsLoadError;
};

}  // namespace zolta
