#pragma once

#include <string>

#include "base/platform.h"
#include "setup/setup_state.h"
#include "win32/windows_win.h"
#include "ui/wizard_page_win.h"

namespace lumiset {

// Streams a file into a rich edit control (EM_STREAMIN with `format`,
// SF_RTF or SF_TEXT) and marks the control modified. False when the file
// cannot be opened or a read fails; the control then shows what was read
// before the failure.
bool StreamFileIntoRichEdit(HWND control, UINT format, const std::string& path);

// The command-line help: the rich-text document of resource "HELP" (type
// "RTF") in a read-only rich edit control, under the common header band.
// English only. Close, Escape and the close box end it with Cancel. The
// "RICHEDIT" window class must exist (the rich edit 1.0 library loaded)
// before it is shown; without it the window does not open.
class HelpWindow : public WizardPage {
 public:
  HelpWindow(HINSTANCE instance, Platform& p, SetupState& state, HWND parent = nullptr);

 protected:
  bool DoDataExchange(DataExchange direction) override;
  bool OnInitDialog() override;

 private:
  // Writes the document into a work file, streams it into the control and
  // deletes the file; the text stays empty when any step fails.
  void LoadHelpText() const;

  Platform& platform_;
};

}  // namespace lumiset
