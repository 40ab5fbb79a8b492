#include "ui/dialog_win.h"

#include <cwchar>

#include "ui/dialog_templates_win.h"

namespace lumiset {
namespace {

// The class name of every dialog window.
constexpr wchar_t kDialogClass[] = L"#32770";

struct MainWindowSearch {
  HWND found = nullptr;
};

// The thread's main window is its first shown, unowned top-level window
// that is not itself a dialog: the application's frame.
BOOL CALLBACK FindMainWindow(HWND hwnd, LPARAM data) {
  auto* search = reinterpret_cast<MainWindowSearch*>(data);
  if (!IsWindowVisible(hwnd) || GetWindow(hwnd, GW_OWNER) != nullptr) return TRUE;
  if (GetWindowLongPtrW(hwnd, GWL_STYLE) & WS_CHILD) return TRUE;
  wchar_t class_name[16] = {};
  GetClassNameW(hwnd, class_name, 16);
  if (std::wcscmp(class_name, kDialogClass) == 0) return TRUE;
  search->found = hwnd;
  return FALSE;
}

// The owner of a dialog created without a parent: the main window's most
// recently active popup, so a page opened over another page is modal to
// it, and the pages share the main window's taskbar entry.
HWND DefaultOwner() {
  MainWindowSearch search;
  EnumThreadWindows(GetCurrentThreadId(), FindMainWindow, reinterpret_cast<LPARAM>(&search));
  return search.found ? GetLastActivePopup(search.found) : nullptr;
}

}  // namespace

std::wstring WindowText(HWND hwnd) {
  const int length = GetWindowTextLengthW(hwnd);
  if (length <= 0) return {};
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  const int read = GetWindowTextW(hwnd, text.data(), length + 1);
  text.resize(read > 0 ? static_cast<size_t>(read) : 0);
  return text;
}

CDialog::CDialog(HINSTANCE instance, int template_id, HWND parent)
    : instance_(instance), template_id_(template_id), parent_(parent) {}

INT_PTR CDialog::DoModal() {
  HWND owner = parent_ ? parent_ : DefaultOwner();
  ended_ = false;
  const DLGTEMPLATE* dialog_template = DialogTemplate(instance_, template_id_);
  if (!dialog_template) return kDialogFailed;
  const INT_PTR result = DialogBoxIndirectParamW(instance_, dialog_template, owner, DialogProc,
                                                 reinterpret_cast<LPARAM>(this));
  // A loop ended by WM_QUIT reports IDOK under some systems; nobody chose it.
  return ended_ ? result : kDialogFailed;
}

void CDialog::EndDialog(INT_PTR result) {
  ended_ = true;
  ::EndDialog(hwnd_, result);
}

bool CDialog::UpdateData(DataExchange direction) { return DoDataExchange(direction); }

INT_PTR CDialog::OnMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_INITDIALOG:
      return OnInitDialog() ? TRUE : FALSE;
    case WM_COMMAND:
      return OnCommand(LOWORD(wparam), HIWORD(wparam), reinterpret_cast<HWND>(lparam)) ? TRUE
                                                                                      : FALSE;
    case WM_TIMER:
      OnTimer(wparam);
      return TRUE;
    case WM_DESTROY:
      OnDestroy();
      return FALSE;
    default:
      return FALSE;
  }
}

bool CDialog::OnInitDialog() {
  UpdateData(DataExchange::kLoad);
  return true;
}

bool CDialog::DoDataExchange(DataExchange) { return true; }

bool CDialog::OnCommand(int id, int code, HWND) {
  if (code != BN_CLICKED) return false;
  if (id == IDOK) {
    OnOK();
    return true;
  }
  if (id == IDCANCEL) {
    OnCancel();
    return true;
  }
  return false;
}

void CDialog::OnTimer(UINT_PTR) {}

void CDialog::OnOK() {
  if (UpdateData(DataExchange::kSave)) EndDialog(IDOK);
}

void CDialog::OnCancel() { EndDialog(IDCANCEL); }

INT_PTR CALLBACK CDialog::DialogProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  CDialog* self = nullptr;
  if (message == WM_INITDIALOG) {
    self = reinterpret_cast<CDialog*>(lparam);
    SetWindowLongPtrW(hwnd, DWLP_USER, lparam);
    self->hwnd_ = hwnd;
  } else {
    // Messages before WM_INITDIALOG (WM_SETFONT) find no object yet.
    self = reinterpret_cast<CDialog*>(GetWindowLongPtrW(hwnd, DWLP_USER));
  }
  if (!self) return FALSE;
  try {
    const INT_PTR result = self->OnMessage(message, wparam, lparam);
    if (message == WM_NCDESTROY) {
      SetWindowLongPtrW(hwnd, DWLP_USER, 0);
      self->hwnd_ = nullptr;
    }
    return result;
  } catch (...) {
    // No exception may unwind into the dialog manager.
    ::EndDialog(hwnd, kDialogFailed);
    return FALSE;
  }
}

}  // namespace lumiset
