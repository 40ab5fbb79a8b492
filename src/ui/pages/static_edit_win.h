#pragma once

#include <string>

#include "win32/windows_win.h"

namespace lumiset {

// A multi-line edit control that shows a text the user can scroll, click
// into and select, but not change: typed characters, Delete, Insert, the
// C, V and X keys (so Ctrl+C, Ctrl+V, Ctrl+X, Shift+Insert, Ctrl+Insert
// and Shift+Delete), paste, cut, clear and undo requests, and the context
// menu are swallowed. It keeps the editable look (white background), unlike
// a read-only or disabled edit.
class CStaticEdit {
 public:
  CStaticEdit() = default;
  CStaticEdit(const CStaticEdit&) = delete;
  CStaticEdit& operator=(const CStaticEdit&) = delete;

  // Takes over an existing edit control until it is destroyed. The object
  // must outlive the control.
  void Attach(HWND edit);
  HWND hwnd() const { return hwnd_; }

  // Shows a UTF-8 text; lone line feeds become the CR LF pairs the control
  // breaks lines at.
  void SetText(const std::string& utf8_text) const;
  // Puts the caret before the first character with nothing selected and
  // scrolls it into view, so the text shows from its first line.
  void ScrollToStart() const;

 private:
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
  static bool Swallows(UINT message, WPARAM wparam);

  HWND hwnd_ = nullptr;
  WNDPROC original_ = nullptr;
};

}  // namespace lumiset
