// The plug-in's user-facing contact with the host: message boxes (through a replaceable dialog
// service), the host's status-bar progress, host processes, the main window, keyboard shortcuts,
// deferred destruction of forms and the host event pump.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "zolta/dispatch.h"

class QObject;

namespace zolta {

// ---- message boxes -------------------------------------------------------------------------------

enum class TMsgDlgType : int32_t { mtWarning, mtError, mtInformation, mtConfirmation, mtCustom };

// Buttons of a message box, a set of bits.
using TMsgDlgButtons = uint32_t;
inline constexpr TMsgDlgButtons mbYes = 1u << 0;
inline constexpr TMsgDlgButtons mbNo = 1u << 1;
inline constexpr TMsgDlgButtons mbOK = 1u << 2;
inline constexpr TMsgDlgButtons mbCancel = 1u << 3;
inline constexpr TMsgDlgButtons mbAbort = 1u << 4;
inline constexpr TMsgDlgButtons mbRetry = 1u << 5;
inline constexpr TMsgDlgButtons mbIgnore = 1u << 6;
inline constexpr TMsgDlgButtons mbAll = 1u << 7;
inline constexpr TMsgDlgButtons mbNoToAll = 1u << 8;
inline constexpr TMsgDlgButtons mbYesToAll = 1u << 9;
inline constexpr TMsgDlgButtons mbHelp = 1u << 10;
inline constexpr TMsgDlgButtons mbClose = 1u << 11;
inline constexpr TMsgDlgButtons mbYesNo = mbYes | mbNo;
inline constexpr TMsgDlgButtons mbYesNoCancel = mbYes | mbNo | mbCancel;
inline constexpr TMsgDlgButtons mbOKCancel = mbOK | mbCancel;

// Modal results.
inline constexpr int32_t mrNone = 0;
inline constexpr int32_t mrOk = 1;
inline constexpr int32_t mrCancel = 2;
inline constexpr int32_t mrAbort = 3;
inline constexpr int32_t mrRetry = 4;
inline constexpr int32_t mrIgnore = 5;
inline constexpr int32_t mrYes = 6;
inline constexpr int32_t mrNo = 7;
inline constexpr int32_t mrClose = 8;
inline constexpr int32_t mrHelp = 9;
inline constexpr int32_t mrAll = 12;
inline constexpr int32_t mrNoToAll = 13;
inline constexpr int32_t mrYesToAll = 14;

struct TMessageDialogRequest {
  std::string Caption;
  std::string Text;
  TMsgDlgType DialogType = TMsgDlgType::mtInformation;
  TMsgDlgButtons Buttons = mbOK;
};

// The dialog service: shows one modal box and answers its modal result.
using TMessageDialogHandler = std::function<int32_t(const TMessageDialogRequest&)>;

// Installs a process-wide dialog service and answers the previous one; an empty handler restores the
// default. The default shows a QMessageBox centred on the screen when a QApplication runs, else writes
// one line "<Caption>: <text>" to stderr and answers mrOk.
TMessageDialogHandler SetMessageDialogHandler(TMessageDialogHandler handler);

int32_t ShowMessageDialog(std::string_view caption, std::string_view text, TMsgDlgType dialogType,
                          TMsgDlgButtons buttons);
// OK-only boxes; an empty caption becomes "Warning", "Information" or "Error".
void ShowWarning(std::string_view text, std::string_view caption = {});
void ShowInformation(std::string_view text, std::string_view caption = {});
void ShowError(std::string_view text, std::string_view caption = {});

// ---- status-bar progress (GUI manager, operation 164 with a command code and a text) --------------

// One entry of the progress stack; the top entry is the active progress.
struct TPercentState {
  int32_t CurrentPercentCount = 0;  // steps done
  int32_t TotalPercentCount = 0;    // steps expected
  int32_t OldPercent = 0;           // last percentage reported
};

// Command -3, then -5 with text; pushes an entry with the total. Nested calls stack.
void BeginProgress(std::string_view text, int32_t total);
// One more step of the active entry; command -7 once for every percent between the last and the new
// percentage (rounded half to even, 100 for a total of 0, never above 100).
void StepProgress();
// Command -6, then -4; removes the active entry and resumes the outer one.
void EndProgress();
// Command -1 with an empty text.
void ResetStatusBar();
// Depth of the progress stack (0 when no progress is active).
int32_t ProgressDepth();

// ---- other host helpers ---------------------------------------------------------------------------

// Runs the named host process (client as process launcher, 625) with in-out parameters and an
// optional document view; parameters come back as the process left them. Nothing without a client.
void RunHostProcess(std::string_view processName, std::string& parameters, const zabi::DispPtr& view = {});
// The host's main window handle (client 492); 0 without a client.
int64_t GetHostMainWindow();
// Offers a key to the GUI manager (158 with key, Alt, Ctrl, Shift); when the host takes it, calls
// its follow-up (156). Answers whether the host took the key; false without a client.
bool ForwardShortcutToHost(int32_t key);
// The keyboard's modifier state now; false without a GUI application.
bool IsCtrlDown();
bool IsShiftDown();
bool IsAltDown();

// Deletes the object once control returns to the event loop (a queued deletion); null is ignored.
void DestroyLater(QObject* form);

// The host's event pump: the GUI host installs one that processes pending Qt events; the
// command-line host installs none. PumpHostEvents runs it (nothing when none is installed).
void SetEventPump(std::function<void()> pump);
void PumpHostEvents();
// Lets pending paint and input events through while long work blocks the thread (the event pump).
void ProcessPaintMessages();

}  // namespace zolta
