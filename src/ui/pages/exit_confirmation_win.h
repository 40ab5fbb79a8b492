#pragma once

#include "setup/setup_state.h"
#include "ui/wizard_page_win.h"

namespace lumiset {

// The "Exit Setup" confirmation: Resume ends with Next, Exit Setup (also
// Escape and the close box) with Cancel.
class ExitConfirmation : public WizardPage {
 public:
  ExitConfirmation(HINSTANCE instance, SetupState& state, HWND parent = nullptr);
};

// Asks whether to leave Setup, modal to `owner`. True unless the user chose
// Resume: a confirmation that cannot be shown lets the user leave.
bool ConfirmExitSetup(HINSTANCE instance, SetupState& state, HWND owner);

}  // namespace lumiset
