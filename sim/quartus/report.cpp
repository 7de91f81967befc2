#include "zolta/quartus/report.h"

#include <algorithm>

#include "zolta/quartus/text.h"

namespace zquartus {

namespace {

std::string pad(const std::string& s, size_t width) { return s.size() >= width ? s : s + std::string(width - s.size(), ' '); }

std::string framedTitle(const std::string& title) {
  const std::string rule(title.size() + 4, '-');
  return rule + "\n; " + title + " ;\n" + rule + "\n";
}

}  // namespace

Report::Report(std::string title, const ToolVersion& version)
    : title_(std::move(title)), version_(version.product() + " " + version.fullText()), year_(version.year()),
      created_(ctimeText()) {}

void Report::table(const std::string& title, const std::vector<std::string>& header,
                   const std::vector<std::vector<std::string>>& rows, const std::string& note) {
  titles_.push_back(title);
  size_t columns = header.size();
  for (const auto& r : rows) columns = std::max(columns, r.size());
  if (columns == 0) columns = 1;
  std::vector<size_t> width(columns, 0);
  auto measure = [&](const std::vector<std::string>& r) {
    for (size_t i = 0; i < r.size(); ++i) width[i] = std::max(width[i], r[i].size());
  };
  measure(header);
  for (const auto& r : rows) measure(r);
  // Each column is "; " + text + " "; the whole row ends with ";".
  size_t total = 0;
  for (size_t w : width) total += w + 3;
  total += 1;
  const size_t titleWidth = title.size() + 4;
  if (titleWidth > total) {
    width.back() += titleWidth - total;
    total = titleWidth;
  }
  std::string rule = "+";
  for (size_t w : width) rule += std::string(w + 2, '-') + "+";
  auto row = [&](const std::vector<std::string>& r) {
    std::string line;
    for (size_t i = 0; i < columns; ++i) line += "; " + pad(i < r.size() ? r[i] : "", width[i]) + " ";
    return line + ";\n";
  };
  std::string out;
  out += "+" + std::string(total - 2, '-') + "+\n";
  out += "; " + pad(title, total - 4) + " ;\n";
  out += rule + "\n";
  if (!header.empty()) {
    out += row(header);
    out += rule + "\n";
  }
  for (const auto& r : rows) out += row(r);
  if (!rows.empty()) out += rule + "\n";
  if (!note.empty()) out += note + "\n";
  body_ += out + "\n\n";
}

void Report::text(const std::string& title, const std::vector<std::string>& lines) {
  titles_.push_back(title);
  std::string out = framedTitle(title);
  for (const std::string& l : lines) out += l + "\n";
  body_ += out + "\n\n";
}

std::string Report::str() const {
  std::string out = title_ + "\n" + created_ + "\n" + version_ + "\n\n\n";
  out += framedTitle("Table of Contents");
  out += "  1. Legal Notice\n";
  for (size_t i = 0; i < titles_.size(); ++i) out += "  " + std::to_string(i + 2) + ". " + titles_[i] + "\n";
  out += "\n\n\n";
  out += framedTitle("Legal Notice");
  out += "Copyright (C) 1991-" + year_ +
         " Altera Corporation\n"
         "Your use of Altera Corporation's design tools, logic functions \n"
         "and other software and tools, and its AMPP partner logic \n"
         "functions, and any output files from any of the foregoing \n"
         "(including device programming or simulation files), and any \n"
         "associated documentation or information are expressly subject \n"
         "to the terms and conditions of the Altera Program License \n"
         "Subscription Agreement, Altera MegaCore Function License \n"
         "Agreement, or other applicable license agreement, including, \n"
         "without limitation, that your use is for the sole purpose of \n"
         "programming logic devices manufactured by Altera and sold by \n"
         "Altera or its authorized distributors.  Please refer to the \n"
         "applicable agreement for further details.\n\n\n\n";
  return out + body_;
}

std::string summaryText(const std::vector<std::pair<std::string, std::string>>& rows) {
  std::string out;
  for (const auto& [name, value] : rows) out += name + " : " + value + "\n";
  return out;
}

}  // namespace zquartus
