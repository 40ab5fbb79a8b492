#include "ui/pages/dial_license_win.h"

#include "../resources/resource.h"

namespace lumiset {

CDialLicense::CDialLicense(HINSTANCE instance, SetupState& state, HWND parent)
    : CTvDialog(instance, IDD_LICENCE, state, parent), text_(state.LicenceText) {}

bool CDialLicense::DoDataExchange(DataExchange direction) {
  CTvDialog::DoDataExchange(direction);
  if (direction == DataExchange::kSave) return true;
  text_control_.Attach(Item(IDC_PAGE_TEXT));
  text_control_.SetText(text_);
  SetApplicationIcon();
  text_control_.ScrollToStart();
  return true;
}

bool CDialLicense::OnInitDialog() {
  CTvDialog::OnInitDialog();
  // The text takes the focus so the keys scroll it; the dialog manager
  // would select it all.
  SetFocus(text_control_.hwnd());
  text_control_.ScrollToStart();
  return false;
}

bool CDialLicense::OnCommand(int id, int code, HWND control) {
  if (id == IDC_BACK && code == BN_CLICKED) {
    EndDialog(IDC_BACK);
    return true;
  }
  return CTvDialog::OnCommand(id, code, control);
}

}  // namespace lumiset
