#pragma once

// GoogleTest's Notification uses std::mutex, which Debian's mingw toolchain
// (win32 thread model) lacks. This stand-in, force-included into every
// translation unit of the Windows test build, provides it over a Win32 event
// so the rest of GoogleTest keeps its native Windows threading.
#define GTEST_HAS_NOTIFICATION_ 1

#include "win32/windows_win.h"

namespace testing::internal {

class Notification {
 public:
  Notification() : event_(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}
  ~Notification() { CloseHandle(event_); }
  Notification(const Notification&) = delete;
  Notification& operator=(const Notification&) = delete;
  void Notify() { SetEvent(event_); }
  void WaitForNotification() { WaitForSingleObject(event_, INFINITE); }

 private:
  HANDLE event_;
};

}  // namespace testing::internal
