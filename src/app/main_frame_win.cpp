#include "app/main_frame_win.h"

#include "resource.h"

namespace lumiset {
namespace {

constexpr char kFrameClass[] = "LumisetFrame";
constexpr int kOffScreen = -1000;

}  // namespace

bool CMainFrame::Create(HINSTANCE instance, StartHandler on_start, AboutHandler on_about) {
  on_start_ = on_start;
  on_about_ = on_about;
  HICON icon = LoadIconA(instance, MAKEINTRESOURCEA(IDR_MAINFRAME));
  WNDCLASSEXA wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = WindowProc;
  wc.hInstance = instance;
  wc.hIcon = icon;
  wc.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));  // IDC_ARROW
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  wc.lpszClassName = kFrameClass;
  if (!RegisterClassExA(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return false;

  char title[64] = "Installation";
  LoadStringA(instance, IDR_MAINFRAME, title, sizeof title);
  HMENU menu = LoadMenuA(instance, MAKEINTRESOURCEA(IDR_MAINFRAME));
  hwnd_ = CreateWindowExA(0, kFrameClass, title, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                          CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, menu, instance,
                          this);
  if (!hwnd_) return false;
  SendMessageA(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
  SendMessageA(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
  MoveWindow(hwnd_, kOffScreen, kOffScreen, 0, 0, FALSE);
  ShowWindow(hwnd_, SW_SHOW);
  UpdateWindow(hwnd_);
  return true;
}

void CMainFrame::PostStart() const {
  PostMessageA(hwnd_, WM_COMMAND, MAKEWPARAM(ID_START_INSTALLATION, 0), 0);
}

void CMainFrame::PostClose() const { PostMessageA(hwnd_, WM_CLOSE, 0, 0); }

LRESULT CALLBACK CMainFrame::WindowProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  // No exception may unwind into the system's dispatcher.
  try {
    if (message == WM_NCCREATE) {
      auto* create = reinterpret_cast<CREATESTRUCTA*>(lparam);
      SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<CMainFrame*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    switch (message) {
      case WM_COMMAND:
        if (LOWORD(wparam) == ID_START_INSTALLATION && self && self->on_start_) {
          self->on_start_(hwnd);
          return 0;
        }
        if (LOWORD(wparam) == ID_APP_ABOUT && self && self->on_about_) {
          self->on_about_();
          return 0;
        }
        if (LOWORD(wparam) == ID_APP_EXIT) {
          PostMessageA(hwnd, WM_CLOSE, 0, 0);
          return 0;
        }
        break;
      case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
      default:
        break;
    }
  } catch (...) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcA(hwnd, message, wparam, lparam);
}

}  // namespace lumiset
