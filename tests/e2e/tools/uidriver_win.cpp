// Drives the installer's dialogs for the end-to-end tests, by window caption
// and control id, never by screen position.
//
//   uidriver wait CAPTION [TIMEOUT_MS]   wait for a top-level window; print its controls
//   uidriver click CAPTION ID            press a button of that window
//   uidriver check CAPTION ID 0|1        set a check box
//   uidriver windows                     list the visible and hidden top-level windows
//
// Exit code 0 on success, 1 when the window or control is not there, 2 on bad usage.
// Output is UTF-8, one control a line: id<TAB>class<TAB>enabled<TAB>checked<TAB>visible<TAB>text

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>

#include "win32/windows_win.h"

namespace {

std::string Utf8(const std::wstring& wide) {
  const int n = WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(n > 0 ? n : 1), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, out.data(), n, nullptr, nullptr);
  out.resize(std::strlen(out.c_str()));
  return out;
}

std::wstring Wide(const char* utf8) {
  const int n = MultiByteToWideChar(CP_UTF8, 0, utf8, -1, nullptr, 0);
  std::wstring out(static_cast<size_t>(n > 0 ? n : 1), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8, -1, out.data(), n);
  out.resize(std::wcslen(out.c_str()));
  return out;
}

std::wstring TextOf(HWND hwnd) {
  wchar_t buffer[4096] = {};
  GetWindowTextW(hwnd, buffer, 4096);
  return buffer;
}

// A control's current text. GetWindowText on another process's window reads
// only the caption it was created with; an edit control's text needs the
// message itself.
std::wstring ControlText(HWND hwnd) {
  wchar_t buffer[8192] = {};
  DWORD_PTR copied = 0;
  if (!SendMessageTimeoutW(hwnd, WM_GETTEXT, 8192, reinterpret_cast<LPARAM>(buffer),
                           SMTO_ABORTIFHUNG, 5000, &copied)) {
    return TextOf(hwnd);
  }
  std::wstring text(buffer, static_cast<size_t>(copied));
  // One control a line: line breaks inside a text become spaces.
  for (wchar_t& c : text) {
    if (c == L'\r' || c == L'\n' || c == L'\t') c = L' ';
  }
  return text;
}

struct Search {
  std::wstring caption;
  HWND found = nullptr;
};

bool IsDialog(HWND hwnd) {
  wchar_t cls[16] = {};
  GetClassNameW(hwnd, cls, 16);
  return std::wstring(cls) == L"#32770";
}

// A dialog wins over any other window of the same caption: the hidden frame
// is titled "Installation", like the installer's message boxes.
BOOL CALLBACK FindTop(HWND hwnd, LPARAM data) {
  auto* search = reinterpret_cast<Search*>(data);
  if (TextOf(hwnd) == search->caption) {
    if (!search->found) search->found = hwnd;
    if (IsDialog(hwnd)) {
      search->found = hwnd;
      return FALSE;
    }
  }
  return TRUE;
}

// Waits for a dialog of that caption; another window of that caption is
// taken only when no dialog has come by the end of the time.
HWND FindWindowByCaption(const std::wstring& caption, DWORD timeout_ms) {
  const DWORD start = GetTickCount();
  for (;;) {
    Search search{caption};
    EnumWindows(FindTop, reinterpret_cast<LPARAM>(&search));
    if (search.found && IsDialog(search.found)) return search.found;
    if (GetTickCount() - start >= timeout_ms) return search.found;
    Sleep(100);
  }
}

BOOL CALLBACK PrintChild(HWND child, LPARAM) {
  wchar_t cls[128] = {};
  GetClassNameW(child, cls, 128);
  const LRESULT checked = SendMessageW(child, BM_GETCHECK, 0, 0);
  std::printf("%d\t%s\t%d\t%d\t%d\t%s\n", GetDlgCtrlID(child), Utf8(cls).c_str(),
              IsWindowEnabled(child) ? 1 : 0, std::wstring(cls) == L"Button" ? int(checked) : 0,
              IsWindowVisible(child) ? 1 : 0, Utf8(ControlText(child)).c_str());
  return TRUE;
}

BOOL CALLBACK PrintTop(HWND hwnd, LPARAM) {
  const std::wstring text = TextOf(hwnd);
  if (!text.empty()) {
    std::printf("%d\t%s\n", IsWindowVisible(hwnd) ? 1 : 0, Utf8(text).c_str());
  }
  return TRUE;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 2 && std::string(argv[1]) == "windows") {
    EnumWindows(PrintTop, 0);
    return 0;
  }
  if (argc < 3) return 2;
  const std::string verb = argv[1];
  const std::wstring caption = Wide(argv[2]);
  if (verb == "wait") {
    const DWORD timeout = argc > 3 ? static_cast<DWORD>(std::atoi(argv[3])) : 20000;
    HWND hwnd = FindWindowByCaption(caption, timeout);
    if (!hwnd) return 1;
    Sleep(200);  // let the dialog finish initialising its controls
    EnumChildWindows(hwnd, PrintChild, 0);
    return 0;
  }
  if ((verb == "click" || verb == "check") && argc >= 4) {
    HWND hwnd = FindWindowByCaption(caption, 20000);
    if (!hwnd) return 1;
    const int id = std::atoi(argv[3]);
    HWND control = GetDlgItem(hwnd, id);
    if (verb == "check") {
      if (!control || argc < 5) return 1;
      SendMessageW(control, BM_SETCHECK, std::atoi(argv[4]) ? BST_CHECKED : BST_UNCHECKED, 0);
      return 0;
    }
    // The command a click sends, so hidden or disabled-looking pages still answer.
    if (control && !IsWindowEnabled(control)) return 1;
    PostMessageW(hwnd, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(control));
    return 0;
  }
  return 2;
}
