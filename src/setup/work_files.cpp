#include "setup/work_files.h"

#include "base/platform_helpers.h"
#include "base/text.h"

namespace lumiset {
namespace {

bool PassesFolderTest(Platform& p, const std::string& folder) {
  if (folder.size() > kMaxPathChars) return false;
  EnsureFolderTree(p, folder);
  std::string probe;
  if (!CreateProbeFile(p, folder, kWorkFilePrefix, &probe)) return false;
  if (!PathIsFile(p, probe)) return false;
  // What counts is whether the probe is gone afterwards.
  p.SetNormalAttributes(probe).IgnoreError();
  p.RemoveFile(probe).IgnoreError();
  return !FileExists(p, probe);
}

// An application-data folder from the shell, else from the user's Shell
// Folders key.
std::optional<std::string> AppDataFolder(Platform& p, SpecialFolder which,
                                         const char* shell_folders_value) {
  if (std::optional<std::string> path = p.SpecialFolderPath(which); path && !path->empty()) {
    return path;
  }
  std::optional<std::string> value = p.ReadRegistryString(
      RegistryRoot::kCurrentUser,
      "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
      shell_folders_value);
  if (value && !value->empty()) return value;
  return std::nullopt;
}

}  // namespace

std::optional<std::string> ChooseWorkFolder(Platform& p) {
  if (std::optional<std::string> local =
          AppDataFolder(p, SpecialFolder::kLocalAppData, "Local AppData")) {
    const std::string folder = WithBackslash(*local) + std::string(kWorkSubfolder);
    if (PassesFolderTest(p, folder)) return folder;
  }
  if (std::optional<std::string> temp = p.TempFolderPath(); temp && !temp->empty()) {
    const std::string folder = WithBackslash(*temp);
    if (PassesFolderTest(p, folder)) return folder;
  }
  if (std::optional<std::string> roaming =
          AppDataFolder(p, SpecialFolder::kRoamingAppData, "AppData")) {
    const std::string folder = WithBackslash(*roaming) + std::string(kWorkSubfolder);
    if (PassesFolderTest(p, folder)) return folder;
  }
  return std::nullopt;
}

std::string PrepareWorkFolder(Platform& p) {
  std::string folder;
  if (std::optional<std::string> chosen = ChooseWorkFolder(p)) {
    folder = *chosen;
  } else {
    folder = std::string(kFallbackWorkFolder);
    EnsureFolderTree(p, folder);
  }
  DeleteWorkFiles(p, folder);
  return folder;
}

std::string MakeWorkFileName(Platform& p, std::string& work_folder, std::string_view extension,
                             std::string folder, std::string prefix) {
  const std::string ext = AsciiLower(extension);
  if (folder.empty()) {
    if (work_folder.empty()) work_folder = ChooseWorkFolder(p).value_or(std::string());
    folder = work_folder;
  }
  folder = WithBackslash(folder);
  if (prefix.empty()) prefix = std::string(kWorkFilePrefix);
  if (folder.size() + prefix.size() + 5 + ext.size() > kMaxPathChars) return {};
  for (int n = 1; n <= kMaxWorkFileNumber; ++n) {
    const char number[] = {static_cast<char>('0' + n / 1000), static_cast<char>('0' + n / 100 % 10),
                           static_cast<char>('0' + n / 10 % 10), static_cast<char>('0' + n % 10)};
    std::string name = folder + prefix + std::string(number, 4) + "." + ext;
    if (!FileExists(p, name)) return name;
  }
  return {};
}

bool CreateProbeFile(Platform& p, const std::string& folder, std::string_view prefix,
                     std::string* name) {
  std::string unused_work_folder = folder;
  std::string made = MakeWorkFileName(p, unused_work_folder, kWorkFileExtension, folder,
                                      std::string(prefix));
  if (made.empty()) return false;
  *name = made;
  // The caller checks that the file is there.
  if (StatusOr<std::unique_ptr<WritableFile>> file = p.CreateForWrite(made, /*create_new=*/false)) {
    file.value()->Close().IgnoreError();
  }
  return true;
}

bool DeleteMatchingFiles(Platform& p, const std::string& pattern) {
  const size_t slash = pattern.rfind('\\');
  const std::string folder = slash == std::string::npos ? std::string() : pattern.substr(0, slash);
  for (const FindEntry& entry : p.FindFiles(pattern)) {
    if (entry.is_folder || entry.name.starts_with('.')) continue;
    if (!p.RemoveFile(folder + "\\" + entry.name)) return false;
  }
  return true;
}

bool DeleteWorkFiles(Platform& p, const std::string& folder) {
  return DeleteMatchingFiles(p, folder + std::string(kWorkFilePrefix) + "*.*");
}

}  // namespace lumiset
