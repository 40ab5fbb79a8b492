#pragma once

#include <cstdint>
#include <string>

#include "base/platform.h"
#include "install/prompter.h"
#include "setup/machine_facts.h"
#include "setup/package_info.h"

namespace lumiset {

// The messages of an uninstallation, localized at + 100 * (language - 1).
inline constexpr int kUninstallFailedString = 8002;
inline constexpr int kUninstallDoneString = 8003;

// Which installation to remove: the names it was made from.
struct UninstallTarget {
  std::string company;
  std::string title;
  // The screensaver's file name without ".scr"; empty when it is not known
  // from a source only administrators can write (no screensaver file is
  // then deleted).
  std::string scr_file_name;
  int32_t language = 1;
  // The default uninstaller removes its own files once it has ended.
  bool uninstaller_removes_itself = false;
};

UninstallTarget TargetOfPackage(const PackageInfo& package);

// Removes the copy an installation of the target made, deleting only what
// such an installation can have written (InstallFootprint), whatever the
// installed-files records (the user's and the machine's) say: every record
// entry outside it is refused, logged with the reason and dropped from the
// record. In order: the screensaver file (its read-only attribute cleared)
// and, only once it is gone, the screensaver setting, which goes back to
// the one the installation replaced when that still exists, else off; then
// the recorded files and the installation's links and uninstaller files
// that exist, with the folders they leave empty; then the records and the
// installed-programs entry, and a company key left empty. A screensaver file
// that cannot be deleted changes nothing else: the failure is told (beep and
// message) and false returned. Success is told when the run shows pages.
bool Uninstall(const UninstallTarget& target, const MachineFacts& facts, Platform& p,
               Prompter& prompter);

}  // namespace lumiset
