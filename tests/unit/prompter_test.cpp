#include "install/prompter.h"

#include <gtest/gtest.h>

#include <vector>

#include "support/fake_platform.h"
#include "support/recording_prompt_ui.h"

namespace lumiset {
namespace {


// Who is told what, by the run's switches: the success report only where
// pages show, the damaged installer only in an interactive run, failures
// unless nobody is there.
TEST(Prompter, EachNoticeGoesOutByTheRunsPolicy) {
  struct Case {
    const char* name;
    PromptPolicy policy;
    std::vector<Notice> told;
  };
  const std::vector<Notice> all = {Notice::kUninstalled, Notice::kUninstallFailed,
                                   Notice::kDamagedInstaller, Notice::kSettingsMissing,
                                   Notice::kNotInItsFolder};
  const Case cases[] = {
      {"interactive", {false, true, false}, all},
      {"/u alone", {false, false, false},
       {Notice::kUninstallFailed, Notice::kDamagedInstaller, Notice::kSettingsMissing,
        Notice::kNotInItsFolder}},
      {"/q", {true, false, false},
       {Notice::kUninstallFailed, Notice::kSettingsMissing, Notice::kNotInItsFolder}},
      {"/q /f", {true, true, false},
       {Notice::kUninstalled, Notice::kUninstallFailed, Notice::kSettingsMissing,
        Notice::kNotInItsFolder}},
      {"/n", {false, true, true}, {}},
      {"/q /f /n", {true, true, true}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    testing::FakePlatform p;
    testing::RecordingPromptUi ui;
    Prompter prompter(c.policy, ui, p);
    for (Notice notice : all) prompter.Tell(notice, 1);
    std::vector<Notice> told;
    for (const auto& [notice, language] : ui.notices) told.push_back(notice);
    EXPECT_EQ(told, c.told);
  }
}

TEST(Prompter, NobodyIsAskedWhenNobodyIsThere) {
  testing::FakePlatform p;
  testing::RecordingPromptUi ui;
  ui.answer = PromptAnswer::kRetry;
  Prompter asking({true, false, false}, ui, p);
  EXPECT_TRUE(asking.AskRetry("write", Status::Failure("write", "C:\\x", 32)));
  EXPECT_EQ(ui.asked.size(), 1u) << "a quiet run still asks";
  Prompter unattended({true, false, true}, ui, p);
  for (int i = 0; i < Prompter::kUnattendedRetries; ++i) {
    EXPECT_TRUE(unattended.AskRetry("write", Status::Failure("write", "C:\\x", 32)));
  }
  EXPECT_FALSE(unattended.AskRetry("write", Status::Failure("write", "C:\\x", 32)));
  EXPECT_EQ(ui.asked.size(), 1u);
  EXPECT_EQ(p.slept_ms, Prompter::kUnattendedRetries * Prompter::kUnattendedRetryMs);
}

TEST(Prompter, AFailureReadsAsTheFileAndTheSystemsReason) {
  struct Reasons : testing::FakePlatform {
    std::string SystemMessage(uint32_t code) override {
      return code == 32 ? "The file is in use by another program" : "";
    }
  } p;
  EXPECT_EQ(DescribeFailure(p, Status::Failure("replace", "C:\\w\\s.scr", 32)),
            "C:\\w\\s.scr\nThe file is in use by another program");
  EXPECT_EQ(DescribeFailure(p, Status::Corrupt("decode the screensaver block in", "C:\\Setup.exe")),
            "C:\\Setup.exe\ndecode the screensaver block in (the data is damaged)");
  EXPECT_EQ(DescribeFailure(p, Status::Ok()), "");
}

}  // namespace
}  // namespace lumiset
