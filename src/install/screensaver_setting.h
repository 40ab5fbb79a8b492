#pragma once

#include <optional>
#include <string>
#include <vector>

#include "base/platform.h"

namespace lumiset {

// The user's screensaver setting: each value, or nullopt when it is not
// there at all.
struct ScreensaverSetting {
  std::optional<std::string> path;    // SCRNSAVE.EXE
  std::optional<std::string> active;  // ScreenSaveActive
};

ScreensaverSetting ReadScreensaverSetting(Platform& p);

// Whether a Group Policy sets the screensaver, in the user's or the
// machine's hive: then the organisation decides which one is active, and an
// installation does not touch the setting.
bool ScreensaverSetByPolicy(Platform& p);

// Whether `setting` names one of `names` (letter case ignored).
bool NamesOneOf(const std::string& setting, const std::vector<std::string>& names);

// Makes `path` the active screensaver and tells running programs. Before
// that, the setting it replaces is kept in the installed-files record under
// `record_root`\`record_key` so that the uninstallation can bring it back:
// unless the record already keeps one (an installation over an earlier
// copy keeps the first), or the setting names one of `own_names` already.
Status ActivateScreensaver(Platform& p, const std::string& path,
                           const std::vector<std::string>& own_names, RegistryRoot record_root,
                           const std::string& record_key);

// The setting kept by ActivateScreensaver in a record; nullopt when the
// record keeps none.
std::optional<ScreensaverSetting> KeptPreviousSetting(Platform& p, RegistryRoot root,
                                                      const std::string& record_key);

// After the screensaver's file is gone: when the setting still names it
// (one of `own_names`), brings back `previous` when its screensaver file
// still exists (or it named none), else switches the screensaver off; a
// value that was not there before is removed, not emptied. system.ini's
// [boot] entry is cleared only when it names the screensaver itself.
void RestoreScreensaverSetting(Platform& p, const std::vector<std::string>& own_names,
                               const std::optional<ScreensaverSetting>& previous,
                               const std::string& system_ini);

}  // namespace lumiset
