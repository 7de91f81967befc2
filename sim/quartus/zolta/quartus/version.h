// The version the stand-in tools report, read from the first line of the installation's readme.txt
// ("Version 13.1 Build 162 10/23/2013 SJ Full Version"). The version decides the era the tools behave
// like: message identifiers, product name, timing corner names, whether TimeQuest is the default.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace zquartus {

struct ToolVersion {
  std::string version;   // "13.1"
  std::string build;     // "162"
  std::string date;      // "10/23/2013"
  std::string edition;   // "SJ Full Version"
  double number = 0;     // 13.1

  // Version 10 and later print message identifiers, call themselves "Quartus II 64-Bit" and name timing
  // corners by voltage and temperature; earlier ones are the classic-analyzer era.
  bool modernEra() const { return number >= 10; }
  bool messageIds() const { return modernEra(); }
  // "Quartus II 64-Bit" or "Quartus II".
  std::string product() const { return modernEra() ? "Quartus II 64-Bit" : "Quartus II"; }
  // "Version 13.1 Build 162 10/23/2013 SJ Full Version"
  std::string fullText() const;
  // "13.1 Build 162 10/23/2013 SJ Full Version"
  std::string shortText() const;
  // The copyright year of the release ("2013").
  std::string year() const;

  // Parses a readme first line: the word after "Version" (or "Release"), then optional "Build <n>",
  // a date and the rest as the edition. Nothing when the line carries no version.
  static std::optional<ToolVersion> parse(const std::string& line);
  // The version of the default installation (TimeQuest era).
  static ToolVersion builtIn();
};

// Decimal reading of a version text digit by digit ("9.1" -> 9.1, "10.0sp1" -> 10.01).
double versionNumber(const std::string& text);

// The installation root of a program started as `argv0`: the folder above the program's folder. The
// name is not resolved through symbolic links, so a tree of links to one program is its own installation.
std::filesystem::path installationRoot(const std::string& argv0);

// The version of the installation at `root` (its readme.txt, found without regard to case); the built-in
// version when the readme is missing or names none.
ToolVersion installedVersion(const std::filesystem::path& root);

}  // namespace zquartus
