// The Altera build flow: the "Build" category and its five Quartus stages, which turn the design's
// netlist into a raw bit file (".RBF"):
//
//   Translate Design  quartus_sh -t <project>_Create.tcl   creates the Quartus project  -> .qpf_orig
//   Map Design        quartus_map <project>                 analysis and synthesis       -> .MAP.RPT
//   Place and Route   quartus_fit <project>                 fitter                       -> .FIT.RPT
//   Timing Analysis   quartus_tan <project>                 classic timing analyzer      -> .TAN.RPT
//                     quartus_sta <project> --sdc=..        or the TimeQuest analyzer    -> .STA.RPT
//   Make BIT File     quartus_asm <project> --set=..        assembler                    -> .RBF
//
// Each stage depends on the one above it. Quartus versions 3, 4 and 5 write equation files, so with
// them the map and fit outputs are ".MAP.EQN" and ".FIT.EQN"; version 3 names its project ".quartus".
// After the fit and timing runs, their reports are summarised into the runner (altera_reports.h).
//
// When Quartus itself synthesised the design (the host's synthesizer for the project is "Altera
// Quartus II"), its project and map results exist already: the translate and map stages only check
// them and the map output is marked newer, so that the later stages see it as up to date.
//
// Placeholders in the option lines and the command file name (replaced ignoring case, every
// occurrence, in this order, after the line is trimmed):
//   .ReplaceDeviceFamilyName  the family's "NameUsedByVendor" parameter (host family manager)
//   .ReplaceDeviceName        the driver's device name without one trailing "N"
//   .ReplaceProjectName       the host project's file name without folder and extension (the base
//                             path's name when there is no project)
//   .ReplaceLMF               the host's EDIF folder + "Marlok.LMF", backslashes turned into slashes
//                             (the folder keeps its letter case: a Linux path would break otherwise)
//   .ReplaceUserID            the project's user identifier without a leading "$", then "0x"
//   .ReplaceShortUserID       the last eight characters of that identifier: the 32 bits (eight
//                             hexadecimal digits) a device's JTAG user code holds; a shorter
//                             identifier stays whole
//   .ReplaceEnablePLDFlow     "1" for a PLD flow, else "0"
//   .ReplaceOptimizationFlag  family parameter "OptimizationFlag", else "cyclone_optimization_technique"
//   .ReplaceConfigSchemeFlag  family parameter "ConfigurationSchemeFlag", else "cyclone_configuration_scheme"
//   .ReplaceConfigDeviceFlag  family parameter "ConfigurationDeviceFlag", else "cyclone_configuration_device"
//                             (the three flags are empty when the host's family manager does not
//                             know the family)
//   .ReplaceAddTimeQuestFile  "#" (which comments the line out) for a known Quartus version of at most
//                             5.1, else empty
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "zolta/flow/vendor_stage.h"

namespace zolta {

// The installed Quartus version as the vendor-tool detection gives it: its text (empty when unknown)
// and whether it is one of the supported versions.
struct TQuartusVersion {
  std::string Text;
  bool Supported = false;
};

// Reads the installed Quartus version (AlteraVersion). A readme or version list that cannot be read
// leaves the version as far as it was found, unsupported.
TQuartusVersion DetectQuartusVersion();

// The leading number of a version text with "." as decimal separator ("5.1" 5.1, "5.0sp1" 5.0);
// false when the text does not start with a digit.
bool LeadingVersionNumber(std::string_view text, double& value);

class TFlowStage_Altera_Abstract : public TFlowStage_VendorProcess {
 public:
  // The tool path is the vendor-tool detection's path of AToolName.
  TFlowStage_Altera_Abstract(const TQuartusVersion& AVersion, std::string AInputExt, std::string AOutputExt,
                             std::string_view AReportExts, std::string AName, std::string ACaption,
                             std::string ADescription, std::string AToolName, IDispatch* ADriver);

  // The placeholders of the file comment.
  std::string ReplacePlaceholders(const std::string& line) override;

  const std::string& QuartusVersion() const { return FQuartusVersion; }
  // The supported version as a number (VersionTextToNumber); 100000000 when the version is unknown or
  // not supported.
  double QuartusVersionNumber() const;
  // The file-name part of the base path without its extension.
  std::string ProjectName();
  // True when the host's synthesizer for the project is not "Altera Quartus II" (also when the host
  // has no synthesizer manager); false without a project.
  bool UsesOtherSynthesizer();

  // EQN variant: a version that starts with "3", "4." or "5.".
  static bool UsesEquationFiles(std::string_view version);
  // ".quartus" for a version that starts with "3", else ".qpf".
  static std::string ProjectExtensionFor(std::string_view version);

  bool PLDFlow = false;

 protected:
  // ProjectName as one command-line argument.
  std::string ProjectArgument();

  std::string FQuartusVersion;
  bool FQuartusVersionSupported;
};

// Translate Design: creates the Quartus project and its "_orig" copy with quartus_sh and the Tcl
// script of "DefaultOptions_Quartus.xml".
class TFlowStage_Altera_MakeScriptFile : public TFlowStage_Altera_Abstract {
 public:
  TFlowStage_Altera_MakeScriptFile(IDispatch* ADriver, const TQuartusVersion& AVersion);

  // No input file to describe.
  std::string InputDescription() override { return {}; }
  std::string DefaultOptionsFileName() override;
  // The base path with "_UserConstraints.TCL".
  std::string ConstraintsFileName() override;
  // With another synthesizer: merge the constraints, delete the project file and run the tool.
  // Otherwise check that the project file and the "_orig" copy exist.
  TFlowRunResult PerformStage(const DispPtr& runner) override;

  // The base path with the project extension.
  std::string ProjectFileName();

  std::string ProjectExtension;
};

// Map Design: quartus_map with the project name.
class TFlowStage_Altera_QuartusMap : public TFlowStage_Altera_Abstract {
 public:
  TFlowStage_Altera_QuartusMap(IDispatch* ADriver, const TQuartusVersion& AVersion);

  std::string CommandLineArguments() override;
  // With another synthesizer: run the tool. Otherwise the existing output (Quartus's own) is marked
  // newer (its modification time becomes now; its contents stay) and the stage succeeds.
  TFlowRunResult PerformStage(const DispPtr& runner) override;
  // With another synthesizer, the stage rule. Otherwise the state of the first dependency named
  // "Translate Design"; without one it stays.
  bool UpdateFlowState() override;

  std::string ProjectExtension;
};

// Place and Route: quartus_fit with the project name; the fit report's resource usage goes to the
// runner.
class TFlowStage_Altera_QuartusFit : public TFlowStage_Altera_Abstract {
 public:
  TFlowStage_Altera_QuartusFit(IDispatch* ADriver, const TQuartusVersion& AVersion);

  std::string CommandLineArguments() override;
  TFlowRunResult PerformStage(const DispPtr& runner) override;
};

// Timing Analysis: quartus_tan, or quartus_sta with the TimeQuest analyzer; the report's timing
// summary goes to the runner. The switch to quartus_sta, once made in a run, stays.
class TFlowStage_Altera_QuartusTan : public TFlowStage_Altera_Abstract {
 public:
  TFlowStage_Altera_QuartusTan(IDispatch* ADriver, const TQuartusVersion& AVersion,
                               Ptr<TFlowStage_Altera_MakeScriptFile> AMakeScriptFile_Stage);

  // True when the stage's option "Skip Timing Analysis" exists and is not "True".
  bool CanRun() override;
  // The tool-stage behaviour, then UpdateFlowState.
  void ProjectChanged(const std::string& projectPath) override;
  // ".STA.RPT" with the TimeQuest analyzer, else the stored extension.
  std::string GetOutputExtension() override;
  std::string DefaultOptionsFileName() override;
  std::string CommandLineArguments() override;
  // Succeeds at once when the stage cannot run; else runs the analyzer and reads its summary.
  TFlowRunResult PerformStage(const DispPtr& runner) override;

  // TimeQuest is used for the families ArriaGX, Cyclone4E and Cyclone4GX of the bound device, for a
  // Quartus version above 10, or when the translate stage's option "Use TimeQuest Timing Analyzer" is
  // exactly "True". Without a bound device the family does not decide.
  bool UseTimeQuest();
  const Ptr<TFlowStage_Altera_MakeScriptFile>& MakeScriptFile_Stage() const { return FMakeScriptFile_Stage; }

 protected:
  Ptr<TFlowStage_Altera_MakeScriptFile> FMakeScriptFile_Stage;
};

// Make BIT File: quartus_asm with the project name; with the translate stage's option "On-Chip
// Bitstream Compression" exactly "True" it runs twice: first the compressed bit stream, kept as
// "<base>_cpb.RBF" (the previous one saved as "<base>_cpb.~.RBF"), then the uncompressed ".RBF".
class TFlowStage_Altera_QuartusAsm : public TFlowStage_Altera_Abstract {
 public:
  TFlowStage_Altera_QuartusAsm(IDispatch* ADriver, const TQuartusVersion& AVersion,
                               Ptr<TFlowStage_Altera_MakeScriptFile> AMakeScriptFile_Stage);

  std::string CommandLineArguments() override;
  TFlowRunResult PerformStage(const DispPtr& runner) override;

  const Ptr<TFlowStage_Altera_MakeScriptFile>& MakeScriptFile_Stage() const { return FMakeScriptFile_Stage; }
  bool CompressBitstream() const { return FCompressBitstream; }

 protected:
  Ptr<TFlowStage_Altera_MakeScriptFile> FMakeScriptFile_Stage;
  bool FCompressBitstream = false;
};

// The "Build" category with the five stages as children, each depending on the one before.
class TProcessFlow_AlteraFPGA : public TProcessFlowCategory {
 public:
  // Builds the flow for a driver: the stages read the installed Quartus version once (AVersion for a
  // given one). The driver is held as a plain reference; it outlives its flows. Whoever lets the
  // flow go calls ClearChildren on it to release the tree.
  static Ptr<TProcessFlow_AlteraFPGA> Create(IDispatch* ADriver);
  static Ptr<TProcessFlow_AlteraFPGA> Create(IDispatch* ADriver, const TQuartusVersion& AVersion);

  TProcessFlow_AlteraFPGA();

  const Ptr<TFlowStage_Altera_MakeScriptFile>& TranslateStage() const { return FTranslate; }
  const Ptr<TFlowStage_Altera_QuartusMap>& MapStage() const { return FMap; }
  const Ptr<TFlowStage_Altera_QuartusFit>& FitStage() const { return FFit; }
  const Ptr<TFlowStage_Altera_QuartusTan>& TimingStage() const { return FTiming; }
  const Ptr<TFlowStage_Altera_QuartusAsm>& AssemblyStage() const { return FAssembly; }

 private:
  Ptr<TFlowStage_Altera_MakeScriptFile> FTranslate;
  Ptr<TFlowStage_Altera_QuartusMap> FMap;
  Ptr<TFlowStage_Altera_QuartusFit> FFit;
  Ptr<TFlowStage_Altera_QuartusTan> FTiming;
  Ptr<TFlowStage_Altera_QuartusAsm> FAssembly;
};

}  // namespace zolta
