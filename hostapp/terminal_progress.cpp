#include "zolta/hostapp/terminal_progress.h"

#include <algorithm>
#include <string>

namespace zolta::hostapp {

std::string TerminalProgress::render(const std::string& text, int percent, int width) {
  percent = std::clamp(percent, 0, 100);
  int filled = percent * width / 100;
  std::string line = text.empty() ? std::string() : text + " ";
  line += "[" + std::string(size_t(filled), '#') + std::string(size_t(width - filled), '-') + "] ";
  std::string pct = std::to_string(percent);
  line += std::string(3 - std::min<size_t>(3, pct.size()), ' ') + pct + "%";
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
