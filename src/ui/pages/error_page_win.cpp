#include "ui/pages/error_page_win.h"

#include "resource.h"

namespace lumiset {

CDialInstallError::CDialInstallError(HINSTANCE instance, SetupState& state, HWND parent)
    : CTvDialog(instance, IDD_INSTALL_ERROR, state, parent) {
  SetPicture(IDB_ERROR);
}

bool CDialInstallError::OnInitDialog() {
  CTvDialog::OnInitDialog();
  MessageBeep(MB_ICONHAND);
  SetFocus(Item(IDOK));
  return false;
}

bool CDialInstallError::OnCommand(int id, int code, HWND control) {
  if (id == IDC_BACK && code == BN_CLICKED) {
    EndDialog(IDC_BACK);
    return true;
  }
  return CTvDialog::OnCommand(id, code, control);
}

}  // namespace lumiset
