#pragma once

#include <optional>
#include <string_view>

#include "setup/setup_state.h"
#include "setup/switches.h"
#include "base/platform.h"

namespace lumiset {

// SystemDir as the installer uses it: the system directory lower-cased with
// its first letter upper-cased, "system32" becoming "Sysnative" under WOW64.
std::string FormSystemDir(std::string_view system_directory, bool wow64);

// The folder of a program path with its trailing backslash; the path itself
// when it holds no backslash after its first character.
std::string ModuleDirOf(const std::string& module_path);

// Start-up from the run options to the run-mode decision: resets the run
// options, forms the paths, loads the package and applies the switches of
// `command_line` over its defaults. nullopt when the package cannot be read
// (or the system folder is unknown): the process then ends silently.
std::optional<RunMode> StartUp(Platform& p, SetupState& state, std::string_view command_line);

}  // namespace lumiset
