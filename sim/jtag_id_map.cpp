#include "zolta/sim/jtag_id_map.h"

#include <cerrno>
#include <charconv>
#include <cstring>
#include <fstream>
#include <sstream>

#include "zolta/sim/error.h"

namespace zsim {

namespace {

std::vector<std::string_view> words(std::string_view line) {
  std::vector<std::string_view> out;
  size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r')) ++i;
    const size_t start = i;
    while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r') ++i;
    if (i > start) out.push_back(line.substr(start, i - start));
  }
  return out;
}

bool parseHex(std::string_view w, uint32_t& value) {
  if (w.size() < 3 || w[0] != '0' || (w[1] != 'x' && w[1] != 'X')) return false;
  const char* b = w.data() + 2;
  const char* e = w.data() + w.size();
  const auto [end, ec] = std::from_chars(b, e, value, 16);
  return ec == std::errc() && end == e;
}

}  // namespace

std::vector<JtagIdEntry> parseJtagIdMap(std::string_view text, std::string_view sourceName) {
  std::vector<JtagIdEntry> map;
  size_t lineNo = 0;
  size_t pos = 0;
  while (pos <= text.size()) {
    const size_t nl = text.find('\n', pos);
    const std::string_view line = text.substr(pos, nl == std::string_view::npos ? std::string_view::npos : nl - pos);
    pos = nl == std::string_view::npos ? text.size() + 1 : nl + 1;
    ++lineNo;
    const std::vector<std::string_view> w = words(line);
    if (w.empty() || w[0].front() == '#') continue;
    const std::string where = std::string(sourceName) + ":" + std::to_string(lineNo) + ": ";
    if (w.size() < 3) throw SimError(where + "expected IDCODE MASK NAME [NAME...]");
    JtagIdEntry e;
    if (!parseHex(w[0], e.idcode)) throw SimError(where + "'" + std::string(w[0]) + "' is not a hexadecimal IDCODE (0x...)");
    if (!parseHex(w[1], e.mask)) throw SimError(where + "'" + std::string(w[1]) + "' is not a hexadecimal mask (0x...)");
    for (size_t i = 2; i < w.size(); ++i) e.names.emplace_back(w[i]);
    map.push_back(std::move(e));
  }
  return map;
}

std::vector<JtagIdEntry> loadJtagIdMap(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw SimError("cannot open JTAG ID map " + path.string() + ": " + std::strerror(errno));
  std::ostringstream text;
  text << in.rdbuf();
  return parseJtagIdMap(text.str(), path.string());
}

const JtagIdEntry* findJtagId(const std::vector<JtagIdEntry>& map, uint32_t idcode) {
  for (const JtagIdEntry& e : map)
    if ((idcode & e.mask) == (e.idcode & e.mask)) return &e;
  return nullptr;
}

}  // namespace zsim
