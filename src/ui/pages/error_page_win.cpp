#include "ui/pages/error_page_win.h"

#include "resource.h"
#include "setup/startup.h"

namespace lumiset {

ErrorPage::ErrorPage(HINSTANCE instance, const PageLook& look, bool damaged, HWND parent)
    : WizardPage(instance, IDD_INSTALL_ERROR, look, parent), damaged_(damaged) {
  SetPicture(IDB_ERROR);
}

bool ErrorPage::DoDataExchange(DataExchange direction) {
  WizardPage::DoDataExchange(direction);
  if (direction == DataExchange::kLoad && damaged_) {
    SetWindowTextW(Item(IDC_DETAIL), LocalizedString(kDamagedInstallerString).c_str());
    ShowItems(IDC_ERRORS_HINT, false);
    ShowItem(IDC_ERRORS_HEADING, false);
    ShowItem(IDC_FOOTER, false);
    ShowItem(IDC_BACK, false);
  }
  return true;
}

bool ErrorPage::OnInitDialog() {
  WizardPage::OnInitDialog();
  MessageBeep(MB_ICONHAND);
  SetFocus(Item(IDOK));
  return false;
}

bool ErrorPage::OnCommand(int id, int code, HWND control) {
  if (id == IDC_BACK && code == BN_CLICKED && !damaged_) {
    EndDialog(IDC_BACK);
    return true;
  }
  return WizardPage::OnCommand(id, code, control);
}

}  // namespace lumiset
