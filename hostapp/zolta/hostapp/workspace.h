// The workspace: its messages panel (messages manager), its output panel and its open documents.
//
// Models are plain records; the dispatch objects TWorkspace, TMessagesManager and TDocument answer the
// plug-in's calls on them. Listeners see each message and output line as it arrives (the CLI prints
// them, the GUI shows them).
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "zolta/hostapp/host_object.h"

namespace zolta::hostapp {

// One entry of the messages panel.
struct HostMessage {
  std::string messageClass;   // "ProcessFlowError", "[Locked File]", ...
  std::string text;
  std::string source;
  std::string document;
  std::string callBackProcess;
  std::string callBackParameters;
  int32_t imageIndex = 0;     // 71 no report, 72 warning, 73 error, 74 fatal error
  std::string helpFile;
  std::string helpId;
};

// How a new message treats earlier ones: appended, or written over the last message, over the last
// message when it has the same class, or over the latest message of the same class.
enum class MessageReplace { None, Last, LastIfSameClass, LastOfSameClass };

class MessagesModel {
 public:
  void add(HostMessage m, MessageReplace replace);
  void beginUpdate() { ++updateDepth_; }
  // Refuses an end without a begin.
  void endUpdate();
  int updateDepth() const { return updateDepth_; }
  const std::vector<HostMessage>& messages() const { return messages_; }
  std::function<void(const HostMessage&)> onMessage;

 private:
  std::vector<HostMessage> messages_;
  int updateDepth_ = 0;
};

class OutputModel {
 public:
  void write(const std::string& line);
  const std::vector<std::string>& lines() const { return lines_; }
  std::function<void(const std::string&)> onLine;

 private:
  std::vector<std::string> lines_;
};

class TMessagesManager : public THostObject {
 public:
  TMessagesManager(const HostLink& link, MessagesModel& model) : THostObject(link), model_(model) {}

  // 439: every field given separately.
  void AddMessage(std::string cls, std::string text, std::string source, std::string document,
                  std::string process, std::string parameters, int32_t imageIndex, bool replace,
                  std::string helpFile, std::string helpId);
  // 440: "Class=..|Text=..|Source=..|Document=..|CallBackProcess=..|ImageIndex=.." plus the optional
  // replace flags, and the call-back parameters apart.
  void AddMessageParams(std::string parameters, std::string callBackParameters);
  void BeginUpdate() { model_.beginUpdate(); }
  void EndUpdate() { model_.endUpdate(); }

  static const DispatchTable& table();
  const DispatchTable& dispatchTable() const override { return table(); }

 private:
  MessagesModel& model_;
};

// A document the host has open. Plug-ins bracket their writes to its file with BeginChange and EndChange.
class TDocument : public THostObject {
 public:
  TDocument(const HostLink& link, std::string path) : THostObject(link), path_(std::move(path)) {}
  void BeginChange() { ++begins_; }
  // An end without a begin is refused.
  void EndChange();
  std::string GetFileName() { return path_; }
  const std::string& path() const { return path_; }
  int begins() const { return begins_; }
  int ends() const { return ends_; }
  bool changing() const { return begins_ > ends_; }

  static const DispatchTable& table();
  const DispatchTable& dispatchTable() const override { return table(); }

 private:
  std::string path_;
  int begins_ = 0, ends_ = 0;
};

class TProject;
struct ProjectDescription;

class TWorkspace : public THostObject {
 public:
  TWorkspace(const HostLink& link, MessagesModel& messages, OutputModel& output);

  DispPtr GetMessagesManager() { return messagesManager_; }
  // The two flags of an output line are accepted and not used by this host.
  void WriteOutputLine(std::string text, bool flag1, bool flag2) { output_.write(text); }
  int32_t GetOutputPosition() { return int32_t(output_.lines().size()); }

  // Documents: opening the same path twice answers the same document.
  Ptr<TDocument> openDocument(const std::string& path);
  void closeDocument(const std::string& path) { documents_.erase(path); }
  // The open document of a path, or none.
  Ptr<TDocument> documentOf(const std::string& path) const;

  TMessagesManager& messagesManager() { return *messagesManager_; }

  // Projects: opening a description registers its project (again: the same project, refreshed when
  // the description changed); GetProjectByPath answers the project of a description file, or none.
  Ptr<TProject> openProject(const ProjectDescription& description);
  DispPtr GetProjectByPath(std::string path);

  static const DispatchTable& table();
  const DispatchTable& dispatchTable() const override { return table(); }

 private:
  OutputModel& output_;
  Ptr<TMessagesManager> messagesManager_;
  std::map<std::string, Ptr<TDocument>> documents_;
  std::map<std::string, Ptr<TProject>> projects_;
};

// Reads a "Name=Value|Name=Value" line into pairs (names and values trimmed, entries without "=" or
// with an empty name skipped); the first entry of a name wins in lookups.
std::vector<std::pair<std::string, std::string>> splitParameterLine(const std::string& line);
std::string parameterValue(const std::vector<std::pair<std::string, std::string>>& entries, std::string_view name,
                           const std::string& fallback = {});

}  // namespace zolta::hostapp
