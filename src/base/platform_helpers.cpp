#include "base/platform_helpers.h"

#include "base/text.h"

namespace lumiset {

std::string ToNativeSystemPath(std::string_view path, bool wow64) {
  if (!wow64) return std::string(path);
  return ReplaceAll(ReplaceAll(path, "Sysnative", "System32"), "sysnative", "System32");
}

std::string ToSysnativePath(std::string_view path, bool wow64) {
  if (!wow64) return std::string(path);
  return ReplaceAll(ReplaceAll(path, "System32", "Sysnative"), "system32", "Sysnative");
}

bool PathIsFile(Platform& p, const std::string& path) {
  if (path.empty()) return false;
  return p.QueryPath(path) == Platform::PathKind::kFile;
}

bool FileExists(Platform& p, const std::string& path) {
  if (path.empty()) return false;
  const std::vector<FindEntry> found = p.FindFiles(path);
  return !found.empty() && !found.front().is_folder;
}

std::optional<std::string> RegisteredProgramFiles(Platform& p) {
  return p.ReadRegistryString(RegistryRoot::kLocalMachine,
                              "SOFTWARE\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesDir");
}

std::string ProgramFilesFolder(Platform& p) {
  std::string folder = p.SpecialFolderPath(SpecialFolder::kProgramFiles).value_or("");
  if (folder.empty()) folder = RegisteredProgramFiles(p).value_or("");
  return folder;
}

bool EnsureFolderTree(Platform& p, const std::string& path) {
  if (path.size() < 3 || Utf16Length(path) > kMaxPathChars) return false;
  std::string work = path;
  if (work.back() == '\\') work.pop_back();
  const bool network = work.size() >= 2 && work[0] == '\\' && work[1] == '\\';
  // Positions past 2 skip "C:" and "C:\", which are never created.
  for (size_t pos = 0; pos <= work.size(); ++pos) {
    // UTF-8 never hides a backslash inside another character.
    if (pos < work.size() && work[pos] != '\\') continue;
    if (pos <= 2) continue;
    const std::string prefix = work.substr(0, pos);
    if (network) {
      // The server and share cannot be created; they fail quietly.
      p.MakeFolder(prefix).IgnoreError();
      continue;
    }
    const std::vector<FindEntry> found = p.FindFiles(prefix);
    if (found.empty()) {
      if (!p.MakeFolder(prefix)) return false;
    } else if (!found.front().is_folder) {
      return false;
    }
  }
  return true;
}

}  // namespace lumiset
