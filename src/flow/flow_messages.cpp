// The message operations of the flow objects: output lines, host messages and the status-bar text.
#include <string>

#include "zolta/flow/process_flow.h"
#include "zolta/host_ids.h"

namespace zolta {

namespace h = zabi::host;

namespace {

// A message is one parameter string without escapes; a "|" inside a value would cut it there and
// turn the rest into entries of its own (tool output often holds "|" in hierarchy names). It is kept
// visible as the broken bar.
std::string parameterValue(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    if (c == '|') out += "\xC2\xA6";
    else out += c;
  }
  return out;
}

void setFlowStatusText(std::string_view text) {
  IClient client = HostClient();
  if (!client) return;
  IGUIManager gui = IGUIManager::fromVar(client.call(h::Client_GetGUIManager));
  if (gui) gui.call(h::GUIManager_StatusBarCommand, h::StatusBar_FlowTextPanel, std::string(text));
}

}  // namespace

void TZoltaAbstractProcessFlow::WriteOutputLine(std::string_view Text) {
  IWorkspace workspace = GetWorkspace();
  if (!workspace) return;
  workspace.call(h::Workspace_WriteOutputLine, Text.empty() ? std::string("---") : std::string(Text), false, false);
}

void TZoltaAbstractProcessFlow::WriteSeparator() { WriteOutputLine("---------------------"); }

void TZoltaAbstractProcessFlow::PostMessage(std::string_view Text, std::string_view Class, int32_t ImageIndex,
                                            int32_t MessageReplaceMode, std::string_view CallBackProcess,
                                            std::string_view CallBackParameters) {
  IWorkspace workspace = GetWorkspace();
  if (!workspace) return;
  std::string params = "Class=" + parameterValue(Class) + "|Text=" + parameterValue(Text) +
                       "|Source=" + parameterValue(StageName()) + "|Document=" + parameterValue(InputDescription()) +
                       "|CallBackProcess=" + parameterValue(CallBackProcess) +
                       "|ImageIndex=" + std::to_string(ImageIndex);
  if (MessageReplaceMode == kMessageReplace_LastIfSameClass)
    params += std::string("|") + "ReplaceLastMessageIfSameClass" + "=True";
  else if (MessageReplaceMode == kMessageReplace_LastOfSameClass)
    params += std::string("|") + "ReplaceLastMessageOfSameClass" + "=True";
  IKVRMessagesManager messages = IKVRMessagesManager::fromVar(workspace.call(h::Workspace_GetFlowMessagesManager));
  if (!messages) return;
  messages.call(h::MessagesManager_AddMessageParams, params, std::string(CallBackParameters));
}

void TZoltaAbstractProcessFlow::PostError(std::string_view Text, int32_t MessageReplaceMode,
                                          std::string_view CallBackProcess, std::string_view CallBackParameters) {
  WriteOutputLine(Text);
  if (Text.empty()) return;
  PostMessage(Text, "ProcessFlowError", h::MessageImage_Error, MessageReplaceMode, CallBackProcess,
              CallBackParameters);
}

void TZoltaAbstractProcessFlow::PostWarning(std::string_view Text, int32_t MessageReplaceMode,
                                            std::string_view CallBackProcess, std::string_view CallBackParameters) {
  WriteOutputLine(Text);
  if (Text.empty()) return;
  PostMessage(Text, "ProcessFlowWarning", h::MessageImage_Warning, MessageReplaceMode, CallBackProcess,
              CallBackParameters);
}

void TZoltaAbstractProcessFlow::PostInfo(std::string_view Text, int32_t MessageReplaceMode,
                                         std::string_view CallBackProcess, std::string_view CallBackParameters) {
  WriteOutputLine(Text);
  if (Text.empty()) return;
  PostMessage(Text, "ProcessFlowInfo", h::MessageImage_NoReport, MessageReplaceMode, CallBackProcess,
              CallBackParameters);
  setFlowStatusText(Text);
}

void TZoltaAbstractProcessFlow::PostProgress(std::string_view Text, int32_t MessageReplaceMode,
                                             std::string_view CallBackProcess, std::string_view CallBackParameters) {
  WriteOutputLine(Text);
  if (Text.empty()) return;
  PostMessage(Text, "ProcessFlowProgress", h::MessageImage_NoReport, MessageReplaceMode, CallBackProcess,
              CallBackParameters);
  setFlowStatusText(Text);
}

}  // namespace zolta
