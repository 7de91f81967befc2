#include "zolta/flow/altera_reports.h"

#include "flow_text.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <memory>

#include "zolta/host/errors.h"
#include "zolta/host/files.h"
#include "zolta/host_ids.h"

namespace zolta {

namespace {

using flowtext::containsNoCase;
using flowtext::findNoCase;
using flowtext::replaceAllNoCase;
using flowtext::sameNoCase;
using flowtext::trimView;

std::string padLeft(std::string_view s, size_t width) {
  std::string out;
  if (s.size() < width) out.assign(width - s.size(), ' ');
  out.append(s);
  return out;
}

// The fields of a table row: trimmed, one leading ";" dropped, cut at ";", each field trimmed.
std::vector<std::string> rowFields(std::string_view line) {
  std::string_view s = trimView(line);
  if (!s.empty() && s.front() == ';') s.remove_prefix(1);
  std::vector<std::string> fields;
  size_t pos = 0;
  for (;;) {
    const size_t semi = s.find(';', pos);
    fields.emplace_back(trimView(s.substr(pos, semi == std::string_view::npos ? std::string_view::npos : semi - pos)));
    if (semi == std::string_view::npos) break;
    pos = semi + 1;
  }
  return fields;
}

std::string field(const std::vector<std::string>& fields, size_t index) {
  return index < fields.size() ? fields[index] : std::string();
}

// The text up to its first "(", trimmed.
std::string beforeParen(std::string_view s) { return std::string(trimView(s.substr(0, s.find('(')))); }

std::string quoted(std::string_view s) {
  std::string out;
  out.reserve(s.size() + 2);
  out += '"';
  out += s;
  out += '"';
  return out;
}

// An entry "a"|"b"|... split at "|"; a field that begins with a double quote runs to its closing quote
// ("" inside stands for one quote), so "|" inside quotes does not split.
std::vector<std::string> splitEntry(std::string_view entry) {
  std::vector<std::string> fields;
  size_t i = 0;
  for (;;) {
    std::string f;
    if (i < entry.size() && entry[i] == '"') {
      ++i;
      while (i < entry.size()) {
        if (entry[i] == '"') {
          if (i + 1 < entry.size() && entry[i + 1] == '"') {
            f += '"';
            i += 2;
            continue;
          }
          ++i;
          break;
        }
        f += entry[i++];
      }
      // Anything between the closing quote and the next "|" belongs to the field too.
      while (i < entry.size() && entry[i] != '|') f += entry[i++];
    } else {
      while (i < entry.size() && entry[i] != '|') f += entry[i++];
    }
    fields.push_back(std::move(f));
    if (i >= entry.size()) break;
    ++i;  // the "|"
  }
  return fields;
}

// Adds an entry to the collected list unless an equal one (ignoring case) is there already.
void collectUnique(std::vector<std::string>& entries, std::string entry) {
  if (entry.empty()) return;
  for (const std::string& e : entries)
    if (sameNoCase(e, entry)) return;
  entries.push_back(std::move(entry));
}

// ---- line reader -------------------------------------------------------------------------------------

// Reads a text file line by line through a fixed buffer. Lines end at LF; a CR before the LF is
// dropped (a report written on Windows reads the same).
class LineReader {
 public:
  explicit LineReader(const std::string& path)
      : path_(path), file_(std::fopen(path.c_str(), "rb")), buffer_(new char[kBufferSize]) {
    if (!file_) throw EFileAccessError("Cannot open report \"" + path + "\"", path);
  }
  ~LineReader() { std::fclose(file_); }
  LineReader(const LineReader&) = delete;
  LineReader& operator=(const LineReader&) = delete;

  // The next line (valid until the next call), or false at the end of the file.
  bool next(std::string_view& line) {
    carry_.clear();
    for (;;) {
      if (pos_ < len_) {
        const char* start = buffer_.get() + pos_;
        const void* lf = std::memchr(start, '\n', len_ - pos_);
        if (lf) {
          const size_t n = size_t(static_cast<const char*>(lf) - start);
          pos_ += n + 1;
          if (carry_.empty()) {
            line = strip(std::string_view(start, n));
          } else {
            carry_.append(start, n);
            line = strip(carry_);
          }
          return true;
        }
        // A line that runs past the buffer continues in the next read.
        carry_.append(start, len_ - pos_);
        pos_ = len_;
      }
      if (eof_) {
        // The last line of a file that does not end in a line break.
        line = strip(carry_);
        return !carry_.empty();
      }
      len_ = std::fread(buffer_.get(), 1, kBufferSize, file_);
      pos_ = 0;
      if (len_ < kBufferSize) {
        if (std::ferror(file_)) throw EFileAccessError("Cannot read report \"" + path_ + "\"", path_);
        eof_ = true;
      }
    }
  }

 private:
  static std::string_view strip(std::string_view s) {
    if (!s.empty() && s.back() == '\r') s.remove_suffix(1);
    return s;
  }

  std::string path_;
  std::FILE* file_;
  static constexpr size_t kBufferSize = 1 << 16;
  std::unique_ptr<char[]> buffer_;
  size_t pos_ = 0;
  size_t len_ = 0;
  bool eof_ = false;
  std::string carry_;
};

// The report's existing path (found ignoring case), or empty.
std::string existingReport(const std::string& reportFile) {
  if (reportFile.empty()) return {};
  return ResolveFileCaseInsensitive(reportFile);
}

// ---- fit ----------------------------------------------------------------------------------------------

// The resource rows of the summary. The first eleven are the names of older reports; current ones
// name logic and memory "Logic utilization", "Combinational ALUTs" or "ALUTs Used", and "Total block
// memory bits", which would otherwise leave the summary without logic and memory usage.
constexpr std::array<const char*, 15> kResourceNames = {
    "Total logic elements", "Total ALUTs",       "Total registers", "I/O pins",          "Total memory bits",
    "Total RAM block bits", "DSP block 9-bit elements", "Global clocks", "Logic Cells", "Registers",
    "DSP",                  "Logic utilization", "Combinational ALUTs", "ALUTs Used", "Total block memory bits"};

// ---- timing ---------------------------------------------------------------------------------------

constexpr std::array<std::pair<const char*, const char*>, 5> kClassicNames = {{
    {"Worst-case tsu", "Minimum input required time before clock"},
    {"Worst-case tco", "Maximum output delay after clock"},
    {"Worst-case th", "Minimum clock hold time"},
    {"Worst-case tpd", "Maximum point to point delay"},
    {"Worst-case minimum tpd", "Minimum point to point delay"},
}};

// The items of collected timing entries (see the header), in order.
void addTimingEntries(std::vector<TReportItem>& items, const std::vector<std::string>& entries, bool classic,
                      const std::string& reportFile) {
  for (const std::string& entry : entries) {
    const std::vector<std::string> f = splitEntry(entry);
    std::string name, value;
    if (f.size() == 2) {
      name = f[0];
      if (classic)
        for (const auto& [from, to] : kClassicNames) name = replaceAllNoCase(name, from, to);
      value = AlignOnMarker(f[1], "NS");
    } else if (f.size() == 3) {
      name = f[0] + " (Constraint = " + f[1] + ")";
      value = AlignOnMarker(f[2], "MHZ");
    } else {
      continue;
    }
    items.push_back({kReportSection_Timing, std::move(name), std::move(value), reportFile});
  }
}

}  // namespace

// ---- pieces ----------------------------------------------------------------------------------------

std::string NormaliseFitRow(std::string_view line) {
  std::string_view s = trimView(line);
  if (!s.empty() && s.front() == ';') s.remove_prefix(1);
  if (!s.empty() && s.back() == ';') s.remove_suffix(1);
  std::string t = replaceAllNoCase(s, "( ", "(");
  t = replaceAllNoCase(t, " )", ")");
  std::replace(t.begin(), t.end(), ';', '=');
  t = replaceAllNoCase(t, " %", "%");
  t = replaceAllNoCase(t, "     =", " =");
  return std::string(trimView(t));
}

std::string AlignFitValue(std::string_view value) {
  const size_t slash = value.find('/');
  if (slash == std::string_view::npos || value.find('(') == std::string_view::npos) return std::string(value);
  const std::string_view head = value.substr(0, slash + 1);
  const std::string_view tail = value.substr(slash + 1);
  const size_t paren = tail.find('(');
  if (paren == std::string_view::npos) {
    // The only "(" comes before the "/": nothing to line up after it.
    return padLeft(head, 9) + padLeft(tail, 10);
  }
  return padLeft(head, 9) + padLeft(tail.substr(0, paren + 1), 10) + padLeft(tail.substr(paren + 1), 4);
}

std::string AlignOnMarker(std::string_view value, std::string_view marker) {
  const size_t pos = findNoCase(value, marker);
  if (pos == std::string_view::npos || pos >= 7) return std::string(value);
  return std::string(7 - pos, ' ') + std::string(value);
}

// ---- readers ----------------------------------------------------------------------------------------

std::vector<TReportItem> ReadFitSummary(const std::string& reportFile) {
  std::vector<TReportItem> items;
  const std::string path = existingReport(reportFile);
  if (path.empty()) return items;
  LineReader reader(path);
  std::string_view line;
  bool inSection = false;
  while (reader.next(line)) {
    if (!inSection) {
      if (line.find(';') == std::string_view::npos) continue;
      if (!containsNoCase(line, "; Logic cells") && !containsNoCase(line, "; Fitter Resource Usage Summary")) continue;
      inSection = true;
    } else if (line.empty()) {
      break;
    }
    const std::string row = NormaliseFitRow(line);
    if (containsNoCase(row, "USER")) continue;
    if (std::none_of(kResourceNames.begin(), kResourceNames.end(),
                     [&](const char* name) { return containsNoCase(row, name); }))
      continue;
    const size_t eq = row.find('=');
    if (eq == std::string::npos) continue;
    items.push_back({kReportSection_Resources, row.substr(0, eq), AlignFitValue(row.substr(eq + 1)), path});
  }
  return items;
}

std::vector<TReportItem> ReadClassicTimingSummary(const std::string& reportFile) {
  std::vector<TReportItem> items;
  const std::string path = existingReport(reportFile);
  if (path.empty()) return items;
  LineReader reader(path);
  std::string_view line;
  bool inSection = false;
  bool hasClock = false;
  std::vector<std::string> entries;
  while (reader.next(line)) {
    if (!inSection) {
      if (line.find(';') == std::string_view::npos || !containsNoCase(line, "; Timing Analyzer Summary")) continue;
      inSection = true;
    } else if (containsNoCase(line, "; Timing Analyzer Settings")) {
      break;
    }
    if (line.empty() || (!containsNoCase(line, "CLOCK SETUP") && !containsNoCase(line, "WORST-CASE"))) continue;
    const std::vector<std::string> f = rowFields(line);
    std::string entry;
    if (containsNoCase(f[0], "Worst-case")) {
      entry = quoted(f[0]) + "|" + quoted(field(f, 3));
    } else if (containsNoCase(f[0], "Clock Setup")) {
      const std::string& first = f[0];
      const size_t last = first.rfind('\'');
      std::string clock;
      if (last != std::string::npos && last > 0) {
        const size_t before = first.rfind('\'', last - 1);
        if (before != std::string::npos) clock = std::string(trimView(std::string_view(first).substr(before + 1, last - before - 1)));
      }
      entry = quoted(clock) + "|" + quoted(beforeParen(field(f, 2))) + "|" + quoted(beforeParen(field(f, 3)));
      hasClock = true;
    }
    collectUnique(entries, std::move(entry));
  }
  if (!hasClock) items.push_back({kReportSection_Timing, kReport_NoTimingConstraints, "", path});
  addTimingEntries(items, entries, true, path);
  return items;
}

std::vector<TReportItem> ReadTimeQuestSummary(const std::string& reportFile, double quartusVersionNumber) {
  std::vector<TReportItem> items;
  const std::string path = existingReport(reportFile);
  if (path.empty()) return items;
  LineReader reader(path);
  std::string_view line;
  bool inTable = false;
  bool hasData = false;
  std::vector<std::string> entries;
  while (reader.next(line)) {
    const std::string_view t = trimView(line);
    if (!inTable) {
      if (t.empty() || t.front() != ';' || !containsNoCase(t, "Fmax Summary")) continue;
      inTable = true;
      continue;  // the table's title
    }
    // The table is its rows and borders; whatever follows it is not clock data.
    if (t.empty() || (t.front() != ';' && t.front() != '+')) break;
    if (t.front() == ';' && containsNoCase(t, "Setup Summary")) break;
    if (t.front() != ';' || containsNoCase(t, "; SLOW") || containsNoCase(t, "; FMAX")) continue;
    const std::vector<std::string> f = rowFields(t);
    hasData = true;
    if (quartusVersionNumber <= 7.2)
      collectUnique(entries, quoted(field(f, 1)) + "|" + quoted(field(f, 0) + " MHz"));
    else
      collectUnique(entries, quoted(field(f, 2)) + "|" + quoted(field(f, 0)));
  }
  if (!hasData) items.push_back({kReportSection_Timing, kReport_NoTimingConstraints, "", path});
  addTimingEntries(items, entries, false, path);
  return items;
}

void AddReportItems(const DispPtr& runner, const std::vector<TReportItem>& items) {
  if (!runner) return;
  for (const TReportItem& item : items)
    zabi::invoke(runner, zabi::host::ProcessFlowRunner_AddReportItem, item.Section, item.Name, item.Value,
                 item.ReportFile);
}

}  // namespace zolta
