#pragma once

#include "ui/page_look.h"
#include "ui/wizard_page_win.h"

namespace lumiset {

// The "Exit Setup" confirmation: Resume ends with Next, Exit Setup (also
// Escape and the close box) with Cancel.
class ExitConfirmation : public WizardPage {
 public:
  ExitConfirmation(HINSTANCE instance, const PageLook& look, HWND parent = nullptr);
};

// Asks whether to leave Setup, modal to `owner`. True unless the user chose
// Resume: a confirmation that cannot be shown lets the user leave.
bool ConfirmExitSetup(HINSTANCE instance, const PageLook& look, HWND owner);

}  // namespace lumiset
