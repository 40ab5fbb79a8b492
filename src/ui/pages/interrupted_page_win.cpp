#include "ui/pages/interrupted_page_win.h"

#include "resource.h"

namespace lumiset {

InterruptedPage::InterruptedPage(HINSTANCE instance, const PageLook& look, bool earlier_copy,
                                 HWND parent)
    : WizardPage(instance, IDD_INSTALL_INTERRUPTED, look, parent), earlier_copy_(earlier_copy) {}

bool InterruptedPage::DoDataExchange(DataExchange direction) {
  WizardPage::DoDataExchange(direction);
  if (direction == DataExchange::kLoad && earlier_copy_) {
    const std::wstring text = LocalizedString(kEarlierCopyKeptString);
    if (!text.empty()) SetWindowTextW(Item(IDC_DETAIL), text.c_str());
  }
  return true;
}

bool InterruptedPage::OnCommand(int id, int code, HWND control) {
  if (id == IDC_BACK && code == BN_CLICKED) {
    EndDialog(IDC_BACK);
    return true;
  }
  return WizardPage::OnCommand(id, code, control);
}

}  // namespace lumiset
