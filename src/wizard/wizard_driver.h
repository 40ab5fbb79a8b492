#pragma once

#include "setup/setup_state.h"
#include "wizard/page_results.h"
#include "base/platform.h"

namespace lumiset {

// The four setup options the welcome page shows and gives back on Next.
struct WelcomeOptions {
  int32_t SetAsDefault = 0;
  int32_t CreateStartMenuEntry = 0;
  int32_t OpenDisplayProperties = 0;
  int32_t CreateDesktopIcon = 0;
};

// The pages of the wizard as the driver sees them. Each Show call runs one
// modal page on the user-interface thread and returns how it ended.
class WizardUi {
 public:
  virtual ~WizardUi() = default;
  // Welcome: Next, or Cancel once the user confirmed "Exit Setup". The
  // options are shown and, on Next, hold the user's ticks.
  virtual PageResult ShowWelcome(WelcomeOptions& options) = 0;
  // Information page with `text`: Next, Back, or Cancel after confirmation.
  virtual PageResult ShowInformation(const std::string& text) = 0;
  // Licence page: Next (Yes), Back (Previous) or Cancel (No, at once).
  virtual PageResult ShowLicence(const std::string& text) = 0;
  // Runs the progress page (hidden unless ShowScreens) with the worker and
  // returns its outcome; sets InstallSucceeded on a completed run.
  virtual InstallOutcome RunProgress() = 0;
  // The final page for an outcome: completed, error or interrupted.
  // Next (Finish) or, on the error and interrupted pages, Back.
  virtual PageResult ShowFinal(InstallOutcome outcome) = 0;
};

// The whole installation flow from the welcome page to the exit code:
// pages, installation runs, the finishing steps of a completed run, and
// the display control panel when asked. Does not close the frame.
void RunWizard(SetupState& state, Platform& p, WizardUi& ui);

}  // namespace lumiset
