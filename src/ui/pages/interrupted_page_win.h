#pragma once

#include "setup/setup_state.h"
#include "ui/wizard_page_win.h"

namespace lumiset {

// The final page of an installation the user stopped: Back ends with Back,
// Finish with Next, Escape and the close box with Cancel.
class InterruptedPage : public WizardPage {
 public:
  InterruptedPage(HINSTANCE instance, SetupState& state, HWND parent = nullptr);

 protected:
  bool OnCommand(int id, int code, HWND control) override;
};

}  // namespace lumiset
