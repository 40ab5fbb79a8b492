#pragma once

#include "base/platform.h"
#include "setup/setup_state.h"
#include "ui/progress_page_win.h"
#include "wizard/page_results.h"

namespace lumiset {

// The installation with the progress page hidden (ShowScreens off), without
// the page: the worker runs on a thread of its own while the calling
// (user-interface) thread waits for it and puts its copy-error prompts to the
// user, as the hidden page would. No window exists unless a prompt is shown,
// so such a run loads neither the common controls nor the display's
// resources for a page nobody sees. Sets InstallSucceeded when the worker
// completed; the outcome is Completed or Failed (a hidden run offers no stop).
InstallOutcome RunHiddenProgress(HINSTANCE instance, Platform& p, SetupState& state,
                                 InstallWorkerEntry worker = InstallWorker);

}  // namespace lumiset
