// Shows the host's status-bar progress as a one-line progress bar on a terminal.
#pragma once

#include <ostream>
#include <string>

#include "zolta/hostapp/gui_manager.h"

namespace zolta::hostapp {

class TerminalProgress : public ProgressListener {
 public:
  // Draws only when `enabled` (the stream is a terminal); otherwise it stays silent.
  TerminalProgress(std::ostream& out, bool enabled) : out_(out), enabled_(enabled) {}
  void progressChanged(const StatusBar& bar) override;

  // The line drawn for a text and a percentage, without the leading carriage return.
  static std::string render(const std::string& text, int percent, int width = 30);

 private:
  std::ostream& out_;
  bool enabled_;
  bool drawing_ = false;
};

}  // namespace zolta::hostapp
