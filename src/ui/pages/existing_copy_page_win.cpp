#include "ui/pages/existing_copy_page_win.h"

#include "resource.h"

namespace lumiset {

ExistingCopyPage::ExistingCopyPage(HINSTANCE instance, const PageLook& look, HWND parent)
    : WizardPage(instance, IDD_EXISTING_COPY, look, parent) {}

bool ExistingCopyPage::DoDataExchange(DataExchange direction) {
  WizardPage::DoDataExchange(direction);
  if (direction == DataExchange::kLoad) SetApplicationIcon();
  return true;
}

ExistingCopyChoice ExistingCopyPage::Choose() {
  const INT_PTR code = DoModal();
  if (code == kUninstallChosen) return ExistingCopyChoice::kUninstall;
  return ToPageResult(code) == PageResult::Next ? ExistingCopyChoice::kInstall
                                                : ExistingCopyChoice::kCancel;
}

bool ExistingCopyPage::OnCommand(int id, int code, HWND control) {
  if (id == IDC_UNINSTALL && code == BN_CLICKED) {
    EndDialog(kUninstallChosen);
    return true;
  }
  return WizardPage::OnCommand(id, code, control);
}

}  // namespace lumiset
