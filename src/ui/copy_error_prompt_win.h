#pragma once

#include "setup/setup_state.h"
#include "ui/wizard_page_win.h"

namespace lumiset {

// The question put to the user, on the installation worker's behalf, when
// a read or a write failed: Retry ends with Next (the worker repeats the
// failed operation), Abort Setup, Escape and the close box with Cancel.
class CopyErrorPrompt : public WizardPage {
 public:
  CopyErrorPrompt(HINSTANCE instance, SetupState& state, HWND parent = nullptr);
};

}  // namespace lumiset
