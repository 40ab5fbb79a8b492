#include "wizard/wizard_driver.h"

#include "base/platform_helpers.h"
#include "base/text.h"
#include "setup/install_log.h"

namespace lumiset {
namespace {

constexpr uint32_t kDisplayPropertiesWaitMs = 3000;

enum class Step { kWelcome, kInformation, kLicence, kRun };

void OpenDisplayProperties(Platform& p) {
  std::string program = "control.exe";
  if (p.IsWow64()) {
    program = ToSysnativePath(p, WithBackslash(p.SystemDirectory()) + program);
  }
  Log().IfFailed("open Display Properties", p.ShellOpen(program, "desk.cpl,,1"));
  p.SleepMs(kDisplayPropertiesWaitMs);
}

}  // namespace

int32_t RunWizard(const RunOptions& options, const PackageInfo& package,
                  const MachineFacts& facts, Platform& p, WizardUi& ui) {
  RunOptions run = options;
  Step step = Step::kWelcome;
  bool information_shown = false;
  // A final page waits for a click: only where someone is there to click.
  const bool final_pages = run.show_pages && !run.no_interaction;
  for (;;) {
    switch (step) {
      case Step::kWelcome: {
        if (!run.quiet) {
          SetupChoices choices = run.choices;
          if (ui.ShowWelcome(choices) != PageResult::Next) {
            Log().Line("cancelled by the user on the welcome page");
            return kExitFailed;
          }
          run.choices = choices;
        }
        step = Step::kInformation;
        break;
      }
      case Step::kInformation: {
        information_shown = false;
        step = run.quiet ? Step::kRun : Step::kLicence;
        if (run.quiet || !package.defaults.show_info_page || package.info_text.empty()) break;
        information_shown = true;
        const PageResult r = ui.ShowInformation(package.info_text);
        if (r == PageResult::Back) {
          step = Step::kWelcome;
        } else if (r != PageResult::Next) {
          Log().Line("cancelled by the user on the information page");
          return kExitFailed;
        }
        break;
      }
      case Step::kLicence: {
        step = Step::kRun;
        if (run.quiet || package.licence_text.empty()) break;
        const PageResult r = ui.ShowLicence(package.licence_text);
        if (r == PageResult::Back) {
          step = information_shown ? Step::kInformation : Step::kWelcome;
        } else if (r != PageResult::Next) {
          Log().Line("the licence was declined");
          return kExitFailed;
        }
        break;
      }
      case Step::kRun: {
        const InstallResult result = ui.RunProgress(MakeInstallPlan(run, package, facts));
        if (result.outcome == InstallOutcome::Completed) {
          if (final_pages) ui.ShowFinal(result);
          if (run.choices.open_display_properties) OpenDisplayProperties(p);
          return kExitSucceeded;
        }
        // A damaged installer is not worth another try; anything else may be.
        if (final_pages && ui.ShowFinal(result) == PageResult::Back && !result.damaged) {
          step = Step::kWelcome;
          break;
        }
        return kExitFailed;
      }
    }
  }
}

}  // namespace lumiset
