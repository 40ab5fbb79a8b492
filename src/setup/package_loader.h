#pragma once

#include "base/platform.h"
#include "setup/setup_state.h"

namespace lumiset {

// Reads the package appended to state.ModulePath and fills the package
// values of `state`: the record's names, texts and defaults, the language,
// InstalledScrPath, the uninstaller and companion bytes, the page picture,
// and PackageDataOffset (the screensaver block's offset). Needs SystemDir
// and WorkFolder. On failure nothing is shown and the package values are
// left as they were.
bool LoadPackage(Platform& p, SetupState& state);

// Whether a screensaver file name can name a file in the system folder: not
// empty, no path separators or characters Windows refuses in names, not
// ending in a dot or a space.
bool IsValidScrFileName(const std::string& name);

}  // namespace lumiset
