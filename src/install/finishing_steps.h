#pragma once

#include "base/platform.h"
#include "setup/setup_state.h"

namespace lumiset {

inline constexpr char kUninstallEntryKeyFormat[] =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
// Longest registry key path Windows handles comfortably; longer names are
// refused rather than cut into another key.
inline constexpr size_t kMaxKeyPathChars = 255;

// "File0000", "File0001", ...: the record's value for created file `index`.
std::string InstalledFileValueName(size_t index);

// The installed-files record's key: "SOFTWARE\<company>\<title>", names as
// stored (a backslash in them makes deeper keys).
std::string InstalledFilesKey(const SetupState& state);
// The installed-programs entry's name, "<title> Screensaver", which is its
// DisplayName and the last part of its key.
std::string UninstallEntryName(const SetupState& state);
// The installed-programs entry's key under HKEY_LOCAL_MACHINE.
std::string UninstallEntryKey(const SetupState& state);

// The record's values beside File0000...: the installed screensaver and the
// language of the installation.
inline constexpr char kRecordScreensaverValue[] = "ScreensaverFile";
inline constexpr char kRecordLanguageValue[] = "AppLanguage";

// Every value WriteUninstaller may write in the installed-programs entry:
// exactly these, and no other, leave with the entry on uninstallation.
inline constexpr const char* kUninstallEntryValues[] = {
    "DisplayName", "UninstallString", "QuietUninstallString", "DisplayIcon",
    "Publisher",   "DisplayVersion",  "URLInfoAbout",         "EstimatedSize",
    "InstallDate", "NoModify",        "NoRepair",
};

// Writes the package's uninstaller as Uninstall.exe with Uninstall.ini into
// Program Files\<company>\<title>, and the installed-programs entry:
// DisplayName and UninstallString (the path as it is), then DisplayIcon (the
// installed screensaver), Publisher, DisplayVersion and URLInfoAbout when
// the package has them, EstimatedSize (KiB of the screensaver, the
// uninstaller and its settings), InstallDate (YYYYMMDD), NoModify and
// NoRepair, and, for the default uninstaller only, QuietUninstallString.
// Sets UninstallFolder and UninstallerPath; appends the two files to
// CreatedFiles when the program was written. Reports nothing.
void WriteUninstaller(Platform& p, SetupState& state);

// The Start-menu folder with its screensaver link and, for a package with
// an uninstaller, the uninstaller link; and the desktop link. Each link's
// path is appended to CreatedFiles whether or not it could be saved.
void CreateStartMenuShortcuts(Platform& p, SetupState& state);
void CreateDesktopShortcut(Platform& p, SetupState& state);

// "ScreensaverFile", File0000... for CreatedFiles in order, "AppLanguage".
void WriteInstalledFilesRecord(Platform& p, const SetupState& state);

}  // namespace lumiset
