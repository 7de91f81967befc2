// FPGA options of a vendor-tool stage: typed settings (string, integer, Boolean, enumeration, real)
// described by an XML option file, filtered by the target device and the tool version, overridden per
// project, and turned into text lines for the tool:
//  - command lines (IsCmd true) make up the tool's command file (a Tcl script for Quartus);
//  - script lines (IsCmd false) become the tool's command-line arguments.
//
// Ownership: a TFPGAOptions set owns its options (one owner, freed by ClearOptions or with the set); an
// option owns its script and command alternatives. Nothing here is reference counted or host visible.
//
// Option file format (XML; element and attribute names compare without regard to ASCII case; the text
// of an element is the concatenation of its text and CDATA content):
//
//   <anyroot>
//     <comment>#</comment>                          Comment_Identifier
//     <command_filename>name.tcl</command_filename> Commands_Filename
//     <command pos="head|tail">...</command>        Commands_Head / Commands_Tail (command-file text)
//     <script pos="head|tail">...</script>          Script_Head / Script_Tail (argument text)
//     <section id="Group">
//       <option id="Name">
//         <kind>string|boolean|integer|enum|real</kind>   absent: boolean; anything else: string
//         <flag>x</flag> <tooltip>..</tooltip> <advanced/> <valueonly/>
//         <default_value>text</default_value>             or <defaults>; or candidate groups:
//         <default_value><case><default_value>v</default_value><device_family>F</device_family>
//                        <tool_version>T</tool_version></case>...</default_value>
//         <min_value/> <max_value/>                       bounds of integer and real options
//         <values>a,b</values>                            Boolean (false, true) or enumeration texts
//         <device_family/> <device_base_name/> <device_package/> <device_speedgrade/> <tool_version/>
//         <option_if>Other=Value</option_if>              repeatable enabling condition (dialog)
//         <script id="v">..</script> <script_default>..</script_default>     repeatable alternatives
//         <command id="v">..</command> <command_default>..</command_default>
//       </option>
//     </section>
//   </anyroot>
//
// Candidate groups of a default value are tried in order; the first whose own family and tool filters
// apply to the set's device and tool gives the default. When none applies, the default stays what it
// was before that element (empty for the first).
//
// Lists in element texts are comma text: items split at commas, each trimmed of blanks; an item may be
// enclosed in double quotes (then it may hold commas, and "" stands for one quote); empty items are
// dropped. Single texts (flag, kind, default, bounds, tooltip, conditions, alternatives, comment,
// command file name) are trimmed of leading and trailing blanks and line breaks; head and tail texts
// are kept as written.
//
// Applicability of an option to a device name D and a tool version T:
//  - D is looked up with the host's device manager (device information, 504002). Without a device
//    manager, for an empty D or an unknown D, the four device filters pass. Otherwise the family, base
//    device, package and speed-grade filters must pass against D's names.
//  - A device filter list passes a name N when it is empty; else the first entry equal to N (ignoring
//    case, after removing a leading "!") decides: a plain entry passes, a "!" entry fails; when no entry
//    equals N the list passes exactly when all its entries are "!" entries.
//  - The tool filter passes T when it is empty; else it fails when it holds "!" + T, passes when it
//    holds T, and otherwise passes exactly when some entry holds a "!".
//
// Placeholders in lines (GetLines): "$" + Flag + ".Value" becomes the option's GetValue, "$" + Flag +
// ".4Value" its GetValueFor(IsCmd); replaced ignoring case for every applicable option with a flag,
// pass after pass (at most 16) while a pass changes a line, so a value may hold further placeholders.
#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "zolta/host/host_services.h"

namespace zolta {

// The kinds of option; the order is the numbering.
enum TFPGAOptionKind : int32_t {
  eFPGAOption_String = 0,
  eFPGAOption_Integer = 1,
  eFPGAOption_Boolean = 2,
  eFPGAOption_Enum = 3,
  eFPGAOption_Real = 4,
};

// An option file that exists but is not a usable option file: not well-formed XML (the message gives
// the file, line, column and the XML reader's description) or an option without its id.
class EOptionFileError : public std::runtime_error {
 public:
  EOptionFileError(const std::string& message, std::string fileName)
      : std::runtime_error(message), fileName_(std::move(fileName)) {}
  const std::string& fileName() const { return fileName_; }

 private:
  std::string fileName_;
};

// One alternative text of an option: the value it belongs to (Id, may be empty), whether it is a
// default alternative, and the text itself.
struct TFPGAScript {
  TFPGAScript(std::string AId, std::string AValue, bool ADefault)
      : Default(ADefault), Id(std::move(AId)), Value(std::move(AValue)) {}
  bool Default;
  std::string Id;
  std::string Value;
};

// The names a device filter is tested against. Known is false when there is no device manager or the
// device is unknown to it; then every device filter passes.
struct TFPGADeviceNames {
  bool Known = false;
  std::string Family, BaseName, Package, SpeedGrade;

  // Asks the host's device manager for the device information of ADevice and its family, base,
  // package and speed-grade names. A failing host call raises its error.
  static TFPGADeviceNames Lookup(std::string_view ADevice);
};

// ---- text helpers of the option model ------------------------------------------------------------

// Device filter rule (see the file comment).
bool FPGAFilterPasses(const std::vector<std::string>& AList, std::string_view AName);
// Tool filter rule (see the file comment).
bool FPGAToolFilterPasses(const std::vector<std::string>& ATools, std::string_view ATool);
// Comma text reading and writing (see the file comment). Writing quotes an item that holds a comma, a
// double quote or leading or trailing blanks, or that is empty, so reading gives the items back.
std::vector<std::string> SplitCommaText(std::string_view AText);
std::string JoinCommaText(const std::vector<std::string>& AItems);
// Lines of a text: breaks are CR, LF or CR LF; a final break does not start another line; an empty
// text has no lines.
std::vector<std::string> SplitTextLines(std::string_view AText);
// The lines, each followed by a line feed.
std::string JoinTextLines(const std::vector<std::string>& ALines);
// Single-line form of a text for the project's options storage: every character below 32 and every
// "#" becomes "#" and its code in two upper-case hexadecimal digits (CR LF becomes "#0D#0A").
std::string EscapeOptionText(std::string_view AText);
// Reverses EscapeOptionText: "#" and two hexadecimal digits (either case) become that character; a "#"
// not followed by two hexadecimal digits stays as it is.
std::string UnescapeOptionText(std::string_view AText);

// ---- options -------------------------------------------------------------------------------------

// Root of the option classes. The value rules:
//  - GetValue: FValue while TemporaryActive is false; else GetDefaultValue when TemporaryUnspecified,
//    else TemporaryValue.
//  - SetValue: FValue := v; while TemporaryActive also TemporaryUnspecified := false and
//    TemporaryValue := v.
//  - An option has an explicit value when (not TemporaryActive and WasLoaded) or (TemporaryActive and
//    not TemporaryUnspecified).
class TFPGAOption_Abstract {
 public:
  virtual ~TFPGAOption_Abstract() = default;
  TFPGAOption_Abstract(const TFPGAOption_Abstract&) = delete;
  TFPGAOption_Abstract& operator=(const TFPGAOption_Abstract&) = delete;

  // ---- virtual operations ----
  virtual std::string GetValue() const;
  // A new option of the same class made from Section, Name, Flag and the current value only; the base
  // answers none.
  virtual std::unique_ptr<TFPGAOption_Abstract> Replicate() const;
  // Copies every field (the value, default, names, flags, temporary state, filters, conditions and
  // alternatives; Kind stays the target's) and, when the target is of the same class, its values or
  // bounds.
  virtual void CopyTo(TFPGAOption_Abstract& ATarget) const;
  // Whether the editor may accept AValue (the model itself never rejects a value).
  virtual bool CheckValue(std::string_view AValue) const;
  // Name + "=" + GetValue.
  virtual std::string Parameters() const;
  virtual std::string GetMinValue() const;
  virtual std::string GetMaxValue() const;
  // The Boolean or enumeration texts as comma text; empty for other kinds.
  virtual std::string GetValues() const;
  // The text the option contributes to the command lines (IsCmd) or the script lines:
  //  1. nothing when GetValue is empty;
  //  2. when IsCmd, or when the option has any script or command alternatives, the alternatives decide
  //     (Commands when IsCmd, else Scripts), in order: with an explicit value, an alternative whose Id
  //     equals the value (ignoring case) or that has neither Id nor Default is appended; failing that,
  //     while the result is empty, a Default alternative without Id becomes the result. Without an
  //     explicit value each Default alternative becomes the result (the last one wins);
  //  3. else a Boolean with a Flag gives "-" + Flag when true (its explicit value, otherwise its
  //     default), nothing when false;
  //  4. else another kind with a Flag and an explicit value gives "-" + Flag + " " + value.
  //  An option without a Flag and without alternatives gives nothing.
  virtual std::string GetValueFor(bool IsCmd) const;
  virtual std::string GetDefaultValue() const;

  // ---- non-virtual operations ----
  void SetValue(std::string_view AValue);
  void SetDefaultValue(std::string_view AValue);
  // Adds a tool version to ValidTools (unless it is there already, ignoring case).
  void InsertTool(std::string_view ATool);
  bool HasDefaultScript() const;
  bool HasDefaultCommand() const;
  bool HasExplicitValue() const;
  // Applicability to a looked-up device and a tool version (rules in the file comment).
  bool AppliesTo(const TFPGADeviceNames& ADevice, std::string_view ATool) const;

  // ---- fields ----
  std::vector<std::string> ValidFamilies, ValidBaseDevices, ValidPackages, ValidSpeedGrades;  // may hold "!x"
  std::vector<std::string> ValidTools;  // compared ignoring case; may hold "!x"
  std::string DefaultValue;             // the value given at creation
  std::string Section;                  // group name (the section element's id)
  std::string Name;                     // option name (the option element's id)
  std::string Flag;                     // switch name on command lines and in placeholders
  TFPGAOptionKind Kind;
  int32_t Position = -1;                // order number from a sorted set; -1 otherwise
  std::string ToolTip;
  bool WasLoaded = false;               // the value came from the project's stored overrides
  bool Advanced = false;                // shown only in advanced mode
  bool ValueOnly = false;               // gives no line of its own; used through placeholders only
  bool Enabled = true;                  // editable (the dialog evaluates Conditions)
  void* Data = nullptr;                 // the editor row showing the option; not owned
  std::string TemporaryValue;           // value being edited in the dialog
  bool TemporaryActive = false;         // the dialog has taken over the value
  bool TemporaryUnspecified = false;    // the edited value is "Unspecified"
  std::string SourceSection;            // copied along; not otherwise used
  std::vector<std::string> Conditions;  // enabling conditions, one per option_if element
  std::vector<TFPGAScript> Scripts;     // script alternatives, in file order
  std::vector<TFPGAScript> Commands;    // command alternatives, in file order

 protected:
  TFPGAOption_Abstract(TFPGAOptionKind AKind, std::string ASection, std::string AName, std::string AFlag,
                       std::string AValue);
  // The value before any per-class mapping (the rules of GetValue above).
  std::string RawValue() const;

  std::string FValue;
};

class TFPGAOption_String : public TFPGAOption_Abstract {
 public:
  TFPGAOption_String(std::string ASection, std::string AName, std::string AFlag, std::string AValue)
      : TFPGAOption_String(eFPGAOption_String, std::move(ASection), std::move(AName), std::move(AFlag),
                           std::move(AValue)) {}
  std::unique_ptr<TFPGAOption_Abstract> Replicate() const override;
  // Anything.
  bool CheckValue(std::string_view AValue) const override;

 protected:
  TFPGAOption_String(TFPGAOptionKind AKind, std::string ASection, std::string AName, std::string AFlag,
                     std::string AValue)
      : TFPGAOption_Abstract(AKind, std::move(ASection), std::move(AName), std::move(AFlag), std::move(AValue)) {}
};

class TFPGAOption_Enum : public TFPGAOption_String {
 public:
  TFPGAOption_Enum(std::string ASection, std::string AName, std::string AFlag, std::string AValue)
      : TFPGAOption_String(eFPGAOption_Enum, std::move(ASection), std::move(AName), std::move(AFlag),
                           std::move(AValue)) {}
  std::unique_ptr<TFPGAOption_Abstract> Replicate() const override;
  void CopyTo(TFPGAOption_Abstract& ATarget) const override;
  // A value of DisplayValues, ignoring case.
  bool CheckValue(std::string_view AValue) const override;
  std::string GetValues() const override;

  std::vector<std::string> DisplayValues;  // compared ignoring case
};

// A Boolean option. With at least two BooleanValues (the false text first, the true text second) it
// reports its value mapped through them: the true text when the underlying value is "True" or the true
// text itself (ignoring case; so a reported value stored and read back keeps its truth), else the
// false text.
class TFPGAOption_Boolean : public TFPGAOption_Abstract {
 public:
  TFPGAOption_Boolean(std::string ASection, std::string AName, std::string AFlag, std::string AValue)
      : TFPGAOption_Abstract(eFPGAOption_Boolean, std::move(ASection), std::move(AName), std::move(AFlag),
                             std::move(AValue)) {}
  std::string GetValue() const override;
  std::unique_ptr<TFPGAOption_Abstract> Replicate() const override;
  void CopyTo(TFPGAOption_Abstract& ATarget) const override;
  // "TRUE" or "FALSE", ignoring case.
  bool CheckValue(std::string_view AValue) const override;
  std::string GetValues() const override;
  // The reported value equals the true text (ignoring case); with fewer than two BooleanValues, the
  // value is "True".
  bool IsTrue() const;
  // Whether a text means true for this option: "True", or the true text of BooleanValues.
  bool IsTrueText(std::string_view AText) const;

  std::vector<std::string> BooleanValues;
};

// Integer and real options: bounds as texts, "0" at creation (both "0" means no bounds to an editor).
class TFPGAOption_AbstractNumber : public TFPGAOption_Abstract {
 public:
  std::string GetMinValue() const override { return MinValue; }
  std::string GetMaxValue() const override { return MaxValue; }
  void CopyTo(TFPGAOption_Abstract& ATarget) const override;

  std::string MinValue = "0";
  std::string MaxValue = "0";

 protected:
  using TFPGAOption_Abstract::TFPGAOption_Abstract;
};

class TFPGAOption_Integer : public TFPGAOption_AbstractNumber {
 public:
  TFPGAOption_Integer(std::string ASection, std::string AName, std::string AFlag, std::string AValue)
      : TFPGAOption_AbstractNumber(eFPGAOption_Integer, std::move(ASection), std::move(AName), std::move(AFlag),
                                   std::move(AValue)) {}
  std::unique_ptr<TFPGAOption_Abstract> Replicate() const override;
  // Empty, or a whole decimal number (optional sign) within 32 bits.
  bool CheckValue(std::string_view AValue) const override;
  void SetMinValue(int32_t AValue) { MinValue = std::to_string(AValue); }
  void SetMaxValue(int32_t AValue) { MaxValue = std::to_string(AValue); }
};

class TFPGAOption_Real : public TFPGAOption_AbstractNumber {
 public:
  TFPGAOption_Real(std::string ASection, std::string AName, std::string AFlag, std::string AValue)
      : TFPGAOption_AbstractNumber(eFPGAOption_Real, std::move(ASection), std::move(AName), std::move(AFlag),
                                   std::move(AValue)) {}
  std::unique_ptr<TFPGAOption_Abstract> Replicate() const override;
  // Empty, or a number with "." as decimal separator.
  bool CheckValue(std::string_view AValue) const override;
};

// ---- the set -------------------------------------------------------------------------------------

// The options of one stage, created with the stage's device name and tool version (used to choose
// default-value candidates while loading a file). Options keep their insertion order.
class TFPGAOptions {
 public:
  TFPGAOptions(std::string ADevice, std::string ATool);
  virtual ~TFPGAOptions();
  TFPGAOptions(const TFPGAOptions&) = delete;
  TFPGAOptions& operator=(const TFPGAOptions&) = delete;

  // ---- virtual operations ----
  // Parses a host parameter string and sets the value of every option whose Name is one of its names.
  virtual void SetParameters(std::string_view AParameters);
  // "|" + Parameters of every option, in order (so a non-empty result begins with "|").
  virtual std::string GetParameters() const;
  // Appends the option (the set owns it); when Sorted it gets the next Position. Answers the option.
  virtual TFPGAOption_Abstract* AddOption(std::unique_ptr<TFPGAOption_Abstract> AOption);
  // Stores the user's overrides in the project's options storage (project 500094) under ASection:
  // an option the dialog holds a specified value for (TemporaryActive and not TemporaryUnspecified) is
  // written under its Name (GetValue), every other option's key is removed; then the keys
  // "AdvancedOptionsEnabled" ("True"/"False"), "CustomOptionsUser_Cmd" and "CustomOptionsUser_Scr"
  // (escaped custom texts) are removed and written. Nothing happens for an empty project holder or a
  // project without options storage.
  virtual void SaveToProject(const IProject& AProject, std::string_view ASection);
  // Reads the overrides back: each option leaves the dialog's temporary state (TemporaryActive and
  // TemporaryUnspecified false), takes its stored text as value (WasLoaded true) or, when none is
  // stored, its default value (WasLoaded false), and TemporaryValue := GetValue. AdvancedMode and the
  // unescaped custom texts are read too. Nothing happens for an empty project holder; a project without
  // options storage reads as an empty storage.
  virtual void LoadFromProject(const IProject& AProject, std::string_view ASection);
  // Creation helpers: create the option, fill it and AddOption it; each answers the new option.
  // AValues is comma text (Boolean: false text, true text; enumeration: the display values). Empty
  // bounds keep the option's "0".
  virtual TFPGAOption_Boolean* AddBooleanOption(std::string ASection, std::string AName, std::string AFlag,
                                                std::string AValue, std::string_view AValues);
  virtual TFPGAOption_String* AddStringOption(std::string ASection, std::string AName, std::string AFlag,
                                              std::string AValue);
  virtual TFPGAOption_Enum* AddEnumOption(std::string ASection, std::string AName, std::string AFlag,
                                          std::string AValue, std::string_view AValues);
  virtual TFPGAOption_Integer* AddIntegerOption(std::string ASection, std::string AName, std::string AFlag,
                                                std::string AValue, std::string AMinValue, std::string AMaxValue);
  virtual TFPGAOption_Real* AddRealOption(std::string ASection, std::string AName, std::string AFlag,
                                          std::string AValue, std::string AMinValue, std::string AMaxValue);

  // ---- non-virtual operations ----
  // Reads an option file (format in the file comment) in place of the current options. A file that
  // does not exist (also when looked for ignoring the case of its name) leaves the set unchanged. A
  // file that cannot be read raises EFileAccessError; one that is not well-formed XML, or an option
  // without id, raises EOptionFileError naming the file; in both cases the set is left unchanged.
  void LoadOptions(std::string_view AFileName);
  // Frees every option and empties the eight texts from Script_Head to CustomUser_Scr. The sort
  // number goes on counting.
  void ClearOptions();
  // Fills Strings with the command lines (IsCmd) or the script lines for ADevice and ATool:
  //  1. the head (Commands_Head or Script_Head) as lines;
  //  2. for every applicable option that is not ValueOnly, the lines of a non-empty GetValueFor(IsCmd);
  //  3. the tail (Commands_Tail or Script_Tail) as lines;
  //  4. the placeholder passes (file comment) over every applicable option, ValueOnly ones included;
  //  5. from the last line to the first: a line holding Comment_Identifier keeps only the trimmed text
  //     before it; a line that is empty once trimmed is deleted; other lines stay as they are.
  // Answers whether at least one line results.
  bool GetLines(bool IsCmd, std::vector<std::string>& Strings, std::string_view ADevice,
                std::string_view ATool) const;
  // Every option's value := its DefaultValue.
  void SetDefaults();
  int32_t GetOptionCount() const { return int32_t(FList.size()); }
  // Throws std::out_of_range for an index outside 0..count-1.
  TFPGAOption_Abstract* GetOptionAt(int32_t AIndex) const;
  // The first option whose Name equals AName ignoring case, or null.
  TFPGAOption_Abstract* GetOption(std::string_view AName) const;
  // Whether the option applies to ADevice and ATool (looks the device up once per call; for many
  // options look it up once with TFPGADeviceNames::Lookup and use AppliesTo).
  bool OptionApplies(const TFPGAOption_Abstract& AOption, std::string_view ADevice, std::string_view ATool) const;

  const std::string& Device() const { return FDevice; }
  const std::string& Tool() const { return FTool; }

  // ---- fields ----
  std::string Script_Head, Script_Tail;      // argument text before and after the options' lines
  std::string Commands_Head, Commands_Tail;  // command-file text before and after the options' lines
  std::string Comment_Identifier;            // text that starts a comment in a line; empty: none
  std::string Commands_Filename;             // name of the command file (placeholders allowed)
  std::string CustomUser_Cmd, CustomUser_Scr;  // the user's own command-file and argument texts
  bool Sorted = true;
  bool AdvancedMode = false;

 private:
  std::vector<std::unique_ptr<TFPGAOption_Abstract>> FList;
  int32_t FSortNumber = 1;
  std::string FDevice;
  std::string FTool;
};

}  // namespace zolta
