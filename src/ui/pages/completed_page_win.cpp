#include "ui/pages/completed_page_win.h"

#include "resource.h"

namespace lumiset {

CompletedPage::CompletedPage(HINSTANCE instance, const PageLook& look, bool policy_decides,
                             HWND parent)
    : WizardPage(instance, IDD_INSTALL_DONE, look, parent), policy_decides_(policy_decides) {}

bool CompletedPage::DoDataExchange(DataExchange direction) {
  WizardPage::DoDataExchange(direction);
  if (direction == DataExchange::kLoad) ShowItem(IDC_POLICY_NOTE, policy_decides_);
  return true;
}

}  // namespace lumiset
