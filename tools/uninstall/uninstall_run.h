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

namespace lumiset {

// The settings file the installation writes beside the uninstaller, and
// its section and keys.
inline constexpr char kUninstallSettingsName[] = "Uninstall.ini";
inline constexpr char kUninstallSection[] = "uninstall";
inline constexpr char kCompanyKey[] = "company";
inline constexpr char kTitleKey[] = "scrtitle";

// The uninstaller's own messages, at base + 100 * (language - 1) as the
// stub's are: the confirmation, whose "{title}" is replaced by the
// screensaver's title, and the report of missing settings.
inline constexpr int kConfirmRemovalString = 8010;
inline constexpr int kSettingsMissingString = 8011;
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
  kFailed,    // settings missing, or the screensaver could not be deleted: exit code 1
};
int ExitCodeOf(UninstallOutcome outcome);

// Asks whether to remove the screensaver titled `title`, in `language`
// (1 to 8); true for yes.
using ConfirmRemoval = std::function<bool(const std::string& title, int32_t language)>;

// Reads Uninstall.ini beside `program_path` for the company and the title,
// and the installed-files record they name for the screensaver file and the
// language; asks `confirm` unless `quiet`; then uninstalls with the stub's
// RunUninstall, which reports the result in that language. Under `quiet`
// nothing is shown, not even a failure. Settings that are missing or empty
// fail with a message in the user's language.
UninstallOutcome RunDefaultUninstaller(Platform& p, const std::string& program_path, bool quiet,
                                       const ConfirmRemoval& confirm);

// Whether a program at this path removes itself after a successful run:
// only an uninstaller an installation wrote, named Uninstall.exe, never a
// copy of the program elsewhere.
bool RemovesItself(const std::string& program_path);

// Deletes the uninstaller (after it has ended) and its settings file, then
// each folder above them that is left empty, never a shell folder. True
// when the uninstaller is gone.
bool RemoveUninstallerFiles(Platform& p, const std::string& uninstaller_path);

}  // namespace lumiset
