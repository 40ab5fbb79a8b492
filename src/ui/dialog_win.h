#pragma once

#include <string>
#include <string_view>

#include "win32/text_win.h"
#include "win32/windows_win.h"

namespace lumiset {

// The whole text of a window, read with the wide functions.
std::wstring WindowText(HWND hwnd);

// A window handle that owns nothing: copying or dropping it never destroys
// the window.
class CWindow {
 public:
  CWindow() = default;
  explicit CWindow(HWND hwnd) : hwnd_(hwnd) {}

  HWND hwnd() const { return hwnd_; }
  HWND Item(int id) const { return GetDlgItem(hwnd_, id); }
  void ShowItem(int id, bool show) const { ShowWindow(Item(id), show ? SW_SHOW : SW_HIDE); }

 protected:
  HWND hwnd_ = nullptr;
};

// Which way a data exchange runs: from the members into the controls when
// the dialog opens, from the controls back into the members on OK.
enum class DataExchange { kLoad, kSave };

// A modal dialog from a template resource. One static dialog procedure
// stores the object at WM_INITDIALOG and routes every message through
// OnMessage, whose default dispatches to the named handlers. A handler that
// throws ends the dialog with kDialogFailed; nothing unwinds into the system.
class CDialog : public CWindow {
 public:
  // What DoModal returns when the template cannot be loaded or a handler
  // failed.
  static constexpr INT_PTR kDialogFailed = -1;

  // `parent` may be null: the dialog is then owned by the thread's main
  // window (its last active popup), as a page of the application should be.
  CDialog(HINSTANCE instance, int template_id, HWND parent);
  virtual ~CDialog() = default;
  CDialog(const CDialog&) = delete;
  CDialog& operator=(const CDialog&) = delete;

  // Creates the dialog and runs its modal loop on the calling thread; the
  // code given to EndDialog, or kDialogFailed, also when something other
  // than EndDialog ended the loop (a quit request).
  INT_PTR DoModal();
  void EndDialog(INT_PTR result);
  // Runs DoDataExchange in the given direction; false when a handler
  // refused the data (the dialog then stays open).
  bool UpdateData(DataExchange direction);

  HINSTANCE instance() const { return instance_; }
  int template_id() const { return template_id_; }

 protected:
  // The message hook, with dialog-procedure semantics: non-zero when the
  // message was handled, except for the WM_CTLCOLOR* family, which returns
  // a brush (or 0 for the default).
  virtual INT_PTR OnMessage(UINT message, WPARAM wparam, LPARAM lparam);

  // Runs the data exchange (kLoad). True lets the dialog manager give the
  // focus to the first control; false when the dialog set it itself.
  virtual bool OnInitDialog();
  virtual bool DoDataExchange(DataExchange direction);
  // True when the command was handled. The default sends a click of OK to
  // OnOK and of Cancel (also the Escape key and the close box) to OnCancel.
  virtual bool OnCommand(int id, int code, HWND control);
  virtual void OnTimer(UINT_PTR id);
  virtual void OnDestroy() {}
  // Saves the data and ends with IDOK.
  virtual void OnOK();
  // Ends with IDCANCEL.
  virtual void OnCancel();

 private:
  static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);

  HINSTANCE instance_;
  int template_id_;
  HWND parent_;
  bool ended_ = false;
};

}  // namespace lumiset
