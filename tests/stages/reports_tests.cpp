// The Quartus report readers against recorded reports in the vendor's shapes (fixtures/) and small
// hand-made rows for the text rules.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "zolta/flow/altera_reports.h"
#include "zolta/testing/scripted_object.h"

namespace zolta {
namespace {

using testing::TempDir;

std::string fixture(const std::string& name) { return std::string(ZOLTA_STAGES_FIXTURES) + "/" + name; }

std::string trimmed(std::string s) {
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

// Name (trailing padding removed) and value of each item.
std::vector<std::pair<std::string, std::string>> namesAndValues(const std::vector<TReportItem>& items) {
  std::vector<std::pair<std::string, std::string>> out;
  for (const TReportItem& i : items) out.emplace_back(trimmed(i.Name), i.Value);
  return out;
}

using Pairs = std::vector<std::pair<std::string, std::string>>;

// ---- text rules --------------------------------------------------------------------------------

TEST(ReportText, FitRowNormalisationAndAlignment) {
  // The example row: the figures line up at fixed columns.
  const std::string row = NormaliseFitRow("; Total logic elements ; 1,234 / 12,345 ( 10 % ) ;");
  EXPECT_EQ(row, "Total logic elements = 1,234 / 12,345 (10%)");
  EXPECT_EQ(AlignFitValue(" 1,234 / 12,345 (10%)"), "  1,234 /  12,345 (10%)");
  // "< 1%" is longer than its column and stays whole; a bare number is left alone.
  EXPECT_EQ(AlignFitValue(" 207 / 117,053 (< 1%)"), "    207 / 117,053 (< 1%)");
  EXPECT_EQ(AlignFitValue(" 24"), " 24");
}

TEST(ReportText, MarkerAlignment) {
  struct Case {
    const char* value;
    const char* marker;
    const char* expected;
  } cases[] = {
      {"7.321 ns", "NS", " 7.321 ns"},      // "ns" moves to the eighth character
      {"-4.858 ns", "NS", "-4.858 ns"},     // already there
      {"123.456 ns", "NS", "123.456 ns"},   // later: unchanged
      {"5 ns", "NS", "     5 ns"},
      {"32.48 MHz", "MHZ", " 32.48 MHz"},
      {"N/A", "NS", "N/A"},                 // no marker
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value);
    EXPECT_EQ(AlignOnMarker(c.value, c.marker), c.expected);
  }
}

// ---- fit -------------------------------------------------------------------------------------------

TEST(FitSummary, ReadsOnlyTheResourceUsageTableOfAnArriaReport) {
  const std::string file = fixture("fit_arria2gz.rpt");
  const std::vector<TReportItem> items = ReadFitSummary(file);
  // The fitter summary above the table and the entity table below the empty line are not read;
  // the user-partition row is left out. Logic and memory rows carry the names of current reports.
  EXPECT_EQ(namesAndValues(items), (Pairs{
                                       {"Logic utilization", " < 1%"},
                                       {"-- Combinational ALUTs", "     40 / 178,080 (< 1%)"},
                                       {"Dedicated logic registers", "     24 / 178,080 (< 1%)"},
                                       {"Total registers", " 24"},
                                       {"I/O pins", "     10 /     734 ( 1%)"},
                                       {"-- Global clocks", "      1 /      16 ( 6%)"},
                                       {"Total block memory bits", "      0 / 15,040,512 ( 0%)"},
                                       {"DSP block 18-bit elements", "      0 /     736 ( 0%)"},
                                   }));
  for (const TReportItem& i : items) {
    EXPECT_EQ(i.Section, kReportSection_Resources);
    EXPECT_EQ(i.ReportFile, file);
  }
}

TEST(FitSummary, CyclonePercentagesAndWindowsLineEnds) {
  const std::vector<TReportItem> items = ReadFitSummary(fixture("fit_cyclone_crlf.rpt"));
  EXPECT_EQ(namesAndValues(items), (Pairs{
                                       {"Total logic elements", "  3,467 / 114,480 ( 3%)"},
                                       {"Total registers*", "    207 / 117,053 (< 1%)"},
                                       {"Global clocks", "      2 /      20 (10%)"},
                                   }));
}

TEST(FitSummary, NameKeepsItsPaddingUpToTheSeparator) {
  TempDir dir;
  const std::string file = dir.write("x.fit.rpt", "; Fitter Resource Usage Summary ;\n; Total logic elements ; 1,234 / 12,345 ( 10 % ) ;\n\n");
  const std::vector<TReportItem> items = ReadFitSummary(file);
  ASSERT_EQ(items.size(), 1u);
  EXPECT_EQ(items[0].Name, "Total logic elements ");
  EXPECT_EQ(items[0].Value, "  1,234 /  12,345 (10%)");
}

TEST(FitSummary, MissingReportOrSectionGivesNothing) {
  TempDir dir;
  EXPECT_TRUE(ReadFitSummary(dir.file("absent.fit.rpt")).empty());
  EXPECT_TRUE(ReadFitSummary(dir.write("other.fit.rpt", "; Total registers ; 24 ;\n")).empty());
  EXPECT_TRUE(ReadFitSummary(dir.write("empty.fit.rpt", "")).empty());
}

TEST(FitSummary, ReportIsFoundIgnoringTheCaseOfItsName) {
  TempDir dir;
  const std::string real = dir.write("top.fit.rpt", "; Fitter Resource Usage Summary ;\n; I/O pins ; 3 / 10 ( 30 % ) ;\n");
  const std::vector<TReportItem> items = ReadFitSummary(dir.file("top.Fit.Rpt"));
  ASSERT_EQ(items.size(), 1u);
  EXPECT_EQ(items[0].ReportFile, real);  // the file actually read
}

// ---- classic timing ---------------------------------------------------------------------------------

TEST(ClassicTimingSummary, WorstCaseRowsAndClocksOfTheSummarySection) {
  const std::vector<TReportItem> items = ReadClassicTimingSummary(fixture("tan_classic.rpt"));
  // The repeated clock row gives one item; the "Worst-case tpd" table after the settings is not read.
  EXPECT_EQ(namesAndValues(items),
            (Pairs{
                {"Minimum input required time before clock", " 5.528 ns"},
                {"Maximum output delay after clock", " 7.321 ns"},
                {"Minimum clock hold time", "-4.858 ns"},
                {"CLOCK_50 (Constraint = None)", " 32.48 MHz"},
                {"pll:u1|altpll:altpll_component|_clk1 (Constraint = 18.00 MHz)", "228.89 MHz"},
            }));
  for (const TReportItem& i : items) EXPECT_EQ(i.Section, kReportSection_Timing);
}

TEST(ClassicTimingSummary, WithoutClockRowsNoTimingConstraintsComesFirst) {
  const std::vector<TReportItem> items = ReadClassicTimingSummary(fixture("tan_unconstrained.rpt"));
  EXPECT_EQ(namesAndValues(items), (Pairs{
                                       {kReport_NoTimingConstraints, ""},
                                       {"Maximum point to point delay", " 4.102 ns"},
                                       {"Minimum point to point delay", "  12.5 ns"},
                                   }));
}

TEST(ClassicTimingSummary, MissingReportGivesNothingAndAReportWithoutSectionOnlyTheNotice) {
  TempDir dir;
  EXPECT_TRUE(ReadClassicTimingSummary(dir.file("absent.tan.rpt")).empty());
  const std::vector<TReportItem> items = ReadClassicTimingSummary(dir.write("x.tan.rpt", "nothing here\n"));
  EXPECT_EQ(namesAndValues(items), (Pairs{{kReport_NoTimingConstraints, ""}}));
}

// ---- TimeQuest ------------------------------------------------------------------------------------

TEST(TimeQuestSummary, OnlyRowsOfTheFirstFmaxTable) {
  const std::string file = fixture("sta_13_1.rpt");
  const std::vector<TReportItem> items = ReadTimeQuestSummary(file, 13.1);
  // The "Timing Closure Recommendations" block between the table and the setup summary is no clock;
  // the fast corner's table further down is not read; the repeated row gives one item.
  EXPECT_EQ(namesAndValues(items), (Pairs{
                                       {"CLK", "412.2 MHz"},
                                       {"pll|altpll_component|auto_generated", "123.45 MHz"},
                                   }));
  for (const TReportItem& i : items) {
    EXPECT_EQ(i.Section, kReportSection_Timing);
    EXPECT_EQ(i.ReportFile, file);
  }
}

TEST(TimeQuestSummary, EarlyVersionsGiveTheClockFromTheSecondField) {
  const std::vector<TReportItem> items = ReadTimeQuestSummary(fixture("sta_7_2.rpt"), 7.2);
  EXPECT_EQ(namesAndValues(items), (Pairs{{"sysclk", "98.76 MHz"}}));
}

TEST(TimeQuestSummary, AReportWithoutClocksGivesOnlyTheNotice) {
  const std::vector<TReportItem> items = ReadTimeQuestSummary(fixture("sta_no_clocks.rpt"), 13.1);
  EXPECT_EQ(namesAndValues(items), (Pairs{{kReport_NoTimingConstraints, ""}}));
  TempDir dir;
  EXPECT_TRUE(ReadTimeQuestSummary(dir.file("absent.sta.rpt"), 13.1).empty());
}

TEST(TimeQuestSummary, LastLineWithoutLineBreakIsRead) {
  TempDir dir;
  const std::string file = dir.write("t.sta.rpt", "; Fmax Summary ;\n; Fmax ; Restricted Fmax ; Clock Name ;\n; 50.0 MHz ; 50.0 MHz ; c ;");
  EXPECT_EQ(namesAndValues(ReadTimeQuestSummary(file, 10.0)), (Pairs{{"c", "50.0 MHz"}}));
}

}  // namespace
}  // namespace zolta
