#include "ui/pages/information_page_win.h"

#include "resource.h"
#include "ui/pages/exit_confirmation_win.h"

namespace lumiset {

InformationPage::InformationPage(HINSTANCE instance, const PageLook& look, HWND parent)
    : CTextPage(instance, IDD_INFORMATION, look, parent, {}) {}

void InformationPage::OnCancel() {
  if (ConfirmExitSetup(instance(), look(), hwnd_)) EndDialog(IDCANCEL);
}

}  // namespace lumiset
