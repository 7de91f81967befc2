#include "zolta/hostapp/dialog_sink.h"

namespace zolta::hostapp {

void StreamDialogSink::show(const DialogRequest& request) {
  out_ << request.caption << ": ";
  for (char c : request.text) {
    if (c == '\r') continue;
    out_ << c;
    if (c == '\n') out_ << "  ";
  }
  out_ << '\n';
  out_.flush();
}

}  // namespace zolta::hostapp
