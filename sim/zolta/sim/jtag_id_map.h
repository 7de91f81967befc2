// The host's JTAG ID map (System/JTagIdMap.txt): which device names answer an IDCODE. The host's chain
// scan looks each IDCODE it reads up here.
//
// Text format, one entry per line:
//   IDCODE MASK NAME [NAME...]
// IDCODE and MASK are hexadecimal with a 0x prefix; an IDCODE read from a chain matches when
// (read & MASK) == (IDCODE & MASK) (a mask of 0x0FFFFFFF ignores the version nibble). NAMEs are the
// base names of the devices that answer it. Blank lines and lines starting with '#' are ignored.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace zsim {

struct JtagIdEntry {
  uint32_t idcode = 0;
  uint32_t mask = 0xFFFFFFFFu;
  std::vector<std::string> names;
};

// Throws SimError "SOURCE:LINE: ..." for a malformed line.
std::vector<JtagIdEntry> parseJtagIdMap(std::string_view text, std::string_view sourceName);
// Throws SimError naming the file when it cannot be read or is malformed.
std::vector<JtagIdEntry> loadJtagIdMap(const std::filesystem::path& path);
// The first entry that matches `idcode`; null when none does.
const JtagIdEntry* findJtagId(const std::vector<JtagIdEntry>& map, uint32_t idcode);

}  // namespace zsim
