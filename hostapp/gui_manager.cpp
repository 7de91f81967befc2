#include "zolta/hostapp/gui_manager.h"

#include <algorithm>

#include "zolta/host_ids.h"

namespace zolta::hostapp {

namespace h = zabi::host;

std::string StatusBar::panelText(int32_t panel) const {
  auto it = panels_.find(panel);
  return it == panels_.end() ? std::string() : it->second;
}

void StatusBar::setPanel(int32_t panel, const std::string& text) {
  panels_[panel] = text;
  if (listener_) listener_->panelTextChanged(panel, text);
}

void StatusBar::command(int32_t code, const std::string& text) {
  if (code >= 0) {
    history_.emplace_back(code, text);
    setPanel(code, text);
    return;
  }
  switch (code) {
    case h::StatusBar_Reset:
      stack_.clear();
      for (auto& [panel, old] : panels_)
        if (!old.empty()) setPanel(panel, std::string());
      break;
    case h::StatusBar_ProgressBegin:
      stack_.push_back({});
      break;
    case h::StatusBar_ProgressText:
      if (stack_.empty()) {
        history_.emplace_back(code, text);
        setPanel(0, text);
        return;
      }
      stack_.back().text = text;
      break;
    case h::StatusBar_ProgressStep:
      if (stack_.empty()) break;
      stack_.back().steps = std::min(stack_.back().steps + 1, 100);
      break;
    case h::StatusBar_ProgressTextEnd:
      if (stack_.empty()) break;
      stack_.back().text.clear();
      break;
    case h::StatusBar_ProgressEnd:
      if (stack_.empty()) break;
      stack_.pop_back();
      break;
    default:
      throw zabi::DispatchError("unknown status-bar command " + std::to_string(code));
  }
  history_.emplace_back(code, text);
  if (listener_) listener_->progressChanged(*this);
}

bool TGUIManager::OfferShortcut(int32_t key, bool alt, bool ctrl, bool shift) {
  offers_.push_back({key, alt, ctrl, shift});
  return false;
}

namespace {
const DispatchEntry kGUIManagerEntries[] = {
    {h::GUIManager_ShortcutFollowUp, &op<&TGUIManager::ShortcutFollowUp>},
    {h::GUIManager_OfferShortcut, &op<&TGUIManager::OfferShortcut>},
    {h::GUIManager_StatusBarCommand, &op<&TGUIManager::StatusBarCommand>},
};
}  // namespace

const DispatchTable& TGUIManager::table() {
  static const DispatchTable t = makeTable(&TAbstractSupportService::rootTable(), "GUIManager", kGUIManagerEntries);
  return t;
}

}  // namespace zolta::hostapp
