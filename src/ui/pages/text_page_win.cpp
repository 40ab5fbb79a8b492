#include "ui/pages/text_page_win.h"

#include "resource.h"

namespace lumiset {

CTextPage::CTextPage(HINSTANCE instance, int template_id, const PageLook& look, HWND parent,
                     std::string text)
    : WizardPage(instance, template_id, look, parent), text_(std::move(text)) {}

bool CTextPage::DoDataExchange(DataExchange direction) {
  WizardPage::DoDataExchange(direction);
  if (direction == DataExchange::kSave) return true;
  text_control_.Attach(Item(IDC_PAGE_TEXT));
  text_control_.SetText(text_);
  SetApplicationIcon();
  text_control_.ScrollToStart();
  return true;
}

bool CTextPage::OnInitDialog() {
  WizardPage::OnInitDialog();
  // The text takes the focus so the keys scroll it; the dialog manager
  // would select it all.
  SetFocus(text_control_.hwnd());
  text_control_.ScrollToStart();
  return false;
}

bool CTextPage::OnCommand(int id, int code, HWND control) {
  if (id == IDC_BACK && code == BN_CLICKED) {
    EndDialog(IDC_BACK);
    return true;
  }
  return WizardPage::OnCommand(id, code, control);
}

}  // namespace lumiset
