#pragma once

#include <functional>
#include <memory>

#include "base/platform.h"
#include "setup/machine_facts.h"
#include "setup/package_info.h"
#include "setup/run_options.h"
#include "ui/page_look.h"
#include "ui/pages/information_page_win.h"
#include "ui/pages/licence_page_win.h"
#include "ui/pages/welcome_page_win.h"
#include "wizard/page_results.h"
#include "wizard/wizard_driver.h"
#include "win32/windows_win.h"

namespace lumiset {

// The look of the pages, made on its first use: a run that shows nothing
// never asks the display.
using LookProvider = std::function<const PageLook&()>;

// The wizard's pages as Win32 dialogs, each created without a parent (so
// owned by the application's frame) and run modally on the calling thread.
// The welcome, information and licence pages are made at their first
// showing and live as long as this object, so Back shows them again; the
// progress page and the final pages are made afresh for every showing. A
// run without pages makes none: its installation runs with no window, and
// only a copy-error prompt (when someone may be asked) shows a dialog.
class Win32WizardUi final : public WizardUi {
 public:
  Win32WizardUi(HINSTANCE instance, Platform& p, LookProvider look, const RunOptions& options,
                const PackageInfo& package, const MachineFacts& facts);
  ~Win32WizardUi() override;

  PageResult ShowWelcome(SetupChoices& choices) override;
  PageResult ShowInformation(const std::string& text) override;
  PageResult ShowLicence(const std::string& text) override;
  InstallResult RunProgress(const InstallPlan& plan) override;
  PageResult ShowFinal(const InstallResult& result) override;

 private:
  HINSTANCE instance_;
  Platform& platform_;
  LookProvider look_;
  const RunOptions& options_;
  const PackageInfo& package_;
  const MachineFacts& facts_;
  std::unique_ptr<WelcomePage> welcome_;
  std::unique_ptr<InformationPage> information_;
  std::unique_ptr<LicencePage> licence_;
};

// The page that reports an installed copy: install over it, uninstall it,
// or cancel.
ExistingCopyChoice ShowExistingCopyPage(HINSTANCE instance, const PageLook& look);

}  // namespace lumiset
