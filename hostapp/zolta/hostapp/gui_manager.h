// The host's status bar (texts per panel and a stack of progress brackets) and the GUI-manager dispatch
// object through which plug-ins drive it.
//
// Status-bar commands (GUI-manager operation 164, code and text): a code >= 0 sets the text of that panel;
// -1 clears every panel and progress; -3 opens a progress bracket; -5 sets the text of the innermost
// bracket (panel 0 without one); -7 advances it by one percent (at most 100); -6 clears its text; -4
// closes it, resuming the outer bracket. Other negative codes are refused with an error.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "zolta/hostapp/host_object.h"

namespace zolta::hostapp {

class StatusBar;

// Told about every change of the status bar (a terminal progress bar, a GUI status bar).
class ProgressListener {
 public:
  virtual ~ProgressListener() = default;
  // A bracket opened, closed, stepped or changed its text; read the state from the status bar.
  virtual void progressChanged(const StatusBar& bar) = 0;
  virtual void panelTextChanged(int32_t panel, const std::string& text) {}
};

class StatusBar {
 public:
  void command(int32_t code, const std::string& text);

  bool progressActive() const { return !stack_.empty(); }
  size_t progressDepth() const { return stack_.size(); }
  int32_t percent() const { return stack_.empty() ? 0 : stack_.back().steps; }
  std::string progressText() const { return stack_.empty() ? std::string() : stack_.back().text; }
  std::string panelText(int32_t panel) const;
  // Every command received, in order (code, text).
  const std::vector<std::pair<int32_t, std::string>>& history() const { return history_; }

  void setListener(ProgressListener* listener) { listener_ = listener; }
  ProgressListener* listener() const { return listener_; }

 private:
  struct Bracket {
    std::string text;
    int32_t steps = 0;
  };
  void setPanel(int32_t panel, const std::string& text);
  std::vector<Bracket> stack_;
  std::map<int32_t, std::string> panels_;
  std::vector<std::pair<int32_t, std::string>> history_;
  ProgressListener* listener_ = nullptr;
};

// Keyboard shortcuts a plug-in offers to the host (operation 158) and the follow-up calls (156).
struct ShortcutOffer {
  int32_t key;
  bool alt, ctrl, shift;
};

class TGUIManager : public THostObject {
 public:
  TGUIManager(const HostLink& link, StatusBar& bar) : THostObject(link), bar_(bar) {}

  void StatusBarCommand(int32_t code, std::string text) { bar_.command(code, text); }
  // The command-line host binds no shortcuts: every offer is recorded and declined.
  bool OfferShortcut(int32_t key, bool alt, bool ctrl, bool shift);
  void ShortcutFollowUp() { ++followUps_; }

  const std::vector<ShortcutOffer>& shortcutOffers() const { return offers_; }
  int followUps() const { return followUps_; }

  static const DispatchTable& table();
  const DispatchTable& dispatchTable() const override { return table(); }

 private:
  StatusBar& bar_;
  std::vector<ShortcutOffer> offers_;
  int followUps_ = 0;
};

}  // namespace zolta::hostapp
