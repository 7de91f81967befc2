// A Quartus project on disk: the project file <name>.qpf (version, date, revisions) and one settings file
// <revision>.qsf per revision, a Tcl script of assignment commands in the vendor's layout. The settings
// are read by evaluating the .qsf with the assignment commands bound to a `Settings` object.
#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "zolta/quartus/version.h"

namespace zquartus {

class TclInterp;

// A project that cannot be opened, read or written; the message names the file.
class ProjectError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

enum class AssignmentKind { Global, Instance, Location, Parameter };

struct Assignment {
  AssignmentKind kind = AssignmentKind::Global;
  std::string name;  // upper case; empty for locations
  std::string value;
  std::string to, from, sectionId, entity, comment, tag;
  bool disabled = false;

  // Same target: kind, name, to, from, section and entity (names of nodes compared exactly).
  bool sameKey(const Assignment& other) const;
  // The command line of a settings file.
  std::string command() const;
};

class Settings {
 public:
  // Adds an assignment, replacing the one with the same key; assignments that may repeat (design files,
  // search paths) replace only one with the same value too.
  void set(Assignment a);
  // set() of a global assignment outside sections.
  void setGlobal(const std::string& name, const std::string& value);
  // Removes the assignments with the key of `a` (for repeating ones, also the value when given); answers
  // how many went.
  int remove(const Assignment& a);
  // Removes every assignment of `kind` named `name` ("*" every name).
  int removeAll(AssignmentKind kind, const std::string& name);

  // The value of the last enabled global assignment `name` in `section` ("" = outside sections).
  std::optional<std::string> global(const std::string& name, const std::string& section = {}) const;
  // Every enabled global value of `name` (for repeating assignments), in order.
  std::vector<std::string> globals(const std::string& name) const;
  // Enabled instance assignments named `name` (or every location assignment for kind Location).
  std::vector<const Assignment*> find(AssignmentKind kind, const std::string& name = {}) const;
  const std::vector<Assignment>& all() const { return list_; }
  bool empty() const { return list_.empty(); }

  // The settings file text for `revision`, with the vendor's header.
  std::string toQsf(const ToolVersion& version) const;

 private:
  std::vector<Assignment> list_;
};

// Whether global assignment `name` may hold several values (design files and the like).
bool isRepeatingAssignment(const std::string& name);

// Binds set_global_assignment, set_instance_assignment, set_location_assignment, set_parameter and their
// get_/remove_all_ companions to the settings `target()` answers at the time of the call (it throws
// TclCommandError when there is no open project).
void defineAssignmentCommands(TclInterp& tcl, std::function<Settings&()> target);

class Project {
 public:
  // Opens the project `name` (a path relative to `dir` or absolute; ".qpf" optional) with `revision`, or
  // the project's current revision when empty. Throws ProjectError when the project file is missing or a
  // settings file cannot be evaluated.
  static Project open(const std::filesystem::path& dir, const std::string& name, const std::string& revision = {});
  // A new project in memory (nothing is written before save()).
  static Project create(const std::filesystem::path& dir, const std::string& name, const std::string& revision);
  // Whether `name` names an existing project file.
  static bool exists(const std::filesystem::path& dir, const std::string& name);

  const std::filesystem::path& directory() const { return dir_; }
  const std::string& name() const { return name_; }
  const std::string& revision() const { return revision_; }
  const std::vector<std::string>& revisions() const { return revisions_; }
  Settings& settings() { return settings_; }
  const Settings& settings() const { return settings_; }

  std::filesystem::path projectFile() const { return dir_ / (name_ + ".qpf"); }
  std::filesystem::path settingsFile() const { return dir_ / (revision_ + ".qsf"); }
  // Where reports and bit files go: PROJECT_OUTPUT_DIRECTORY when set, else the project's folder.
  std::filesystem::path outputDirectory() const;
  // db/ beside the project file.
  std::filesystem::path databaseDirectory() const { return dir_ / "db"; }

  // Writes the project file and the revision's settings file. Throws ProjectError naming the file.
  void save(const ToolVersion& version) const;

 private:
  std::filesystem::path dir_;
  std::string name_, revision_;
  std::vector<std::string> revisions_;
  std::string created_;
  Settings settings_;
};

}  // namespace zquartus
