#include "ui/wizard_ui_win.h"

#include "ui/progress_page_win.h"
#include "ui/quiet_progress_win.h"
#include "ui/pages/completed_page_win.h"
#include "ui/pages/error_page_win.h"
#include "ui/pages/interrupted_page_win.h"
#include "ui/pages/existing_copy_page_win.h"

namespace lumiset {

Win32WizardUi::Win32WizardUi(HINSTANCE instance, Platform& p, SetupState& state)
    : instance_(instance),
      platform_(p),
      state_(state),
      welcome_(instance, state),
      information_(instance, state),
      licence_(instance, state) {}

PageResult Win32WizardUi::ShowWelcome(WelcomeOptions& options) {
  welcome_.set_options(options);
  const PageResult result = ToPageResult(welcome_.DoModal());
  if (result == PageResult::Next) options = welcome_.options();
  return result;
}

PageResult Win32WizardUi::ShowInformation(const std::string& text) {
  information_.set_text(text);
  return ToPageResult(information_.DoModal());
}

PageResult Win32WizardUi::ShowLicence(const std::string& text) {
  licence_.set_text(text);
  return ToPageResult(licence_.DoModal());
}

InstallOutcome Win32WizardUi::RunProgress() {
  if (!state_.ShowScreens) return RunHiddenProgress(instance_, platform_, state_);
  ProgressPage page(instance_, platform_, state_);
  page.DoModal();
  return page.outcome();
}

PageResult Win32WizardUi::ShowFinal(InstallOutcome outcome) {
  switch (outcome) {
    case InstallOutcome::Completed: {
      CompletedPage page(instance_, state_);
      return ToPageResult(page.DoModal());
    }
    case InstallOutcome::Failed: {
      ErrorPage page(instance_, state_);
      return ToPageResult(page.DoModal());
    }
    case InstallOutcome::Interrupted:
      break;
  }
  InterruptedPage page(instance_, state_);
  return ToPageResult(page.DoModal());
}

ExistingCopyChoice ShowExistingCopyPage(HINSTANCE instance, SetupState& state) {
  ExistingCopyPage page(instance, state);
  return page.Choose();
}

}  // namespace lumiset
