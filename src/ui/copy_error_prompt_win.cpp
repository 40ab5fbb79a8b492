#include "ui/copy_error_prompt_win.h"

#include "resource.h"
#include "win32/text_win.h"

namespace lumiset {

CopyErrorPrompt::CopyErrorPrompt(HINSTANCE instance, const PageLook& look, std::string reason,
                                 HWND parent)
    : WizardPage(instance, IDD_COPY_ERROR, look, parent), reason_(std::move(reason)) {
  SetPicture(IDB_ERROR);
}

bool CopyErrorPrompt::DoDataExchange(DataExchange direction) {
  WizardPage::DoDataExchange(direction);
  if (direction == DataExchange::kLoad) {
    // Line feeds as the static control breaks lines.
    std::wstring text;
    for (wchar_t c : Utf8ToWide(reason_)) {
      if (c == L'\n') text += L'\r';
      text += c;
    }
    SetWindowTextW(Item(IDC_ERROR_REASON), text.c_str());
  }
  return true;
}

}  // namespace lumiset
