#include "ui/pages/existing_copy_page_win.h"

#include "resource.h"

namespace lumiset {

CDialUninstall::CDialUninstall(HINSTANCE instance, SetupState& state, HWND parent)
    : CTvDialog(instance, IDD_EXISTING_COPY, state, parent) {}

bool CDialUninstall::DoDataExchange(DataExchange direction) {
  CTvDialog::DoDataExchange(direction);
  if (direction == DataExchange::kLoad) SetApplicationIcon();
  return true;
}

bool CDialUninstall::OnCommand(int id, int code, HWND control) {
  if (id == IDC_UNINSTALL && code == BN_CLICKED) {
    EndDialog(static_cast<INT_PTR>(PageResult::Back));
    return true;
  }
  return CTvDialog::OnCommand(id, code, control);
}

}  // namespace lumiset
