#include "install/uninstaller.h"

#include <algorithm>

#include "base/platform_helpers.h"
#include "base/text.h"
#include "install/finishing_steps.h"
#include "install/screensaver_setting.h"
#include "setup/install_log.h"

namespace lumiset {
namespace {


bool SamePath(const std::string& a, const std::string& b) {
  return AsciiLower(a) == AsciiLower(b);
}

// Every spelling under which the system setting may name the installed file.
std::vector<std::string> InstalledFileNames(Platform& p, const SetupState& s) {
  std::vector<std::string> names = {s.InstalledScrPath, ToNativeSystemPath(p, s.InstalledScrPath)};
  const std::vector<FindEntry> found = p.FindFiles(s.InstalledScrPath);
  if (!found.empty()) {
    // An 8.3 long name has no alternate name: the name itself is the short form.
    const std::string& short_name =
        found.front().short_name.empty() ? found.front().name : found.front().short_name;
    const std::string short_form = WithBackslash(p.SystemDirectory()) + short_name;
    names.push_back(short_form);
    names.push_back(ToSysnativePath(p, short_form));
  }
  return names;
}

bool NamesInstalledFile(const std::string& setting, const std::vector<std::string>& names) {
  return !setting.empty() && std::any_of(names.begin(), names.end(), [&](const std::string& n) {
           return SamePath(setting, n);
         });
}

}  // namespace

std::vector<std::string> ShellFoldersToKeep(Platform& p) {
  std::vector<std::string> keep;
  for (SpecialFolder f : {SpecialFolder::kDesktop, SpecialFolder::kPrograms,
                          SpecialFolder::kProgramFiles}) {
    if (std::optional<std::string> path = p.SpecialFolderPath(f)) keep.push_back(*path);
  }
  if (std::optional<std::string> dir = RegisteredProgramFiles(p)) keep.push_back(*dir);
  return keep;
}

void RestoreScreensaverSettings(Platform& p, const SetupState& s) {
  const std::string ini = WithBackslash(p.WindowsDirectory()) + "system.ini";
  const std::vector<std::string> names = InstalledFileNames(p, s);
  const std::string setting =
      p.ReadRegistryString(RegistryRoot::kCurrentUser, kDesktopKey, kScreensaverPathValue)
          .value_or("");
  if (!NamesInstalledFile(setting, names) &&
      !NamesInstalledFile(p.ReadIniString(ini, "boot", "scrnsave.exe"), names)) {
    return;
  }
  constexpr char kStep[] = "switch the screensaver off";
  Log().IfFailed(kStep, p.WriteRegistryString(RegistryRoot::kCurrentUser, kDesktopKey,
                                              kScreenSaveActiveValue, "0"));
  Log().IfFailed(kStep, p.WriteRegistryString(RegistryRoot::kCurrentUser, kDesktopKey,
                                              kScreensaverPathValue, ""));
  Log().IfFailed(kStep, p.WriteIniString(ini, "boot", "scrnsave.exe", ""));
  p.NotifyScreensaverActive(false);
}

void RemoveFileAndEmptyFolders(Platform& p, const std::string& path,
                               const std::vector<std::string>& keep) {
  // A file already gone is no failure; one that stays is logged and kept,
  // like the folders that still hold something.
  p.SetNormalAttributes(path).IgnoreError();
  if (Status removed = p.RemoveFile(path); !removed && FileExists(p, path)) {
    Log().Failed("delete " + path, removed);
  }
  size_t slash = path.rfind('\\');
  if (slash == std::string::npos) return;
  std::string folder = path.substr(0, slash);
  while (folder.size() > 3) {
    const bool kept = std::any_of(keep.begin(), keep.end(), [&](const std::string& k) {
      return SamePath(WithBackslash(folder), WithBackslash(k));
    });
    if (kept) return;
    slash = folder.rfind('\\');
    const std::string parent =
        slash == std::string::npos || slash == 0 ? std::string() : folder.substr(0, slash);
    // Never stand inside the folder being removed.
    if (!parent.empty()) {
      p.SetCurrentFolder(parent.size() == 2 ? parent + "\\" : parent).IgnoreError();
    }
    // A folder with desktop.ini is customised by the shell: keep its attributes.
    if (!FileExists(p, WithBackslash(folder) + "desktop.ini")) {
      p.SetNormalAttributes(folder).IgnoreError();
    }
    if (!p.RemoveFolder(folder)) return;
    folder = parent;
  }
}

void DeleteInstallationKeys(Platform& p, const SetupState& s, size_t recorded_files) {
  const std::string record = InstalledFilesKey(s);
  // A value or key already gone is what these deletions want.
  p.DeleteRegistryValue(RegistryRoot::kCurrentUser, record, kRecordScreensaverValue).IgnoreError();
  for (size_t i = 0; i < recorded_files; ++i) {
    p.DeleteRegistryValue(RegistryRoot::kCurrentUser, record, InstalledFileValueName(i))
        .IgnoreError();
  }
  p.DeleteRegistryValue(RegistryRoot::kCurrentUser, record, kRecordLanguageValue).IgnoreError();
  if (p.RegistryKeyIsEmpty(RegistryRoot::kCurrentUser, record)) {
    p.DeleteRegistryKey(RegistryRoot::kCurrentUser, record).IgnoreError();
  }

  // Another product may own an entry of the same name: then it is not ours.
  const std::string entry = UninstallEntryKey(s);
  if (p.ReadRegistryString(RegistryRoot::kLocalMachine, entry, "DisplayName") !=
      UninstallEntryName(s)) {
    return;
  }
  for (const char* value : kUninstallEntryValues) {
    p.DeleteRegistryValue(RegistryRoot::kLocalMachine, entry, value).IgnoreError();
  }
  if (p.RegistryKeyIsEmpty(RegistryRoot::kLocalMachine, entry)) {
    p.DeleteRegistryKey(RegistryRoot::kLocalMachine, entry).IgnoreError();
  }
}

bool RunUninstall(Platform& p, SetupState& s) {
  // The record lists the files in order; the first missing entry ends it.
  const std::string key = InstalledFilesKey(s);
  std::vector<std::string> recorded;
  for (size_t i = 0; i < kInstalledFileSlots; ++i) {
    std::optional<std::string> file =
        p.ReadRegistryString(RegistryRoot::kCurrentUser, key, InstalledFileValueName(i));
    if (!file || file->empty()) break;
    recorded.push_back(std::move(*file));
  }
  RestoreScreensaverSettings(p, s);

  const Status removed = FileExists(p, s.InstalledScrPath) ? p.RemoveFile(s.InstalledScrPath)
                                                           : Status::Ok();
  if (!removed) {
    Log().Failed("delete " + s.InstalledScrPath, removed);
    // With nobody there (/n) the message would wait forever: the exit code
    // and the log tell instead.
    if (!s.NoInteraction) {
      p.Beep(MessageIcon::kInformation);
      p.ShowLocalizedMessage(LocalizedId(kUninstallFailedString, s.LanguageIndex),
                             kMessageCaption, MessageIcon::kError);
    }
    return false;
  }
  const std::vector<std::string> keep = ShellFoldersToKeep(p);
  for (const std::string& file : recorded) RemoveFileAndEmptyFolders(p, file, keep);
  DeleteInstallationKeys(p, s, recorded.size());
  if (s.ShowScreens) {
    p.ShowLocalizedMessage(LocalizedId(kUninstallDoneString, s.LanguageIndex), kMessageCaption,
                           MessageIcon::kInformation);
  }
  return true;
}

}  // namespace lumiset
