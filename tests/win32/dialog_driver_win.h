#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "win32/windows_win.h"

namespace lumiset::testing {

// How long a driver waits for a window or a state before it gives up.
inline constexpr DWORD kDriverTimeoutMs = 15000;

// Polls `condition` every 10 ms; true once it holds, false on timeout.
bool WaitUntil(const std::function<bool()>& condition, DWORD timeout_ms = kDriverTimeoutMs);

// A dialog of `thread` with this caption, shown or hidden; null when none.
HWND FindDialog(DWORD thread, std::wstring_view caption);
// Every control text of a dialog, in z-order.
std::vector<std::wstring> ControlTexts(HWND dialog);
// Clicks a button by id the way a dialog receives it, whether or not the
// button is shown or enabled (as the Escape key and the close box do for
// IDCANCEL).
void Press(HWND dialog, int id);
void SetCheck(HWND dialog, int id, bool checked);
bool IsChecked(HWND dialog, int id);

// Drives the dialogs that the test's own thread runs modally: `script`
// runs on a thread of its own and records what it finds wrong. If it gives
// up waiting, it cancels every dialog of the test's thread so the test
// ends instead of hanging.
class Driver {
 public:
  explicit Driver(std::function<void(Driver&)> script);
  ~Driver();
  Driver(const Driver&) = delete;
  Driver& operator=(const Driver&) = delete;

  // Waits for the script to end.
  void Join();
  // Everything the script recorded, one line each; empty when all held.
  std::string Failures() const;

  // Records `what` when `condition` is false; returns the condition.
  bool Expect(bool condition, const std::string& what);
  // The dialog once it exists, or null after recording a failure and
  // cancelling every dialog.
  HWND WaitForDialog(std::wstring_view caption);
  // True once the window is gone; records a failure otherwise.
  bool WaitForClose(HWND window);
  // Records a failure and cancels every dialog of the test's thread.
  void GiveUp(const std::string& why);

  DWORD ui_thread() const { return ui_thread_; }

 private:
  static DWORD WINAPI Entry(LPVOID driver);

  std::function<void(Driver&)> script_;
  DWORD ui_thread_;
  HANDLE thread_ = nullptr;
  std::vector<std::string> failures_;
};

}  // namespace lumiset::testing
