#pragma once

#include "setup/setup_state.h"
#include "ui/wizard_page_win.h"

namespace lumiset {

// The final page of a completed installation: Finish ends with Next,
// Escape and the close box with Cancel.
class CompletedPage : public WizardPage {
 public:
  CompletedPage(HINSTANCE instance, SetupState& state, HWND parent = nullptr);
};

}  // namespace lumiset
