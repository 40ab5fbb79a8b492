#pragma once

#include "ui/page_look.h"
#include "ui/wizard_page_win.h"

namespace lumiset {

// The about box: the application icon, the program's name and version,
// and OK. English only.
class AboutBox : public WizardPage {
 public:
  AboutBox(HINSTANCE instance, const PageLook& look, HWND parent = nullptr);
};

}  // namespace lumiset
