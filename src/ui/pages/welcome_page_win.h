#pragma once

#include "ui/page_look.h"
#include "wizard/wizard_driver.h"
#include "ui/wizard_page_win.h"

namespace lumiset {

// The welcome page with the four setup options. The options go into the
// check boxes when the page opens and come back from them only on Next;
// Cancel asks for the "Exit Setup" confirmation first.
class WelcomePage : public WizardPage {
 public:
  // `show_options`: the package shows the setup options; else the page
  // hides them.
  WelcomePage(HINSTANCE instance, const PageLook& look, bool show_options,
              HWND parent = nullptr);

  const SetupChoices& choices() const { return choices_; }
  void set_choices(const SetupChoices& choices) { choices_ = choices; }

 protected:
  bool DoDataExchange(DataExchange direction) override;
  bool OnInitDialog() override;
  void OnCancel() override;

 private:
  void CreateCreditLine() const;

  bool show_options_;
  SetupChoices choices_;
};

}  // namespace lumiset
