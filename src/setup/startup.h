#pragma once

#include <optional>
#include <string_view>

#include "base/platform.h"
#include "setup/machine_facts.h"
#include "setup/package_info.h"
#include "setup/run_options.h"
#include "setup/switches.h"

namespace lumiset {

// The message an interactive run shows for an installer whose package
// cannot be read; localized at + 100 * (language - 1).
inline constexpr int kDamagedInstallerString = 8004;

// Everything start-up settles before any window: the machine, the package,
// the run options and what to do.
struct StartUpResult {
  MachineFacts facts;
  RunOptions options;
  std::optional<PackageInfo> package;  // absent when it cannot be read
  Status damage;                       // why it cannot be read
  int32_t language = 1;                // the package's, else the user's
  RunMode mode = RunMode::kInstall;
};

// Start-up from the command line to the run-mode decision: gathers the
// machine facts, loads the package and applies the switches of
// `command_line` over its defaults. RunMode::kDamaged when the package
// cannot be read (the switches still say whether anyone may be told);
// nullopt when the system folder is unknown, and the process then ends.
std::optional<StartUpResult> StartUp(Platform& p, std::string_view command_line,
                                     bool vista_or_later);

// Whether this package's screensaver is in the system folder.
bool InstalledCopyExists(Platform& p, const PackageInfo& package, const MachineFacts& facts);

}  // namespace lumiset
