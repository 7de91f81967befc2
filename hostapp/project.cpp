#include "zolta/hostapp/project.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "zolta/host_ids.h"
#include "zolta/hostapp/paths.h"
#include "zolta/hostapp/text.h"
#include "zolta/hostapp/workspace.h"

namespace zolta::hostapp {

namespace fs = std::filesystem;
namespace h = zabi::host;

// ---- JSON ------------------------------------------------------------------------------------

const JsonValue* JsonValue::member(std::string_view name) const {
  for (const auto& [n, v] : members)
    if (n == name) return &v;
  return nullptr;
}

namespace {

class JsonReader {
 public:
  explicit JsonReader(std::string_view text) : s_(text) {}

  JsonValue document() {
    JsonValue v = value(0);
    skip();
    if (pos_ != s_.size()) fail("text after the end of the value");
    return v;
  }

 private:
  [[noreturn]] void fail(const std::string& what) const {
    throw std::runtime_error(what + " at offset " + std::to_string(pos_));
  }
  void skip() {
    while (pos_ < s_.size() && (s_[pos_] == ' ' || s_[pos_] == '\t' || s_[pos_] == '\n' || s_[pos_] == '\r')) ++pos_;
  }
  bool take(char c) {
    skip();
    if (pos_ < s_.size() && s_[pos_] == c) {
      ++pos_;
      return true;
    }
    return false;
  }
  void expect(char c) {
    if (!take(c)) fail(std::string("expected '") + c + "'");
  }
  JsonValue value(int depth) {
    if (depth > 64) fail("values nested too deeply");
    skip();
    if (pos_ >= s_.size()) fail("unexpected end of text");
    JsonValue v;
    const char c = s_[pos_];
    if (c == '{') {
      ++pos_;
      v.kind = JsonValue::Kind::Object;
      if (take('}')) return v;
      do {
        skip();
        if (pos_ >= s_.size() || s_[pos_] != '"') fail("expected a member name");
        std::string name = string();
        expect(':');
        v.members.emplace_back(std::move(name), value(depth + 1));
      } while (take(','));
      expect('}');
    } else if (c == '[') {
      ++pos_;
      v.kind = JsonValue::Kind::Array;
      if (take(']')) return v;
      do v.items.push_back(value(depth + 1));
      while (take(','));
      expect(']');
    } else if (c == '"') {
      v.kind = JsonValue::Kind::String;
      v.text = string();
    } else if (s_.substr(pos_, 4) == "true" || s_.substr(pos_, 5) == "false") {
      v.kind = JsonValue::Kind::Bool;
      v.boolean = c == 't';
      pos_ += v.boolean ? 4 : 5;
    } else if (s_.substr(pos_, 4) == "null") {
      pos_ += 4;
    } else if (c == '-' || (c >= '0' && c <= '9')) {
      size_t end = pos_ + 1;
      while (end < s_.size() && std::string_view("0123456789.eE+-").find(s_[end]) != std::string_view::npos) ++end;
      const std::string number(s_.substr(pos_, end - pos_));
      char* stop = nullptr;
      v.kind = JsonValue::Kind::Number;
      v.number = std::strtod(number.c_str(), &stop);
      if (stop != number.c_str() + number.size()) fail("malformed number");
      pos_ = end;
    } else {
      fail("unexpected character");
    }
    return v;
  }
  std::string string() {
    ++pos_;  // the opening quote
    std::string out;
    while (true) {
      if (pos_ >= s_.size()) fail("unterminated string");
      const char c = s_[pos_++];
      if (c == '"') return out;
      if (static_cast<unsigned char>(c) < 0x20) fail("control character in a string");
      if (c != '\\') {
        out += c;
        continue;
      }
      if (pos_ >= s_.size()) fail("unterminated string");
      const char e = s_[pos_++];
      switch (e) {
        case '"': out += '"'; break;
        case '\\': out += '\\'; break;
        case '/': out += '/'; break;
        case 'b': out += '\b'; break;
        case 'f': out += '\f'; break;
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        case 't': out += '\t'; break;
        case 'u': {
          if (pos_ + 4 > s_.size()) fail("short \\u escape");
          uint32_t code = 0;
          for (int i = 0; i < 4; ++i) {
            const char x = s_[pos_++];
            code <<= 4;
            if (x >= '0' && x <= '9') code |= uint32_t(x - '0');
            else if (x >= 'a' && x <= 'f') code |= uint32_t(x - 'a' + 10);
            else if (x >= 'A' && x <= 'F') code |= uint32_t(x - 'A' + 10);
            else fail("malformed \\u escape");
          }
          // Basic plane only (surrogate pairs are not needed for file names here): UTF-8 encode.
          if (code < 0x80) out += char(code);
          else if (code < 0x800) {
            out += char(0xC0 | (code >> 6));
            out += char(0x80 | (code & 0x3F));
          } else {
            out += char(0xE0 | (code >> 12));
            out += char(0x80 | ((code >> 6) & 0x3F));
            out += char(0x80 | (code & 0x3F));
          }
          break;
        }
        default: fail("unknown escape");
      }
    }
  }

  std::string_view s_;
  size_t pos_ = 0;
};

std::string readWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read '" + path + "'");
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

std::string lower(std::string s) { return zabi::lowerAscii(s); }

}  // namespace

JsonValue parseJson(std::string_view text) { return JsonReader(text).document(); }

// ---- project description -------------------------------------------------------------------

std::string ProjectDescription::optionsFile() const { return joinPath(folder, name + ".zopt"); }

ProjectDescription readProjectDescription(const std::string& pathOrFolder) {
  std::error_code ec;
  std::string file = pathOrFolder;
  if (fs::is_directory(pathOrFolder, ec)) {
    std::vector<std::string> found;
    for (const auto& e : fs::directory_iterator(pathOrFolder, ec))
      if (e.is_regular_file() && zabi::sameText(e.path().extension().string(), ".zproj")) found.push_back(e.path().string());
    if (found.empty()) throw std::runtime_error("no project description (*.zproj) in '" + pathOrFolder + "'");
    if (found.size() > 1)
      throw std::runtime_error("more than one project description (*.zproj) in '" + pathOrFolder + "'");
    file = found.front();
  } else if (!fs::exists(pathOrFolder, ec)) {
    throw std::runtime_error("project '" + pathOrFolder + "' does not exist");
  }
  file = fs::absolute(file, ec).lexically_normal().string();

  JsonValue root;
  try {
    root = parseJson(readWholeFile(file));
  } catch (const std::runtime_error& e) {
    throw std::runtime_error("project description '" + file + "': " + e.what());
  }
  auto fault = [&](const std::string& what) { return std::runtime_error("project description '" + file + "': " + what); };
  if (root.kind != JsonValue::Kind::Object) throw fault("not a JSON object");
  auto text = [&](const char* name, const std::string& fallback) -> std::string {
    const JsonValue* v = root.member(name);
    if (!v || v->kind == JsonValue::Kind::Null) return fallback;
    if (v->kind != JsonValue::Kind::String) throw fault(std::string("\"") + name + "\" must be a string");
    return v->text;
  };

  ProjectDescription d;
  d.file = file;
  d.folder = fs::path(file).parent_path().string();
  d.name = fs::path(file).stem().string();
  d.device = trimmed(text("device", ""));
  if (d.device.empty()) throw fault("no \"device\" given");
  const std::string netlist = text("netlist", d.name + ".edf");
  d.netlist = fs::path(expandRelativePath(d.folder + "/", netlist)).lexically_normal().string();
  if (!zabi::sameText(fs::path(d.netlist).stem().string(), d.name))
    throw fault("the netlist '" + netlist + "' must be named after the design ('" + d.name + ".edf')");
  if (!isRegularFile(d.netlist)) {
    const std::string found = findEntryNoCase(d.folder, fs::path(d.netlist).filename().string());
    if (found.empty()) throw fault("the netlist '" + d.netlist + "' does not exist");
    d.netlist = found;
  }
  if (const JsonValue* c = root.member("constraints"); c && c->kind != JsonValue::Kind::Null) {
    if (c->kind != JsonValue::Kind::Array) throw fault("\"constraints\" must be a list of file names");
    for (const JsonValue& item : c->items) {
      if (item.kind != JsonValue::Kind::String) throw fault("\"constraints\" must be a list of file names");
      const std::string path = fs::path(expandRelativePath(d.folder + "/", item.text)).lexically_normal().string();
      if (!isRegularFile(path)) throw fault("the constraint file '" + path + "' does not exist");
      d.constraints.push_back(path);
    }
  }
  d.synthesizer = text("synthesizer", kDefaultSynthesizer);
  d.userId = text("userId", "");
  return d;
}

void writeProjectDescription(const ProjectDescription& d) {
  std::ostringstream o;
  o << "{\n  \"device\": " << jsonString(d.device) << ",\n  \"netlist\": "
    << jsonString(fs::path(d.netlist).lexically_relative(d.folder).string()) << ",\n  \"constraints\": [";
  for (size_t i = 0; i < d.constraints.size(); ++i)
    o << (i ? ", " : "") << jsonString(fs::path(d.constraints[i]).lexically_relative(d.folder).string());
  o << "],\n  \"synthesizer\": " << jsonString(d.synthesizer);
  if (!d.userId.empty()) o << ",\n  \"userId\": " << jsonString(d.userId);
  o << "\n}\n";
  std::ofstream out(d.file, std::ios::binary | std::ios::trunc);
  out << o.str();
  if (!out.flush()) throw std::runtime_error("cannot write the project description '" + d.file + "'");
}

// ---- options file ----------------------------------------------------------------------------

namespace {

std::string escape(std::string_view s, bool inKey, bool inSection) {
  std::string out;
  for (char c : s) {
    if (c == '\\') out += "\\\\";
    else if (c == '\n') out += "\\n";
    else if (c == '\r') out += "\\r";
    else if (c == '=' && inKey) out += "\\=";
    else if (c == ']' && inSection) out += "\\]";
    else if (c == '[' && inKey) out += "\\[";
    else out += c;
  }
  return out;
}

// Unescapes up to an unescaped `stop` character (0: to the end); `end` receives where it stopped.
std::string unescape(std::string_view s, char stop, size_t& end) {
  std::string out;
  size_t i = 0;
  for (; i < s.size(); ++i) {
    char c = s[i];
    if (c == stop && stop) break;
    if (c == '\\' && i + 1 < s.size()) {
      const char e = s[++i];
      out += e == 'n' ? '\n' : e == 'r' ? '\r' : e;
    } else {
      out += c;
    }
  }
  end = i;
  return out;
}

}  // namespace

OptionsFile::OptionsFile(std::string path) : path_(std::move(path)) { load(); }

void OptionsFile::load() {
  std::ifstream in(path_, std::ios::binary);
  if (!in) return;  // no overrides yet
  std::string line, section;
  size_t number = 0;
  while (std::getline(in, line)) {
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == ';' || line[0] == '#') continue;
    size_t end = 0;
    if (line[0] == '[') {
      const std::string_view rest = std::string_view(line).substr(1);
      section = unescape(rest, ']', end);
      if (end >= rest.size())
        throw std::runtime_error("options file '" + path_ + "', line " + std::to_string(number) + ": malformed section");
      sectionNames_.emplace(lower(section), section);
      continue;
    }
    std::string key = unescape(line, '=', end);
    if (end >= line.size())
      throw std::runtime_error("options file '" + path_ + "', line " + std::to_string(number) + ": no '=' in the line");
    size_t ignored = 0;
    std::string value = unescape(std::string_view(line).substr(end + 1), 0, ignored);
    sections_[lower(section)][lower(key)] = value;
    sectionNames_.emplace(lower(section), section);
    keyNames_.emplace(lower(section) + '\n' + lower(key), key);
  }
}

void OptionsFile::save() const {
  std::ostringstream o;
  o << "; Option overrides of the build flow's stages, written by zolta.\n";
  for (const auto& [s, entries] : sections_) {
    if (entries.empty()) continue;
    o << '[' << escape(sectionNames_.at(s), false, true) << "]\n";
    for (const auto& [k, v] : entries) o << escape(keyNames_.at(s + '\n' + k), true, false) << '=' << escape(v, false, false) << '\n';
  }
  const std::string temporary = path_ + ".tmp";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out << o.str();
    if (!out.flush()) throw std::runtime_error("cannot write the options file '" + temporary + "'");
  }
  std::error_code ec;
  fs::rename(temporary, path_, ec);
  if (ec) throw std::runtime_error("cannot replace the options file '" + path_ + "': " + ec.message());
}

std::string OptionsFile::read(const std::string& section, const std::string& key, const std::string& fallback) const {
  auto s = sections_.find(lower(section));
  if (s == sections_.end()) return fallback;
  auto k = s->second.find(lower(key));
  return k == s->second.end() ? fallback : k->second;
}

void OptionsFile::write(const std::string& section, const std::string& key, const std::string& value) {
  const std::string s = lower(section), k = lower(key);
  sectionNames_.emplace(s, section);
  keyNames_[s + '\n' + k] = key;
  sections_[s][k] = value;
  save();
}

void OptionsFile::remove(const std::string& section, const std::string& key) {
  auto s = sections_.find(lower(section));
  if (s == sections_.end() || !s->second.erase(lower(key))) return;
  save();
}

std::map<std::string, std::string> OptionsFile::section(const std::string& name) const {
  std::map<std::string, std::string> out;
  auto s = sections_.find(lower(name));
  if (s == sections_.end()) return out;
  for (const auto& [k, v] : s->second) out[keyNames_.at(s->first + '\n' + k)] = v;
  return out;
}

// ---- dispatch objects ------------------------------------------------------------------------

TProject::TProject(const HostLink& link, ProjectDescription description, TWorkspace& workspace)
    : THostObject(link), description_(std::move(description)),
      storage_(new TOptionsStorage(link, description_.optionsFile())) {
  documents_.push_back(workspace.openDocument(description_.netlist));
  for (const std::string& c : description_.constraints) documents_.push_back(workspace.openDocument(c));
}

DispPtr TProject::GetDocument(int32_t index) {
  if (index < 0 || size_t(index) >= documents_.size())
    throw zabi::DispatchError("project '" + description_.file + "': no document " + std::to_string(index));
  return documents_[size_t(index)];
}

std::string TSynthesizerManager::GetSynthesizerName(DispPtr project) {
  if (!project) throw zabi::DispatchError("synthesizer manager: no project given");
  auto* p = dynamic_cast<TProject*>(serviceObjectOf(project.get()));
  if (!p) throw zabi::DispatchError("synthesizer manager: not a project of this host");
  return p->description().synthesizer;
}

namespace {
const DispatchEntry kOptionsStorageEntries[] = {
    {h::OptionsStorage_WriteValue, &op<&TOptionsStorage::WriteValue>},
    {h::OptionsStorage_ReadValue, &op<&TOptionsStorage::ReadValue>},
    {h::OptionsStorage_RemoveKey, &op<&TOptionsStorage::RemoveKey>},
};
const DispatchEntry kProjectEntries[] = {
    {h::Project_GetDocument, &op<&TProject::GetDocument>},
    {h::Project_GetDocumentCount, &op<&TProject::GetDocumentCount>},
    {h::Project_GetFileName, &op<&TProject::GetFileName>},
    {h::Project_GetUserID, &op<&TProject::GetUserID>},
    {h::Project_GetOptionsStorage, &op<&TProject::GetOptionsStorage>},
    {h::Project_GetAssociatedProject, &op<&TProject::GetAssociatedProject>},
};
const DispatchEntry kSynthesizerEntries[] = {
    {h::SynthesizerManager_GetSynthesizerName, &op<&TSynthesizerManager::GetSynthesizerName>},
};
}  // namespace

const DispatchTable& TOptionsStorage::table() {
  static const DispatchTable t = makeTable(&TAbstractSupportService::rootTable(), "OptionsStorage", kOptionsStorageEntries);
  return t;
}
const DispatchTable& TProject::table() {
  static const DispatchTable t = makeTable(&TAbstractSupportService::rootTable(), "Project", kProjectEntries);
  return t;
}
const DispatchTable& TSynthesizerManager::table() {
  static const DispatchTable t =
      makeTable(&TAbstractSupportService::rootTable(), "SynthesizerManager", kSynthesizerEntries);
  return t;
}

}  // namespace zolta::hostapp
