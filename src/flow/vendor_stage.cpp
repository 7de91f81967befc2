#include "zolta/flow/vendor_stage.h"

#include <QCursor>
#include <QGuiApplication>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <stdexcept>

#include "zolta/host/errors.h"
#include "zolta/host/files.h"
#include "zolta/host/parameters.h"
#include "zolta/host/vendor_tools.h"
#include "zolta/host_ids.h"

namespace zolta {

namespace h = zabi::host;

namespace {

// The driver's device information (the driver's own dispatch identifiers).
constexpr DispId kDriver_GetDeviceName = 503380;

// The host's busy cursor while the tool runs: the application's override cursor when a GUI
// application runs in this process; nothing otherwise.
class TBusyCursor {
 public:
  TBusyCursor() : active_(qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr) {
    if (active_) QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
  }
  ~TBusyCursor() {
    if (active_) QGuiApplication::restoreOverrideCursor();
  }
  TBusyCursor(const TBusyCursor&) = delete;
  TBusyCursor& operator=(const TBusyCursor&) = delete;

 private:
  bool active_;
};

bool startsWith(std::string_view s, std::string_view prefix) { return s.substr(0, prefix.size()) == prefix; }

// The lines of a text file (line breaks LF or CR LF). A file that does not exist gives no lines; one
// that exists but cannot be read raises EFileAccessError naming it.
std::vector<std::string> readLines(const std::string& path, const char* what) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw EFileAccessError(std::string("Cannot open ") + what + " \"" + path + "\": " + std::strerror(errno), path);
  std::vector<std::string> lines;
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  if (in.bad()) throw EFileAccessError(std::string("Cannot read ") + what + " \"" + path + "\"", path);
  return lines;
}

// The message filter of the host's System folder; none when the file is missing or unreadable.
std::vector<std::string> readMessageFilter() {
  const std::string path = ResolveFileCaseInsensitive(GetSystemFolder() + kMessagesToIgnoreFile);
  if (path.empty()) return {};
  try {
    return readLines(path, "message filter");
  } catch (const EFileAccessError&) {
    return {};
  }
}

// The exit code of a tool that did not end on its own: killed by the runner, or ended by a signal
// (the runner answers 128 + the signal's number).
bool endedAbnormally(uint32_t exitCode, std::string& how) {
  if (exitCode == kConsoleExitKilled) {
    how = "was killed";
    return true;
  }
  if (exitCode > 128 && exitCode <= 128 + 64) {
    how = "was ended by signal " + std::to_string(exitCode - 128);
    return true;
  }
  return false;
}

}  // namespace

// ---- file helpers -----------------------------------------------------------------------------------

std::string ResolveFlowFile(std::string_view path) {
  std::string found = ResolveFileCaseInsensitive(path);
  return found.empty() ? std::string(path) : found;
}

std::string FlowBackupFileName(std::string_view path) { return ChangeFileExt(path, ".~" + ExtractFileExt(path)); }

void MoveFlowFile(std::string_view source, std::string_view target) {
  const std::string from = ResolveFileCaseInsensitive(source);
  if (from.empty()) return;
  const std::string to = ResolveFlowFile(target);
  if (from == to) return;
  if (std::rename(from.c_str(), to.c_str()) != 0)
    throw EFileAccessError("Cannot move \"" + from + "\" to \"" + to + "\": " + std::strerror(errno), from);
}

void DeleteFlowFile(std::string_view path) {
  const std::string found = ResolveFileCaseInsensitive(path);
  if (found.empty()) return;
  if (std::remove(found.c_str()) != 0 && errno != ENOENT)
    throw EFileAccessError("Cannot delete \"" + found + "\": " + std::strerror(errno), found);
}

std::string QuoteFlowArgument(std::string_view argument) {
  if (!argument.empty() && argument.find_first_of(" \t\"") == std::string_view::npos) return std::string(argument);
  std::string out = "\"";
  for (char c : argument) {
    if (c == '"') out += '\\';
    out += c;
  }
  return out + "\"";
}

// ---- TFlowStage_VendorProcess -------------------------------------------------------------------------

TFlowStage_VendorProcess::TFlowStage_VendorProcess(std::string AInputExt, std::string AOutputExt,
                                                   std::string_view AReportExts, std::string AName,
                                                   std::string ACaption, std::string ADescription,
                                                   std::string AnApplicationName, std::string AnApplicationPath,
                                                   IDispatch* ADriver)
    : TFlowStage_WithDriver(ADriver, std::move(AName), std::move(ACaption), std::move(ADescription)),
      ApplicationName(std::move(AnApplicationName)),
      ApplicationPath(std::move(AnApplicationPath)),
      FInputExtension(std::move(AInputExt)),
      FOutputExtension(std::move(AOutputExt)),
      FReportExtensions(SplitCommaText(AReportExts)) {
  std::string tool;
  try {
    tool = VendorToolVersion();
  } catch (const EFileAccessError&) {
    // An installation whose version cannot be read counts as one of unknown version.
  }
  FOptions = std::make_unique<TFPGAOptions>(DeviceName(), tool);
  FLinesToIgnore = readMessageFilter();
}

TFlowStage_VendorProcess::~TFlowStage_VendorProcess() = default;

std::string TFlowStage_VendorProcess::DeviceName() {
  if (!FDriver) return {};
  return zabi::invoke(FDriver, kDriver_GetDeviceName).toString();
}

std::string TFlowStage_VendorProcess::OptionsSection() { return StageName() + ApplicationName; }

// ---- files ----

std::string TFlowStage_VendorProcess::InputFileName() { return ChangeFileExt(FBasePath, GetInputExtension()); }
std::string TFlowStage_VendorProcess::OutputFileName() { return ChangeFileExt(FBasePath, GetOutputExtension()); }
std::string TFlowStage_VendorProcess::ConstraintsFileName() { return ChangeFileExt(FBasePath, FConstraintsExt); }
std::string TFlowStage_VendorProcess::BuildConstraintsFileName() {
  return ChangeFileExt(FBasePath, "_BUILD" + FConstraintsExt);
}
std::string TFlowStage_VendorProcess::DefaultOptionsFileName() { return {}; }

std::string TFlowStage_VendorProcess::InputDescription() { return ExtractFileName(InputFileName()); }
std::string TFlowStage_VendorProcess::OutputDescription() { return ExtractFileName(OutputFileName()); }

bool TFlowStage_VendorProcess::ThisStage_OutputExists() {
  return !ResolveFileCaseInsensitive(OutputFileName()).empty();
}

double TFlowStage_VendorProcess::ThisStage_DateTimeUpdated() { return FileDateTime(OutputFileName()); }

int32_t TFlowStage_VendorProcess::ReportCount() { return int32_t(FReportExtensions.size()); }

std::string TFlowStage_VendorProcess::ReportPath(int32_t index) {
  if (index < 0 || size_t(index) >= FReportExtensions.size()) return {};
  return ResolveFlowFile(ChangeFileExt(FBasePath, FReportExtensions[size_t(index)]));
}

// ---- options ----

bool TFlowStage_VendorProcess::CanEditProperties() { return FOptions->GetOptionCount() > 0; }

bool TFlowStage_VendorProcess::ShowOptionsDialog() {
  // The options dialog is not part of this build yet: an edit ends as if the user cancelled it.
  return false;
}

void TFlowStage_VendorProcess::EditProperties() {
  const IProject project = GetProject();
  const std::string section = OptionsSection();
  if (project) FOptions->LoadFromProject(project, section);
  const bool confirmed = ShowOptionsDialog();
  if (confirmed && project) FOptions->SaveToProject(project, section);
}

void TFlowStage_VendorProcess::LoadDefaultOptions() {
  const std::string name = DefaultOptionsFileName();
  if (name.empty()) return;
  std::string path = ResolveFileCaseInsensitive(GetSystemFolder() + name);
  if (path.empty()) path = ResolveFileCaseInsensitive(GetModuleFolder() + name);
  if (path.empty()) return;
  FOptions->LoadOptions(path);
}

void TFlowStage_VendorProcess::ProjectOptionsChanged() {
  try {
    LoadDefaultOptions();
    FOptionsLoadError.clear();
  } catch (const EOptionFileError& e) {
    FOptionsLoadError = e.what();
  } catch (const EFileAccessError& e) {
    FOptionsLoadError = e.what();
  }
  if (!FOptionsLoadError.empty()) PostError(FOptionsLoadError);
  if (const IProject project = GetProject()) FOptions->LoadFromProject(project, OptionsSection());
}

void TFlowStage_VendorProcess::ProjectChanged(const std::string& projectPath) {
  TFlowStage_WithDriver::ProjectChanged(projectPath);
  ProjectOptionsChanged();
}

IProject TFlowStage_VendorProcess::GetProject() {
  IProject project = TFlowStage_WithDriver::GetProject();
  if (!project) return project;
  IProject associated = IProject::fromVar(project.call(h::Project_GetAssociatedProject));
  return associated ? associated : project;
}

// ---- command lines ----

std::string TFlowStage_VendorProcess::ReplacePlaceholders(const std::string& line) { return line; }

bool TFlowStage_VendorProcess::BuildCommandLines(std::vector<std::string>* Cmd, std::vector<std::string>* Scr,
                                                 bool& ReadOnly) {
  std::string tool;
  try {
    tool = VendorToolVersion();
  } catch (const EFileAccessError&) {
  }
  const std::string device = DeviceName();
  bool filled = false;
  auto build = [&](std::vector<std::string>* lines, const std::string& custom, bool isCmd) {
    if (!lines) return;
    lines->clear();
    if (!custom.empty()) {
      *lines = SplitTextLines(custom);
      filled = true;
      return;
    }
    if (FOptions->GetLines(isCmd, *lines, device, tool)) {
      for (std::string& l : *lines) l = ReplacePlaceholders(l);
      filled = true;
    }
  };
  build(Cmd, FOptions->CustomUser_Cmd, true);
  build(Scr, FOptions->CustomUser_Scr, false);
  ReadOnly = true;
  return filled;
}

std::string TFlowStage_VendorProcess::CommandLineArguments() {
  std::string result;
  std::vector<std::string> commands, script;
  bool readOnly = true;
  if (!BuildCommandLines(&commands, &script, readOnly)) return result;
  if (!commands.empty()) {
    const std::string file = ReplacePlaceholders(FOptions->Commands_Filename);
    if (!file.empty()) {
      const std::string folder = ExtractFilePath(InputFileName());
      const std::string path = folder.empty() ? file : JoinPath(IncludeTrailingPathDelimiter(folder), file);
      if (!SaveStringsToFile(commands, path))
        throw EFileAccessError("Cannot write the command file \"" + path + "\"", path);
    }
  }
  for (const std::string& line : script) {
    result += ' ';
    result += TrimParameterText(line);
  }
  return result;
}

// ---- running the tool ----

uint32_t TFlowStage_VendorProcess::RunTool() {
  std::string arguments = CommandLineArguments();
  std::string tool = ApplicationPath;
  // Fixed arguments written after the program in the tool's path go in front of the others, as a
  // separate argument.
  std::string fixed;
  SplitCommandArguments(tool, fixed);
  if (!fixed.empty()) {
    if (!arguments.empty() && arguments.front() != ' ') fixed += ' ';
    arguments = fixed + arguments;
  }
  if (TrimParameterText(tool).empty())
    throw std::runtime_error("the tool's path is not known (no installation of the vendor's tools was found)");

  PostProgress("Running " + tool + "...", kMessageReplace_LastOfSameClass);
  WriteOutputLine("    Parameters: " + arguments);

  TConsoleAppWrapper wrapper(
      tool, arguments, std::string(), ExtractFilePath(InputFileName()),
      [this](const std::string& line) { HandleOutputLine(line); }, [](const std::string&) {}, true, 0, true);
  FExecWrapper = &wrapper;
  struct Forget {
    TConsoleAppWrapper*& w;
    ~Forget() { w = nullptr; }
  } forget{FExecWrapper};
  return wrapper.Execute(2147483647, false, 0, 0);
}

bool TFlowStage_VendorProcess::IsLineIgnored(std::string_view line) {
  const std::string upper = zabi::upperAscii(line);
  for (const std::string& text : FLinesToIgnore) {
    if (text.empty()) continue;
    if (upper.find(zabi::upperAscii(text)) != std::string::npos) return true;
  }
  return false;
}

void TFlowStage_VendorProcess::HandleOutputLine(const std::string& line) {
  enum class Kind { None, Error, Warning } kind = Kind::None;
  bool info = false;
  if (!IsLineIgnored(line)) {
    const std::string upper = zabi::upperAscii(TrimParameterText(line));
    if (startsWith(upper, "ERROR")) kind = Kind::Error;
    else if (startsWith(upper, "WARNING") || startsWith(upper, "CRITICAL WARNING")) kind = Kind::Warning;
    else info = startsWith(upper, "INFO");
  }
  // Errors count also when the host shows nothing: they decide the result.
  if (kind == Kind::Error) FErrorsOccured = true;

  const IWorkspace workspace = GetWorkspace();
  if (!workspace) return;
  // The line's position in the output panel, for the message's jump to it.
  const int32_t position = workspace.call(h::Workspace_GetOutputPosition).toInt32();
  const std::string process = "WorkspaceManager:View";
  const std::string parameters = "ShowInOutput=" + std::to_string(position);
  switch (kind) {
    case Kind::Error:
      PostError(line, kMessageReplace_None, process, parameters);
      break;
    case Kind::Warning:
      PostWarning(line, kMessageReplace_None, process, parameters);
      break;
    case Kind::None:
      if (info) PostInfo(line, kMessageReplace_None, process, parameters);
      else WriteOutputLine(line);
      break;
  }
}

TFlowRunResult TFlowStage_VendorProcess::RunToolStage() {
  FErrorsOccured = false;

  // An option file that failed to load is tried again; while it fails the stage cannot run.
  if (!FOptionsLoadError.empty()) {
    try {
      LoadDefaultOptions();
      FOptionsLoadError.clear();
    } catch (const EOptionFileError& e) {
      FOptionsLoadError = e.what();
    } catch (const EFileAccessError& e) {
      FOptionsLoadError = e.what();
    }
    if (!FOptionsLoadError.empty()) {
      PostError(FOptionsLoadError);
      WriteSeparator();
      return eFlowRun_Failure;
    }
    if (const IProject project = GetProject()) FOptions->LoadFromProject(project, OptionsSection());
  }

  // The old output moves aside: an output found after the run is this run's.
  const std::string output = OutputFileName();
  if (const std::string old = ResolveFileCaseInsensitive(output); !old.empty())
    MoveFlowFile(old, FlowBackupFileName(old));

  uint32_t exitCode = 0;
  {
    TBusyCursor busy;
    try {
      exitCode = RunTool();
    } catch (const std::exception& e) {
      // The failure becomes the run's error; the user also sees it among the messages.
      PostError(ApplicationName + ": " + e.what());
      throw;
    }
  }
  if (FCancelled) return eFlowRun_Cancelled;

  std::string how;
  if (endedAbnormally(exitCode, how)) {
    PostError(ApplicationName + " " + how + " before it finished.");
    FErrorsOccured = true;
  }

  TFlowRunResult result;
  if (!ResolveFileCaseInsensitive(output).empty()) {
    if (FErrorsOccured) {
      PostInfo(ApplicationName + " - Errors Occurred");
      result = eFlowRun_Failure;
    } else {
      PostProgress(ApplicationName + " - Completed Successfully", kMessageReplace_LastOfSameClass);
      result = eFlowRun_Success;
    }
  } else {
    PostInfo(ApplicationName + " - Failed To Generate File : " + ExtractFileName(output));
    result = eFlowRun_Failure;
  }
  WriteSeparator();
  return result;
}

TFlowRunResult TFlowStage_VendorProcess::PerformStage(const DispPtr&) { return RunToolStage(); }

void TFlowStage_VendorProcess::Stop() {
  TFlowStage_WithDriver::Stop();
  if (FExecWrapper) FExecWrapper->Abort();
}

// ---- constraints ----

void TFlowStage_VendorProcess::MergeConstraintFiles() {
  const IProject project = GetProject();
  if (!project) return;
  std::vector<std::string> merged;
  const int32_t count = project.call(h::Project_GetDocumentCount).toInt32();
  for (int32_t i = 0; i < count; ++i) {
    const IDocument document = IDocument::fromVar(project.call(h::Project_GetDocument, i));
    if (!document) continue;
    const std::string file = document.call(h::Document_GetFileName).toString();
    if (!zabi::sameText(ExtractFileExt(file), FConstraintsExt)) continue;
    const std::string path = ResolveFileCaseInsensitive(file);
    if (path.empty()) {
      PostWarning("Constraint file " + file + " not found.");
      continue;
    }
    for (std::string& l : readLines(path, "constraint file")) merged.push_back(std::move(l));
  }
  if (const std::string build = ResolveFileCaseInsensitive(BuildConstraintsFileName()); !build.empty())
    for (std::string& l : readLines(build, "constraint file")) merged.push_back(std::move(l));
  const std::string target = ResolveFlowFile(ConstraintsFileName());
  if (!SaveStringsToFile(merged, target)) throw EFileAccessError("Cannot write \"" + target + "\"", target);
}

}  // namespace zolta
