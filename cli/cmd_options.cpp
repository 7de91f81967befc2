// zolta options STAGE [NAME=VALUE ...] [--project DIR] [--reset NAME] [--device NAME]
//
// Shows the options of a build stage that has an option file (the host's System folder holds the
// Quartus ones) with their values for the project, or stores overrides in the project's options
// storage ("<design>.zopt", section: stage name followed by its tool's name), where the build flow reads
// them on its next project change. A value is checked against the option's kind and range first.
#include <filesystem>

#include "cmd_flow.h"
#include "zolta/flow/fpga_options.h"
#include "zolta/hostapp/paths.h"

namespace zolta::cli {

namespace {

// The build stages that have options: their name, tool and option file.
struct StageOptions {
  const char* stage;
  const char* tool;
  const char* file;
};
constexpr StageOptions kStages[] = {
    {"Translate Design", "Quartus_sh", "DefaultOptions_Quartus.xml"},
    {"Timing Analysis", "Quartus_Tan", "DefaultOptions_Quartus_Tan.xml"},
};

std::string stageNames() {
  std::string out;
  for (const StageOptions& s : kStages) out += (out.empty() ? "\"" : ", \"") + std::string(s.stage) + "\"";
  return out;
}

}  // namespace

int runOptions(Context& context, const std::vector<std::string>& args) {
  FlowOptions o;
  if (int rc = parseFlowOptions(context, "options", args, {"--project", "--reset", "--device"}, {}, 1, 64, o);
      rc != kExitOk)
    return rc;
  const StageOptions* stage = nullptr;
  for (const StageOptions& s : kStages)
    if (zabi::sameText(s.stage, o.positional[0])) stage = &s;
  if (!stage) return context.usageError("options: no stage '" + o.positional[0] + "' has options (" + stageNames() + ")");
  const hostapp::ProjectDescription project =
      openProjectDescription(o.value("--project").value_or("."), o.value("--device"));

  hostapp::Host& host = context.host();
  const std::string file = hostapp::findEntryNoCase(host.systemFolder(), stage->file);
  if (file.empty()) return context.failure("options: the option file " + std::string(stage->file) + " is not in " + host.systemFolder());
  TFPGAOptions options(project.device, host.vendorTools().version("Altera"));
  options.LoadOptions(file);

  hostapp::OptionsFile stored(project.optionsFile());
  const std::string section = std::string(stage->stage) + stage->tool;

  // Overrides: NAME=VALUE stores, --reset NAME removes.
  std::vector<std::pair<std::string, std::string>> changes;
  for (size_t i = 1; i < o.positional.size(); ++i) {
    const std::string& a = o.positional[i];
    const size_t eq = a.find('=');
    if (eq == std::string::npos || eq == 0) return context.usageError("options: '" + a + "' is not NAME=VALUE");
    changes.emplace_back(a.substr(0, eq), a.substr(eq + 1));
  }
  for (const auto& [name, value] : changes) {
    TFPGAOption_Abstract* option = options.GetOption(name);
    if (!option) return context.failure("options: stage " + std::string(stage->stage) + " has no option '" + name + "'");
    if (!option->CheckValue(value)) {
      std::string allowed = option->GetValues();
      if (allowed.empty() && !option->GetMinValue().empty())
        allowed = option->GetMinValue() + ".." + option->GetMaxValue();
      return context.failure("options: '" + value + "' is not a value of " + option->Name +
                             (allowed.empty() ? std::string() : " (" + allowed + ")"));
    }
  }
  for (const auto& [name, value] : changes) stored.write(section, options.GetOption(name)->Name, value);
  if (auto reset = o.value("--reset")) {
    TFPGAOption_Abstract* option = options.GetOption(*reset);
    if (!option) return context.failure("options: stage " + std::string(stage->stage) + " has no option '" + *reset + "'");
    stored.remove(section, option->Name);
  }

  // The options with the project's values.
  std::ostream& out = context.out();
  out << stage->stage << " (" << stage->tool << ") options of " << project.name << " for " << project.device
      << (changes.empty() && !o.value("--reset") ? "" : ", overrides stored in " + project.optionsFile()) << ":\n";
  std::string group = "\x01";
  for (int32_t i = 0; i < options.GetOptionCount(); ++i) {
    TFPGAOption_Abstract& option = *options.GetOptionAt(i);
    if (!options.OptionApplies(option, project.device, options.Tool())) continue;
    if (option.Section != group) {
      group = option.Section;
      out << "  [" << group << "]\n";
    }
    const std::string value = stored.read(section, option.Name, "\x01");
    const bool overridden = value != "\x01";
    out << "    " << option.Name << " = " << (overridden ? value : option.GetDefaultValue())
        << (overridden ? "  (project; default " + option.GetDefaultValue() + ")" : "");
    if (!option.GetValues().empty()) out << "  [" << option.GetValues() << "]";
    out << '\n';
  }
  out.flush();
  return kExitOk;
}

}  // namespace zolta::cli
