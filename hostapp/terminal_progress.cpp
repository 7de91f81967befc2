#include "zolta/hostapp/terminal_progress.h"

#include <algorithm>
#include <cstdio>
#include <string>

namespace zolta::hostapp {

std::string TerminalProgress::render(const std::string& text, int percent, int width) {
  percent = std::clamp(percent, 0, 100);
  int filled = percent * width / 100;
  // Appended piece by piece: GCC 12 at -O3 warns (wrongly) about prepending to a temporary string.
  std::string line = text;
  if (!line.empty()) line += ' ';
  line += '[';
  line.append(size_t(filled), '#');
  line.append(size_t(width - filled), '-');
  line += "] ";
  char pct[8];
  std::snprintf(pct, sizeof pct, "%3d%%", percent);
  line += pct;
  return line;
}

void TerminalProgress::progressChanged(const StatusBar& bar) {
  if (!enabled_) return;
  if (bar.progressActive()) {
    // "\x1b[K" clears what a longer earlier line left behind.
    out_ << '\r' << render(bar.progressText(), bar.percent()) << "\x1b[K" << std::flush;
    drawing_ = true;
  } else if (drawing_) {
    out_ << '\n' << std::flush;
    drawing_ = false;
  }
}

}  // namespace zolta::hostapp
