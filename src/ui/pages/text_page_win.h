#pragma once

#include <string>

#include "ui/page_look.h"
#include "ui/pages/static_edit_win.h"
#include "ui/wizard_page_win.h"

namespace lumiset {

// A page that shows a long text in a read-only control opening at its first
// line, with Previous (Back) and the default button (Next): the base of the
// licence and information pages, which differ only in their template, where
// the text comes from and what Cancel does.
class CTextPage : public WizardPage {
 public:
  // The text shown, UTF-8.
  void set_text(std::string text) { text_ = std::move(text); }

 protected:
  CTextPage(HINSTANCE instance, int template_id, const PageLook& look, HWND parent,
            std::string text);
  bool DoDataExchange(DataExchange direction) override;
  bool OnInitDialog() override;
  bool OnCommand(int id, int code, HWND control) override;

 private:
  std::string text_;
  CStaticEdit text_control_;
};

}  // namespace lumiset
