#include "ui/wizard_ui_win.h"

#include "install/engine.h"
#include "install/prompter.h"
#include "ui/copy_error_prompt_win.h"
#include "ui/pages/completed_page_win.h"
#include "ui/pages/error_page_win.h"
#include "ui/pages/existing_copy_page_win.h"
#include "ui/pages/interrupted_page_win.h"
#include "ui/progress_page_win.h"
#include "ui/worker_host_win.h"

namespace lumiset {

Win32WizardUi::Win32WizardUi(HINSTANCE instance, Platform& p, LookProvider look,
                             const RunOptions& options, const PackageInfo& package,
                             const MachineFacts& facts)
    : instance_(instance),
      platform_(p),
      look_(std::move(look)),
      options_(options),
      package_(package),
      facts_(facts) {}

Win32WizardUi::~Win32WizardUi() = default;

PageResult Win32WizardUi::ShowWelcome(SetupChoices& choices) {
  if (!welcome_) {
    welcome_ = std::make_unique<WelcomePage>(instance_, look_(),
                                             package_.defaults.show_setup_options);
  }
  welcome_->set_choices(choices);
  const PageResult result = ToPageResult(welcome_->DoModal());
  if (result == PageResult::Next) choices = welcome_->choices();
  return result;
}

PageResult Win32WizardUi::ShowInformation(const std::string& text) {
  if (!information_) information_ = std::make_unique<InformationPage>(instance_, look_());
  information_->set_text(text);
  return ToPageResult(information_->DoModal());
}

PageResult Win32WizardUi::ShowLicence(const std::string& text) {
  if (!licence_) licence_ = std::make_unique<LicencePage>(instance_, look_());
  licence_->set_text(text);
  return ToPageResult(licence_->DoModal());
}

InstallResult Win32WizardUi::RunProgress(const InstallPlan& plan) {
  InstallResult result;
  result.outcome = InstallOutcome::Failed;
  result.failed_step = "start the installation's thread";
  WorkerHost::Job job = [&](WorkerLink& link) {
    LinkPromptUi ui(link, platform_);
    Prompter prompter(PolicyOf(options_), ui, platform_, &link);
    result = Install(plan, package_, facts_, platform_, prompter, link);
  };
  if (!options_.show_pages) {
    WorkerHost host;
    RunWithoutWindow(host, std::move(job), [&](const CopyErrorDetails& details) {
      CopyErrorPrompt prompt(instance_, look_(), DescribeFailure(platform_, details.why));
      return ToPageResult(prompt.DoModal()) == PageResult::Next ? PromptAnswer::kRetry
                                                                : PromptAnswer::kAbort;
    });
    return result;
  }
  ProgressPage page(instance_, look_(), platform_, std::move(job));
  page.DoModal();
  return result;
}

PageResult Win32WizardUi::ShowFinal(const InstallResult& result) {
  switch (result.outcome) {
    case InstallOutcome::Completed: {
      CompletedPage page(instance_, look_(), result.policy_decides);
      return ToPageResult(page.DoModal());
    }
    case InstallOutcome::Failed: {
      ErrorPage page(instance_, look_(), result.damaged);
      return ToPageResult(page.DoModal());
    }
    case InstallOutcome::Interrupted:
      break;
  }
  InterruptedPage page(instance_, look_(), result.earlier_copy);
  return ToPageResult(page.DoModal());
}

ExistingCopyChoice ShowExistingCopyPage(HINSTANCE instance, const PageLook& look) {
  ExistingCopyPage page(instance, look);
  return page.Choose();
}

}  // namespace lumiset
