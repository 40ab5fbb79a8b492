#include "ui/pages/exit_confirmation_win.h"

#include "resource.h"

namespace lumiset {

ExitConfirmation::ExitConfirmation(HINSTANCE instance, const PageLook& look, HWND parent)
    : WizardPage(instance, IDD_EXIT_SETUP, look, parent) {
  SetPicture(IDB_QUESTION);
}

bool ConfirmExitSetup(HINSTANCE instance, const PageLook& look, HWND owner) {
  ExitConfirmation quit(instance, look, owner);
  return quit.DoModal() != IDOK;
}

}  // namespace lumiset
