#pragma once

#include "base/platform.h"
#include "setup/machine_facts.h"
#include "setup/package_info.h"

namespace lumiset {

// Reads the package appended to this program (facts.module_path): the
// record's names, texts and defaults, the language, the page picture, the
// uninstaller (decoded, and checked whole) and the companion program, and
// where the screensaver block lies. The installer file stays open in the
// result, held against writers, so that what is installed later is what was
// read now. A failure says why the package cannot be used (kCorrupt for a
// damaged or altered package, or the cause of a failed read); nothing is
// shown.
StatusOr<PackageInfo> LoadPackage(Platform& p, const MachineFacts& facts);

}  // namespace lumiset
