#pragma once

#include <string>
#include <string_view>

#include "setup/machine_facts.h"
#include "setup/package_info.h"
#include "setup/run_options.h"

namespace lumiset {

enum class RunMode {
  kHelp,          // show the command-line help, then close
  kClose,         // nothing to do: close at once
  kInstall,       // start the wizard (or the quiet installation)
  kUninstall,     // uninstall the copy found, without asking
  kAskExisting,   // a copy is installed: ask whether to uninstall it
  kDamaged,       // the package cannot be read: say so unless quiet, exit 2
};

// Takes the /log=PATH switch out of the arguments (so that its path is never
// read as other switches) and returns PATH: the rest of that argument, or
// the text up to the closing quote when the path or the whole switch is
// quoted. The switch name's letter case is ignored. Empty when there is no
// such switch or its path is empty.
std::string TakeLogSwitch(std::string& arguments);

// The text after the program's own path in a Windows command line, with the
// separating blanks removed.
std::string ArgumentsOf(std::string_view command_line);

// The run options from the package's defaults and the switches found
// anywhere in the (already lower-cased) arguments, in a fixed order so that
// later tests override earlier ones: /q /u /d /d- /p /p- /m /m- /s /s- /f
// /f- /x /w /n /allusers, then /? or /h. A run as the system account is for
// all users. The log path is left to the caller.
RunOptions ParseRunOptions(std::string_view lowered_arguments, const PackageDefaults& defaults,
                           const MachineFacts& facts);

// The run mode once the package and the switches are in. `copy_exists`:
// the screensaver file of this package is in the system folder.
RunMode DecideRunMode(const RunOptions& options, const PackageDefaults& defaults,
                      bool copy_exists);

}  // namespace lumiset
