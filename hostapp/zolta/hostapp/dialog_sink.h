// Where the host application's own dialogs go: a message box in the GUI host, a line on stderr in the
// command-line host, a record in tests.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace zolta::hostapp {

struct DialogRequest {
  enum class Kind { Information, Warning, Error };
  Kind kind = Kind::Information;
  std::string caption;
  std::string text;
};

class DialogSink {
 public:
  virtual ~DialogSink() = default;
  virtual void show(const DialogRequest& request) = 0;
};

// Writes "<caption>: <text>" (line breaks of the text kept, indented) to a stream.
class StreamDialogSink : public DialogSink {
 public:
  explicit StreamDialogSink(std::ostream& out) : out_(out) {}
  void show(const DialogRequest& request) override;

 private:
  std::ostream& out_;
};

class RecordingDialogSink : public DialogSink {
 public:
  void show(const DialogRequest& request) override { shown.push_back(request); }
  std::vector<DialogRequest> shown;
};

}  // namespace zolta::hostapp
