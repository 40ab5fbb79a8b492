#pragma once

#include <optional>
#include <string_view>

#include "setup/setup_state.h"
#include "setup/switches.h"
#include "base/platform.h"

namespace lumiset {

// The message an interactive run shows for an installer whose package
// cannot be read; localized at + 100 * (language - 1).
inline constexpr int kDamagedInstallerString = 8004;

// SystemDir as the installer uses it: the system directory lower-cased with
// its first letter upper-cased, "system32" becoming "Sysnative" under WOW64.
std::string FormSystemDir(std::string_view system_directory, bool wow64);

// Start-up from the run options to the run-mode decision: resets the run
// options, forms the paths, loads the package and applies the switches of
// `command_line` over its defaults. RunMode::kDamaged, with ExitCode 2, when
// the package cannot be read; nullopt when the system folder is unknown, and
// the process then ends silently.
std::optional<RunMode> StartUp(Platform& p, SetupState& state, std::string_view command_line);

}  // namespace lumiset
