#pragma once

#include "ui/pages/text_page_win.h"

namespace lumiset {

// The important-information page. Next ends with Next, Previous with Back;
// Cancel, Escape and the close box ask for the "Exit Setup" confirmation
// first. The flow sets the text before each showing.
class InformationPage : public CTextPage {
 public:
  InformationPage(HINSTANCE instance, const PageLook& look, HWND parent = nullptr);

 protected:
  void OnCancel() override;
};

}  // namespace lumiset
