#include "ui/pages/static_edit_win.h"

#include "ui/dialog_win.h"

namespace lumiset {

void CStaticEdit::Attach(HWND edit) {
  if (!edit || edit == hwnd_) return;
  hwnd_ = edit;
  // Edit controls leave GWLP_USERDATA to their owner.
  SetWindowLongPtrW(edit, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  original_ = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(WindowProc)));
}

void CStaticEdit::SetText(const std::string& utf8_text) const {
  std::string text;
  text.reserve(utf8_text.size());
  for (size_t i = 0; i < utf8_text.size(); ++i) {
    if (utf8_text[i] == '\n' && (i == 0 || utf8_text[i - 1] != '\r')) text += '\r';
    text += utf8_text[i];
  }
  SetWindowTextW(hwnd_, Utf8ToWide(text).c_str());
}

void CStaticEdit::ScrollToStart() const {
  SendMessageW(hwnd_, EM_SETSEL, 0, 0);
  SendMessageW(hwnd_, EM_SCROLLCARET, 0, 0);
}

bool CStaticEdit::Swallows(UINT message, WPARAM wparam) {
  switch (message) {
    case WM_CHAR:
    case WM_RBUTTONDOWN:
    case WM_CONTEXTMENU:
    case WM_PASTE:
    case WM_CUT:
    case WM_CLEAR:
    case WM_UNDO:
      return true;
    case WM_KEYDOWN:
    case WM_KEYUP:
      return wparam == VK_DELETE || wparam == VK_INSERT || wparam == 'C' || wparam == 'V' ||
             wparam == 'X';
    default:
      return false;
  }
}

LRESULT CALLBACK CStaticEdit::WindowProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  auto* self = reinterpret_cast<CStaticEdit*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (!self || !self->original_) return DefWindowProcW(hwnd, message, wparam, lparam);
  const WNDPROC original = self->original_;
  if (Swallows(message, wparam)) return 0;
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original));
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    self->hwnd_ = nullptr;
    self->original_ = nullptr;
  }
  return CallWindowProcW(original, hwnd, message, wparam, lparam);
}

}  // namespace lumiset
