#pragma once

#include <string>

#include "app/setup_state.h"
#include "ui/pages/static_edit_win.h"
#include "ui/tv_dialog_win.h"

namespace lumiset {

// The important-information page: the text in a read-only control, opening
// at its first line. Next ends with Next, Previous with Back; Cancel,
// Escape and the close box ask for the "Exit Setup" confirmation first.
class CDialDesc : public CTvDialog {
 public:
  CDialDesc(HINSTANCE instance, SetupState& state, HWND parent = nullptr);

  // The text shown, ANSI; the flow sets it before each showing.
  void set_text(std::string text) { text_ = std::move(text); }

 protected:
  bool DoDataExchange(DataExchange direction) override;
  bool OnInitDialog() override;
  bool OnCommand(int id, int code, HWND control) override;
  void OnCancel() override;

 private:
  std::string text_;
  CStaticEdit text_control_;
};

}  // namespace lumiset
