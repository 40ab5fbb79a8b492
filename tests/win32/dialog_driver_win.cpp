#include "dialog_driver_win.h"

#include <cwchar>

#include "ui/dialog_win.h"

namespace lumiset::testing {
namespace {

constexpr DWORD kPollMs = 10;

struct DialogSearch {
  std::wstring_view caption;
  bool any = false;
  HWND found = nullptr;
};

BOOL CALLBACK MatchDialog(HWND hwnd, LPARAM data) {
  auto* search = reinterpret_cast<DialogSearch*>(data);
  wchar_t class_name[16] = {};
  GetClassNameW(hwnd, class_name, 16);
  if (std::wcscmp(class_name, L"#32770") != 0) return TRUE;
  if (!search->any && WindowText(hwnd) != search->caption) return TRUE;
  search->found = hwnd;
  return FALSE;
}

BOOL CALLBACK CollectText(HWND hwnd, LPARAM data) {
  reinterpret_cast<std::vector<std::wstring>*>(data)->push_back(WindowText(hwnd));
  return TRUE;
}

std::string Narrow(std::wstring_view text) { return WideToUtf8(text); }

}  // namespace

bool WaitUntil(const std::function<bool()>& condition, DWORD timeout_ms) {
  const ULONGLONG deadline = GetTickCount64() + timeout_ms;
  for (;;) {
    if (condition()) return true;
    if (GetTickCount64() >= deadline) return false;
    Sleep(kPollMs);
  }
}

HWND FindDialog(DWORD thread, std::wstring_view caption) {
  DialogSearch search{caption};
  EnumThreadWindows(thread, MatchDialog, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

std::vector<std::wstring> ControlTexts(HWND dialog) {
  std::vector<std::wstring> texts;
  EnumChildWindows(dialog, CollectText, reinterpret_cast<LPARAM>(&texts));
  return texts;
}

void Press(HWND dialog, int id) {
  PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

void SetCheck(HWND dialog, int id, bool checked) {
  SendDlgItemMessageW(dialog, id, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

bool IsChecked(HWND dialog, int id) {
  return SendDlgItemMessageW(dialog, id, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

Driver::Driver(std::function<void(Driver&)> script)
    : script_(std::move(script)), ui_thread_(GetCurrentThreadId()) {
  thread_ = CreateThread(nullptr, 0, Entry, this, 0, nullptr);
  if (!thread_) failures_.push_back("the driver thread could not be created");
}

Driver::~Driver() { Join(); }

void Driver::Join() {
  if (!thread_) return;
  WaitForSingleObject(thread_, INFINITE);
  CloseHandle(thread_);
  thread_ = nullptr;
}

std::string Driver::Failures() const {
  std::string all;
  for (const std::string& failure : failures_) all += failure + "\n";
  return all;
}

bool Driver::Expect(bool condition, const std::string& what) {
  if (!condition) failures_.push_back(what);
  return condition;
}

HWND Driver::WaitForDialog(std::wstring_view caption) {
  HWND found = nullptr;
  if (WaitUntil([&] { return (found = FindDialog(ui_thread_, caption)) != nullptr; })) {
    return found;
  }
  GiveUp("no dialog \"" + Narrow(caption) + "\" appeared");
  return nullptr;
}

bool Driver::WaitForClose(HWND window) {
  if (WaitUntil([&] { return !IsWindow(window); })) return true;
  GiveUp("the dialog \"" + Narrow(WindowText(window)) + "\" did not close");
  return false;
}

void Driver::GiveUp(const std::string& why) {
  failures_.push_back(why);
  WaitUntil([&] {
    DialogSearch search{{}, true};
    EnumThreadWindows(ui_thread_, MatchDialog, reinterpret_cast<LPARAM>(&search));
    if (!search.found) return true;
    Press(search.found, IDCANCEL);
    Sleep(100);
    return false;
  });
}

DWORD WINAPI Driver::Entry(LPVOID param) {
  auto* driver = static_cast<Driver*>(param);
  try {
    driver->script_(*driver);
  } catch (...) {
    driver->GiveUp("the driver script threw");
  }
  return 0;
}

}  // namespace lumiset::testing
