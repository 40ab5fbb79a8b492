#pragma once

#include "ui/page_look.h"
#include "ui/wizard_page_win.h"

namespace lumiset {

// The final page of a completed installation: Finish ends with Next,
// Escape and the close box with Cancel. When a Group Policy decides the
// active screensaver, it says that the organisation's settings decide.
class CompletedPage : public WizardPage {
 public:
  CompletedPage(HINSTANCE instance, const PageLook& look, bool policy_decides,
                HWND parent = nullptr);

 protected:
  bool DoDataExchange(DataExchange direction) override;

 private:
  bool policy_decides_;
};

}  // namespace lumiset
