#include "wizard/wizard_driver.h"

#include <gtest/gtest.h>

#include <deque>

#include "support/fake_platform.h"

namespace lumiset {
namespace {

using testing::FakePlatform;

// Plays the user: each page takes the next scripted answer and is logged.
class ScriptedUi : public WizardUi {
 public:
  std::deque<PageResult> answers;
  std::deque<InstallOutcome> outcomes;
  std::vector<std::string> log;
  WelcomeOptions ticks{1, 1, 1, 1};
  SetupState* state = nullptr;

  PageResult ShowWelcome(WelcomeOptions& o) override {
    log.push_back("welcome");
    const PageResult r = Next();
    if (r == PageResult::Next) o = ticks;
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
  InstallOutcome RunProgress() override {
    log.push_back("progress");
    const InstallOutcome o = outcomes.empty() ? InstallOutcome::Completed : outcomes.front();
    if (!outcomes.empty()) outcomes.pop_front();
    if (o == InstallOutcome::Completed) state->InstallSucceeded = 1;
    return o;
  }
  PageResult ShowFinal(InstallOutcome o) override {
    log.push_back(o == InstallOutcome::Completed ? "done"
                  : o == InstallOutcome::Failed  ? "error"
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

class Driver : public ::testing::Test {
 protected:
  Driver() {
    s_.ShowScreens = 1;
    s_.ShowInfoPage = 1;
    s_.InfoText = "info";
    s_.LicenceText = "licence";
    s_.CompanyName = "Co";
    s_.ScreenSaverTitle = "T";
    s_.InstalledScrPath = "C:\\windows\\Sysnative\\t.scr";
    s_.ExitCode = 42;  // shows whether the driver wrote it
    ui_.state = &s_;
  }
  std::vector<std::string> Run(std::deque<PageResult> answers,
                               std::deque<InstallOutcome> outcomes = {}) {
    ui_.answers = std::move(answers);
    ui_.outcomes = std::move(outcomes);
    RunWizard(s_, fs_, ui_);
    return ui_.log;
  }

  FakePlatform fs_;
  SetupState s_;
  ScriptedUi ui_;
};

using Log = std::vector<std::string>;
constexpr PageResult N = PageResult::Next, C = PageResult::Cancel, B = PageResult::Back;

TEST_F(Driver, FullInteractiveRun) {
  EXPECT_EQ(Run({}), (Log{"welcome", "information", "licence", "progress", "done"}));
  EXPECT_EQ(s_.ExitCode, 0);
  EXPECT_EQ(s_.SetAsDefault, 1) << "the welcome page's ticks were taken";
  EXPECT_TRUE(fs_.HasRegistryKey(RegistryRoot::kCurrentUser, "SOFTWARE\\Co\\T"));
}

TEST_F(Driver, Transitions) {
  struct Case {
    const char* name;
    std::deque<PageResult> answers;
    bool info;
    Log expected;
    int32_t exit_code;
  };
  const Case cases[] = {
      {"cancel on welcome", {C}, true, {"welcome"}, 42},
      {"cancel on information", {N, C}, true, {"welcome", "information"}, 42},
      {"no on licence", {N, N, C}, true, {"welcome", "information", "licence"}, 42},
      {"back from information", {N, B, N, N, N}, true,
       {"welcome", "information", "welcome", "information", "licence", "progress", "done"}, 0},
      {"back from licence to information", {N, N, B, N, N}, true,
       {"welcome", "information", "licence", "information", "licence", "progress", "done"}, 0},
      {"back from licence to welcome without information", {N, B, N, N}, false,
       {"welcome", "licence", "welcome", "licence", "progress", "done"}, 0},
  };
  for (const Case& c : cases) {
    ui_.log.clear();
    s_.ExitCode = 42;
    s_.ShowInfoPage = c.info;
    EXPECT_EQ(Run(c.answers), c.expected) << c.name;
    EXPECT_EQ(s_.ExitCode, c.exit_code) << c.name;
  }
}

TEST_F(Driver, EmptyTextsSkipTheirPages) {
  s_.InfoText.clear();
  s_.LicenceText.clear();
  EXPECT_EQ(Run({}), (Log{"welcome", "progress", "done"}));
}

TEST_F(Driver, OptionsAreKeptOnlyOnNext) {
  s_.SetAsDefault = 1;
  s_.CreateDesktopIcon = 0;
  ui_.ticks = {0, 0, 0, 1};
  Run({C});
  EXPECT_EQ(s_.SetAsDefault, 1);
  EXPECT_EQ(s_.CreateDesktopIcon, 0);
  ui_.log.clear();
  Run({N, N, N, N});
  EXPECT_EQ(s_.SetAsDefault, 0);
  EXPECT_EQ(s_.CreateDesktopIcon, 1);
}

TEST_F(Driver, FailureThenBackThenSuccessEndsWithZero) {
  EXPECT_EQ(Run({N, N, N, B, N, N, N, N}, {InstallOutcome::Failed, InstallOutcome::Completed}),
            (Log{"welcome", "information", "licence", "progress", "error", "welcome",
                 "information", "licence", "progress", "done"}));
  EXPECT_EQ(s_.ExitCode, 0);
}

TEST_F(Driver, FailureThenBackThenCancelLeavesTheExitCodeAlone) {
  Run({N, N, N, B, C}, {InstallOutcome::Failed});
  EXPECT_EQ(s_.ExitCode, 42) << "a run left through Back never sets the code";
}

TEST_F(Driver, InterruptedAndFailedRunsEndWithOne) {
  Run({}, {InstallOutcome::Interrupted});
  EXPECT_EQ(ui_.log.back(), "interrupted");
  EXPECT_EQ(s_.ExitCode, 1);
  EXPECT_FALSE(fs_.HasRegistryKey(RegistryRoot::kCurrentUser, "SOFTWARE\\Co\\T"))
      << "no finishing steps after an unsuccessful run";
}

TEST_F(Driver, QuietModeShowsNoPageButRunsTheFinishingSteps) {
  s_.QuietMode = 1;
  s_.ShowScreens = 0;
  EXPECT_EQ(Run({}), (Log{"progress"}));
  EXPECT_EQ(s_.ExitCode, 0);
  EXPECT_TRUE(fs_.HasRegistryKey(RegistryRoot::kCurrentUser, "SOFTWARE\\Co\\T"));
  ui_.log.clear();
  Run({}, {InstallOutcome::Failed});
  EXPECT_EQ(ui_.log, Log{"progress"});
  EXPECT_EQ(s_.ExitCode, 1);
}

TEST_F(Driver, QuietWithFinalPagesRetriesAtOnceOnBack) {
  s_.QuietMode = 1;
  EXPECT_EQ(Run({B, N}, {InstallOutcome::Failed, InstallOutcome::Completed}),
            (Log{"progress", "error", "progress", "done"}));
  EXPECT_EQ(s_.ExitCode, 0);
}

TEST_F(Driver, DisplayPropertiesThroughSysnativeUnderWow64) {
  s_.OpenDisplayProperties = 1;
  ui_.ticks.OpenDisplayProperties = 1;
  Run({});
  ASSERT_EQ(fs_.shell_opened.size(), 1u);
  EXPECT_EQ(fs_.shell_opened[0].first, "C:\\WINDOWS\\Sysnative\\control.exe");
  EXPECT_EQ(fs_.shell_opened[0].second, "desk.cpl,,1");
  EXPECT_EQ(fs_.slept_ms, 3000u);

  fs_.wow64 = false;
  fs_.shell_opened.clear();
  ui_.log.clear();
  Run({});
  EXPECT_EQ(fs_.shell_opened[0].first, "control.exe");
}

TEST_F(Driver, NoDisplayPropertiesAfterAFailureOrWhenNotAsked) {
  s_.OpenDisplayProperties = 1;
  Run({}, {InstallOutcome::Failed});
  ui_.ticks.OpenDisplayProperties = 0;
  ui_.log.clear();
  Run({});
  EXPECT_TRUE(fs_.shell_opened.empty());
}

}  // namespace
}  // namespace lumiset
