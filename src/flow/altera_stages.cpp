#include "zolta/flow/altera_stages.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <functional>
#include <optional>

#include "flow_text.h"
#include "zolta/flow/altera_reports.h"
#include "zolta/host/errors.h"
#include "zolta/host/files.h"
#include "zolta/host/parameters.h"
#include "zolta/host/text_utils.h"
#include "zolta/host/vendor_tools.h"
#include "zolta/host_ids.h"

namespace zolta {

namespace h = zabi::host;
using flowtext::containsNoCase;
using flowtext::replaceAllNoCase;
using flowtext::startsWithNoCase;

namespace {

// The driver's own operations the stages ask (the driver's dispatch identifiers).
constexpr DispId kDriver_GetDeviceName = 503380;
constexpr DispId kDriver_GetFamilyName = 503382;
constexpr DispId kDriver_GetZoltaDevice = 503753;

// The synthesizer name the host gives a project that Quartus synthesises itself.
constexpr const char* kQuartusSynthesizer = "Altera Quartus II";

// Families whose timing analysis is always TimeQuest's.
constexpr std::array<const char*, 3> kTimeQuestFamilies = {"ArriaGX", "Cyclone4E", "Cyclone4GX"};

std::string driverText(IDispatch* driver, DispId id) {
  if (!driver) return {};
  return zabi::invoke(driver, id).toString();
}

// The host family manager's family of that name, or none (no device manager, no family manager, an
// unknown family).
DispPtr familyNamed(const std::string& familyName) {
  if (familyName.empty()) return {};
  const IDeviceManager devices = GetDeviceManager();
  if (!devices) return {};
  const DispPtr families = devices.call(h::DeviceManager_GetFamilyManager).toDispatch();
  if (!families) return {};
  return zabi::invoke(families, h::FamilyManager_GetFamily, familyName).toDispatch();
}

std::string familyParameter(const DispPtr& family, const char* name, const char* fallback) {
  if (!family) return {};
  if (!zabi::invoke(family, h::Family_HasParameter, std::string(name)).toBool()) return fallback;
  return zabi::invoke(family, h::Family_GetParameterValue, std::string(name)).toString();
}

// Makes the file newer without touching its contents.
void touchFile(const std::string& path) {
  if (::utimensat(AT_FDCWD, path.c_str(), nullptr, 0) != 0)
    throw EFileAccessError("Cannot update the time of \"" + path + "\": " + std::strerror(errno), path);
}

// Deletes a stage's old report before its tool runs, so that no stale report is summarised. A report
// that is also the stage's output is left to the run, which keeps it under its backup name.
void deleteOldReport(const std::string& report, const std::string& output) {
  if (zabi::sameText(report, output)) return;
  DeleteFlowFile(report);
}

}  // namespace

// ---- versions -----------------------------------------------------------------------------------------

TQuartusVersion DetectQuartusVersion() {
  TQuartusVersion version;
  try {
    version.Supported = AlteraVersion(version.Text);
  } catch (const EFileAccessError&) {
    version.Supported = false;
  }
  return version;
}

bool LeadingVersionNumber(std::string_view text, double& value) {
  size_t end = 0;
  while (end < text.size() && text[end] >= '0' && text[end] <= '9') ++end;
  if (end == 0) return false;
  if (end < text.size() && text[end] == '.') {
    size_t frac = end + 1;
    while (frac < text.size() && text[frac] >= '0' && text[frac] <= '9') ++frac;
    if (frac > end + 1) end = frac;
  }
  return TryParseFloat(text.substr(0, end), value);
}

// ---- TFlowStage_Altera_Abstract ---------------------------------------------------------------------------

TFlowStage_Altera_Abstract::TFlowStage_Altera_Abstract(const TQuartusVersion& AVersion, std::string AInputExt,
                                                       std::string AOutputExt, std::string_view AReportExts,
                                                       std::string AName, std::string ACaption,
                                                       std::string ADescription, std::string AToolName,
                                                       IDispatch* ADriver)
    : TFlowStage_VendorProcess(std::move(AInputExt), std::move(AOutputExt), AReportExts, std::move(AName),
                               std::move(ACaption), std::move(ADescription), AToolName, AlteraToolPath(AToolName),
                               ADriver),
      FQuartusVersion(AVersion.Text),
      FQuartusVersionSupported(AVersion.Supported) {}

bool TFlowStage_Altera_Abstract::UsesEquationFiles(std::string_view version) {
  return startsWithNoCase(version, "3") || startsWithNoCase(version, "4.") || startsWithNoCase(version, "5.");
}

std::string TFlowStage_Altera_Abstract::ProjectExtensionFor(std::string_view version) {
  return startsWithNoCase(version, "3") ? ".quartus" : ".qpf";
}

double TFlowStage_Altera_Abstract::QuartusVersionNumber() const {
  if (!FQuartusVersionSupported || FQuartusVersion.empty()) return 100000000.0;
  return VersionTextToNumber(FQuartusVersion);
}

std::string TFlowStage_Altera_Abstract::ProjectName() { return ChangeFileExt(ExtractFileName(FBasePath), ""); }

std::string TFlowStage_Altera_Abstract::ProjectArgument() { return QuoteFlowArgument(ProjectName()); }

bool TFlowStage_Altera_Abstract::UsesOtherSynthesizer() {
  const IProject project = GetProject();
  if (!project) return false;
  std::string synthesizer;
  if (const IClient client = HostClient()) {
    const DispPtr module =
        client.call(h::Client_GetServerModuleByName, std::string(h::kServerModule_FPGAFlow)).toDispatch();
    const DispPtr manager = module ? zabi::invoke(module, h::FPGAFlowModule_GetSynthesizerManager).toDispatch()
                                   : DispPtr();
    if (manager) synthesizer = zabi::invoke(manager, h::SynthesizerManager_GetSynthesizerName, project.ptr()).toString();
  }
  return !zabi::sameText(synthesizer, kQuartusSynthesizer);
}

std::string TFlowStage_Altera_Abstract::ReplacePlaceholders(const std::string& line) {
  std::string text = TrimParameterText(line);

  // Values are looked up only for placeholders the line holds.
  std::optional<DispPtr> family;
  auto theFamily = [&]() -> const DispPtr& {
    if (!family) family = familyNamed(driverText(FDriver, kDriver_GetFamilyName));
    return *family;
  };
  std::optional<IProject> project;
  auto theProject = [&]() -> const IProject& {
    if (!project) project = GetProject();
    return *project;
  };
  auto userID = [&]() -> std::string {
    const IProject& p = theProject();
    if (!p) return {};
    std::string id = p.call(h::Project_GetUserID).toString();
    if (!id.empty() && id.front() == '$') id.erase(0, 1);
    if (id.size() >= 2 && id[0] == '0' && (id[1] == 'x' || id[1] == 'X')) id.erase(0, 2);
    return id;
  };

  using Value = std::function<std::string()>;
  const std::pair<const char*, Value> placeholders[] = {
      {".ReplaceDeviceFamilyName", [&] { return familyParameter(theFamily(), "NameUsedByVendor", ""); }},
      {".ReplaceDeviceName",
       [&] {
         std::string name = driverText(FDriver, kDriver_GetDeviceName);
         if (!name.empty() && name.back() == 'N') name.pop_back();
         return name;
       }},
      {".ReplaceProjectName",
       [&] {
         const IProject& p = theProject();
         if (!p) return ProjectName();
         return ChangeFileExt(ExtractFileName(p.call(h::Project_GetFileName).toString()), "");
       }},
      {".ReplaceLMF", [&] { return BackslashesToSlashes(GetEDIFFolder() + "Marlok.LMF"); }},
      {".ReplaceUserID", userID},
      {".ReplaceShortUserID",
       [&] {
         const std::string id = userID();
         return id.size() > 8 ? id.substr(id.size() - 8) : id;
       }},
      {".ReplaceEnablePLDFlow", [&] { return std::string(PLDFlow ? "1" : "0"); }},
      {".ReplaceOptimizationFlag",
       [&] { return familyParameter(theFamily(), "OptimizationFlag", "cyclone_optimization_technique"); }},
      {".ReplaceConfigSchemeFlag",
       [&] { return familyParameter(theFamily(), "ConfigurationSchemeFlag", "cyclone_configuration_scheme"); }},
      {".ReplaceConfigDeviceFlag",
       [&] { return familyParameter(theFamily(), "ConfigurationDeviceFlag", "cyclone_configuration_device"); }},
      {".ReplaceAddTimeQuestFile",
       [&] {
         double number = 0;
         const bool early = !FQuartusVersion.empty() && LeadingVersionNumber(FQuartusVersion, number) && number <= 5.1;
         return std::string(early ? "#" : "");
       }},
  };
  for (const auto& [name, value] : placeholders)
    if (containsNoCase(text, name)) text = replaceAllNoCase(text, name, value());
  return text;
}

// ---- translate ------------------------------------------------------------------------------------------

TFlowStage_Altera_MakeScriptFile::TFlowStage_Altera_MakeScriptFile(IDispatch* ADriver, const TQuartusVersion& AVersion)
    : TFlowStage_Altera_Abstract(AVersion, "", ProjectExtensionFor(AVersion.Text) + "_orig", "", "Translate Design",
                                 "&Translate Design", "Create project and translate options", "Quartus_sh", ADriver),
      ProjectExtension(ProjectExtensionFor(AVersion.Text)) {
  FConstraintsExt = ".TCL";
}

std::string TFlowStage_Altera_MakeScriptFile::DefaultOptionsFileName() { return "DefaultOptions_Quartus.xml"; }

std::string TFlowStage_Altera_MakeScriptFile::ConstraintsFileName() {
  return ChangeFileExt(FBasePath, "_UserConstraints" + FConstraintsExt);
}

std::string TFlowStage_Altera_MakeScriptFile::ProjectFileName() { return ChangeFileExt(OutputFileName(), ProjectExtension); }

TFlowRunResult TFlowStage_Altera_MakeScriptFile::PerformStage(const DispPtr&) {
  const std::string projectFile = ProjectFileName();
  if (UsesOtherSynthesizer()) {
    MergeConstraintFiles();
    DeleteFlowFile(projectFile);
    return RunToolStage();
  }
  if (ResolveFileCaseInsensitive(projectFile).empty()) {
    PostError("Project File: " + projectFile + " missing.");
    return eFlowRun_Failure;
  }
  if (ThisStage_OutputExists()) {
    PostInfo("Skipping " + StageName() + " phase.");
    return eFlowRun_Success;
  }
  PostError("Output File: " + OutputFileName() + " missing.");
  return eFlowRun_Failure;
}

// ---- map ----------------------------------------------------------------------------------------------

TFlowStage_Altera_QuartusMap::TFlowStage_Altera_QuartusMap(IDispatch* ADriver, const TQuartusVersion& AVersion)
    : TFlowStage_Altera_Abstract(AVersion, ProjectExtensionFor(AVersion.Text) + "_orig",
                                 UsesEquationFiles(AVersion.Text) ? ".MAP.EQN" : ".MAP.RPT", ".MAP.RPT", "Map Design",
                                 "&Map Design", "Map Design To Vendor Primitives", "Quartus_Map", ADriver),
      ProjectExtension(ProjectExtensionFor(AVersion.Text)) {}

std::string TFlowStage_Altera_QuartusMap::CommandLineArguments() { return ProjectArgument(); }

TFlowRunResult TFlowStage_Altera_QuartusMap::PerformStage(const DispPtr&) {
  if (UsesOtherSynthesizer()) return RunToolStage();
  const std::string output = ResolveFileCaseInsensitive(OutputFileName());
  if (!output.empty()) {
    touchFile(output);
    PostInfo("Skipping " + StageName() + " phase.");
    return eFlowRun_Success;
  }
  PostError("File " + OutputFileName() + " does not exist.");
  return eFlowRun_Failure;
}

bool TFlowStage_Altera_QuartusMap::UpdateFlowState() {
  if (UsesOtherSynthesizer()) return TFlowStage_Altera_Abstract::UpdateFlowState();
  const TProcessFlowState before = FFlowState;
  for (const DispPtr& d : std::vector<DispPtr>(FDependencies.begin(), FDependencies.end())) {
    if (zabi::sameText(zabi::invoke(d, flowid::StageName).toString(), "Translate Design")) {
      const int32_t state = zabi::invoke(d, flowid::FlowState).toInt32();
      if (state >= eFlowState_UpToDate && state <= eFlowState_None) FFlowState = TProcessFlowState(state);
      break;
    }
  }
  return FFlowState != before;
}

// ---- fit ----------------------------------------------------------------------------------------------

TFlowStage_Altera_QuartusFit::TFlowStage_Altera_QuartusFit(IDispatch* ADriver, const TQuartusVersion& AVersion)
    : TFlowStage_Altera_Abstract(AVersion, UsesEquationFiles(AVersion.Text) ? ".MAP.EQN" : ".MAP.RPT",
                                 UsesEquationFiles(AVersion.Text) ? ".FIT.EQN" : ".FIT.RPT", ".FIT.RPT",
                                 "Place and Route", "&Place and Route", "Place & Route", "Quartus_Fit", ADriver) {}

std::string TFlowStage_Altera_QuartusFit::CommandLineArguments() { return ProjectArgument(); }

TFlowRunResult TFlowStage_Altera_QuartusFit::PerformStage(const DispPtr& runner) {
  const std::string report = ChangeFileExt(FBasePath, ".Fit.Rpt");
  deleteOldReport(report, OutputFileName());
  const TFlowRunResult result = RunToolStage();
  AddReportItems(runner, ReadFitSummary(report));
  return result;
}

// ---- timing -------------------------------------------------------------------------------------------

TFlowStage_Altera_QuartusTan::TFlowStage_Altera_QuartusTan(IDispatch* ADriver, const TQuartusVersion& AVersion,
                                                           Ptr<TFlowStage_Altera_MakeScriptFile> AMakeScriptFile_Stage)
    : TFlowStage_Altera_Abstract(AVersion, UsesEquationFiles(AVersion.Text) ? ".FIT.EQN" : ".FIT.RPT", ".TAN.RPT",
                                 ".TAN.RPT", "Timing Analysis", "Timing &Analysis", "Timing Analysis", "Quartus_Tan",
                                 ADriver),
      FMakeScriptFile_Stage(std::move(AMakeScriptFile_Stage)) {}

std::string TFlowStage_Altera_QuartusTan::DefaultOptionsFileName() { return "DefaultOptions_Quartus_Tan.xml"; }

bool TFlowStage_Altera_QuartusTan::CanRun() {
  const TFPGAOption_Abstract* skip = FOptions->GetOption("Skip Timing Analysis");
  return skip && !zabi::sameText(skip->GetValue(), "True");
}

void TFlowStage_Altera_QuartusTan::ProjectChanged(const std::string& projectPath) {
  TFlowStage_Altera_Abstract::ProjectChanged(projectPath);
  UpdateFlowState();
}

bool TFlowStage_Altera_QuartusTan::UseTimeQuest() {
  if (FDriver && zabi::invoke(FDriver, kDriver_GetZoltaDevice).toDispatch()) {
    const std::string family = driverText(FDriver, kDriver_GetFamilyName);
    for (const char* name : kTimeQuestFamilies)
      if (zabi::sameText(family, name)) return true;
  }
  if (QuartusVersionNumber() > 10) return true;
  const TFPGAOption_Abstract* option =
      FMakeScriptFile_Stage ? FMakeScriptFile_Stage->Options().GetOption("Use TimeQuest Timing Analyzer") : nullptr;
  return option && option->GetValue() == "True";
}

std::string TFlowStage_Altera_QuartusTan::GetOutputExtension() {
  return UseTimeQuest() ? ".STA.RPT" : FOutputExtension;
}

std::string TFlowStage_Altera_QuartusTan::CommandLineArguments() {
  std::string arguments = ProjectArgument();
  if (UseTimeQuest()) arguments += " " + QuoteFlowArgument("--sdc=" + ProjectName() + "_sta.sdc");
  return arguments;
}

TFlowRunResult TFlowStage_Altera_QuartusTan::PerformStage(const DispPtr& runner) {
  if (!CanRun()) return eFlowRun_Success;
  std::string report = ChangeFileExt(FBasePath, ".tan.rpt");
  const bool timeQuest = UseTimeQuest();
  if (timeQuest) {
    ApplicationName = "Quartus_Sta";
    ApplicationPath = AlteraToolPath("Quartus_Sta");
    report = ChangeFileExt(FBasePath, ".sta.rpt");
    FReportExtensions = {".STA.RPT"};
  }
  deleteOldReport(report, OutputFileName());
  const TFlowRunResult result = RunToolStage();
  AddReportItems(runner, timeQuest ? ReadTimeQuestSummary(report, QuartusVersionNumber())
                                   : ReadClassicTimingSummary(report));
  return result;
}

// ---- assembly -----------------------------------------------------------------------------------------

TFlowStage_Altera_QuartusAsm::TFlowStage_Altera_QuartusAsm(IDispatch* ADriver, const TQuartusVersion& AVersion,
                                                           Ptr<TFlowStage_Altera_MakeScriptFile> AMakeScriptFile_Stage)
    : TFlowStage_Altera_Abstract(AVersion, UsesEquationFiles(AVersion.Text) ? ".FIT.EQN" : ".FIT.RPT", ".RBF",
                                 ".ASM.RPT", "Make BIT File", "&Make BIT File", "Generate RBF file for programming FPGA",
                                 "Quartus_Asm", ADriver),
      FMakeScriptFile_Stage(std::move(AMakeScriptFile_Stage)) {}

std::string TFlowStage_Altera_QuartusAsm::CommandLineArguments() {
  return ProjectArgument() + (FCompressBitstream ? " --set=ON_CHIP_BITSTREAM_DECOMPRESSION=ON"
                                                 : " --set=ON_CHIP_BITSTREAM_DECOMPRESSION=OFF");
}

TFlowRunResult TFlowStage_Altera_QuartusAsm::PerformStage(const DispPtr&) {
  const TFPGAOption_Abstract* option =
      FMakeScriptFile_Stage ? FMakeScriptFile_Stage->Options().GetOption("On-Chip Bitstream Compression") : nullptr;
  const bool compression = option && option->GetValue() == "True";
  if (!compression) {
    FCompressBitstream = false;
    return RunToolStage();
  }
  // First the compressed bit stream, kept under the "_cpb" name, then the uncompressed file.
  const std::string output = OutputFileName();
  const std::string compressed = ChangeFileExt(output, "_cpb.RBF");
  const std::string savedCompressed = ChangeFileExt(output, "_cpb.~.RBF");
  FCompressBitstream = true;
  MoveFlowFile(compressed, savedCompressed);
  TFlowRunResult result = RunToolStage();
  MoveFlowFile(output, compressed);
  if (result == eFlowRun_Success) {
    FCompressBitstream = false;
    result = RunToolStage();
  }
  return result;
}

// ---- the category -------------------------------------------------------------------------------------

TProcessFlow_AlteraFPGA::TProcessFlow_AlteraFPGA()
    : TProcessFlowCategory("Build", "&Build", "Build Raw Bit File", "EDIF Files", "Raw Bit File") {}

Ptr<TProcessFlow_AlteraFPGA> TProcessFlow_AlteraFPGA::Create(IDispatch* ADriver) {
  return Create(ADriver, DetectQuartusVersion());
}

Ptr<TProcessFlow_AlteraFPGA> TProcessFlow_AlteraFPGA::Create(IDispatch* ADriver, const TQuartusVersion& AVersion) {
  Ptr<TProcessFlow_AlteraFPGA> flow = MakeFlowObject<TProcessFlow_AlteraFPGA>();
  flow->FTranslate = MakeFlowObject<TFlowStage_Altera_MakeScriptFile>(ADriver, AVersion);
  flow->FTranslate->PLDFlow = false;
  flow->FMap = MakeFlowObject<TFlowStage_Altera_QuartusMap>(ADriver, AVersion);
  flow->FFit = MakeFlowObject<TFlowStage_Altera_QuartusFit>(ADriver, AVersion);
  flow->FTiming = MakeFlowObject<TFlowStage_Altera_QuartusTan>(ADriver, AVersion, flow->FTranslate);
  flow->FAssembly = MakeFlowObject<TFlowStage_Altera_QuartusAsm>(ADriver, AVersion, flow->FTranslate);

  flow->FMap->AddDependency(flow->FTranslate->dispatchPtr());
  flow->FFit->AddDependency(flow->FMap->dispatchPtr());
  flow->FTiming->AddDependency(flow->FFit->dispatchPtr());
  flow->FAssembly->AddDependency(flow->FTiming->dispatchPtr());

  flow->AddChildStage(flow->FTranslate->dispatchPtr());
  flow->AddChildStage(flow->FMap->dispatchPtr());
  flow->AddChildStage(flow->FFit->dispatchPtr());
  flow->AddChildStage(flow->FTiming->dispatchPtr());
  flow->AddChildStage(flow->FAssembly->dispatchPtr());
  return flow;
}

}  // namespace zolta
