// Reading an option file (XML) into an option set. The file is parsed and checked completely before
// the set changes, so a faulty file leaves the set as it was.
#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>
#include <optional>
#include <pugixml.hpp>

#include "zolta/dispatch.h"
#include "zolta/flow/fpga_options.h"
#include "zolta/host/errors.h"
#include "zolta/host/files.h"

namespace zolta {

using zabi::sameText;

namespace {

bool isBlank(char c) { return static_cast<unsigned char>(c) <= ' '; }

std::string trimmed(std::string_view s) {
  size_t b = 0, e = s.size();
  while (b < e && isBlank(s[b])) ++b;
  while (e > b && isBlank(s[e - 1])) --e;
  return std::string(s.substr(b, e - b));
}

bool isElement(const pugi::xml_node& node, const char* name) {
  return node.type() == pugi::node_element && sameText(node.name(), name);
}

std::string attributeOf(const pugi::xml_node& node, const char* name) {
  for (const pugi::xml_attribute& a : node.attributes())
    if (sameText(a.name(), name)) return a.value();
  return {};
}

void appendText(const pugi::xml_node& node, std::string& out) {
  for (const pugi::xml_node& child : node.children()) {
    if (child.type() == pugi::node_pcdata || child.type() == pugi::node_cdata)
      out += child.value();
    else if (child.type() == pugi::node_element)
      appendText(child, out);
  }
}

// The element's text content (its text and CDATA and those of its descendants).
std::string textOf(const pugi::xml_node& node) {
  std::string out;
  appendText(node, out);
  return out;
}

bool hasElementChildren(const pugi::xml_node& node) {
  for (const pugi::xml_node& child : node.children())
    if (child.type() == pugi::node_element) return true;
  return false;
}

void appendAll(std::vector<std::string>& list, std::vector<std::string> items) {
  for (std::string& item : items) list.push_back(std::move(item));
}

// One option as read from the file, before it becomes an option of the set.
struct OptionSpec {
  std::string section, name, flag, kind = "boolean", defaultValue, minValue, maxValue, toolTip;
  std::vector<std::string> values, families, baseDevices, packages, speedGrades, tools, conditions;
  std::vector<TFPGAScript> scripts, commands;
  bool advanced = false, valueOnly = false;
};

struct FileSpec {
  std::string scriptHead, scriptTail, commandsHead, commandsTail, comment, commandsFilename;
  std::vector<OptionSpec> options;
};

// Line and column (both from 1) of a byte offset in text.
std::pair<size_t, size_t> lineAndColumn(std::string_view text, size_t offset) {
  if (offset > text.size()) offset = text.size();
  size_t line = 1, lineStart = 0;
  for (size_t i = 0; i < offset; ++i)
    if (text[i] == '\n') ++line, lineStart = i + 1;
  return {line, offset - lineStart + 1};
}

class OptionFileReader {
 public:
  OptionFileReader(std::string path, std::string_view content, const std::string& device, std::string tool)
      : path_(std::move(path)), content_(content), device_(device), tool_(std::move(tool)) {}

  FileSpec read(const pugi::xml_node& root) {
    FileSpec file;
    for (const pugi::xml_node& node : root.children()) {
      if (node.type() != pugi::node_element) continue;
      if (isElement(node, "section")) {
        const std::string section = attributeOf(node, "id");
        for (const pugi::xml_node& option : node.children())
          if (isElement(option, "option")) file.options.push_back(readOption(option, section));
      } else if (isElement(node, "script") || isElement(node, "command")) {
        const bool script = isElement(node, "script");
        const std::string pos = attributeOf(node, "pos");
        if (sameText(pos, "head"))
          (script ? file.scriptHead : file.commandsHead) = textOf(node);
        else if (sameText(pos, "tail"))
          (script ? file.scriptTail : file.commandsTail) = textOf(node);
      } else if (isElement(node, "comment")) {
        file.comment = trimmed(textOf(node));
      } else if (isElement(node, "command_filename")) {
        file.commandsFilename = trimmed(textOf(node));
      }
    }
    return file;
  }

 private:
  OptionSpec readOption(const pugi::xml_node& node, const std::string& section) {
    OptionSpec o;
    o.section = section;
    o.name = trimmed(attributeOf(node, "id"));
    if (o.name.empty())
      throw EOptionFileError("Option file '" + path_ + "', line " + std::to_string(lineOf(node)) +
                                 ": an option of section '" + section + "' has no id",
                             path_);
    for (const pugi::xml_node& e : node.children()) {
      if (e.type() != pugi::node_element) continue;
      const std::string text = trimmed(textOf(e));
      if (isElement(e, "kind")) {
        o.kind = zabi::lowerAscii(text);
      } else if (isElement(e, "advanced")) {
        o.advanced = true;
      } else if (isElement(e, "valueonly")) {
        o.valueOnly = true;
      } else if (isElement(e, "flag")) {
        o.flag = text;
      } else if (isElement(e, "default_value") || isElement(e, "defaults")) {
        if (hasElementChildren(e)) {
          if (std::optional<std::string> chosen = chooseDefault(e)) o.defaultValue = std::move(*chosen);
        } else {
          o.defaultValue = text;
        }
      } else if (isElement(e, "min_value")) {
        o.minValue = text;
      } else if (isElement(e, "max_value")) {
        o.maxValue = text;
      } else if (isElement(e, "values")) {
        o.values = SplitCommaText(text);
      } else if (isElement(e, "device_family")) {
        appendAll(o.families, SplitCommaText(text));
      } else if (isElement(e, "device_base_name")) {
        appendAll(o.baseDevices, SplitCommaText(text));
      } else if (isElement(e, "device_package")) {
        appendAll(o.packages, SplitCommaText(text));
      } else if (isElement(e, "device_speedgrade")) {
        appendAll(o.speedGrades, SplitCommaText(text));
      } else if (isElement(e, "tool_version")) {
        appendAll(o.tools, SplitCommaText(text));
      } else if (isElement(e, "tooltip")) {
        o.toolTip = text;
      } else if (isElement(e, "option_if")) {
        o.conditions.push_back(text);
      } else if (isElement(e, "script") || isElement(e, "script_default")) {
        o.scripts.emplace_back(trimmed(attributeOf(e, "id")), text, isElement(e, "script_default"));
      } else if (isElement(e, "command") || isElement(e, "command_default")) {
        o.commands.emplace_back(trimmed(attributeOf(e, "id")), text, isElement(e, "command_default"));
      }
    }
    return o;
  }

  // The value of the first candidate group whose family and tool filters apply to the set's device
  // and tool; none when no group applies. Each group is judged by its own filters only.
  std::optional<std::string> chooseDefault(const pugi::xml_node& candidates) {
    for (const pugi::xml_node& group : candidates.children()) {
      if (group.type() != pugi::node_element) continue;
      std::string value;
      std::vector<std::string> families, tools;
      for (const pugi::xml_node& e : group.children()) {
        if (isElement(e, "default_value"))
          value = trimmed(textOf(e));
        else if (isElement(e, "device_family"))
          appendAll(families, SplitCommaText(textOf(e)));
        else if (isElement(e, "tool_version"))
          appendAll(tools, SplitCommaText(textOf(e)));
      }
      const TFPGADeviceNames& device = deviceNames();
      if (device.Known && !FPGAFilterPasses(families, device.Family)) continue;
      if (!FPGAToolFilterPasses(tools, tool_)) continue;
      return value;
    }
    return std::nullopt;
  }

  const TFPGADeviceNames& deviceNames() {
    if (!device_names_) device_names_ = TFPGADeviceNames::Lookup(device_);
    return *device_names_;
  }

  // pugixml keeps no line numbers; the node's offset in the text gives it.
  size_t lineOf(const pugi::xml_node& node) const {
    const ptrdiff_t offset = node.offset_debug();
    return lineAndColumn(content_, offset < 0 ? 0 : size_t(offset)).first;
  }

  std::string path_;
  std::string_view content_;
  const std::string& device_;
  std::string tool_;
  std::optional<TFPGADeviceNames> device_names_;
};

}  // namespace

void TFPGAOptions::LoadOptions(std::string_view AFileName) {
  std::string path(AFileName);
  if (!FileExists(path)) {
    path = ResolveFileCaseInsensitive(path);
    if (path.empty() || !FileExists(path)) return;
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) throw EFileAccessError("Cannot read option file '" + path + "': " + std::strerror(errno), path);
  const std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) throw EFileAccessError("Cannot read option file '" + path + "'", path);

  pugi::xml_document doc;
  const pugi::xml_parse_result parsed =
      doc.load_buffer(content.data(), content.size(), pugi::parse_default, pugi::encoding_utf8);
  if (!parsed) {
    const auto [line, column] = lineAndColumn(content, size_t(parsed.offset < 0 ? 0 : parsed.offset));
    throw EOptionFileError("Option file '" + path + "' is not valid XML: line " + std::to_string(line) +
                               ", column " + std::to_string(column) + ": " + parsed.description(),
                           path);
  }
  FileSpec file = OptionFileReader(path, content, FDevice, FTool).read(doc.document_element());

  ClearOptions();
  Script_Head = std::move(file.scriptHead);
  Script_Tail = std::move(file.scriptTail);
  Commands_Head = std::move(file.commandsHead);
  Commands_Tail = std::move(file.commandsTail);
  Comment_Identifier = std::move(file.comment);
  Commands_Filename = std::move(file.commandsFilename);
  for (OptionSpec& o : file.options) {
    TFPGAOption_Abstract* option;
    if (o.kind == "boolean")
      option = AddBooleanOption(o.section, o.name, o.flag, o.defaultValue, JoinCommaText(o.values));
    else if (o.kind == "enum")
      option = AddEnumOption(o.section, o.name, o.flag, o.defaultValue, JoinCommaText(o.values));
    else if (o.kind == "integer")
      option = AddIntegerOption(o.section, o.name, o.flag, o.defaultValue, o.minValue, o.maxValue);
    else if (o.kind == "real")
      option = AddRealOption(o.section, o.name, o.flag, o.defaultValue, o.minValue, o.maxValue);
    else
      option = AddStringOption(o.section, o.name, o.flag, o.defaultValue);
    option->ValidFamilies = std::move(o.families);
    option->ValidBaseDevices = std::move(o.baseDevices);
    option->ValidPackages = std::move(o.packages);
    option->ValidSpeedGrades = std::move(o.speedGrades);
    for (const std::string& tool : o.tools) option->InsertTool(tool);
    option->Conditions = std::move(o.conditions);
    option->Scripts = std::move(o.scripts);
    option->Commands = std::move(o.commands);
    option->Advanced = o.advanced;
    option->ValueOnly = o.valueOnly;
    option->ToolTip = std::move(o.toolTip);
    option->TemporaryValue = option->GetValue();
  }
}

}  // namespace zolta
