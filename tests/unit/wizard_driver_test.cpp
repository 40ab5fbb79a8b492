#include "wizard/wizard_driver.h"

#include <gtest/gtest.h>

#include <deque>

#include "support/fake_platform.h"

namespace lumiset {
namespace {

using testing::FakePlatform;

// Plays the user: each page takes the next scripted answer and is logged.
// The installation itself is scripted too: the driver's part ends where the
// engine's begins.
class ScriptedUi : public WizardUi {
 public:
  std::deque<PageResult> answers;
  std::deque<InstallResult> results;
  std::vector<std::string> log;
  SetupChoices ticks{true, true, true, true};
  std::vector<InstallPlan> plans;

  PageResult ShowWelcome(SetupChoices& choices) override {
    log.push_back("welcome");
    const PageResult r = Next();
    if (r == PageResult::Next) choices = ticks;
    return r;
  }
  PageResult ShowInformation(const std::string&) override {
    log.push_back("information");
    return Next();
  }
  PageResult ShowLicence(const std::string&) override {
    log.push_back("licence");
    return Next();
  }
  InstallResult RunProgress(const InstallPlan& plan) override {
    log.push_back("progress");
    plans.push_back(plan);
    InstallResult r;
    if (!results.empty()) {
      r = results.front();
      results.pop_front();
    }
    return r;
  }
  PageResult ShowFinal(const InstallResult& r) override {
    log.push_back(r.outcome == InstallOutcome::Completed ? "done"
                  : r.outcome == InstallOutcome::Failed  ? "error"
                                                         : "interrupted");
    return Next();
  }

 private:
  PageResult Next() {
    if (answers.empty()) return PageResult::Next;
    const PageResult r = answers.front();
    answers.pop_front();
    return r;
  }
};

InstallResult Outcome(InstallOutcome outcome, bool damaged = false) {
  InstallResult r;
  r.outcome = outcome;
  r.damaged = damaged;
  return r;
}

class Driver : public ::testing::Test {
 protected:
  Driver() {
    package_.defaults.show_info_page = true;
    package_.info_text = "info";
    package_.licence_text = "licence";
    package_.company = "Co";
    package_.title = "T";
    package_.scr_file_name = "t";
    facts_.system_dir = "C:\\windows\\Sysnative";
    facts_.wow64 = true;
    facts_.desktop = "C:\\Users\\me\\Desktop";
  }
  std::vector<std::string> Run(std::deque<PageResult> answers,
                               std::deque<InstallResult> results = {}) {
    ui_.log.clear();
    ui_.answers = std::move(answers);
    ui_.results = std::move(results);
    exit_code_ = RunWizard(options_, package_, facts_, fs_, ui_);
    return ui_.log;
  }

  FakePlatform fs_;
  RunOptions options_;
  PackageInfo package_;
  MachineFacts facts_;
  ScriptedUi ui_;
  int32_t exit_code_ = 42;
};

using Log = std::vector<std::string>;
constexpr PageResult N = PageResult::Next, C = PageResult::Cancel, B = PageResult::Back;

TEST_F(Driver, FullInteractiveRun) {
  EXPECT_EQ(Run({}), (Log{"welcome", "information", "licence", "progress", "done"}));
  EXPECT_EQ(exit_code_, kExitSucceeded);
  ASSERT_EQ(ui_.plans.size(), 1u);
  EXPECT_TRUE(ui_.plans[0].activate) << "the welcome page's ticks were taken";
  EXPECT_FALSE(ui_.plans[0].desktop_link.path.empty());
}

// Leaving the wizard before anything is installed is no success: a script
// or a deployment tool must not take it for an installation.
TEST_F(Driver, Transitions) {
  struct Case {
    const char* name;
    std::deque<PageResult> answers;
    bool info;
    Log expected;
    int32_t exit_code;
  };
  const Case cases[] = {
      {"cancel on welcome", {C}, true, {"welcome"}, kExitFailed},
      {"cancel on information", {N, C}, true, {"welcome", "information"}, kExitFailed},
      {"no on licence", {N, N, C}, true, {"welcome", "information", "licence"}, kExitFailed},
      {"back from information", {N, B, N, N, N}, true,
       {"welcome", "information", "welcome", "information", "licence", "progress", "done"}, 0},
      {"back from licence to information", {N, N, B, N, N}, true,
       {"welcome", "information", "licence", "information", "licence", "progress", "done"}, 0},
      {"back from licence to welcome without information", {N, B, N, N}, false,
       {"welcome", "licence", "welcome", "licence", "progress", "done"}, 0},
  };
  for (const Case& c : cases) {
    package_.defaults.show_info_page = c.info;
    EXPECT_EQ(Run(c.answers), c.expected) << c.name;
    EXPECT_EQ(exit_code_, c.exit_code) << c.name;
  }
}

TEST_F(Driver, EmptyTextsSkipTheirPages) {
  package_.info_text.clear();
  package_.licence_text.clear();
  EXPECT_EQ(Run({}), (Log{"welcome", "progress", "done"}));
}

TEST_F(Driver, ChoicesAreKeptOnlyOnNext) {
  options_.choices = {true, false, false, false};
  ui_.ticks = {false, false, false, true};
  Run({N, N, B, B, N, N, N});
  ASSERT_EQ(ui_.plans.size(), 1u);
  EXPECT_FALSE(ui_.plans[0].activate);
  EXPECT_FALSE(ui_.plans[0].desktop_link.path.empty());
}

TEST_F(Driver, FailureThenBackThenSuccessEndsWithZero) {
  EXPECT_EQ(Run({N, N, N, B, N, N, N, N},
                {Outcome(InstallOutcome::Failed), Outcome(InstallOutcome::Completed)}),
            (Log{"welcome", "information", "licence", "progress", "error", "welcome",
                 "information", "licence", "progress", "done"}));
  EXPECT_EQ(exit_code_, kExitSucceeded);
}

TEST_F(Driver, FailureThenBackThenCancelIsAFailure) {
  Run({N, N, N, B, C}, {Outcome(InstallOutcome::Failed)});
  EXPECT_EQ(exit_code_, kExitFailed);
}

TEST_F(Driver, InterruptedFailedAndDamagedRunsEndWithOne) {
  Run({}, {Outcome(InstallOutcome::Interrupted)});
  EXPECT_EQ(ui_.log.back(), "interrupted");
  EXPECT_EQ(exit_code_, kExitFailed);
  // A damaged installer is not tried again, whatever the page answers.
  EXPECT_EQ(Run({N, N, N, B}, {Outcome(InstallOutcome::Failed, /*damaged=*/true)}),
            (Log{"welcome", "information", "licence", "progress", "error"}));
  EXPECT_EQ(exit_code_, kExitFailed);
}

TEST_F(Driver, QuietModeShowsNoPage) {
  options_.quiet = true;
  options_.show_pages = false;
  EXPECT_EQ(Run({}), (Log{"progress"}));
  EXPECT_EQ(exit_code_, kExitSucceeded);
  EXPECT_EQ(Run({}, {Outcome(InstallOutcome::Failed)}), Log{"progress"});
  EXPECT_EQ(exit_code_, kExitFailed);
}

TEST_F(Driver, QuietWithFinalPagesRetriesAtOnceOnBack) {
  options_.quiet = true;
  EXPECT_EQ(Run({B, N}, {Outcome(InstallOutcome::Failed), Outcome(InstallOutcome::Completed)}),
            (Log{"progress", "error", "progress", "done"}));
  EXPECT_EQ(exit_code_, kExitSucceeded);
}

// Silent with progress: the progress page only; nobody is asked to click a
// final page, and the run ends by itself.
TEST_F(Driver, SilentWithProgressShowsNoFinalPage) {
  options_.quiet = true;
  options_.no_interaction = true;
  EXPECT_EQ(Run({}), Log{"progress"});
  EXPECT_EQ(exit_code_, kExitSucceeded);
  EXPECT_EQ(Run({}, {Outcome(InstallOutcome::Failed)}), Log{"progress"});
  EXPECT_EQ(exit_code_, kExitFailed);
}

TEST_F(Driver, DisplayPropertiesThroughSysnativeUnderWow64) {
  options_.choices.open_display_properties = true;
  Run({});
  ASSERT_EQ(fs_.shell_opened.size(), 1u);
  EXPECT_EQ(fs_.shell_opened[0].first, "C:\\WINDOWS\\Sysnative\\control.exe");
  EXPECT_EQ(fs_.shell_opened[0].second, "desk.cpl,,1");
  EXPECT_EQ(fs_.slept_ms, 3000u);

  fs_.wow64 = false;
  fs_.shell_opened.clear();
  Run({});
  EXPECT_EQ(fs_.shell_opened[0].first, "control.exe");
}

TEST_F(Driver, NoDisplayPropertiesAfterAFailureOrWhenNotAsked) {
  options_.choices.open_display_properties = true;
  Run({}, {Outcome(InstallOutcome::Failed)});
  ui_.ticks.open_display_properties = false;
  Run({});
  EXPECT_TRUE(fs_.shell_opened.empty());
}

}  // namespace
}  // namespace lumiset
