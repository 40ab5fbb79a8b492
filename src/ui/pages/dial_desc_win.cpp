#include "ui/pages/dial_desc_win.h"

#include "../resources/resource.h"
#include "ui/pages/dial_quit_win.h"

namespace lumiset {

CDialDesc::CDialDesc(HINSTANCE instance, SetupState& state, HWND parent)
    : CTvDialog(instance, IDD_INFORMATION, state, parent) {}

bool CDialDesc::DoDataExchange(DataExchange direction) {
  CTvDialog::DoDataExchange(direction);
  if (direction == DataExchange::kSave) return true;
  text_control_.Attach(Item(IDC_PAGE_TEXT));
  text_control_.SetText(text_);
  SetApplicationIcon();
  text_control_.ScrollToStart();
  return true;
}

bool CDialDesc::OnInitDialog() {
  CTvDialog::OnInitDialog();
  // The text takes the focus so the keys scroll it; the dialog manager
  // would select it all.
  SetFocus(text_control_.hwnd());
  text_control_.ScrollToStart();
  return false;
}

bool CDialDesc::OnCommand(int id, int code, HWND control) {
  if (id == IDC_BACK && code == BN_CLICKED) {
    EndDialog(IDC_BACK);
    return true;
  }
  return CTvDialog::OnCommand(id, code, control);
}

void CDialDesc::OnCancel() {
  if (ConfirmExitSetup(instance(), state(), hwnd_)) EndDialog(IDCANCEL);
}

}  // namespace lumiset
