// File-system helpers of the host application: its own folder, case-insensitive lookups and the
// path expansion it offers plug-ins through its exported VFS function.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace zolta::hostapp {

// The folder of the running executable, without a trailing "/".
std::string executableFolder();

// Joins a folder and a name with exactly one "/".
std::string joinPath(const std::string& folder, const std::string& name);

// The entry `name` of `folder` whose name equals it without regard to ASCII case; an exact match wins.
// Empty when there is none. `wantDirectory` selects folders instead of files.
std::string findEntryNoCase(const std::string& folder, const std::string& name, bool wantDirectory = false);

// The sorted names of the direct subfolders of a folder (empty when it cannot be read).
std::vector<std::string> subfolders(const std::string& folder);

bool isDirectory(const std::string& path);
bool isRegularFile(const std::string& path);

// The first line of a text file without its line end; nullopt when the file cannot be read.
std::optional<std::string> firstLineOf(const std::string& path);

// Expands `relative` against `base`: "\" counts as "/", an absolute `relative` (leading "/" or "\" or a
// drive colon) stands alone, otherwise it is joined to `base` when `base` ends with a separator or is a
// folder, else to the folder of `base`; "." and ".." components are resolved textually.
std::string expandRelativePath(const std::string& base, const std::string& relative);

}  // namespace zolta::hostapp
