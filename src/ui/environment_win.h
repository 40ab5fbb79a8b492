#pragma once

#include "base/platform.h"
#include "setup/setup_state.h"

namespace lumiset {

// Settles what the run takes from the machine before any window exists: the
// Windows version class and the work folder (chosen, created, cleaned of
// earlier runs' files). The application's fonts (ApplicationFonts) are made
// at the first page that draws text, so that a run without pages never asks
// the shell where the fonts are.
void InitUserInterfaceEnvironment(Platform& p, SetupState& state);

// Settles what the pages take from the display: the placement rectangle and
// the screen's vertical density. Asking the display loads its driver, so a
// run calls this only before its first window; later calls change nothing.
// User-interface thread only.
void SettleDisplayFacts(SetupState& state);

}  // namespace lumiset
