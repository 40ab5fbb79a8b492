#pragma once

#include "ui/page_look.h"
#include "ui/wizard_page_win.h"

namespace lumiset {

// The final page of a failed installation; it opens with the system's
// error sound. Back ends with Back, Finish with Next, Escape and the close
// box with Cancel. For a damaged installer it says so instead of listing
// the usual causes (free space, access rights), and offers no Back: no
// second try can mend it.
class ErrorPage : public WizardPage {
 public:
  ErrorPage(HINSTANCE instance, const PageLook& look, bool damaged, HWND parent = nullptr);

 protected:
  bool DoDataExchange(DataExchange direction) override;
  bool OnInitDialog() override;
  bool OnCommand(int id, int code, HWND control) override;

 private:
  bool damaged_;
};

}  // namespace lumiset
