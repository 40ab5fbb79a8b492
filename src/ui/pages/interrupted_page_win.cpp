#include "ui/pages/interrupted_page_win.h"

#include "resource.h"

namespace lumiset {

CDialInstallInterrupted::CDialInstallInterrupted(HINSTANCE instance, SetupState& state,
                                                 HWND parent)
    : CTvDialog(instance, IDD_INSTALL_INTERRUPTED, state, parent) {}

bool CDialInstallInterrupted::OnCommand(int id, int code, HWND control) {
  if (id == IDC_BACK && code == BN_CLICKED) {
    EndDialog(IDC_BACK);
    return true;
  }
  return CTvDialog::OnCommand(id, code, control);
}

}  // namespace lumiset
