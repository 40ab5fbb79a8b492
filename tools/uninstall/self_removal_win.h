#pragma once

#include <string>

#include "setup/machine_facts.h"
#include "uninstall_run.h"

namespace lumiset {

// After a successful uninstallation: copies this program where no other
// user can change it (a held private file, StagePrivateProgram) and starts
// the copy with the cleanup switch. The copy removes this program, its
// settings file and their emptied folders once this process has ended, and
// goes itself when it ends, through the delete-on-close hold it inherits.
// What cannot be arranged that way is marked for deletion at the next
// restart. Returns at once, so the caller's exit code reaches whoever
// started the uninstaller.
void HandOverSelfRemoval(const MachineFacts& facts, const std::string& program_path);

// The copy's work: waits for the uninstaller to end, then removes it as
// RemoveUninstallerFiles does, retrying for a few seconds while the system
// still holds the ended program's file; what stays is marked for deletion
// at the next restart.
void FinishSelfRemoval(const MachineFacts& facts, const CleanupRequest& request);

}  // namespace lumiset
