#include "install/finishing_steps.h"

#include <algorithm>
#include <utility>

#include "base/platform_helpers.h"
#include "package/default_uninstaller.h"
#include "package/package_format.h"
#include "setup/install_log.h"
#include "setup/placeholders.h"

namespace lumiset {
namespace {

std::string Expanded(std::string text, const SetupState& state) {
  ExpandPlaceholders(text, state);
  return text;
}

bool FitsKey(const std::string& key) { return key.size() <= kMaxKeyPathChars; }

// The finishing steps are extras: one that fails leaves the screensaver
// installed, so the run goes on and the log keeps the cause.
void Noted(std::string_view step, const Status& status) { Log().IfFailed(step, status); }

// Stores one value under a key the installation owns, as one of `step`.
void Store(Platform& p, RegistryRoot root, const std::string& key, const std::string& name,
           const std::string& text, std::string_view step) {
  Noted(step, p.WriteRegistryString(root, key, name, text));
}
void Store(Platform& p, RegistryRoot root, const std::string& key, const std::string& name,
           uint32_t value, std::string_view step) {
  Noted(step, p.WriteRegistryDword(root, key, name, value));
}

// A link's target and working folder are read by the shell, a 64-bit
// program: they name System32, never the Sysnative alias.
void MakeLink(Platform& p, SetupState& state, const std::string& link, const std::string& target,
              const std::string& description, const std::string& working_folder) {
  if (link.size() <= kMaxPathChars) {
    Noted("create a shortcut", p.CreateShellLink(link, ToNativeSystemPath(p, target), description,
                                                 ToNativeSystemPath(p, working_folder)));
  }
  state.CreatedFiles.push_back(link);
}

uint64_t FileSize(Platform& p, const std::string& path) {
  StatusOr<std::unique_ptr<ReadableFile>> file = p.OpenForRead(path, /*share_write=*/true);
  return file ? file.value()->Size() : 0;
}

// "YYYYMMDD", or empty for a date the clock cannot have given.
std::string DateText(const CalendarDate& date) {
  if (date.year < 1 || date.year > 9999 || date.month < 1 || date.month > 12 || date.day < 1 ||
      date.day > 31) {
    return {};
  }
  std::string text;
  for (const auto& [value, digits] : {std::pair{date.year, 4}, {date.month, 2}, {date.day, 2}}) {
    const std::string number = std::to_string(value);
    text += std::string(static_cast<size_t>(digits) - number.size(), '0') + number;
  }
  return text;
}

// The entry's values beside DisplayName and UninstallString: what the list
// of installed programs and inventory tools show and use.
void WriteEntryDetails(Platform& p, const SetupState& state, const std::string& entry) {
  constexpr RegistryRoot kMachine = RegistryRoot::kLocalMachine;
  constexpr char kStep[] = "write the uninstall entry";
  // Only the default uninstaller is known to run without asking under /q.
  if (BlockHoldsDefaultUninstaller(state.UninstallerBlock, kMaxUninstallerDecoded)) {
    Store(p, kMachine, entry, "QuietUninstallString", "\"" + state.UninstallerPath + "\" /q",
          kStep);
  } else {
    // Usually there is none to delete.
    p.DeleteRegistryValue(kMachine, entry, "QuietUninstallString").IgnoreError();
  }
  // The list is shown by a 64-bit program, which has no Sysnative folder.
  Store(p, kMachine, entry, "DisplayIcon", ToNativeSystemPath(p, state.InstalledScrPath), kStep);
  Store(p, kMachine, entry, "Publisher", Expanded("{CompanyName}", state), kStep);
  // A reinstallation from a package without them keeps no older ones.
  const std::pair<const char*, const std::string*> optional_texts[] = {
      {"DisplayVersion", &state.DisplayVersion}, {"URLInfoAbout", &state.AboutUrl}};
  for (const auto& [name, text] : optional_texts) {
    if (text->empty()) {
      p.DeleteRegistryValue(kMachine, entry, name).IgnoreError();
    } else {
      Store(p, kMachine, entry, name, *text, kStep);
    }
  }
  uint64_t bytes = FileSize(p, state.InstalledScrPath);
  for (const std::string& file : state.CreatedFiles) bytes += FileSize(p, file);
  constexpr uint64_t kKib = 1024;
  const uint64_t kib = (bytes + kKib - 1) / kKib;
  Store(p, kMachine, entry, "EstimatedSize",
        static_cast<uint32_t>(std::min<uint64_t>(kib, UINT32_MAX)), kStep);
  if (const std::string date = DateText(p.LocalDate()); !date.empty()) {
    Store(p, kMachine, entry, "InstallDate", date, kStep);
  }
  // Nothing to modify or repair: the list offers only removal.
  Store(p, kMachine, entry, "NoModify", 1, kStep);
  Store(p, kMachine, entry, "NoRepair", 1, kStep);
}

}  // namespace

std::string InstalledFileValueName(size_t index) {
  std::string digits = std::to_string(index);
  if (digits.size() < 4) digits.insert(0, 4 - digits.size(), '0');
  return "File" + digits;
}

std::string InstalledFilesKey(const SetupState& state) {
  return "SOFTWARE\\" + state.CompanyName + "\\" + state.ScreenSaverTitle;
}

std::string UninstallEntryName(const SetupState& state) {
  return Expanded("{ScreenSaverTitle} Screensaver", state);
}

std::string UninstallEntryKey(const SetupState& state) {
  return std::string(kUninstallEntryKeyFormat) + UninstallEntryName(state);
}

void WriteUninstaller(Platform& p, SetupState& state) {
  if (state.UninstallerBlock.empty()) return;
  const std::string folder =
      ProgramFilesFolder(p) + Expanded("\\{CompanyName}\\{ScreenSaverTitle}", state);
  EnsureFolderTree(p, folder);
  state.UninstallFolder = folder;
  state.UninstallerPath = folder + "\\Uninstall.exe";
  if (state.UninstallerPath.size() > kMaxPathChars) {
    return Noted(
        "write the uninstaller",
        Status::Failure("use a path longer than 259 characters:", state.UninstallerPath, 0));
  }
  if (Status written = WriteBlockToFile(p, state.UninstallerBlock, state.UninstallerPath,
                                        kMaxUninstallerDecoded);
      !written) {
    return Noted("write the uninstaller", written);
  }
  state.CreatedFiles.push_back(state.UninstallerPath);
  const std::string settings = folder + "\\Uninstall.ini";
  Noted("write the uninstaller's settings",
        p.WriteIniString(settings, "uninstall", "company", Expanded("{CompanyName}", state)));
  Noted("write the uninstaller's settings",
        p.WriteIniString(settings, "uninstall", "scrtitle", Expanded("{ScreenSaverTitle}", state)));
  state.CreatedFiles.push_back(settings);

  const std::string entry = UninstallEntryKey(state);
  if (FitsKey(entry)) {
    constexpr char kStep[] = "write the uninstall entry";
    Store(p, RegistryRoot::kLocalMachine, entry, "DisplayName", UninstallEntryName(state), kStep);
    Store(p, RegistryRoot::kLocalMachine, entry, "UninstallString", state.UninstallerPath, kStep);
    WriteEntryDetails(p, state, entry);
  }
}

void CreateStartMenuShortcuts(Platform& p, SetupState& state) {
  std::optional<std::string> programs = p.SpecialFolderPath(SpecialFolder::kPrograms);
  if (!programs) return;
  const std::string folder =
      *programs + Expanded("\\{CompanyName}\\{ScreenSaverTitle} Screensaver", state);
  EnsureFolderTree(p, folder);
  MakeLink(p, state, folder + Expanded("\\{ScreenSaverTitle} Screensaver.lnk", state),
           state.InstalledScrPath, state.ScreenSaverTitle, state.SystemDir);
  if (!state.UninstallerBlock.empty()) {
    MakeLink(p, state, folder + Expanded("\\Uninstall {ScreenSaverTitle} Screensaver.lnk", state),
             state.UninstallerPath, "Uninstall", state.UninstallFolder);
  }
}

void CreateDesktopShortcut(Platform& p, SetupState& state) {
  std::optional<std::string> desktop = p.SpecialFolderPath(SpecialFolder::kDesktop);
  if (!desktop) return;
  MakeLink(p, state, *desktop + Expanded("\\{ScreenSaverTitle} Screensaver.lnk", state),
           state.InstalledScrPath, state.ScreenSaverTitle, state.SystemDir);
}

void WriteInstalledFilesRecord(Platform& p, const SetupState& state) {
  const std::string key = InstalledFilesKey(state);
  if (!FitsKey(key)) return;
  constexpr char kStep[] = "write the record of installed files";
  Store(p, RegistryRoot::kCurrentUser, key, kRecordScreensaverValue, state.InstalledScrPath, kStep);
  for (size_t i = 0; i < state.CreatedFiles.size(); ++i) {
    Store(p, RegistryRoot::kCurrentUser, key, InstalledFileValueName(i), state.CreatedFiles[i],
          kStep);
  }
  Store(p, RegistryRoot::kCurrentUser, key, kRecordLanguageValue,
        std::to_string(state.LanguageIndex), kStep);
}

}  // namespace lumiset
