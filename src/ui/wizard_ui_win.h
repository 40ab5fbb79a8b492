#pragma once

#include "setup/setup_state.h"
#include "wizard/page_results.h"
#include "wizard/wizard_driver.h"
#include "base/platform.h"
#include "win32/windows_win.h"
#include "ui/pages/information_page_win.h"
#include "ui/pages/licence_page_win.h"
#include "ui/pages/welcome_page_win.h"

namespace lumiset {

// The wizard's pages as Win32 dialogs, each created without a parent (so
// owned by the application's frame) and run modally on the calling thread.
// The welcome, information and licence pages live as long as this object
// and are shown again on Back; the progress page and the final pages are
// made afresh for every showing.
class Win32WizardUi final : public WizardUi {
 public:
  Win32WizardUi(HINSTANCE instance, Platform& p, SetupState& state);

  PageResult ShowWelcome(WelcomeOptions& options) override;
  PageResult ShowInformation(const std::string& text) override;
  PageResult ShowLicence(const std::string& text) override;
  InstallOutcome RunProgress() override;
  PageResult ShowFinal(InstallOutcome outcome) override;

 private:
  HINSTANCE instance_;
  Platform& platform_;
  SetupState& state_;
  WelcomePage welcome_;
  InformationPage information_;
  LicencePage licence_;
};

// The page that reports an installed copy: install over it, uninstall it,
// or cancel.
ExistingCopyChoice ShowExistingCopyPage(HINSTANCE instance, SetupState& state);

}  // namespace lumiset
