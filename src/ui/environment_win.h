#pragma once

#include "base/platform.h"
#include "setup/setup_state.h"

namespace lumiset {

// Settles what the user interface takes from the machine before any window
// exists: the placement rectangle, the Windows version class, the work
// folder (chosen, created, cleaned of earlier runs' files) and the screen's
// vertical density. The application's fonts (ApplicationFonts) are made at
// the first page that draws text, so that a run without pages never asks
// the shell where the fonts are.
void InitUserInterfaceEnvironment(Platform& p, SetupState& state);

}  // namespace lumiset
