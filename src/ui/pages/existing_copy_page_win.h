#pragma once

#include "setup/setup_state.h"
#include "ui/wizard_page_win.h"

namespace lumiset {

// The page that reports an installed copy of the screensaver. Next ends
// with Next (install over it), "Uninstall the Screensaver..." with Back,
// and Cancel, Escape and the close box with Cancel, without confirmation.
class ExistingCopyPage : public WizardPage {
 public:
  ExistingCopyPage(HINSTANCE instance, SetupState& state, HWND parent = nullptr);

 protected:
  bool DoDataExchange(DataExchange direction) override;
  bool OnCommand(int id, int code, HWND control) override;
};

}  // namespace lumiset
