#include "wizard/wizard_driver.h"

#include "base/platform_helpers.h"
#include "base/text.h"
#include "install/finishing_steps.h"
#include "setup/install_log.h"

namespace lumiset {
namespace {

constexpr uint32_t kDisplayPropertiesWaitMs = 3000;

enum class Step { kWelcome, kInformation, kLicence, kRun };

void RunFinishingSteps(Platform& p, SetupState& s) {
  if (!s.UninstallerBlock.empty()) WriteUninstaller(p, s);
  if (s.CreateStartMenuEntry) CreateStartMenuShortcuts(p, s);
  if (s.CreateDesktopIcon) CreateDesktopShortcut(p, s);
  WriteInstalledFilesRecord(p, s);
}

void OpenDisplayProperties(Platform& p) {
  std::string program = "control.exe";
  if (p.IsWow64()) {
    program = ToSysnativePath(p, WithBackslash(p.SystemDirectory()) + program);
  }
  Log().IfFailed("open Display Properties", p.ShellOpen(program, "desk.cpl,,1"));
  p.SleepMs(kDisplayPropertiesWaitMs);
}

}  // namespace

void RunWizard(SetupState& s, Platform& p, WizardUi& ui) {
  Step step = Step::kWelcome;
  bool information_shown = false;
  for (;;) {
    switch (step) {
      case Step::kWelcome: {
        if (!s.QuietMode) {
          WelcomeOptions options{s.SetAsDefault, s.CreateStartMenuEntry, s.OpenDisplayProperties,
                                 s.CreateDesktopIcon};
          if (ui.ShowWelcome(options) != PageResult::Next) return;
          s.SetAsDefault = options.SetAsDefault;
          s.CreateStartMenuEntry = options.CreateStartMenuEntry;
          s.OpenDisplayProperties = options.OpenDisplayProperties;
          s.CreateDesktopIcon = options.CreateDesktopIcon;
        }
        step = Step::kInformation;
        break;
      }
      case Step::kInformation: {
        information_shown = false;
        step = s.QuietMode ? Step::kRun : Step::kLicence;
        if (s.QuietMode || !s.ShowInfoPage || s.InfoText.empty()) break;
        information_shown = true;
        const PageResult r = ui.ShowInformation(s.InfoText);
        if (r == PageResult::Back) step = Step::kWelcome;
        else if (r != PageResult::Next) return;
        break;
      }
      case Step::kLicence: {
        step = Step::kRun;
        if (s.QuietMode || s.LicenceText.empty()) break;
        const PageResult r = ui.ShowLicence(s.LicenceText);
        if (r == PageResult::Back) step = information_shown ? Step::kInformation : Step::kWelcome;
        else if (r != PageResult::Next) return;
        break;
      }
      case Step::kRun: {
        const InstallOutcome outcome = ui.RunProgress();
        Log().Line(outcome == InstallOutcome::Completed ? "installation: completed"
                   : outcome == InstallOutcome::Failed  ? "installation: failed"
                                                        : "installation: stopped by the user");
        if (outcome == InstallOutcome::Completed) {
          RunFinishingSteps(p, s);
          Log().Line("finishing steps: done (uninstaller, shortcuts, installed-files record)");
          if (s.ShowScreens) ui.ShowFinal(outcome);
          s.ExitCode = kExitSucceeded;
          if (s.OpenDisplayProperties && s.InstallSucceeded) OpenDisplayProperties(p);
          return;
        }
        if (s.ShowScreens && ui.ShowFinal(outcome) == PageResult::Back) {
          // A new run from the welcome page; in quiet mode it starts at once.
          step = Step::kWelcome;
          break;
        }
        s.ExitCode = kExitFailed;
        return;
      }
    }
  }
}

}  // namespace lumiset
