#pragma once

// The default uninstaller's work, apart from Win32: what its command line
// asks, which installation its settings name, the confirmation, and the
// stub's own uninstallation over the platform interface.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "base/platform.h"
#include "install/prompter.h"
#include "install/uninstaller.h"
#include "setup/machine_facts.h"

namespace lumiset {

// The uninstaller's own messages, at base + 100 * (language - 1) as the
// stub's are: the confirmation, whose "{title}" is replaced by the
// screensaver's title, the report of missing settings, and the refusal to
// run from a folder that is not its installation's.
inline constexpr int kConfirmRemovalString = 8010;
inline constexpr int kSettingsMissingString = 8011;
inline constexpr int kWrongFolderString = 8012;
inline constexpr char kTitlePlaceholder[] = "{title}";

// The switch of the rerun from the temporary folder, which removes the
// uninstaller once it has ended.
inline constexpr char kCleanupSwitch[] = "/lumiset-remove-uninstaller";

// What the rerun needs: a handle, inherited from the uninstaller, to wait
// for its end, and the uninstaller's path.
struct CleanupRequest {
  uint64_t process_handle = 0;
  std::string uninstaller_path;
};

struct UninstallerArguments {
  bool quiet = false;              // "/q" anywhere, letter case ignored
  std::string log_path;            // "/log=PATH", as the installer takes it
  bool cleanup_switch = false;     // the rerun's switch opens the arguments
  std::optional<CleanupRequest> cleanup;  // set when the rest of them parse
};

// Reads a Windows command line (the program's own path first).
UninstallerArguments ParseUninstallerArguments(std::string_view command_line);
// The arguments of the rerun: the switch, the handle and the quoted path.
std::string CleanupArguments(const CleanupRequest& request);

enum class UninstallOutcome {
  kRemoved,   // the screensaver is uninstalled: exit code 0
  kDeclined,  // the user said no; nothing changed: exit code 1
  kFailed,    // nothing to remove by, or the screensaver could not be deleted: exit code 1
};
int ExitCodeOf(UninstallOutcome outcome);

// Asks whether to remove the screensaver titled `title`, in `language`
// (1 to 8); true for yes.
using ConfirmRemoval = std::function<bool(const std::string& title, int32_t language)>;

// The installation the settings file beside the uninstaller names, when
// the uninstaller sits where that installation wrote it: Program
// Files\<company>\<title>. Only administrators can write there, so the
// settings say what to remove; a copy of the uninstaller and its settings
// elsewhere (in a user's Downloads, say) removes nothing. Settings of older
// installations lack the screensaver's name: it is then taken from the
// installed-programs entry, which only administrators can write either.
// nullopt, with the reason in `why` (kSettingsMissing or kNotInItsFolder),
// when there is nothing to remove by.
std::optional<UninstallTarget> ReadUninstallerSettings(Platform& p, const MachineFacts& facts,
                                                       const std::string& program_path,
                                                       Notice* why);

// Reads the settings (ReadUninstallerSettings), asks `confirm` unless
// `quiet`, then uninstalls as the stub's /u does, reporting in the
// installation's language through `ui`; under `quiet` nothing is shown,
// not even a failure.
UninstallOutcome RunDefaultUninstaller(Platform& p, const MachineFacts& facts,
                                       const std::string& program_path, bool quiet,
                                       const ConfirmRemoval& confirm, PromptUi& ui);

// Whether a program at this path removes itself after a successful run:
// only an uninstaller named Uninstall.exe, never a copy of the program
// under another name.
bool RemovesItself(const std::string& program_path);

// Deletes the uninstaller (after it has ended) and its settings file, then
// the folders of its installation that are left empty, when its settings
// name the folder it sits in. True when the uninstaller is gone.
bool RemoveUninstallerFiles(Platform& p, const MachineFacts& facts,
                            const std::string& uninstaller_path);

}  // namespace lumiset
