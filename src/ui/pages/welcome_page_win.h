#pragma once

#include "setup/setup_state.h"
#include "wizard/wizard_driver.h"
#include "ui/wizard_page_win.h"

namespace lumiset {

// The welcome page with the four setup options. The options go into the
// check boxes when the page opens and come back from them only on Next;
// Cancel asks for the "Exit Setup" confirmation first.
class WelcomePage : public WizardPage {
 public:
  WelcomePage(HINSTANCE instance, SetupState& state, HWND parent = nullptr);

  const WelcomeOptions& options() const { return options_; }
  void set_options(const WelcomeOptions& options) { options_ = options; }

 protected:
  bool DoDataExchange(DataExchange direction) override;
  bool OnInitDialog() override;
  void OnCancel() override;

 private:
  void CreateCreditLine() const;

  WelcomeOptions options_;
};

}  // namespace lumiset
