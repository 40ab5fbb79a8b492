#pragma once

#include "base/platform.h"
#include "setup/setup_state.h"

namespace lumiset {

// Settles what the user interface takes from the machine before any window
// exists: the placement rectangle, the Windows version class, the work
// folder (chosen, created, cleaned of earlier runs' files), the screen's
// vertical density, and the application's fonts (ApplicationFonts), in
// Tahoma when the system has it.
void InitUserInterfaceEnvironment(Platform& p, SetupState& state);

}  // namespace lumiset
