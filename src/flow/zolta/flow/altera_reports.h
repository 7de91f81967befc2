// Summaries of the Quartus reports that the Altera build stages hand to the host's process-flow runner:
// the device resource usage from the fitter's report, and the clock and delay figures from the classic
// timing analyzer's report (.tan.rpt) or the TimeQuest analyzer's report (.sta.rpt).
//
// Reports are plain text; their tables are rows of fields separated by ";" (a row usually starts and
// ends with ";"). Name and text comparisons ignore ASCII case. The readers go through a report line by
// line and stop at the end of the section they need, so only that section is ever held in memory.
//
// A report that does not exist gives no items (found ignoring the case of its name); a report that
// exists but cannot be read raises EFileAccessError naming it. A report without the expected section
// gives no items, except that the timing readers then give the "No timing constraints." item.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "zolta/host/host_services.h"

namespace zolta {

// Sections of the summary items.
inline constexpr const char* kReportSection_Resources = "Device Resources - Usage Summary";
inline constexpr const char* kReportSection_Timing = "Design Statistics - Timing Summary";
// The item a timing report without any clock gives first.
inline constexpr const char* kReport_NoTimingConstraints = "No timing constraints.";

// One summary item, in the order the runner takes its four texts.
struct TReportItem {
  std::string Section;
  std::string Name;
  std::string Value;
  std::string ReportFile;  // full path of the report that was read

  friend bool operator==(const TReportItem&, const TReportItem&) = default;
};

// Fitter resource usage. The section starts at the first line holding "; Logic cells" or "; Fitter
// Resource Usage Summary" and ends before the next line that is exactly empty. Each of its rows is
// normalised (trimmed; outer ";" removed; "( " -> "(", " )" -> ")", ";" -> "=", " %" -> "%", five
// blanks and "=" -> " ="; trimmed again) and kept when it names a resource and does not hold "USER".
// The resources are those older reports name (total logic elements, ALUTs, registers, I/O pins,
// memory bits, RAM block bits, DSP elements, global clocks, logic cells) and those of current ones
// ("Logic utilization", "Combinational ALUTs", "ALUTs Used", "Total block memory bits"). The name is
// the text before the first "=" as it stands, the value the text after it; a value with "/" and "("
// is re-aligned so that the figures line up: the part up to the "/" right-aligned to 9 characters,
// the part up to the "(" to 10, the rest to 4.
std::vector<TReportItem> ReadFitSummary(const std::string& reportFile);

// Classic timing analyzer: rows between "; Timing Analyzer Summary" and "; Timing Analyzer Settings".
// A "Worst-case ..." row gives its name (rewritten to a description, e.g. "Worst-case tco" ->
// "Maximum output delay after clock") and its actual time (fourth field); a "Clock Setup: '<clock>'"
// row gives "<clock> (Constraint = <required>)" and the achieved frequency. Without any clock row the
// "No timing constraints." item comes first. Equal rows give one item.
std::vector<TReportItem> ReadClassicTimingSummary(const std::string& reportFile);

// TimeQuest analyzer: the rows of the first (slowest corner's) Fmax table, which starts at the first
// line that begins with ";" and holds "Fmax Summary". Only the rows of that table are read: the table
// ends at the first line that is neither a row (";") nor a border ("+"), so the explanatory text and the
// other blocks that follow it before the "Setup Summary" (such as "Timing Closure Recommendations")
// are not taken for clocks. Each data row gives the clock name and its fmax: for Quartus versions up to
// 7.2 the second field and the first field + " MHz", later the third field and the first field.
// Without any data row the "No timing constraints." item is the only one. Equal rows give one item.
std::vector<TReportItem> ReadTimeQuestSummary(const std::string& reportFile, double quartusVersionNumber);

// Hands the items to the runner (IProcessFlowRunner AddReportItem, 503741) in order; nothing without a
// runner.
void AddReportItems(const DispPtr& runner, const std::vector<TReportItem>& items);

// ---- pieces of the readers (exposed for their tests) ----------------------------------------------

// The row normalisation of the fit summary (above).
std::string NormaliseFitRow(std::string_view line);
// The value re-alignment of the fit summary; a value without both "/" and "(" stays as it is.
std::string AlignFitValue(std::string_view value);
// Blanks put in front of value so that marker (found ignoring case) starts at the eighth character;
// unchanged when value does not hold it or it starts there or later.
std::string AlignOnMarker(std::string_view value, std::string_view marker);

}  // namespace zolta
