#include "zolta/quartus/project.h"

#include <fstream>
#include <sstream>

#include "zolta/quartus/tcl_interp.h"
#include "zolta/quartus/text.h"

namespace zquartus {

namespace fs = std::filesystem;

namespace {

std::string header(const ToolVersion& v, const std::string& created) {
  std::ostringstream h;
  h << "# -------------------------------------------------------------------------- #\n"
       "#\n"
       "# Copyright (C) 1991-" << v.year() << " Altera Corporation\n"
       "# Your use of Altera Corporation's design tools, logic functions \n"
       "# and other software and tools, and its AMPP partner logic \n"
       "# functions, and any output files from any of the foregoing \n"
       "# (including device programming or simulation files), and any \n"
       "# associated documentation or information are expressly subject \n"
       "# to the terms and conditions of the Altera Program License \n"
       "# Subscription Agreement, Altera MegaCore Function License \n"
       "# Agreement, or other applicable license agreement, including, \n"
       "# without limitation, that your use is for the sole purpose of \n"
       "# programming logic devices manufactured by Altera and sold by \n"
       "# Altera or its authorized distributors.  Please refer to the \n"
       "# applicable agreement for further details.\n"
       "#\n"
       "# -------------------------------------------------------------------------- #\n"
       "#\n"
       "# " << v.product() << "\n"
       "# " << v.fullText() << "\n"
       "# Date created = " << created << "\n"
       "#\n"
       "# -------------------------------------------------------------------------- #\n";
  return h.str();
}

// "KEY = \"value\"" lines of a project file.
std::optional<std::pair<std::string, std::string>> qpfLine(const std::string& line) {
  const std::string t = trim(line);
  if (t.empty() || t[0] == '#') return std::nullopt;
  const size_t eq = t.find('=');
  if (eq == std::string::npos) return std::nullopt;
  std::string key = upper(trim(t.substr(0, eq)));
  std::string value = trim(t.substr(eq + 1));
  if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
  return std::make_pair(key, value);
}

fs::path projectPath(const fs::path& dir, const std::string& name) {
  fs::path p = fs::path(name).is_absolute() ? fs::path(name) : dir / name;
  if (!endsWithNoCase(p.filename().string(), ".qpf")) p += ".qpf";
  return p.lexically_normal();
}

}  // namespace

bool isRepeatingAssignment(const std::string& name) {
  const std::string n = upper(name);
  if (n == "SEARCH_PATH" || n == "USER_LIBRARIES") return true;
  return n.size() > 5 && n.compare(n.size() - 5, 5, "_FILE") == 0 && n.rfind("EDA_", 0) != 0;
}

bool Assignment::sameKey(const Assignment& o) const {
  return kind == o.kind && sameText(name, o.name) && to == o.to && from == o.from && sameText(sectionId, o.sectionId) &&
         entity == o.entity;
}

std::string Assignment::command() const {
  std::string c;
  switch (kind) {
    case AssignmentKind::Global: c = "set_global_assignment -name " + name + " " + tclQuote(value); break;
    case AssignmentKind::Instance: c = "set_instance_assignment -name " + name + " " + tclQuote(value); break;
    case AssignmentKind::Location: c = "set_location_assignment " + tclQuote(value); break;
    case AssignmentKind::Parameter: c = "set_parameter -name " + name + " " + tclQuote(value); break;
  }
  if (!from.empty()) c += " -from " + tclQuote(from);
  if (!to.empty()) c += " -to " + tclQuote(to);
  if (!entity.empty()) c += " -entity " + tclQuote(entity);
  if (!sectionId.empty()) c += " -section_id " + tclQuote(sectionId);
  if (!tag.empty()) c += " -tag " + tclQuote(tag);
  if (!comment.empty()) c += " -comment " + tclQuote(comment);
  if (disabled) c += " -disable";
  return c;
}

void Settings::set(Assignment a) {
  const bool repeating = a.kind == AssignmentKind::Global && isRepeatingAssignment(a.name);
  for (Assignment& old : list_)
    if (old.sameKey(a) && (!repeating || old.value == a.value)) {
      old = std::move(a);
      return;
    }
  list_.push_back(std::move(a));
}

void Settings::setGlobal(const std::string& name, const std::string& value) {
  Assignment a;
  a.name = upper(name);
  a.value = value;
  set(std::move(a));
}

int Settings::remove(const Assignment& a) {
  const bool byValue = a.kind == AssignmentKind::Global && isRepeatingAssignment(a.name) && !a.value.empty();
  const size_t before = list_.size();
  std::erase_if(list_, [&](const Assignment& x) { return x.sameKey(a) && (!byValue || x.value == a.value); });
  return static_cast<int>(before - list_.size());
}

int Settings::removeAll(AssignmentKind kind, const std::string& name) {
  const size_t before = list_.size();
  std::erase_if(list_, [&](const Assignment& x) { return x.kind == kind && (name == "*" || sameText(x.name, name)); });
  return static_cast<int>(before - list_.size());
}

std::optional<std::string> Settings::global(const std::string& name, const std::string& section) const {
  std::optional<std::string> v;
  for (const Assignment& a : list_)
    if (a.kind == AssignmentKind::Global && !a.disabled && sameText(a.name, name) && sameText(a.sectionId, section))
      v = a.value;
  return v;
}

std::vector<std::string> Settings::globals(const std::string& name) const {
  std::vector<std::string> v;
  for (const Assignment& a : list_)
    if (a.kind == AssignmentKind::Global && !a.disabled && sameText(a.name, name)) v.push_back(a.value);
  return v;
}

std::vector<const Assignment*> Settings::find(AssignmentKind kind, const std::string& name) const {
  std::vector<const Assignment*> v;
  for (const Assignment& a : list_)
    if (a.kind == kind && !a.disabled && (kind == AssignmentKind::Location || sameText(a.name, name))) v.push_back(&a);
  return v;
}

std::string Settings::toQsf(const ToolVersion& version) const {
  std::string out = header(version, createdText());
  out += "#\n"
         "# Notes:\n"
         "#\n"
         "# 1) The default values for assignments are stored in the file:\n"
         "#\t\tassignment_defaults.qdf\n"
         "#\n"
         "# 2) Altera recommends that you do not modify this file. This\n"
         "#    file is updated automatically by the Quartus II software\n"
         "#    and any changes you make may be lost or overwritten.\n"
         "#\n"
         "# -------------------------------------------------------------------------- #\n\n\n";
  for (const Assignment& a : list_) out += a.command() + "\n";
  return out;
}

void defineAssignmentCommands(TclInterp& tcl, std::function<Settings&()> target) {
  auto common = [](const std::string& command, const TclArgs& args, AssignmentKind kind) {
    Assignment a;
    a.kind = kind;
    a.name = upper(args.option("-name"));
    a.to = args.option("-to");
    a.from = args.option("-from");
    a.sectionId = args.option("-section_id");
    a.entity = args.option("-entity");
    a.comment = args.option("-comment");
    a.tag = args.option("-tag");
    a.disabled = args.has("-disable");
    if (kind != AssignmentKind::Location && a.name.empty())
      throw TclCommandError("ERROR: Command " + command + " needs the option -name");
    args.expectPositional(command, args.has("-remove") ? 0 : 1, 1);
    if (!args.positional.empty()) a.value = args.positional[0];
    return a;
  };
  auto setter = [target, common](const std::string& command, AssignmentKind kind, std::vector<std::string> valued) {
    return [=](const std::vector<std::string>& argv) -> std::string {
      const TclArgs args = parseTclArgs(command, argv, valued, {"-remove", "-disable"});
      Assignment a = common(command, args, kind);
      if (kind == AssignmentKind::Location && a.to.empty())
        throw TclCommandError("ERROR: Command " + command + " needs the option -to");
      Settings& s = target();
      if (args.has("-remove")) s.remove(a);
      else s.set(std::move(a));
      return {};
    };
  };
  tcl.define("set_global_assignment",
             setter("set_global_assignment", AssignmentKind::Global, {"-name", "-section_id", "-entity", "-comment", "-tag"}));
  tcl.define("set_instance_assignment",
             setter("set_instance_assignment", AssignmentKind::Instance,
                    {"-name", "-to", "-from", "-section_id", "-entity", "-comment", "-tag"}));
  tcl.define("set_location_assignment",
             setter("set_location_assignment", AssignmentKind::Location, {"-to", "-from", "-entity", "-comment", "-tag"}));
  tcl.define("set_parameter", setter("set_parameter", AssignmentKind::Parameter, {"-name", "-to", "-entity", "-comment", "-tag"}));

  auto getter = [target](const std::string& command, AssignmentKind kind, std::vector<std::string> valued) {
    return [=](const std::vector<std::string>& argv) -> std::string {
      const TclArgs args = parseTclArgs(command, argv, valued, {});
      args.expectPositional(command, 0, 0);
      Assignment key;
      key.kind = kind;
      key.name = upper(args.option("-name"));
      key.to = args.option("-to");
      key.from = args.option("-from");
      key.sectionId = args.option("-section_id");
      key.entity = args.option("-entity");
      if (kind != AssignmentKind::Location && key.name.empty())
        throw TclCommandError("ERROR: Command " + command + " needs the option -name");
      std::string value;
      for (const Assignment& a : target().all())
        if (a.sameKey(key) && !a.disabled) value = a.value;
      return value;
    };
  };
  tcl.define("get_global_assignment", getter("get_global_assignment", AssignmentKind::Global, {"-name", "-section_id", "-entity"}));
  tcl.define("get_instance_assignment",
             getter("get_instance_assignment", AssignmentKind::Instance, {"-name", "-to", "-from", "-section_id", "-entity"}));
  tcl.define("get_location_assignment", getter("get_location_assignment", AssignmentKind::Location, {"-to", "-from", "-entity"}));

  auto remover = [target](const std::string& command, AssignmentKind kind) {
    return [=](const std::vector<std::string>& argv) -> std::string {
      const TclArgs args = parseTclArgs(command, argv, {"-name", "-section_id", "-to", "-from", "-entity", "-tag"}, {});
      args.expectPositional(command, 0, 0);
      const std::string name = kind == AssignmentKind::Location ? "*" : args.option("-name");
      if (name.empty()) throw TclCommandError("ERROR: Command " + command + " needs the option -name");
      return std::to_string(target().removeAll(kind, name));
    };
  };
  tcl.define("remove_all_global_assignments", remover("remove_all_global_assignments", AssignmentKind::Global));
  tcl.define("remove_all_instance_assignments", remover("remove_all_instance_assignments", AssignmentKind::Instance));
  tcl.define("remove_all_parameters", remover("remove_all_parameters", AssignmentKind::Parameter));
}

bool Project::exists(const fs::path& dir, const std::string& name) {
  std::error_code ec;
  return fs::is_regular_file(resolveFile(dir, projectPath(dir, name).string()), ec);
}

Project Project::create(const fs::path& dir, const std::string& name, const std::string& revision) {
  const fs::path file = projectPath(dir, name);
  Project p;
  p.dir_ = file.parent_path();
  p.name_ = file.stem().string();
  p.revision_ = revision.empty() ? p.name_ : revision;
  p.revisions_ = {p.revision_};
  p.created_ = createdText();
  return p;
}

Project Project::open(const fs::path& dir, const std::string& name, const std::string& revision) {
  const fs::path file = resolveFile(dir, projectPath(dir, name).string());
  std::error_code ec;
  if (!fs::is_regular_file(file, ec))
    throw ProjectError("Project \"" + fs::path(name).stem().string() + "\" does not exist: no project file " + file.string());
  Project p;
  p.dir_ = file.parent_path();
  p.name_ = file.stem().string();
  std::ifstream in(file);
  if (!in) throw ProjectError("Can't read project file " + file.string());
  for (std::string line; std::getline(in, line);) {
    auto kv = qpfLine(line);
    if (!kv) continue;
    if (kv->first == "PROJECT_REVISION" && !kv->second.empty()) p.revisions_.push_back(kv->second);
    if (kv->first == "DATE") p.created_ = kv->second;
  }
  if (p.revisions_.empty()) p.revisions_.push_back(p.name_);
  if (p.created_.empty()) p.created_ = createdText();
  p.revision_ = p.revisions_.front();
  if (!revision.empty()) {
    p.revision_ = revision;
    bool listed = false;
    for (const std::string& r : p.revisions_) listed = listed || r == revision;
    if (!listed) {
      if (!fs::is_regular_file(p.dir_ / (revision + ".qsf"), ec))
        throw ProjectError("Revision \"" + revision + "\" does not exist in project \"" + p.name_ + "\" (" +
                           file.string() + ")");
      p.revisions_.push_back(revision);
    }
  }

  const fs::path qsf = resolveFile(p.dir_, p.revision_ + ".qsf");
  if (fs::is_regular_file(qsf, ec)) {
    TclInterp tcl;
    defineAssignmentCommands(tcl, [&p]() -> Settings& { return p.settings_; });
    // Old settings files may carry project-level commands; they are harmless here.
    for (const char* ignored : {"load_package", "package", "set_user_option", "set_io_assignment"})
      tcl.define(ignored, [](const std::vector<std::string>&) { return std::string(); });
    if (!tcl.evalFile(qsf)) {
      std::string first = tcl.trace();
      throw ProjectError("Can't read settings file " + qsf.string() + ": " + tcl.error() +
                         (first.find("line") != std::string::npos ? " (" + trim(first.substr(first.rfind('(') + 1)) : ""));
    }
  }
  return p;
}

fs::path Project::outputDirectory() const {
  const std::optional<std::string> out = settings_.global("PROJECT_OUTPUT_DIRECTORY");
  if (!out || trim(*out).empty()) return dir_;
  std::string d = trim(*out);
  for (char& c : d)
    if (c == '\\') c = '/';
  return (fs::path(d).is_absolute() ? fs::path(d) : dir_ / d).lexically_normal();
}

void Project::save(const ToolVersion& version) const {
  std::string qpf = header(version, created_);
  qpf += "\nQUARTUS_VERSION = \"" + version.version + "\"\nDATE = \"" + created_ + "\"\n\n# Revisions\n\n";
  for (const std::string& r : revisions_) qpf += "PROJECT_REVISION = \"" + r + "\"\n";
  try {
    std::error_code ec;
    fs::create_directories(dir_, ec);
    writeFile(projectFile(), qpf);
    writeFile(settingsFile(), settings_.toQsf(version));
  } catch (const std::exception& e) {
    throw ProjectError(e.what());
  }
}

}  // namespace zquartus
