#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>

#include "host_internal.h"
#include "zolta/dispatch.h"
#include "zolta/host/files.h"
#include "zolta/host/host_services.h"
#include "zolta/host/host_ui.h"

namespace zolta {

namespace {

struct IdentityCache {
  std::optional<std::string> computer, user, process;
  std::optional<bool> noPrompt;
};
IdentityCache& identity() {
  static IdentityCache c;
  return c;
}

void stripCarriageReturn(std::string& line) {
  if (!line.empty() && line.back() == '\r') line.pop_back();
}

enum class LockRead { Absent, Unreadable, Read };

// Reads the lock file beside fileName into details (values may be empty).
LockRead readLockFile(std::string_view fileName, TFileOwnershipDetails& details) {
  details = {};
  const std::string lock = LockFileNameOf(fileName);
  if (!FileExists(lock)) return LockRead::Absent;
  std::ifstream in(lock, std::ios::binary);
  if (!in) return LockRead::Unreadable;
  std::string line;
  while (std::getline(in, line)) {
    stripCarriageReturn(line);
    // The value starts after the key and its equals sign.
    if (line.rfind("ComputerName", 0) == 0) details.ComputerName = line.size() > 13 ? line.substr(13) : "";
    else if (line.rfind("UserName", 0) == 0) details.UserName = line.size() > 9 ? line.substr(9) : "";
    else if (line.rfind("ProcessID", 0) == 0) details.ProcessID = line.size() > 10 ? line.substr(10) : "";
  }
  if (in.bad()) return LockRead::Unreadable;
  return LockRead::Read;
}

bool complete(const TFileOwnershipDetails& d) {
  return !d.ComputerName.empty() && !d.UserName.empty() && !d.ProcessID.empty();
}

// The host's no-prompt flag (client API 793), read once from a host and then kept.
bool noPromptFlag() {
  IdentityCache& c = identity();
  if (c.noPrompt) return *c.noPrompt;
  IClientAPI api = GetClientAPI();
  if (!api) return false;
  c.noPrompt = api.call(zabi::host::ClientAPI_GetNoPromptFlag).toBool();
  return *c.noPrompt;
}

std::string absolutePath(std::string_view fileName) {
  std::error_code ec;
  const auto p = std::filesystem::absolute(std::filesystem::path(std::string(fileName)), ec);
  return ec ? std::string(fileName) : p.string();
}

// Tells the open document of fileName (when the host has one) that a change begins, and that it ends
// when the bracket goes, whatever happened in between.
class DocumentChangeBracket {
 public:
  explicit DocumentChangeBracket(std::string_view fileName) {
    if (IClient client = HostClient())
      doc_ = IDocument::fromVar(client.call(zabi::host::Client_GetDocumentByPath, std::string(fileName)));
    if (doc_) doc_.call(zabi::host::Document_BeginChange);
  }
  ~DocumentChangeBracket() {
    if (!doc_) return;
    try {
      doc_.call(zabi::host::Document_EndChange);
    } catch (const std::exception&) {
      // The end of a change cannot be reported from a destructor; the host keeps its state.
    }
  }
  DocumentChangeBracket(const DocumentChangeBracket&) = delete;
  DocumentChangeBracket& operator=(const DocumentChangeBracket&) = delete;

 private:
  IDocument doc_;
};

// Copies `from` into a new file in `folder` and answers its name (empty on failure).
std::string copyIntoFolder(const std::string& from, const std::string& folder) {
  std::string pattern = folder + ".~ProXXXXXX";
  std::vector<char> buf(pattern.begin(), pattern.end());
  buf.push_back('\0');
  const int out = ::mkstemp(buf.data());
  if (out < 0) return {};
  const std::string name(buf.data());
  bool ok = false;
  if (FILE* in = std::fopen(from.c_str(), "rb")) {
    ok = true;
    char chunk[65536];
    size_t n;
    while (ok && (n = std::fread(chunk, 1, sizeof chunk, in)) > 0) {
      size_t done = 0;
      while (done < n) {
        const ssize_t w = ::write(out, chunk + done, n - done);
        if (w < 0) {
          if (errno == EINTR) continue;
          ok = false;
          break;
        }
        done += size_t(w);
      }
    }
    if (std::ferror(in)) ok = false;
    std::fclose(in);
  }
  if (ok && ::fsync(out) != 0) ok = false;
  struct stat st {};
  if (ok && ::stat(from.c_str(), &st) == 0) ::fchmod(out, st.st_mode & 07777);
  if (::close(out) != 0) ok = false;
  if (!ok) {
    std::remove(name.c_str());
    return {};
  }
  return name;
}

// Replaces target by source in one step (rename); across file systems the source is first copied
// beside the target. The old target stays as it was when anything fails.
bool replaceFile(const std::string& source, const std::string& target) {
  if (std::rename(source.c_str(), target.c_str()) == 0) return true;
  if (errno != EXDEV) return false;
  std::string folder = ExtractFilePath(target);
  if (folder.empty()) folder = "./";
  const std::string staged = copyIntoFolder(source, folder);
  if (staged.empty()) return false;
  if (std::rename(staged.c_str(), target.c_str()) != 0) {
    std::remove(staged.c_str());
    return false;
  }
  std::remove(source.c_str());
  return true;
}

}  // namespace

namespace detail {
void ResetFileCaches() {
  identity() = IdentityCache{};
  ResetPathExport();
}
}  // namespace detail

std::string LockFileNameOf(std::string_view fileName) {
  return ExtractFilePath(fileName) + "~$" + ExtractFileName(fileName) + "_loc";
}

bool ReadFileOwnership(std::string_view fileName, TFileOwnershipDetails& details) {
  return readLockFile(fileName, details) == LockRead::Read && complete(details);
}

const std::string& ThisComputerName() {
  IdentityCache& c = identity();
  if (!c.computer) {
    char buf[514] = {};
    c.computer = ::gethostname(buf, sizeof buf - 1) == 0 ? std::string(buf) : std::string();
  }
  return *c.computer;
}

const std::string& ThisUserName() {
  IdentityCache& c = identity();
  if (!c.user) {
    std::string name;
    if (const passwd* pw = ::getpwuid(::geteuid()); pw && pw->pw_name) name = pw->pw_name;
    if (name.empty())
      if (const char* env = std::getenv("USER")) name = env;
    c.user = name;
  }
  return *c.user;
}

const std::string& ThisProcessID() {
  IdentityCache& c = identity();
  if (!c.process) c.process = std::to_string(::getpid());
  return *c.process;
}

bool IsFileLockedByOther(std::string_view fileName, std::string& computerName, std::string& userName) {
  TFileOwnershipDetails d;
  switch (readLockFile(fileName, d)) {
    case LockRead::Absent:
      return false;
    case LockRead::Unreadable:
      // A lock that cannot be read is held by someone we cannot name.
      computerName.clear();
      userName.clear();
      return true;
    case LockRead::Read:
      break;
  }
  if (!complete(d)) return false;
  computerName = d.ComputerName;
  userName = d.UserName;
  const bool ours = zabi::sameText(d.ComputerName, ThisComputerName()) &&
                    zabi::sameText(d.UserName, ThisUserName()) && d.ProcessID == ThisProcessID();
  return !ours;
}

void ReportLockedFile(std::string_view fileName, std::string_view computerName, std::string_view userName,
                      int32_t kind) {
  if (noPromptFlag()) return;
  const std::string file(fileName);
  if (kind == kLockedFileReport_Message) {
    IWorkspace workspace = GetWorkspace();
    if (!workspace) return;
    IKVRMessagesManager messages =
        IKVRMessagesManager::fromVar(workspace.call(zabi::host::Workspace_GetMessagesManager));
    if (!messages) return;
    std::string source;
    if (IClient client = HostClient()) source = client.call(zabi::host::Client_GetApplicationName).toString();
    const std::string fullPath = absolutePath(fileName);
    const std::string text = file + " is used by " + std::string(userName) + " on " + std::string(computerName) +
                             ". You will not be able to save your changes.";
    messages.call(zabi::host::MessagesManager_AddMessage, "[Locked File]", text, source, fullPath,
                  "WorkspaceManager:OpenObject", "FileName=" + fullPath, zabi::host::MessageImage_Error, false,
                  "", "");
  } else if (kind == kLockedFileReport_Warning) {
    ShowWarning(file + " is used and locked by " + std::string(userName) + " on " + std::string(computerName) +
                "." + "\n" + "You will not be able to save your changes.");
  }
}

bool SaveStringsToFile(const std::vector<std::string>& lines, std::string_view fileName) {
  std::string computer, user;
  if (IsFileLockedByOther(fileName, computer, user)) {
    ReportLockedFile(fileName, computer, user, kLockedFileReport_Message);
    return false;
  }
  DocumentChangeBracket bracket(fileName);
  std::ofstream out(std::string(fileName), std::ios::binary | std::ios::trunc);
  if (!out) return false;
  for (const std::string& line : lines) out << line << '\n';
  out.close();
  return !out.fail();
}

bool SaveTempFileOverTarget(std::string_view tempFile, std::string_view target) {
  if (zabi::sameText(tempFile, target)) return true;
  const std::string temp(tempFile);
  std::string computer, user;
  if (IsFileLockedByOther(target, computer, user)) {
    ReportLockedFile(target, computer, user, kLockedFileReport_Message);
    std::remove(temp.c_str());
    return false;
  }
  DocumentChangeBracket bracket(target);
  if (!FileExists(temp)) return false;
  if (!replaceFile(temp, std::string(target))) {
    std::remove(temp.c_str());
    return false;
  }
  return true;
}

}  // namespace zolta
