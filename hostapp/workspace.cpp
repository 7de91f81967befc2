#include "zolta/hostapp/workspace.h"

#include <algorithm>

#include "zolta/host_ids.h"
#include "zolta/hostapp/ids.h"
#include "zolta/hostapp/project.h"
#include "zolta/hostapp/text.h"

namespace zolta::hostapp {

namespace h = zabi::host;

// ---- models ----------------------------------------------------------------------------------

void MessagesModel::add(HostMessage m, MessageReplace replace) {
  HostMessage* target = nullptr;
  if (!messages_.empty()) {
    switch (replace) {
      case MessageReplace::None: break;
      case MessageReplace::Last: target = &messages_.back(); break;
      case MessageReplace::LastIfSameClass:
        if (messages_.back().messageClass == m.messageClass) target = &messages_.back();
        break;
      case MessageReplace::LastOfSameClass: {
        auto it = std::find_if(messages_.rbegin(), messages_.rend(),
                               [&](const HostMessage& x) { return x.messageClass == m.messageClass; });
        if (it != messages_.rend()) target = &*it;
        break;
      }
    }
  }
  if (target) *target = std::move(m);
  else messages_.push_back(std::move(m));
  if (onMessage) onMessage(target ? *target : messages_.back());
}

void MessagesModel::endUpdate() {
  if (updateDepth_ == 0) throw zabi::DispatchError("messages manager: end of update without a begin");
  --updateDepth_;
}

void OutputModel::write(const std::string& line) {
  lines_.push_back(line);
  if (onLine) onLine(line);
}

// ---- parameter lines -------------------------------------------------------------------------

std::vector<std::pair<std::string, std::string>> splitParameterLine(const std::string& line) {
  std::vector<std::pair<std::string, std::string>> out;
  size_t pos = 0;
  while (pos <= line.size()) {
    size_t bar = line.find('|', pos);
    if (bar == std::string::npos) bar = line.size();
    std::string_view entry(line.data() + pos, bar - pos);
    size_t eq = entry.find('=');
    if (eq != std::string_view::npos) {
      std::string name = trimmed(entry.substr(0, eq));
      if (!name.empty()) out.emplace_back(std::move(name), trimmed(entry.substr(eq + 1)));
    }
    pos = bar + 1;
  }
  return out;
}

std::string parameterValue(const std::vector<std::pair<std::string, std::string>>& entries, std::string_view name,
                           const std::string& fallback) {
  for (const auto& [n, v] : entries)
    if (zabi::sameText(n, name)) return v;
  return fallback;
}

// ---- messages manager ------------------------------------------------------------------------

void TMessagesManager::AddMessage(std::string cls, std::string text, std::string source, std::string document,
                                  std::string process, std::string parameters, int32_t imageIndex, bool replace,
                                  std::string helpFile, std::string helpId) {
  model_.add({std::move(cls), std::move(text), std::move(source), std::move(document), std::move(process),
              std::move(parameters), imageIndex, std::move(helpFile), std::move(helpId)},
             replace ? MessageReplace::Last : MessageReplace::None);
}

void TMessagesManager::AddMessageParams(std::string parameters, std::string callBackParameters) {
  auto entries = splitParameterLine(parameters);
  HostMessage m;
  m.messageClass = parameterValue(entries, "Class");
  m.text = parameterValue(entries, "Text");
  m.source = parameterValue(entries, "Source");
  m.document = parameterValue(entries, "Document");
  m.callBackProcess = parameterValue(entries, "CallBackProcess");
  m.callBackParameters = std::move(callBackParameters);
  std::string image = parameterValue(entries, "ImageIndex", "0");
  zabi::Var imageText(image);
  try {
    m.imageIndex = imageText.toInt32();
  } catch (const zabi::DispatchError&) {
    throw zabi::DispatchError("messages manager: ImageIndex '" + image + "' is not an integer");
  }
  MessageReplace replace = MessageReplace::None;
  if (zabi::sameText(parameterValue(entries, "ReplaceLastMessageIfSameClass"), "True"))
    replace = MessageReplace::LastIfSameClass;
  else if (zabi::sameText(parameterValue(entries, "ReplaceLastMessageOfSameClass"), "True"))
    replace = MessageReplace::LastOfSameClass;
  model_.add(std::move(m), replace);
}

namespace {
const DispatchEntry kMessagesManagerEntries[] = {
    {h::MessagesManager_AddMessage, &op<&TMessagesManager::AddMessage>},
    {ids::MessagesManager_AddMessageParams, &op<&TMessagesManager::AddMessageParams>},
    {ids::MessagesManager_BeginUpdate, &op<&TMessagesManager::BeginUpdate>},
    {ids::MessagesManager_EndUpdate, &op<&TMessagesManager::EndUpdate>},
};
}  // namespace

const DispatchTable& TMessagesManager::table() {
  static const DispatchTable t =
      makeTable(&TAbstractSupportService::rootTable(), "MessagesManager", kMessagesManagerEntries);
  return t;
}

// ---- documents -------------------------------------------------------------------------------

void TDocument::EndChange() {
  if (!changing()) throw zabi::DispatchError("document '" + path_ + "': end of change without a begin");
  ++ends_;
}

namespace {
const DispatchEntry kDocumentEntries[] = {
    {h::Document_BeginChange, &op<&TDocument::BeginChange>},
    {h::Document_EndChange, &op<&TDocument::EndChange>},
    {h::Document_GetFileName, &op<&TDocument::GetFileName>},
};
}  // namespace

const DispatchTable& TDocument::table() {
  static const DispatchTable t = makeTable(&TAbstractSupportService::rootTable(), "Document", kDocumentEntries);
  return t;
}

// ---- workspace -------------------------------------------------------------------------------

static std::string documentKey(std::string path) {
  std::replace(path.begin(), path.end(), '\\', '/');
  return path;
}

TWorkspace::TWorkspace(const HostLink& link, MessagesModel& messages, OutputModel& output)
    : THostObject(link), output_(output), messagesManager_(new TMessagesManager(link, messages)) {}

Ptr<TDocument> TWorkspace::openDocument(const std::string& path) {
  std::string key = documentKey(path);
  auto it = documents_.find(key);
  if (it != documents_.end()) return it->second;
  Ptr<TDocument> doc(new TDocument(link(), key));
  documents_.emplace(key, doc);
  return doc;
}

Ptr<TDocument> TWorkspace::documentOf(const std::string& path) const {
  auto it = documents_.find(documentKey(path));
  return it == documents_.end() ? Ptr<TDocument>() : it->second;
}

Ptr<TProject> TWorkspace::openProject(const ProjectDescription& description) {
  const std::string key = documentKey(description.file);
  auto it = projects_.find(key);
  if (it != projects_.end() && it->second->description().device == description.device &&
      it->second->description().netlist == description.netlist &&
      it->second->description().constraints == description.constraints &&
      it->second->description().synthesizer == description.synthesizer &&
      it->second->description().userId == description.userId)
    return it->second;
  Ptr<TProject> project(new TProject(link(), description, *this));
  projects_[key] = project;
  return project;
}

DispPtr TWorkspace::GetProjectByPath(std::string path) {
  auto it = projects_.find(documentKey(path));
  return it == projects_.end() ? DispPtr() : DispPtr(it->second);
}

namespace {
const DispatchEntry kWorkspaceEntries[] = {
    {h::Workspace_GetMessagesManager, &op<&TWorkspace::GetMessagesManager>},
    {h::Workspace_GetProjectByPath, &op<&TWorkspace::GetProjectByPath>},
    {ids::Workspace_WriteOutputLine, &op<&TWorkspace::WriteOutputLine>},
    {ids::Workspace_GetOutputPosition, &op<&TWorkspace::GetOutputPosition>},
    {ids::Workspace_GetMessagesManager2, &op<&TWorkspace::GetMessagesManager>},
};
}  // namespace

const DispatchTable& TWorkspace::table() {
  static const DispatchTable t = makeTable(&TAbstractSupportService::rootTable(), "Workspace", kWorkspaceEntries);
  return t;
}

}  // namespace zolta::hostapp
