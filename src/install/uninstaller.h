#pragma once

#include <string>
#include <vector>

#include "base/platform.h"
#include "setup/setup_state.h"

namespace lumiset {

inline constexpr int kUninstallFailedString = 8002;
inline constexpr int kUninstallDoneString = 8003;
inline constexpr char kMessageCaption[] = "Installation";

// Removes the copy an earlier run of this package installed: reads the
// installed-files record, switches the screensaver setting off when it
// names the installed file, deletes the screensaver file and the recorded
// files with their emptied folders, and removes what the installation wrote
// in the registry (DeleteInstallationKeys). A screensaver file that cannot be
// deleted beeps, shows the localized failure message and returns false with
// the registry left in place; success shows the localized success message
// when ShowScreens is on.
bool RunUninstall(Platform& p, SetupState& state);

// Removes only what an installation wrote: in the installed-files record
// its own values (ScreensaverFile, the first `recorded_files` File entries,
// AppLanguage), then the key if nothing else is left in it; in the
// installed-programs entry, when its DisplayName is this installation's,
// the values the installation writes there, then the key if it is empty.
// Another program's values and subkeys stay, and so do the keys holding them.
void DeleteInstallationKeys(Platform& p, const SetupState& state, size_t recorded_files);

// The shell folders the installer writes into (desktop, Start-menu programs,
// Program Files), which an uninstallation must never remove.
std::vector<std::string> ShellFoldersToKeep(Platform& p);

// Clears the screensaver setting (registry and system.ini) when either
// names the installed file, in its Sysnative or System32 form, long or short,
// letter case ignored. Otherwise changes nothing.
void RestoreScreensaverSettings(Platform& p, const SetupState& state);

// Deletes a file, then each folder above it that is left empty, stopping at
// the first folder that stays, at a drive root, and at any of `keep` (the
// shell folders the installer writes into, which must outlive it).
void RemoveFileAndEmptyFolders(Platform& p, const std::string& path,
                               const std::vector<std::string>& keep);

}  // namespace lumiset
