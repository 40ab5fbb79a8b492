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

bool FolderExists(Platform& p, const std::string& path) {
  if (path.empty()) return false;
  return p.QueryPath(path) == Platform::PathKind::kFolder;
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

bool EnsureFolderTree(Platform& p, const std::string& path) {
  if (path.size() < 3 || path.size() > kMaxPathChars) return false;
  std::string work = path;
  if (work.back() == '\\') work.pop_back();
  const bool network = work.size() >= 2 && work[0] == '\\' && work[1] == '\\';
  // Positions past 2 skip "C:" and "C:\", which are never created.
  for (size_t pos = 0; pos <= work.size(); ++pos) {
    if (pos < work.size()) {
      const auto c = static_cast<uint8_t>(work[pos]);
      if (p.IsLeadByte(c) && pos + 1 < work.size()) {
        ++pos;
        continue;
      }
      if (c != '\\') continue;
    }
    if (pos <= 2) continue;
    const std::string prefix = work.substr(0, pos);
    if (network) {
      // The server and share cannot be created; they fail quietly.
      p.MakeFolder(prefix);
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

bool CreateFolderPath(Platform& p, const std::string& path) {
  if (path.empty() || path.back() != '\\' || path.size() > kMaxPathChars) return false;
  if (FolderExists(p, path)) return true;
  // The start of the last component: after the last backslash that has
  // something after it, walking whole characters.
  const std::string folder = path.substr(0, path.size() - 1);
  size_t component = 0;
  for (size_t i = 0; i < folder.size(); ++i) {
    if (p.IsLeadByte(static_cast<uint8_t>(folder[i]))) {
      ++i;
      continue;
    }
    if (folder[i] == '\\' && i + 1 < folder.size()) component = i + 1;
  }
  const std::string parent = path.substr(0, component);
  if (!CreateFolderPath(p, parent)) return false;
  if (FolderExists(p, folder)) return true;
  return p.MakeFolder(folder);
}

}  // namespace lumiset
