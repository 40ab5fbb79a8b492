#include "ui/pages/information_page_win.h"

#include "resource.h"
#include "ui/pages/exit_confirmation_win.h"

namespace lumiset {

InformationPage::InformationPage(HINSTANCE instance, SetupState& state, HWND parent)
    : CTextPage(instance, IDD_INFORMATION, state, parent, {}) {}

void InformationPage::OnCancel() {
  if (ConfirmExitSetup(instance(), state(), hwnd_)) EndDialog(IDCANCEL);
}

}  // namespace lumiset
