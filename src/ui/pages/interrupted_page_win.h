#pragma once

#include "ui/page_look.h"
#include "ui/wizard_page_win.h"

namespace lumiset {

// The text of the interrupted page when a copy installed earlier stays as
// it was; localized at + 100 * (language - 1).
inline constexpr int kEarlierCopyKeptString = 8006;

// The final page of an installation the user stopped: Back ends with Back,
// Finish with Next, Escape and the close box with Cancel. A stop never
// leaves a part of the screensaver behind, so the page says what is on the
// disk: nothing was changed, or the copy installed earlier is unchanged.
class InterruptedPage : public WizardPage {
 public:
  InterruptedPage(HINSTANCE instance, const PageLook& look, bool earlier_copy,
                  HWND parent = nullptr);

 protected:
  bool DoDataExchange(DataExchange direction) override;
  bool OnCommand(int id, int code, HWND control) override;

 private:
  bool earlier_copy_;
};

}  // namespace lumiset
