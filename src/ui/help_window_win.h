#pragma once

#include <cstdint>
#include <span>

#include "ui/page_look.h"
#include "win32/windows_win.h"
#include "ui/wizard_page_win.h"

namespace lumiset {

// Streams bytes into a rich edit control (EM_STREAMIN with `format`, SF_RTF
// or SF_TEXT) and marks the control modified. False when the control
// reports a failure.
bool StreamIntoRichEdit(HWND control, UINT format, std::span<const uint8_t> bytes);

// The command-line help: the rich-text document of the page's language
// (look().language) in a read-only rich edit control, under the common
// header band. The documents are entries of the resource bundle HELPDOCS
// (ui/resource_bundle.h), English at IDR_HELP_DOCUMENT and each other
// language at LocalizedId of it; a language without its own document shows
// the English one. The window itself, caption and template, is English in
// every language. Close, Escape and the close box end it with Cancel. The
// "RICHEDIT" window class must exist (the rich edit 1.0 library loaded)
// before it is shown; without it the window does not open.
class HelpWindow : public WizardPage {
 public:
  HelpWindow(HINSTANCE instance, const PageLook& look, HWND parent = nullptr);
  // The same window over the documents at `document_base_id` and its
  // language copies.
  HelpWindow(HINSTANCE instance, const PageLook& look, HWND parent, int document_base_id);

 protected:
  bool DoDataExchange(DataExchange direction) override;
  bool OnInitDialog() override;

 private:
  // Streams the document from the program's resources into the control;
  // the text stays empty when there is none (or no memory to inflate it).
  void LoadHelpText() const;

  int document_base_id_;
};

}  // namespace lumiset
