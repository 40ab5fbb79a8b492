#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "base/platform.h"

namespace lumiset {

// Under WOW64 a 32-bit process reaches the real system folder only through
// the "Sysnative" alias, while other programs must be told "System32".
// Exact, case-sensitive replacement; unchanged when `wow64` is false.
std::string ToNativeSystemPath(std::string_view path, bool wow64);  // Sysnative -> System32
std::string ToSysnativePath(std::string_view path, bool wow64);     // System32 -> Sysnative
inline std::string ToNativeSystemPath(Platform& p, std::string_view path) {
  return ToNativeSystemPath(path, p.IsWow64());
}
inline std::string ToSysnativePath(Platform& p, std::string_view path) {
  return ToSysnativePath(path, p.IsWow64());
}

// False for an empty path; otherwise what the attributes say. A missing path
// is no file.
bool PathIsFile(Platform& p, const std::string& path);
// True when a search for the path finds an entry that is not a folder.
bool FileExists(Platform& p, const std::string& path);

// The Program Files folder as the system's registry names it; nullopt when
// the value is missing.
std::optional<std::string> RegisteredProgramFiles(Platform& p);
// The Program Files folder: the shell's, else the registry's; empty when
// neither knows it.
std::string ProgramFilesFolder(Platform& p);

// Creates every missing folder of an absolute path ("C:\a\b", "C:\a\b\" or
// "\\server\share\a"). False when the path is shorter than 3 characters or
// too long, a component exists as a file, or a folder cannot be created;
// folders created before the failure stay. Network paths create what they
// can and report true.
bool EnsureFolderTree(Platform& p, const std::string& path);

}  // namespace lumiset
