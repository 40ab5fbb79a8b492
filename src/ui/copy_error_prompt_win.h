#pragma once

#include <string>

#include "ui/page_look.h"
#include "ui/wizard_page_win.h"

namespace lumiset {

// The question put to the user, on the installation worker's behalf, when
// a read or a write failed: Retry ends with Next (the worker repeats the
// failed operation), Abort Setup, Escape and the close box with Cancel.
// Under its texts it names the file and the system's reason.
class CopyErrorPrompt : public WizardPage {
 public:
  CopyErrorPrompt(HINSTANCE instance, const PageLook& look, std::string reason,
                  HWND parent = nullptr);

 protected:
  bool DoDataExchange(DataExchange direction) override;

 private:
  std::string reason_;
};

}  // namespace lumiset
