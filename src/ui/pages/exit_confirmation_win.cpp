#include "ui/pages/exit_confirmation_win.h"

#include "resource.h"

namespace lumiset {

ExitConfirmation::ExitConfirmation(HINSTANCE instance, SetupState& state, HWND parent)
    : WizardPage(instance, IDD_EXIT_SETUP, state, parent) {
  SetPicture(IDB_QUESTION);
}

bool ConfirmExitSetup(HINSTANCE instance, SetupState& state, HWND owner) {
  ExitConfirmation quit(instance, state, owner);
  return quit.DoModal() != IDOK;
}

}  // namespace lumiset
