// Folders of the host and of the plug-in, the host's plug-in folders and sibling modules, path
// helpers, and the lock files that other users of a document leave beside it.
//
// Paths: the helpers accept "/" and "\" as separators and compose with "/". Every folder result ends
// with "/" and keeps its letter case. Host-backed folders answer empty without a host client.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace zolta {

// ---- path helpers --------------------------------------------------------------------------------

// True when c is "/" or "\".
inline bool IsPathSeparator(char c) { return c == '/' || c == '\\'; }
// folder + name with exactly one "/" between them; either part may be empty. Backslashes in both
// become "/".
std::string JoinPath(std::string_view folder, std::string_view name);
// The folder part of a path including its trailing separator ("" when there is none).
std::string ExtractFilePath(std::string_view path);
// The folder part without its trailing separator.
std::string ExtractFileDir(std::string_view path);
// The name after the last separator.
std::string ExtractFileName(std::string_view path);
// The extension of the name, with its dot ("" when none).
std::string ExtractFileExt(std::string_view path);
// The path with its extension replaced by ext (ext includes the dot, or is empty to drop it).
std::string ChangeFileExt(std::string_view path, std::string_view ext);
// The path with a trailing "/" (a trailing "\" becomes "/").
std::string IncludeTrailingPathDelimiter(std::string_view path);
std::string ExcludeTrailingPathDelimiter(std::string_view path);

// An existing regular file (or anything that is not a folder) / an existing folder.
bool FileExists(std::string_view path);
bool DirectoryExists(std::string_view path);

// The path of an existing file or folder named by `path`, matching each component case-insensitively
// in its parent folder when the exact name is missing (exact match first; among several
// case-insensitive matches the first in byte order). Backslashes count as separators. Empty when no
// such file exists.
std::string ResolveFileCaseInsensitive(std::string_view path);

// ---- folders ---------------------------------------------------------------------------------------

// Folder of the host's executable (/proc/self/exe), case kept.
std::string GetExeFolder();
// GetExeFolder + "System/".
std::string GetSystemFolder();
// Folder of this plug-in's own module file (the shared object holding this code), case as found.
std::string GetModuleFolder();
// GetModuleFolder + "Library/".
std::string GetLibraryFolder();
// Client-API folder (770) + "EDIF/", case kept; empty without a host.
std::string GetEDIFFolder();
// The temporary folder ($TMPDIR, else /tmp) as reported; GetTempFolderLong with its symbolic links
// resolved. Both end with "/".
std::string GetTempFolder();
std::string GetTempFolderLong();
// A new, uniquely named, exclusively created empty file "Pro??????" in the temporary folder; empty on
// failure. The caller owns (and deletes) the file.
std::string GetTempFileName();
// GetSystemFolder when it holds the host's toolchain-management module file
// (zabi::host::kToolchainModuleFile); otherwise the first plug-in folder that holds it; otherwise "/".
std::string SpecialFolder_EmbeddedExtension();
// The host's image-list bitmap folder (client API 774, then 773 when 774 answers empty), unchanged.
std::string GetImageListFolder();
// The host's folder of embedded library files (client API 787), unchanged.
std::string GetEmbeddedLibraryFolder();

// ---- plug-in folders and sibling modules ------------------------------------------------------------

// Walks the host's plug-ins registry (client 2027; count 2017, item 2018) in order, skipping items
// whose flag (2010) is non-zero, and calls `callback` with each item's folder (2009) plus a trailing
// "/" and a stop flag; stops when the callback sets it. Nothing happens without a host client.
void ForEachPluginFolder(const std::function<void(const std::string& folder, bool& stop)>& callback);

// GetSystemFolder + name when it exists; otherwise the first plug-in folder (ForEachPluginFolder's
// walk) that holds a file of that name directly; otherwise empty. Names match exactly first, else
// ignoring case.
std::string FindPluginFile(std::string_view name);

// When handle is null: the handle of the already loaded module `name` (dlopen RTLD_NOLOAD), else the
// file FindPluginFile(name) finds, loaded with dlopen. Modules are never unloaded. Answers whether
// handle is set.
bool LoadHostModule(void*& handle, std::string_view name);

// The host's path expansion (export "VFSAPI_VFS_ExpandRelativePath" of the host executable) of
// `relative` against `base`; empty when the export is missing.
std::string ExpandRelativePath(std::string_view base, std::string_view relative);

// ---- locked files ------------------------------------------------------------------------------------

struct TFileOwnershipDetails {
  std::string ComputerName;
  std::string UserName;
  std::string ProcessID;
};

// Kinds of ReportLockedFile.
inline constexpr int32_t kLockedFileReport_Message = 1;  // a message in the host's messages panel
inline constexpr int32_t kLockedFileReport_Warning = 2;  // a warning box

// Folder of fileName + "~$" + its name + "_loc".
std::string LockFileNameOf(std::string_view fileName);
// Reads the lock file of fileName: "ComputerName=", "UserName=", "ProcessID=" lines. True only when
// the lock file exists and all three values are non-empty.
bool ReadFileOwnership(std::string_view fileName, TFileOwnershipDetails& details);
// This computer's name (gethostname), this user's name (passwd entry, else $USER) and this process's
// identifier as decimal text; read once and cached.
const std::string& ThisComputerName();
const std::string& ThisUserName();
const std::string& ThisProcessID();
// False without a complete lock file. Otherwise returns the lock's names and answers true unless the
// lock names this computer, this user (both ignoring case) and this process. A lock file that cannot
// be read counts as locked.
bool IsFileLockedByOther(std::string_view fileName, std::string& computerName, std::string& userName);
// Tells the user that fileName is locked by userName on computerName: kind 1 a host message, kind 2 a
// warning box. Nothing happens while the host's no-prompt flag (client API 793, read once) is set.
void ReportLockedFile(std::string_view fileName, std::string_view computerName, std::string_view userName,
                      int32_t kind);
// Writes the lines (each followed by "\n") to fileName. A file locked by another: kind-1 report,
// false. Otherwise the open document of that file (client 491), when there is one, hears of the
// change (document 100 before, 101 after, also when writing fails). False when writing fails.
bool SaveStringsToFile(const std::vector<std::string>& lines, std::string_view fileName);
// Moves tempFile over target. True at once when both names are equal ignoring case. A target locked
// by another: kind-1 report, tempFile deleted, false. Otherwise, bracketed by the document calls,
// tempFile replaces target atomically (rename); the old target stays intact when the move fails, in
// which case tempFile is deleted and the answer is false. A missing tempFile leaves target alone and
// answers false.
bool SaveTempFileOverTarget(std::string_view tempFile, std::string_view target);

}  // namespace zolta
