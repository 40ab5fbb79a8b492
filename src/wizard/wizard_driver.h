#pragma once

#include <cstdint>
#include <string>

#include "base/platform.h"
#include "install/engine.h"
#include "install/install_plan.h"
#include "setup/machine_facts.h"
#include "setup/package_info.h"
#include "setup/run_options.h"
#include "wizard/page_results.h"

namespace lumiset {

// The process exit codes a script or a deployment tool reads.
inline constexpr int32_t kExitSucceeded = 0;  // installed, uninstalled, or nothing to do
inline constexpr int32_t kExitFailed = 1;     // failed, stopped, cancelled or declined
inline constexpr int32_t kExitDamaged = 2;    // the installer's package cannot be read

// The pages of the wizard as the driver sees them. Each Show call runs one
// modal page on the user-interface thread and returns how it ended.
class WizardUi {
 public:
  virtual ~WizardUi() = default;
  // Welcome: Next, or Cancel once the user confirmed "Exit Setup". The
  // choices are shown and, on Next, hold the user's ticks.
  virtual PageResult ShowWelcome(SetupChoices& choices) = 0;
  // Information page with `text`: Next, Back, or Cancel after confirmation.
  virtual PageResult ShowInformation(const std::string& text) = 0;
  // Licence page: Next (Yes), Back (Previous) or Cancel (No, at once).
  virtual PageResult ShowLicence(const std::string& text) = 0;
  // Runs the installation of `plan` with the progress page (hidden unless
  // pages are shown) and returns how it came out.
  virtual InstallResult RunProgress(const InstallPlan& plan) = 0;
  // The final page for a result: completed, error or interrupted. Next
  // (Finish) or, where the page offers it, Back.
  virtual PageResult ShowFinal(const InstallResult& result) = 0;
};

// The whole installation flow from the welcome page to the exit code:
// pages, the installation, and the display control panel when asked.
// Returns the exit code.
int32_t RunWizard(const RunOptions& options, const PackageInfo& package,
                  const MachineFacts& facts, Platform& p, WizardUi& ui);

}  // namespace lumiset
