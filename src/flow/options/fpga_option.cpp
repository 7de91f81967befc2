// The option classes: values, explicit values, alternatives, applicability and the per-kind checks.
#include <algorithm>
#include <limits>

#include "zolta/dispatch.h"
#include "zolta/flow/fpga_options.h"
#include "zolta/host/text_utils.h"

namespace zolta {

using zabi::sameText;

namespace {

bool containsNoCase(const std::vector<std::string>& list, std::string_view item) {
  return std::any_of(list.begin(), list.end(), [&](const std::string& e) { return sameText(e, item); });
}

}  // namespace

// ---- TFPGAOption_Abstract ------------------------------------------------------------------------

TFPGAOption_Abstract::TFPGAOption_Abstract(TFPGAOptionKind AKind, std::string ASection, std::string AName,
                                           std::string AFlag, std::string AValue)
    : DefaultValue(AValue),
      Section(std::move(ASection)),
      Name(std::move(AName)),
      Flag(std::move(AFlag)),
      Kind(AKind),
      FValue(std::move(AValue)) {}

std::string TFPGAOption_Abstract::RawValue() const {
  if (!TemporaryActive) return FValue;
  if (TemporaryUnspecified) return GetDefaultValue();
  return TemporaryValue;
}

std::string TFPGAOption_Abstract::GetValue() const { return RawValue(); }

std::unique_ptr<TFPGAOption_Abstract> TFPGAOption_Abstract::Replicate() const { return nullptr; }

void TFPGAOption_Abstract::CopyTo(TFPGAOption_Abstract& ATarget) const {
  if (&ATarget == this) return;
  ATarget.FValue = FValue;
  ATarget.ValidFamilies = ValidFamilies;
  ATarget.ValidBaseDevices = ValidBaseDevices;
  ATarget.ValidPackages = ValidPackages;
  ATarget.ValidSpeedGrades = ValidSpeedGrades;
  ATarget.ValidTools = ValidTools;
  ATarget.DefaultValue = DefaultValue;
  ATarget.Section = Section;
  ATarget.Name = Name;
  ATarget.Flag = Flag;
  ATarget.Position = Position;
  ATarget.ToolTip = ToolTip;
  ATarget.WasLoaded = WasLoaded;
  ATarget.Advanced = Advanced;
  ATarget.ValueOnly = ValueOnly;
  ATarget.Enabled = Enabled;
  ATarget.Data = Data;
  ATarget.TemporaryValue = TemporaryValue;
  ATarget.TemporaryActive = TemporaryActive;
  ATarget.TemporaryUnspecified = TemporaryUnspecified;
  ATarget.SourceSection = SourceSection;
  ATarget.Conditions = Conditions;
  ATarget.Scripts = Scripts;
  ATarget.Commands = Commands;
}

bool TFPGAOption_Abstract::CheckValue(std::string_view) const { return true; }

std::string TFPGAOption_Abstract::Parameters() const { return Name + "=" + GetValue(); }

std::string TFPGAOption_Abstract::GetMinValue() const { return {}; }
std::string TFPGAOption_Abstract::GetMaxValue() const { return {}; }
std::string TFPGAOption_Abstract::GetValues() const { return {}; }
std::string TFPGAOption_Abstract::GetDefaultValue() const { return DefaultValue; }

std::string TFPGAOption_Abstract::GetValueFor(bool IsCmd) const {
  const std::string value = GetValue();
  if (value.empty()) return {};
  const bool explicitValue = HasExplicitValue();

  if (IsCmd || !Scripts.empty() || !Commands.empty()) {
    std::string result;
    for (const TFPGAScript& alternative : IsCmd ? Commands : Scripts) {
      if (explicitValue) {
        if (sameText(alternative.Id, value) || (alternative.Id.empty() && !alternative.Default))
          result += alternative.Value;
        else if (result.empty() && alternative.Default && alternative.Id.empty())
          result = alternative.Value;
      } else if (alternative.Default) {
        result = alternative.Value;
      }
    }
    return result;
  }

  if (Flag.empty()) return {};
  if (const auto* boolean = dynamic_cast<const TFPGAOption_Boolean*>(this)) {
    const bool on = explicitValue ? boolean->IsTrue() : boolean->IsTrueText(DefaultValue);
    return on ? "-" + Flag : std::string();
  }
  return explicitValue ? "-" + Flag + " " + value : std::string();
}

void TFPGAOption_Abstract::SetValue(std::string_view AValue) {
  FValue = std::string(AValue);
  if (TemporaryActive) {
    TemporaryUnspecified = false;
    TemporaryValue = FValue;
  }
}

void TFPGAOption_Abstract::SetDefaultValue(std::string_view AValue) { DefaultValue = std::string(AValue); }

void TFPGAOption_Abstract::InsertTool(std::string_view ATool) {
  if (!containsNoCase(ValidTools, ATool)) ValidTools.emplace_back(ATool);
}

bool TFPGAOption_Abstract::HasDefaultScript() const {
  return std::any_of(Scripts.begin(), Scripts.end(), [](const TFPGAScript& s) { return s.Default; });
}

bool TFPGAOption_Abstract::HasDefaultCommand() const {
  return std::any_of(Commands.begin(), Commands.end(), [](const TFPGAScript& s) { return s.Default; });
}

bool TFPGAOption_Abstract::HasExplicitValue() const {
  return (!TemporaryActive && WasLoaded) || (TemporaryActive && !TemporaryUnspecified);
}

bool TFPGAOption_Abstract::AppliesTo(const TFPGADeviceNames& ADevice, std::string_view ATool) const {
  if (ADevice.Known) {
    if (!FPGAFilterPasses(ValidFamilies, ADevice.Family)) return false;
    if (!FPGAFilterPasses(ValidBaseDevices, ADevice.BaseName)) return false;
    if (!FPGAFilterPasses(ValidPackages, ADevice.Package)) return false;
    if (!FPGAFilterPasses(ValidSpeedGrades, ADevice.SpeedGrade)) return false;
  }
  return FPGAToolFilterPasses(ValidTools, ATool);
}

// ---- string and enumeration --------------------------------------------------------------------------

std::unique_ptr<TFPGAOption_Abstract> TFPGAOption_String::Replicate() const {
  return std::make_unique<TFPGAOption_String>(Section, Name, Flag, GetValue());
}

bool TFPGAOption_String::CheckValue(std::string_view) const { return true; }

std::unique_ptr<TFPGAOption_Abstract> TFPGAOption_Enum::Replicate() const {
  return std::make_unique<TFPGAOption_Enum>(Section, Name, Flag, GetValue());
}

void TFPGAOption_Enum::CopyTo(TFPGAOption_Abstract& ATarget) const {
  TFPGAOption_String::CopyTo(ATarget);
  if (auto* target = dynamic_cast<TFPGAOption_Enum*>(&ATarget)) target->DisplayValues = DisplayValues;
}

bool TFPGAOption_Enum::CheckValue(std::string_view AValue) const { return containsNoCase(DisplayValues, AValue); }

std::string TFPGAOption_Enum::GetValues() const { return JoinCommaText(DisplayValues); }

// ---- Boolean -------------------------------------------------------------------------------------------

bool TFPGAOption_Boolean::IsTrueText(std::string_view AText) const {
  return sameText(AText, "True") || (BooleanValues.size() >= 2 && sameText(AText, BooleanValues[1]));
}

std::string TFPGAOption_Boolean::GetValue() const {
  std::string raw = RawValue();
  if (BooleanValues.size() < 2) return raw;
  return IsTrueText(raw) ? BooleanValues[1] : BooleanValues[0];
}

bool TFPGAOption_Boolean::IsTrue() const {
  const std::string value = GetValue();
  if (BooleanValues.size() >= 2) return sameText(value, BooleanValues[1]);
  return sameText(value, "True");
}

std::unique_ptr<TFPGAOption_Abstract> TFPGAOption_Boolean::Replicate() const {
  return std::make_unique<TFPGAOption_Boolean>(Section, Name, Flag, GetValue());
}

void TFPGAOption_Boolean::CopyTo(TFPGAOption_Abstract& ATarget) const {
  TFPGAOption_Abstract::CopyTo(ATarget);
  if (auto* target = dynamic_cast<TFPGAOption_Boolean*>(&ATarget)) target->BooleanValues = BooleanValues;
}

bool TFPGAOption_Boolean::CheckValue(std::string_view AValue) const {
  return sameText(AValue, "TRUE") || sameText(AValue, "FALSE");
}

std::string TFPGAOption_Boolean::GetValues() const { return JoinCommaText(BooleanValues); }

// ---- numbers ---------------------------------------------------------------------------------------------

void TFPGAOption_AbstractNumber::CopyTo(TFPGAOption_Abstract& ATarget) const {
  TFPGAOption_Abstract::CopyTo(ATarget);
  if (auto* target = dynamic_cast<TFPGAOption_AbstractNumber*>(&ATarget)) {
    target->MinValue = MinValue;
    target->MaxValue = MaxValue;
  }
}

std::unique_ptr<TFPGAOption_Abstract> TFPGAOption_Integer::Replicate() const {
  return std::make_unique<TFPGAOption_Integer>(Section, Name, Flag, GetValue());
}

bool TFPGAOption_Integer::CheckValue(std::string_view AValue) const {
  if (AValue.empty()) return true;
  const bool negative = AValue.front() == '-';
  if (AValue.front() == '+' || negative) AValue.remove_prefix(1);
  if (AValue.empty()) return false;
  int64_t magnitude = 0;
  for (char c : AValue) {
    if (c < '0' || c > '9') return false;
    magnitude = magnitude * 10 + (c - '0');
    if (magnitude > int64_t(std::numeric_limits<int32_t>::max()) + 1) return false;
  }
  return negative || magnitude <= std::numeric_limits<int32_t>::max();
}

std::unique_ptr<TFPGAOption_Abstract> TFPGAOption_Real::Replicate() const {
  return std::make_unique<TFPGAOption_Real>(Section, Name, Flag, GetValue());
}

bool TFPGAOption_Real::CheckValue(std::string_view AValue) const {
  double value = 0;
  return AValue.empty() || ReadFloat(AValue, value);
}

}  // namespace zolta
