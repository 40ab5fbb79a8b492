#include "ui/pages/exit_confirmation_win.h"

#include "resource.h"

namespace lumiset {

CDialQuit::CDialQuit(HINSTANCE instance, SetupState& state, HWND parent)
    : CTvDialog(instance, IDD_EXIT_SETUP, state, parent) {
  SetPicture(IDB_QUESTION);
}

bool ConfirmExitSetup(HINSTANCE instance, SetupState& state, HWND owner) {
  CDialQuit quit(instance, state, owner);
  return quit.DoModal() != IDOK;
}

}  // namespace lumiset
