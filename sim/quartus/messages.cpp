#include "zolta/quartus/messages.h"

#include <ctime>
#include <fstream>

#include "zolta/quartus/text.h"

namespace zquartus {

namespace {

const char* label(Severity s) {
  switch (s) {
    case Severity::Info: return "Info";
    case Severity::ExtraInfo: return "Extra Info";
    case Severity::Warning: return "Warning";
    case Severity::CriticalWarning: return "Critical Warning";
    case Severity::Error: return "Error";
  }
  return "Info";
}

// Peak virtual memory of this process in megabytes (VmPeak of /proc/self/status).
long peakMegabytes() {
  std::ifstream in("/proc/self/status");
  for (std::string line; std::getline(in, line);)
    if (line.rfind("VmPeak:", 0) == 0) return std::strtol(line.c_str() + 7, nullptr, 10) / 1024;
  return 0;
}

std::string hms(long seconds) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%02ld:%02ld:%02ld", seconds / 3600, (seconds / 60) % 60, seconds % 60);
  return buf;
}

}  // namespace

void MessageLog::write(const std::string& line) {
  out_ << line << '\n';
  out_.flush();
  lines_.push_back(line);
}

void MessageLog::message(Severity severity, int id, const std::string& text, int depth) {
  std::string line(static_cast<size_t>(4 * depth), ' ');
  line += label(severity);
  if (id > 0 && version_.messageIds()) line += " (" + std::to_string(id) + ")";
  line += ": " + text;
  write(line);
  if (depth == 0) {
    if (severity == Severity::Error) ++errors_;
    if (severity == Severity::Warning || severity == Severity::CriticalWarning) ++warnings_;
  }
}

void MessageLog::plain(const std::string& text) { write(text); }

void MessageLog::banner(const std::string& moduleTitle, const std::string& commandLine) {
  started_ = std::chrono::steady_clock::now();
  startedText_ = ctimeText();
  info(0, "*******************************************************************");
  info(0, "Running " + version_.product() + " " + moduleTitle);
  info(0, version_.fullText(), 1);
  info(0, "Copyright (C) 1991-" + version_.year() + " Altera Corporation", 1);
  info(0, "Processing started: " + startedText_, 1);
  info(0, "Command: " + commandLine);
}

bool MessageLog::closing(const std::string& moduleTitle) {
  const bool ok = errors_ == 0;
  const Severity s = ok ? Severity::Info : Severity::Error;
  const std::string counts = countsText(errors_, warnings_);
  const long elapsed = static_cast<long>(
      std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - started_).count());
  // The closing lines are not counted: they restate the counts.
  const int errors = errors_, warnings = warnings_;
  message(s, 0, version_.product() + " " + moduleTitle + (ok ? " was successful. " : " was unsuccessful. ") + counts);
  message(s, 0, "Peak virtual memory: " + std::to_string(peakMegabytes()) + " megabytes", 1);
  message(s, 0, "Processing ended: " + ctimeText(), 1);
  message(s, 0, "Elapsed time: " + hms(elapsed), 1);
  message(s, 0, "Total CPU time (on all processors): " + hms(static_cast<long>(std::clock() / CLOCKS_PER_SEC)), 1);
  errors_ = errors;
  warnings_ = warnings;
  return ok;
}

std::string MessageLog::countsText(int errors, int warnings) {
  return std::to_string(errors) + (errors == 1 ? " error, " : " errors, ") + std::to_string(warnings) +
         (warnings == 1 ? " warning" : " warnings");
}

}  // namespace zquartus
