// Console messages in the vendor's shapes: "Info (12021): ...", "Critical Warning (169085): ...",
// "    Info (21058): ..." for sub-messages, and "Info: ..." without identifiers in the classic era.
// Every line goes to the output at once (the flow reads the tool's output line by line) and is kept
// for the "<Module> Messages" section of the report.
#pragma once

#include <chrono>
#include <ostream>
#include <string>
#include <vector>

#include "zolta/quartus/version.h"

namespace zquartus {

enum class Severity { Info, ExtraInfo, Warning, CriticalWarning, Error };

class MessageLog {
 public:
  MessageLog(std::ostream& out, const ToolVersion& version) : out_(out), version_(version) {}

  // A message at nesting `depth` (0 top level, 1 a sub-message indented by four blanks). `id` 0 or an
  // era without identifiers prints the bare label. Top-level errors and warnings (critical ones
  // included) are counted.
  void message(Severity severity, int id, const std::string& text, int depth = 0);
  void info(int id, const std::string& text, int depth = 0) { message(Severity::Info, id, text, depth); }
  void warning(int id, const std::string& text, int depth = 0) { message(Severity::Warning, id, text, depth); }
  void criticalWarning(int id, const std::string& text, int depth = 0) {
    message(Severity::CriticalWarning, id, text, depth);
  }
  void error(int id, const std::string& text, int depth = 0) { message(Severity::Error, id, text, depth); }
  // A line that is not a message (Tcl's error trace, a script's own output).
  void plain(const std::string& text);

  // The banner of a module run: "Running Quartus II 64-Bit Fitter", version, start time, command line.
  void banner(const std::string& moduleTitle, const std::string& commandLine);
  // The closing lines: "... was successful. 0 errors, 2 warnings" (or unsuccessful, as errors) with the
  // memory and time figures. Answers whether the run was successful (no error so far).
  bool closing(const std::string& moduleTitle);

  int errors() const { return errors_; }
  int warnings() const { return warnings_; }
  const ToolVersion& version() const { return version_; }
  // Every line written so far, for the report's messages section.
  const std::vector<std::string>& lines() const { return lines_; }

  // "1 error, 3 warnings"
  static std::string countsText(int errors, int warnings);

 private:
  void write(const std::string& line);

  std::ostream& out_;
  ToolVersion version_;
  int errors_ = 0;
  int warnings_ = 0;
  std::vector<std::string> lines_;
  std::chrono::steady_clock::time_point started_ = std::chrono::steady_clock::now();
  std::string startedText_;
};

}  // namespace zquartus
