#include "zolta/host/host_ui.h"

#include <QApplication>
#include <QGuiApplication>
#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QScreen>
#include <QStyle>
#include <cmath>
#include <cstdio>
#include <memory>
#include <vector>

#include "host_internal.h"
#include "zolta/host/host_services.h"

namespace zolta {

// ---- message boxes -------------------------------------------------------------------------------

namespace {

QMessageBox::StandardButtons qtButtons(TMsgDlgButtons b) {
  QMessageBox::StandardButtons r;
  if (b & mbYes) r |= QMessageBox::Yes;
  if (b & mbNo) r |= QMessageBox::No;
  if (b & mbOK) r |= QMessageBox::Ok;
  if (b & mbCancel) r |= QMessageBox::Cancel;
  if (b & mbAbort) r |= QMessageBox::Abort;
  if (b & mbRetry) r |= QMessageBox::Retry;
  if (b & mbIgnore) r |= QMessageBox::Ignore;
  if (b & mbAll) r |= QMessageBox::YesToAll;  // Qt has no plain "All"; the closest affirmative
  if (b & mbNoToAll) r |= QMessageBox::NoToAll;
  if (b & mbYesToAll) r |= QMessageBox::YesToAll;
  if (b & mbHelp) r |= QMessageBox::Help;
  if (b & mbClose) r |= QMessageBox::Close;
  if (!r) r = QMessageBox::Ok;
  return r;
}

int32_t modalResultOf(int button) {
  switch (button) {
    case QMessageBox::Ok: return mrOk;
    case QMessageBox::Cancel: return mrCancel;
    case QMessageBox::Abort: return mrAbort;
    case QMessageBox::Retry: return mrRetry;
    case QMessageBox::Ignore: return mrIgnore;
    case QMessageBox::Yes: return mrYes;
    case QMessageBox::No: return mrNo;
    case QMessageBox::Close: return mrClose;
    case QMessageBox::Help: return mrHelp;
    case QMessageBox::NoToAll: return mrNoToAll;
    case QMessageBox::YesToAll: return mrYesToAll;
    default: return mrCancel;  // closed with the window's close button
  }
}

QMessageBox::Icon qtIcon(TMsgDlgType t) {
  switch (t) {
    case TMsgDlgType::mtWarning: return QMessageBox::Warning;
    case TMsgDlgType::mtError: return QMessageBox::Critical;
    case TMsgDlgType::mtInformation: return QMessageBox::Information;
    case TMsgDlgType::mtConfirmation: return QMessageBox::Question;
    case TMsgDlgType::mtCustom: return QMessageBox::NoIcon;
  }
  return QMessageBox::NoIcon;
}

int32_t defaultDialog(const TMessageDialogRequest& r) {
  if (qobject_cast<QApplication*>(QCoreApplication::instance())) {
    QMessageBox box(qtIcon(r.DialogType), QString::fromStdString(r.Caption), QString::fromStdString(r.Text),
                    qtButtons(r.Buttons));
    box.adjustSize();
    if (QScreen* screen = QGuiApplication::primaryScreen())
      box.move(screen->availableGeometry().center() - box.rect().center());
    return modalResultOf(box.exec());
  }
  std::fprintf(stderr, "%s: %s\n", r.Caption.c_str(), r.Text.c_str());
  std::fflush(stderr);
  return mrOk;
}

TMessageDialogHandler& dialogHandler() {
  static TMessageDialogHandler handler;
  return handler;
}

}  // namespace

TMessageDialogHandler SetMessageDialogHandler(TMessageDialogHandler handler) {
  TMessageDialogHandler previous = std::move(dialogHandler());
  dialogHandler() = std::move(handler);
  return previous;
}

int32_t ShowMessageDialog(std::string_view caption, std::string_view text, TMsgDlgType dialogType,
                          TMsgDlgButtons buttons) {
  TMessageDialogRequest request{std::string(caption), std::string(text), dialogType, buttons};
  if (const TMessageDialogHandler& h = dialogHandler()) return h(request);
  return defaultDialog(request);
}

void ShowWarning(std::string_view text, std::string_view caption) {
  ShowMessageDialog(caption.empty() ? "Warning" : caption, text, TMsgDlgType::mtWarning, mbOK);
}

void ShowInformation(std::string_view text, std::string_view caption) {
  ShowMessageDialog(caption.empty() ? "Information" : caption, text, TMsgDlgType::mtInformation, mbOK);
}

void ShowError(std::string_view text, std::string_view caption) {
  ShowMessageDialog(caption.empty() ? "Error" : caption, text, TMsgDlgType::mtError, mbOK);
}

// ---- status-bar progress ----------------------------------------------------------------------------

namespace {

std::vector<TPercentState>& progressStack() {
  static std::vector<TPercentState> stack;
  return stack;
}

// The GUI manager of the host client, or empty.
IGUIManager guiManager(const IClient& client) {
  return IGUIManager::fromVar(client.call(zabi::host::Client_GetGUIManager));
}

void statusBarCommand(const IGUIManager& gui, int32_t code, std::string_view text) {
  if (gui) gui.call(zabi::host::GUIManager_StatusBarCommand, code, std::string(text));
}

}  // namespace

namespace detail {
void ResetProgressStack() { progressStack().clear(); }
}  // namespace detail

void BeginProgress(std::string_view text, int32_t total) {
  IClient client = HostClient();
  if (!client) return;
  IGUIManager gui = guiManager(client);
  statusBarCommand(gui, zabi::host::StatusBar_ProgressBegin, "");
  statusBarCommand(gui, zabi::host::StatusBar_ProgressText, text);
  progressStack().push_back(TPercentState{0, total, 0});
}

void StepProgress() {
  // Called once per unit of work (per byte while programming): no reference is taken until a command
  // is actually sent.
  auto& stack = progressStack();
  if (stack.empty()) return;
  const IClient& client = HostClient();
  if (!client) return;
  TPercentState& s = stack.back();
  ++s.CurrentPercentCount;
  int32_t percent = 100;
  if (s.TotalPercentCount != 0) {
    // Rounded to the nearest integer, halves to the even neighbour (the default rounding mode).
    const double exact = double(s.CurrentPercentCount) * 100.0 / double(s.TotalPercentCount);
    percent = int32_t(std::clamp(std::nearbyint(exact), -1.0, 100.0));
  }
  percent = std::min(percent, 100);
  if (percent > s.OldPercent) {
    IGUIManager gui = guiManager(client);
    for (int32_t p = s.OldPercent; p < percent; ++p) statusBarCommand(gui, zabi::host::StatusBar_ProgressStep, "");
  }
  s.OldPercent = percent;
}

void EndProgress() {
  IClient client = HostClient();
  auto& stack = progressStack();
  if (!client || stack.empty()) return;
  IGUIManager gui = guiManager(client);
  // The entry goes even when the host refuses a command, so that the stack stays balanced.
  stack.pop_back();
  statusBarCommand(gui, zabi::host::StatusBar_ProgressTextEnd, "");
  statusBarCommand(gui, zabi::host::StatusBar_ProgressEnd, "");
}

void ResetStatusBar() {
  IClient client = HostClient();
  if (!client) return;
  statusBarCommand(guiManager(client), zabi::host::StatusBar_Reset, "");
}

int32_t ProgressDepth() { return int32_t(progressStack().size()); }

// ---- other host helpers ---------------------------------------------------------------------------

void RunHostProcess(std::string_view processName, std::string& parameters, const zabi::DispPtr& view) {
  IClient client = HostClient();
  if (!client) return;
  IProcessLauncher launcher = client.as<IProcessLauncher>();
  launcher.call(zabi::host::Client_RunProcess, std::string(processName), zabi::ref(parameters), view);
}

int64_t GetHostMainWindow() {
  IClient client = HostClient();
  if (!client) return 0;
  return client.call(zabi::host::Client_GetMainWindow).toInt64();
}

namespace {
Qt::KeyboardModifiers modifiersNow() {
  if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) return Qt::NoModifier;
  return QGuiApplication::queryKeyboardModifiers();
}
}  // namespace

bool IsCtrlDown() { return modifiersNow().testFlag(Qt::ControlModifier); }
bool IsShiftDown() { return modifiersNow().testFlag(Qt::ShiftModifier); }
bool IsAltDown() { return modifiersNow().testFlag(Qt::AltModifier); }

bool ForwardShortcutToHost(int32_t key) {
  IClient client = HostClient();
  if (!client) return false;
  IGUIManager gui = guiManager(client);
  if (!gui) return false;
  const bool taken =
      gui.call(zabi::host::GUIManager_OfferShortcut, key, IsAltDown(), IsCtrlDown(), IsShiftDown()).toBool();
  if (taken) gui.call(zabi::host::GUIManager_ShortcutFollowUp);
  return taken;
}

void DestroyLater(QObject* form) {
  if (form) form->deleteLater();
}

namespace {
std::function<void()>& eventPump() {
  static std::function<void()> pump;
  return pump;
}
}  // namespace

void SetEventPump(std::function<void()> pump) { eventPump() = std::move(pump); }

void PumpHostEvents() {
  if (const auto& pump = eventPump()) pump();
}

void ProcessPaintMessages() { PumpHostEvents(); }

}  // namespace zolta
