#pragma once

#include "win32/windows_win.h"

namespace lumiset {

// The hidden frame: a shown top-level window parked off-screen with width
// and height 0. It carries the title and icon every page inherits as owner,
// and receives the start command; destroying it ends the message loop.
class CMainFrame {
 public:
  // Handler for ID_START_INSTALLATION, run on the user-interface thread.
  using StartHandler = void (*)(HWND frame);
  // Handler for the Help menu's about command.
  using AboutHandler = void (*)();

  bool Create(HINSTANCE instance, StartHandler on_start, AboutHandler on_about);
  HWND hwnd() const { return hwnd_; }
  void PostStart() const;
  void PostClose() const;

 private:
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);

  HWND hwnd_ = nullptr;
  StartHandler on_start_ = nullptr;
  AboutHandler on_about_ = nullptr;
};

}  // namespace lumiset
