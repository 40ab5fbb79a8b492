#include "ui/pages/interrupted_page_win.h"

#include "resource.h"

namespace lumiset {

InterruptedPage::InterruptedPage(HINSTANCE instance, SetupState& state,
                                                 HWND parent)
    : WizardPage(instance, IDD_INSTALL_INTERRUPTED, state, parent) {}

bool InterruptedPage::OnCommand(int id, int code, HWND control) {
  if (id == IDC_BACK && code == BN_CLICKED) {
    EndDialog(IDC_BACK);
    return true;
  }
  return WizardPage::OnCommand(id, code, control);
}

}  // namespace lumiset
