// Workspace projects: a design folder described by a small JSON file, its documents and the options
// storage where the build flow keeps the user's option overrides.
//
// The description file is "<design>.zproj" in the design folder:
//
//   {
//     "device": "EP2AGZ225FF35C3",             the device the design is built for (required)
//     "netlist": "counter.edf",                the EDIF netlist (default "<design>.edf")
//     "constraints": ["counter_pins.tcl"],     constraint documents (default none)
//     "synthesizer": "EDIF netlist",           the synthesizer that wrote the netlist (default)
//     "userId": "0x00C0FFEE"                   the user code built into the bit file (default none)
//   }
//
// Paths are relative to the folder. The design name is the description file's name without its
// extension; the netlist must carry the same name (the Quartus project is named after it) and every
// file the flow writes goes into the folder: "<folder>/<design>.<extension>". The option overrides
// are kept in "<design>.zopt" beside the description.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "zolta/hostapp/host_object.h"

namespace zolta::hostapp {

// The default synthesizer name: a netlist from outside Quartus, so the flow creates the Quartus project.
inline constexpr const char* kDefaultSynthesizer = "EDIF netlist";

struct ProjectDescription {
  std::string file;                      // the description file, absolute
  std::string folder;                    // its folder, absolute, without a trailing "/"
  std::string name;                      // the design name (file name without extension)
  std::string device;
  std::string netlist;                   // absolute
  std::vector<std::string> constraints;  // absolute
  std::string synthesizer = kDefaultSynthesizer;
  std::string userId;

  // The path every flow file is derived from: the netlist's path.
  std::string basePath() const { return netlist; }
  std::string optionsFile() const;
};

// Reads a description file, or the single "*.zproj" file of a folder. Throws std::runtime_error naming
// the file and the fault (missing, not valid JSON, a member of the wrong type, no device, the netlist
// named differently from the design or missing).
ProjectDescription readProjectDescription(const std::string& pathOrFolder);
// Writes a description file (used to create a project for a bare folder).
void writeProjectDescription(const ProjectDescription& description);

// Sections of "key=value" lines kept in a text file: "[section]" lines open a section; "\\", "\n", "\="
// and "\]" escape a backslash, a line feed, "=" (in keys) and "]" (in section names). Every change is
// written through at once, by writing a temporary file and renaming it over the old one.
class OptionsFile {
 public:
  explicit OptionsFile(std::string path);
  const std::string& path() const { return path_; }
  std::string read(const std::string& section, const std::string& key, const std::string& fallback) const;
  void write(const std::string& section, const std::string& key, const std::string& value);
  void remove(const std::string& section, const std::string& key);
  // Sections compare ignoring case; keys too.
  const std::map<std::string, std::map<std::string, std::string>>& sections() const { return sections_; }
  // The entries of a section (names as stored); empty when there is none.
  std::map<std::string, std::string> section(const std::string& name) const;

 private:
  void load();
  void save() const;
  std::string path_;
  std::map<std::string, std::map<std::string, std::string>> sections_;  // keys lower-cased
  std::map<std::string, std::string> sectionNames_, keyNames_;          // lower-cased -> as written
};

class TOptionsStorage : public THostObject {
 public:
  TOptionsStorage(const HostLink& link, std::string file) : THostObject(link), file_(std::move(file)) {}
  void WriteValue(std::string section, std::string key, std::string value) { file_.write(section, key, value); }
  std::string ReadValue(std::string section, std::string key, std::string fallback) {
    return file_.read(section, key, fallback);
  }
  void RemoveKey(std::string section, std::string key) { file_.remove(section, key); }
  OptionsFile& file() { return file_; }

  static const DispatchTable& table();
  const DispatchTable& dispatchTable() const override { return table(); }

 private:
  OptionsFile file_;
};

class TWorkspace;

class TProject : public THostObject {
 public:
  TProject(const HostLink& link, ProjectDescription description, TWorkspace& workspace);

  // The project's documents: the netlist, then the constraint files.
  DispPtr GetDocument(int32_t index);
  int32_t GetDocumentCount() { return int32_t(documents_.size()); }
  std::string GetFileName() { return description_.file; }
  std::string GetUserID() { return description_.userId; }
  DispPtr GetOptionsStorage() { return storage_; }
  DispPtr GetAssociatedProject() { return {}; }

  const ProjectDescription& description() const { return description_; }
  TOptionsStorage& storage() { return *storage_; }

  static const DispatchTable& table();
  const DispatchTable& dispatchTable() const override { return table(); }

 private:
  ProjectDescription description_;
  std::vector<DispPtr> documents_;
  Ptr<TOptionsStorage> storage_;
};

// The synthesizer manager of the FPGA flow module: the synthesizer of a project.
class TSynthesizerManager : public THostObject {
 public:
  explicit TSynthesizerManager(const HostLink& link) : THostObject(link) {}
  std::string GetSynthesizerName(DispPtr project);

  static const DispatchTable& table();
  const DispatchTable& dispatchTable() const override { return table(); }
};

// A minimal JSON reader for the description file: objects, arrays, strings, numbers, true/false/null.
struct JsonValue {
  enum class Kind { Null, Bool, Number, String, Array, Object } kind = Kind::Null;
  bool boolean = false;
  double number = 0;
  std::string text;
  std::vector<JsonValue> items;
  std::vector<std::pair<std::string, JsonValue>> members;
  const JsonValue* member(std::string_view name) const;
};
// Throws std::runtime_error with the offset of the fault.
JsonValue parseJson(std::string_view text);

}  // namespace zolta::hostapp
