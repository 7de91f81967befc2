// Report files in the vendor's plain-text layout: a title block, a table of contents, the legal notice,
// then sections. A table section is framed with "+---+" lines and its rows are fields between ";", padded
// to the column width; a section ends with two empty lines.
#pragma once

#include <string>
#include <vector>

#include "zolta/quartus/version.h"

namespace zquartus {

class Report {
 public:
  // `title` is the first line ("Fitter report for counter").
  Report(std::string title, const ToolVersion& version);

  // A table; `header` may be empty for two-column summaries. `note` follows the table (one paragraph).
  void table(const std::string& title, const std::vector<std::string>& header,
             const std::vector<std::vector<std::string>>& rows, const std::string& note = {});
  // A section of free text under a framed title.
  void text(const std::string& title, const std::vector<std::string>& lines);

  std::string str() const;

 private:
  std::string title_;
  std::string version_;
  std::string year_;
  std::string created_;
  std::vector<std::string> titles_;
  std::string body_;
};

// The summary file beside a report: "Name : Value" lines.
std::string summaryText(const std::vector<std::pair<std::string, std::string>>& rows);

}  // namespace zquartus
