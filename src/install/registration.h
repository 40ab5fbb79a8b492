#pragma once

// Every name that an installation writes and an uninstallation (the stub's
// /u or the default uninstaller) reads back: registry keys and values, the
// uninstaller's files and the keys of its settings file. One home, so that
// writer and reader can never disagree.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "base/platform.h"

#include "package/install_names.h"

namespace lumiset {

// ---- the installed-files record: SOFTWARE\<company>\<title> (RecordKeyPath),
// under the user's hive (or the machine's, for an installation for all users).
inline constexpr size_t kInstalledFileSlots = 20;
// "File0000", "File0001", ...: the files the installation created, in order.
std::string InstalledFileValueName(size_t index);
// One file of a record as found: its slot (File0000 is 0) and its path.
struct RecordedFile {
  size_t slot;
  std::string path;
};
// Every file a record lists, past a gap too: an installation writes none,
// but whatever stands in a record is judged (and a refusal logged).
std::vector<RecordedFile> ReadRecordedFiles(Platform& p, RegistryRoot root,
                                            const std::string& key);
inline constexpr char kRecordScreensaverValue[] = "ScreensaverFile";
inline constexpr char kRecordLanguageValue[] = "AppLanguage";
// The screensaver setting the activation replaced, so that the
// uninstallation can bring it back: the two values as they were, and
// whether each was there at all ("1" or "0").
inline constexpr char kRecordPreviousPathValue[] = "PreviousScreensaver";
inline constexpr char kRecordPreviousPathPresentValue[] = "PreviousScreensaverSet";
inline constexpr char kRecordPreviousActiveValue[] = "PreviousScreenSaveActive";
inline constexpr char kRecordPreviousActivePresentValue[] = "PreviousScreenSaveActiveSet";

// ---- the installed-programs entry, under the machine's hive
// (UninstallEntryKeyPath); DisplayName is localized.
inline constexpr char kEntryDisplayName[] = "DisplayName";
inline constexpr char kEntryUninstallString[] = "UninstallString";
inline constexpr char kEntryQuietUninstallString[] = "QuietUninstallString";
inline constexpr char kEntryDisplayIcon[] = "DisplayIcon";
inline constexpr char kEntryPublisher[] = "Publisher";
inline constexpr char kEntryDisplayVersion[] = "DisplayVersion";
inline constexpr char kEntryUrlInfoAbout[] = "URLInfoAbout";
inline constexpr char kEntryEstimatedSize[] = "EstimatedSize";
inline constexpr char kEntryInstallDate[] = "InstallDate";
inline constexpr char kEntryNoModify[] = "NoModify";
inline constexpr char kEntryNoRepair[] = "NoRepair";
// Every value the installation may write in the entry: exactly these, and
// no other, leave with the entry on uninstallation.
inline constexpr const char* kUninstallEntryValues[] = {
    kEntryDisplayName,   kEntryUninstallString, kEntryQuietUninstallString,
    kEntryDisplayIcon,   kEntryPublisher,       kEntryDisplayVersion,
    kEntryUrlInfoAbout,  kEntryEstimatedSize,   kEntryInstallDate,
    kEntryNoModify,      kEntryNoRepair,
};

// ---- the uninstaller's folder: Program Files\<company>\<title>.
inline constexpr char kUninstallerName[] = "Uninstall.exe";
inline constexpr char kUninstallSettingsName[] = "Uninstall.ini";
inline constexpr char kUninstallSection[] = "uninstall";
inline constexpr char kCompanyKey[] = "company";
inline constexpr char kTitleKey[] = "scrtitle";
// The screensaver's file name without ".scr". Only administrators can
// write this file, so what the uninstaller deletes is taken from here;
// settings files of older installations lack the key.
inline constexpr char kScrFileKey[] = "scrfile";
inline constexpr char kLanguageKey[] = "language";

// ---- the screensaver setting of the user, in the registry and in
// system.ini's [boot] section.
inline constexpr char kDesktopKey[] = "Control Panel\\Desktop";
inline constexpr char kScreenSaveActiveValue[] = "ScreenSaveActive";
inline constexpr char kScreensaverPathValue[] = "SCRNSAVE.EXE";
inline constexpr char kSystemIniName[] = "system.ini";
inline constexpr char kSystemIniSection[] = "boot";
inline constexpr char kSystemIniKey[] = "scrnsave.exe";
// Where a Group Policy sets the screensaver, in the user's or the machine's
// hive; either value there means the organisation decides.
inline constexpr char kDesktopPolicyKey[] =
    "Software\\Policies\\Microsoft\\Windows\\Control Panel\\Desktop";

}  // namespace lumiset
