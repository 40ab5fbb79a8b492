#pragma once

#include "base/platform.h"
#include "install/worker_link.h"
#include "setup/setup_state.h"

namespace lumiset {

// The installation proper, run on the worker thread: copies the screensaver
// block out of the installer into a work file, decodes it into
// InstalledScrPath, runs the companion program, and activates the
// screensaver when SetAsDefault is on. Reports progress (3, 50, 65, 80, 98),
// asks for the copy-error prompt through the link, honours the stop flag at
// its checkpoints, and ends by finishing the link. Reads `state` only,
// except that it releases CompanionProgram's bytes.
void InstallWorker(WorkerLink& link, Platform& p, SetupState& state);

}  // namespace lumiset
