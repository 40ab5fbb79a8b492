#pragma once

#include "setup/setup_state.h"
#include "ui/wizard_page_win.h"

namespace lumiset {

// The final page of a failed installation; it opens with the system's
// error sound. Back ends with Back, Finish with Next, Escape and the close
// box with Cancel.
class ErrorPage : public WizardPage {
 public:
  ErrorPage(HINSTANCE instance, SetupState& state, HWND parent = nullptr);

 protected:
  bool OnInitDialog() override;
  bool OnCommand(int id, int code, HWND control) override;
};

}  // namespace lumiset
