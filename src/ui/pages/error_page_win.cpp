#include "ui/pages/error_page_win.h"

#include "resource.h"

namespace lumiset {

ErrorPage::ErrorPage(HINSTANCE instance, SetupState& state, HWND parent)
    : WizardPage(instance, IDD_INSTALL_ERROR, state, parent) {
  SetPicture(IDB_ERROR);
}

bool ErrorPage::OnInitDialog() {
  WizardPage::OnInitDialog();
  MessageBeep(MB_ICONHAND);
  SetFocus(Item(IDOK));
  return false;
}

bool ErrorPage::OnCommand(int id, int code, HWND control) {
  if (id == IDC_BACK && code == BN_CLICKED) {
    EndDialog(IDC_BACK);
    return true;
  }
  return WizardPage::OnCommand(id, code, control);
}

}  // namespace lumiset
