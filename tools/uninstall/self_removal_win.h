#pragma once

#include <string>

#include "uninstall_run.h"

namespace lumiset {

// After a successful uninstallation: copies this program into the
// temporary folder and starts the copy with the cleanup switch. The copy
// removes this program, its settings file and their emptied folders once
// this process has ended, and is deleted itself when it ends, through a
// delete-on-close handle it inherits. What cannot be arranged that way is
// marked for deletion at the next restart. Returns at once, so the caller's
// exit code reaches whoever started the uninstaller.
void HandOverSelfRemoval(const std::string& program_path);

// The copy's work: waits for the uninstaller to end, then removes it as
// RemoveUninstallerFiles does, retrying for a few seconds while the system
// still holds the ended program's file; what stays is marked for deletion
// at the next restart.
void FinishSelfRemoval(const CleanupRequest& request);

}  // namespace lumiset
