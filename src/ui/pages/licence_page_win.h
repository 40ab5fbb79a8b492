#pragma once

#include "ui/pages/text_page_win.h"

namespace lumiset {

// The licence agreement, showing the package's LicenceText. Yes ends with
// Next, Previous with Back, and No, Escape and the close box with Cancel at
// once, without the exit confirmation.
class LicencePage : public CTextPage {
 public:
  LicencePage(HINSTANCE instance, const PageLook& look, HWND parent = nullptr);
};

}  // namespace lumiset
