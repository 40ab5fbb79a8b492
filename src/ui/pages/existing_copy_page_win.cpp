#include "ui/pages/existing_copy_page_win.h"

#include "resource.h"

namespace lumiset {

ExistingCopyPage::ExistingCopyPage(HINSTANCE instance, SetupState& state, HWND parent)
    : WizardPage(instance, IDD_EXISTING_COPY, state, parent) {}

bool ExistingCopyPage::DoDataExchange(DataExchange direction) {
  WizardPage::DoDataExchange(direction);
  if (direction == DataExchange::kLoad) SetApplicationIcon();
  return true;
}

bool ExistingCopyPage::OnCommand(int id, int code, HWND control) {
  if (id == IDC_UNINSTALL && code == BN_CLICKED) {
    EndDialog(static_cast<INT_PTR>(PageResult::Back));
    return true;
  }
  return WizardPage::OnCommand(id, code, control);
}

}  // namespace lumiset
