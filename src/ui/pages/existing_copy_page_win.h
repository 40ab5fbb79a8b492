#pragma once

#include "ui/page_look.h"
#include "wizard/page_results.h"
#include "ui/wizard_page_win.h"

namespace lumiset {

// The page that reports an installed copy of the screensaver: Next
// installs over it, "Uninstall the Screensaver..." uninstalls it, and
// Cancel, Escape and the close box end, without confirmation.
class ExistingCopyPage : public WizardPage {
 public:
  // The code the uninstall button ends the dialog with; Next and Cancel end
  // it with their page results.
  static constexpr INT_PTR kUninstallChosen = 100;

  ExistingCopyPage(HINSTANCE instance, const PageLook& look, HWND parent = nullptr);

  // Shows the page modally and says what the user chose.
  ExistingCopyChoice Choose();

 protected:
  bool DoDataExchange(DataExchange direction) override;
  bool OnCommand(int id, int code, HWND control) override;
};

}  // namespace lumiset
