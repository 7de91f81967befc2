// The option set: creation helpers, parameters, lines for the tool and the project overrides.
#include <stdexcept>

#include "zolta/dispatch.h"
#include "zolta/flow/fpga_options.h"
#include "zolta/host/parameters.h"

namespace zolta {

using zabi::sameText;
namespace ids = zabi::host;

namespace {

constexpr int kMaxPlaceholderPasses = 16;
constexpr const char* kKeyAdvanced = "AdvancedOptionsEnabled";
constexpr const char* kKeyCustomCmd = "CustomOptionsUser_Cmd";
constexpr const char* kKeyCustomScr = "CustomOptionsUser_Scr";

bool isBlank(char c) { return static_cast<unsigned char>(c) <= ' '; }

std::string trimmed(std::string_view s) {
  size_t b = 0, e = s.size();
  while (b < e && isBlank(s[b])) ++b;
  while (e > b && isBlank(s[e - 1])) --e;
  return std::string(s.substr(b, e - b));
}

// Position of needle in hay at or after `from`, ignoring ASCII case; npos when absent.
size_t findNoCase(std::string_view hay, std::string_view needle, size_t from) {
  if (needle.empty() || hay.size() < needle.size()) return std::string_view::npos;
  for (size_t i = from; i + needle.size() <= hay.size(); ++i)
    if (sameText(hay.substr(i, needle.size()), needle)) return i;
  return std::string_view::npos;
}

// Replaces every occurrence of needle (ignoring case) by replacement, scanning left to right and never
// rescanning inserted text. Answers whether something was replaced.
bool replaceAllNoCase(std::string& text, std::string_view needle, std::string_view replacement) {
  size_t at = findNoCase(text, needle, 0);
  if (at == std::string::npos) return false;
  std::string out;
  size_t from = 0;
  while (at != std::string::npos) {
    out.append(text, from, at - from);
    out += replacement;
    from = at + needle.size();
    at = findNoCase(text, needle, from);
  }
  out.append(text, from, std::string::npos);
  text = std::move(out);
  return true;
}

IOptionsStorage optionsStorageOf(const IProject& project) {
  return IOptionsStorage::fromVar(project.call(ids::Project_GetOptionsStorage));
}

}  // namespace

// ---- device lookup -----------------------------------------------------------------------------------

TFPGADeviceNames TFPGADeviceNames::Lookup(std::string_view ADevice) {
  TFPGADeviceNames names;
  if (ADevice.empty()) return names;
  const IDeviceManager manager = GetDeviceManager();
  if (!manager) return names;
  const zabi::Var info = manager.call(ids::DeviceManager_GetDeviceInformation, std::string(ADevice));
  const DispPtr device = info.isEmpty() ? DispPtr() : info.toDispatch();
  if (!device) return names;
  names.Known = true;
  names.Family = zabi::invoke(device, ids::DeviceInfo_GetFamilyName).toString();
  names.BaseName = zabi::invoke(device, ids::DeviceInfo_GetBaseName).toString();
  names.Package = zabi::invoke(device, ids::DeviceInfo_GetPackageName).toString();
  names.SpeedGrade = zabi::invoke(device, ids::DeviceInfo_GetSpeedGradeName).toString();
  return names;
}

// ---- TFPGAOptions ----------------------------------------------------------------------------------------

TFPGAOptions::TFPGAOptions(std::string ADevice, std::string ATool)
    : FDevice(std::move(ADevice)), FTool(std::move(ATool)) {}

TFPGAOptions::~TFPGAOptions() = default;

void TFPGAOptions::SetParameters(std::string_view AParameters) {
  TParameterList list;
  list.SetState_FromString(AParameters);
  for (const auto& option : FList)
    if (const TParameter* parameter = list.GetState_ParameterByName(option->Name))
      option->SetValue(parameter->GetValue());
}

std::string TFPGAOptions::GetParameters() const {
  std::string out;
  for (const auto& option : FList) out += "|" + option->Parameters();
  return out;
}

TFPGAOption_Abstract* TFPGAOptions::AddOption(std::unique_ptr<TFPGAOption_Abstract> AOption) {
  if (!AOption) throw std::invalid_argument("An option set cannot take an empty option");
  if (Sorted) AOption->Position = FSortNumber++;
  FList.push_back(std::move(AOption));
  return FList.back().get();
}

TFPGAOption_Boolean* TFPGAOptions::AddBooleanOption(std::string ASection, std::string AName, std::string AFlag,
                                                    std::string AValue, std::string_view AValues) {
  auto option = std::make_unique<TFPGAOption_Boolean>(std::move(ASection), std::move(AName), std::move(AFlag),
                                                      std::move(AValue));
  option->BooleanValues = SplitCommaText(AValues);
  return static_cast<TFPGAOption_Boolean*>(AddOption(std::move(option)));
}

TFPGAOption_String* TFPGAOptions::AddStringOption(std::string ASection, std::string AName, std::string AFlag,
                                                  std::string AValue) {
  auto option = std::make_unique<TFPGAOption_String>(std::move(ASection), std::move(AName), std::move(AFlag),
                                                     std::move(AValue));
  return static_cast<TFPGAOption_String*>(AddOption(std::move(option)));
}

TFPGAOption_Enum* TFPGAOptions::AddEnumOption(std::string ASection, std::string AName, std::string AFlag,
                                              std::string AValue, std::string_view AValues) {
  auto option = std::make_unique<TFPGAOption_Enum>(std::move(ASection), std::move(AName), std::move(AFlag),
                                                   std::move(AValue));
  option->DisplayValues = SplitCommaText(AValues);
  return static_cast<TFPGAOption_Enum*>(AddOption(std::move(option)));
}

TFPGAOption_Integer* TFPGAOptions::AddIntegerOption(std::string ASection, std::string AName, std::string AFlag,
                                                    std::string AValue, std::string AMinValue,
                                                    std::string AMaxValue) {
  auto option = std::make_unique<TFPGAOption_Integer>(std::move(ASection), std::move(AName), std::move(AFlag),
                                                      std::move(AValue));
  if (!AMinValue.empty()) option->MinValue = std::move(AMinValue);
  if (!AMaxValue.empty()) option->MaxValue = std::move(AMaxValue);
  return static_cast<TFPGAOption_Integer*>(AddOption(std::move(option)));
}

TFPGAOption_Real* TFPGAOptions::AddRealOption(std::string ASection, std::string AName, std::string AFlag,
                                              std::string AValue, std::string AMinValue, std::string AMaxValue) {
  auto option = std::make_unique<TFPGAOption_Real>(std::move(ASection), std::move(AName), std::move(AFlag),
                                                   std::move(AValue));
  if (!AMinValue.empty()) option->MinValue = std::move(AMinValue);
  if (!AMaxValue.empty()) option->MaxValue = std::move(AMaxValue);
  return static_cast<TFPGAOption_Real*>(AddOption(std::move(option)));
}

void TFPGAOptions::ClearOptions() {
  FList.clear();
  Script_Head.clear();
  Script_Tail.clear();
  Commands_Head.clear();
  Commands_Tail.clear();
  Comment_Identifier.clear();
  Commands_Filename.clear();
  CustomUser_Cmd.clear();
  CustomUser_Scr.clear();
}

void TFPGAOptions::SetDefaults() {
  for (const auto& option : FList) option->SetValue(option->DefaultValue);
}

TFPGAOption_Abstract* TFPGAOptions::GetOptionAt(int32_t AIndex) const {
  if (AIndex < 0 || size_t(AIndex) >= FList.size())
    throw std::out_of_range("Option index " + std::to_string(AIndex) + " is out of range (" +
                            std::to_string(FList.size()) + " options)");
  return FList[size_t(AIndex)].get();
}

TFPGAOption_Abstract* TFPGAOptions::GetOption(std::string_view AName) const {
  for (const auto& option : FList)
    if (sameText(option->Name, AName)) return option.get();
  return nullptr;
}

bool TFPGAOptions::OptionApplies(const TFPGAOption_Abstract& AOption, std::string_view ADevice,
                                 std::string_view ATool) const {
  return AOption.AppliesTo(TFPGADeviceNames::Lookup(ADevice), ATool);
}

bool TFPGAOptions::GetLines(bool IsCmd, std::vector<std::string>& Strings, std::string_view ADevice,
                            std::string_view ATool) const {
  const std::string& head = IsCmd ? Commands_Head : Script_Head;
  const std::string& tail = IsCmd ? Commands_Tail : Script_Tail;
  Strings = SplitTextLines(head);

  const TFPGADeviceNames device = TFPGADeviceNames::Lookup(ADevice);
  std::vector<const TFPGAOption_Abstract*> applicable;
  for (const auto& option : FList)
    if (option->AppliesTo(device, ATool)) applicable.push_back(option.get());

  // The options' own lines; a text of several lines gives several lines.
  for (const TFPGAOption_Abstract* option : applicable) {
    if (option->ValueOnly) continue;
    const std::string text = option->GetValueFor(IsCmd);
    if (text.empty()) continue;
    for (std::string& line : SplitTextLines(text)) Strings.push_back(std::move(line));
  }
  if (!tail.empty()) Strings = SplitTextLines(JoinTextLines(Strings) + tail);

  // Placeholders; a replacement may bring further placeholders, resolved by the next pass.
  for (int pass = 0; pass < kMaxPlaceholderPasses; ++pass) {
    bool changed = false;
    for (const TFPGAOption_Abstract* option : applicable) {
      if (option->Flag.empty()) continue;
      const std::string valueTag = "$" + option->Flag + ".Value";
      const std::string valueForTag = "$" + option->Flag + ".4Value";
      std::string value, valueFor;
      bool valueKnown = false, valueForKnown = false;
      for (std::string& line : Strings) {
        if (findNoCase(line, valueTag, 0) != std::string::npos) {
          if (!valueKnown) value = option->GetValue(), valueKnown = true;
          changed = replaceAllNoCase(line, valueTag, value) || changed;
        }
        if (findNoCase(line, valueForTag, 0) != std::string::npos) {
          if (!valueForKnown) valueFor = option->GetValueFor(IsCmd), valueForKnown = true;
          changed = replaceAllNoCase(line, valueForTag, valueFor) || changed;
        }
      }
    }
    if (!changed) break;
  }

  // Comments and empty lines, from the last line to the first.
  for (size_t i = Strings.size(); i-- > 0;) {
    std::string line = trimmed(Strings[i]);
    if (!Comment_Identifier.empty()) {
      const size_t at = line.find(Comment_Identifier);
      if (at != std::string::npos) {
        line = trimmed(std::string_view(line).substr(0, at));
        Strings[i] = line;
      }
    }
    if (line.empty()) Strings.erase(Strings.begin() + std::ptrdiff_t(i));
  }
  return !Strings.empty();
}

void TFPGAOptions::SaveToProject(const IProject& AProject, std::string_view ASection) {
  if (!AProject) return;
  const IOptionsStorage storage = optionsStorageOf(AProject);
  if (!storage) return;
  const std::string section(ASection);
  for (const auto& option : FList) {
    if (option->TemporaryActive && !option->TemporaryUnspecified)
      storage.call(ids::OptionsStorage_WriteValue, section, option->Name, option->GetValue());
    else
      storage.call(ids::OptionsStorage_RemoveKey, section, option->Name);
  }
  const auto replaceKey = [&](const char* key, const std::string& value) {
    storage.call(ids::OptionsStorage_RemoveKey, section, std::string(key));
    storage.call(ids::OptionsStorage_WriteValue, section, std::string(key), value);
  };
  replaceKey(kKeyAdvanced, AdvancedMode ? "True" : "False");
  replaceKey(kKeyCustomCmd, EscapeOptionText(CustomUser_Cmd));
  replaceKey(kKeyCustomScr, EscapeOptionText(CustomUser_Scr));
}

void TFPGAOptions::LoadFromProject(const IProject& AProject, std::string_view ASection) {
  if (!AProject) return;
  const IOptionsStorage storage = optionsStorageOf(AProject);
  const std::string section(ASection);
  const auto read = [&](const std::string& key) {
    return storage ? storage.call(ids::OptionsStorage_ReadValue, section, key, std::string()).toString()
                   : std::string();
  };
  for (const auto& option : FList) {
    // A value the dialog held for another project must not pass for this project's override.
    option->TemporaryActive = false;
    option->TemporaryUnspecified = false;
    option->WasLoaded = false;
    const std::string stored = read(option->Name);
    if (!stored.empty()) {
      option->SetValue(stored);
      option->WasLoaded = true;
    } else {
      option->SetValue(option->GetDefaultValue());
    }
    option->TemporaryValue = option->GetValue();
  }
  AdvancedMode = sameText(read(kKeyAdvanced), "True");
  CustomUser_Cmd = UnescapeOptionText(read(kKeyCustomCmd));
  CustomUser_Scr = UnescapeOptionText(read(kKeyCustomScr));
}

}  // namespace zolta
