#pragma once

#include <string>

#include "app/setup_state.h"
#include "ui/pages/static_edit_win.h"
#include "ui/tv_dialog_win.h"

namespace lumiset {

// The licence agreement: the text in a read-only control, opening at its
// first line. Yes ends with Next, Previous with Back, and No, Escape and
// the close box with Cancel at once, without the exit confirmation.
class CDialLicense : public CTvDialog {
 public:
  CDialLicense(HINSTANCE instance, SetupState& state, HWND parent = nullptr);

  // The text shown, ANSI. It starts as the package's LicenceText.
  void set_text(std::string text) { text_ = std::move(text); }

 protected:
  bool DoDataExchange(DataExchange direction) override;
  bool OnInitDialog() override;
  bool OnCommand(int id, int code, HWND control) override;

 private:
  std::string text_;
  CStaticEdit text_control_;
};

}  // namespace lumiset
