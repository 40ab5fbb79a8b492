// The progress page with a scripted worker in place of the installation:
// outcomes, the copy-error prompt hand-over, Stop with Resume and with Exit
// Setup, and the hidden page of a quiet installation.
#include "ui/progress_page_win.h"

#include <gtest/gtest.h>

#include <atomic>
#include <commctrl.h>
#include <functional>
#include <stdexcept>
#include <vector>

#include "resource.h"
#include "dialog_driver_win.h"
#include "support/fake_platform.h"

namespace lumiset {
namespace {

using testing::Driver;
using testing::Press;
using testing::WaitUntil;

constexpr wchar_t kPageCaption[] = L"Screensaver Installation - Installing";
constexpr wchar_t kExitCaption[] = L"Exit Setup";
constexpr wchar_t kPromptCaption[] = L"File Copy Error";

// The fake machine, except that the worker's waits really pass time.
class SleepingPlatform : public testing::FakePlatform {
 public:
  void SleepMs(uint32_t milliseconds) override { Sleep(milliseconds); }
};

// What the scripted worker does; set by each test before the page opens.
std::function<void(WorkerLink&, Platform&)> g_work;

void ScriptedWorker(WorkerLink& link, Platform& p, SetupState&) { g_work(link, p); }

// The page, recording the bar's position as the page goes away.
class ObservedProgressPage : public ProgressPage {
 public:
  ObservedProgressPage(Platform& p, SetupState& state)
      : ProgressPage(GetModuleHandleW(nullptr), p, state, ScriptedWorker) {}

  int final_bar_position = -1;

 protected:
  INT_PTR OnMessage(UINT message, WPARAM wparam, LPARAM lparam) override {
    if (message == WM_DESTROY) {
      final_bar_position =
          static_cast<int>(SendDlgItemMessageW(hwnd_, IDC_PROGRESS_BAR, PBM_GETPOS, 0, 0));
    }
    return ProgressPage::OnMessage(message, wparam, lparam);
  }
};

class ProgressPageTest : public ::testing::Test {
 protected:
  ProgressPageTest() {
    state_.ScreenSaverTitle = "Nova";
    state_.ShowScreens = 1;
    state_.PlacementRect = Rect{0, 0, 1024, 768};
  }
  ~ProgressPageTest() override { g_work = nullptr; }

  // Runs the page to its end; the driver's findings must be empty.
  void RunPage(Driver& driver) {
    ObservedProgressPage page(platform_, state_);
    modal_result_ = page.DoModal();
    outcome_ = page.outcome();
    final_bar_position_ = page.final_bar_position;
    driver.Join();
    EXPECT_EQ(driver.Failures(), "");
  }

  SetupState state_;
  SleepingPlatform platform_;
  INT_PTR modal_result_ = 0;
  InstallOutcome outcome_ = InstallOutcome::Completed;
  int final_bar_position_ = -1;
};

TEST_F(ProgressPageTest, TheOutcomeFollowsHowTheWorkerEnded) {
  struct Case {
    const char* name;
    std::function<void(WorkerLink&, Platform&)> work;
    InstallOutcome outcome;
    int32_t succeeded;
  };
  const Case cases[] = {
      {"completed",
       [](WorkerLink& link, Platform&) {
         for (int32_t value : {3, 50, 65, 80, 98}) link.ReportProgress(value);
         link.Finish(WorkerResult::Completed);
       },
       InstallOutcome::Completed, 1},
      {"no work file",
       [](WorkerLink& link, Platform&) { link.Finish(WorkerResult::NoWorkFile); },
       InstallOutcome::Failed, 0},
      {"failed",
       [](WorkerLink& link, Platform&) {
         link.ReportProgress(50);
         link.Finish(WorkerResult::Failed);
       },
       InstallOutcome::Failed, 0},
      {"threw", [](WorkerLink&, Platform&) { throw std::runtime_error("worker"); },
       InstallOutcome::Failed, 0},
      {"returned without finishing",
       [](WorkerLink& link, Platform&) { link.ReportProgress(98); },
       InstallOutcome::Failed, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    state_.InstallSucceeded = 0;
    g_work = c.work;
    Driver driver([](Driver& d) {
      if (HWND page = d.WaitForDialog(kPageCaption)) d.WaitForClose(page);
    });
    RunPage(driver);
    EXPECT_EQ(modal_result_, IDCANCEL);
    EXPECT_EQ(outcome_, c.outcome);
    EXPECT_EQ(state_.InstallSucceeded, c.succeeded);
    if (c.outcome == InstallOutcome::Completed) {
      EXPECT_EQ(final_bar_position_, 98);
    }
  }
}

TEST_F(ProgressPageTest, TheCopyErrorPromptCarriesEachAnswerToTheWorker) {
  std::vector<PromptAnswer> answers;
  g_work = [&answers](WorkerLink& link, Platform& p) {
    link.ReportProgress(20);
    for (int i = 0; i < 3; ++i) answers.push_back(link.AskCopyError(p));
    link.Finish(WorkerResult::Failed);
  };
  Driver driver([](Driver& d) {
    HWND page = d.WaitForDialog(kPageCaption);
    // Retry, then Abort Setup, then the close box.
    for (int answer : {IDOK, IDCANCEL, -1}) {
      HWND prompt = d.WaitForDialog(kPromptCaption);
      if (!prompt) return;
      d.Expect(GetWindow(prompt, GW_OWNER) == page, "the prompt is not modal to the page");
      d.Expect(!IsWindowEnabled(page), "the page takes input under the prompt");
      d.Expect(WindowText(GetDlgItem(prompt, IDC_HEADING)) ==
                   L"Setup has detected a read/write error while copying the installation files.",
               "the prompt's heading reads wrong");
      if (answer == IDOK) {
        Press(page, IDCANCEL);
        d.Expect(!WaitUntil([&] { return testing::FindDialog(d.ui_thread(), kExitCaption); }, 400),
                 "Stop under the prompt asked to exit");
      }
      if (answer == -1) PostMessageW(prompt, WM_SYSCOMMAND, SC_CLOSE, 0);
      else Press(prompt, answer);
      if (!d.WaitForClose(prompt)) return;
    }
    d.WaitForClose(page);
  });
  RunPage(driver);
  EXPECT_EQ(answers, (std::vector<PromptAnswer>{PromptAnswer::kRetry, PromptAnswer::kAbort,
                                                 PromptAnswer::kAbort}));
  EXPECT_EQ(outcome_, InstallOutcome::Failed);
  EXPECT_EQ(state_.InstallSucceeded, 0);
}

TEST_F(ProgressPageTest, StopThenResumeLetsTheWorkerCarryOn) {
  std::atomic<int> pauses_seen{0};
  std::atomic<bool> release{false};
  std::atomic<bool> stop_seen{false};
  g_work = [&](WorkerLink& link, Platform&) {
    link.ReportProgress(10);
    bool paused = false;
    WaitUntil([&] {
      const bool now = link.paused();
      if (now && !paused) ++pauses_seen;
      paused = now;
      if (link.stop_requested()) stop_seen = true;
      return release.load();
    });
    link.ReportProgress(98);
    link.Finish(WorkerResult::Completed);
  };
  Driver driver([&](Driver& d) {
    HWND page = d.WaitForDialog(kPageCaption);
    if (!page) return;
    Press(page, IDCANCEL);
    HWND exit = d.WaitForDialog(kExitCaption);
    if (!exit) return;
    d.Expect(WaitUntil([&] { return pauses_seen == 1; }), "the worker was not paused");
    Press(exit, IDOK);
    if (!d.WaitForClose(exit)) return;
    d.Expect(IsWindowEnabled(GetDlgItem(page, IDCANCEL)) != FALSE, "Resume disabled Stop");
    release = true;
    d.WaitForClose(page);
  });
  RunPage(driver);
  EXPECT_EQ(pauses_seen, 1);
  EXPECT_FALSE(stop_seen);
  EXPECT_EQ(outcome_, InstallOutcome::Completed);
  EXPECT_EQ(state_.InstallSucceeded, 1);
}

TEST_F(ProgressPageTest, StopThenExitSetupInterruptsAndASecondStopIsIgnored) {
  std::atomic<bool> stop_seen{false};
  std::atomic<bool> release{false};
  g_work = [&](WorkerLink& link, Platform& p) {
    link.ReportProgress(30);
    // The stop check waits out the pause of the confirmation.
    WaitUntil([&] { return link.StopRequested(p); });
    stop_seen = true;
    // Winding down: the page must keep waiting for Finished.
    WaitUntil([&] { return release.load(); });
    link.Finish(WorkerResult::Stopped);
  };
  Driver driver([&](Driver& d) {
    HWND page = d.WaitForDialog(kPageCaption);
    if (!page) return;
    Press(page, IDCANCEL);
    HWND exit = d.WaitForDialog(kExitCaption);
    if (!exit) return;
    Press(exit, IDCANCEL);
    if (!d.WaitForClose(exit)) return;
    d.Expect(WaitUntil([&] { return stop_seen.load(); }), "the worker never saw the stop");
    d.Expect(!IsWindowEnabled(GetDlgItem(page, IDCANCEL)), "Stop is still enabled");
    Press(page, IDCANCEL);
    d.Expect(!WaitUntil([&] { return testing::FindDialog(d.ui_thread(), kExitCaption); }, 600),
             "a second Stop asked again");
    d.Expect(IsWindow(page) != FALSE, "the page closed before the worker finished");
    release = true;
    d.WaitForClose(page);
  });
  RunPage(driver);
  EXPECT_EQ(outcome_, InstallOutcome::Interrupted);
  EXPECT_EQ(state_.InstallSucceeded, 0);
}

TEST_F(ProgressPageTest, StopJustAfterTheWorkerFinishedKeepsItsOutcome) {
  std::atomic<bool> release{false};
  std::atomic<bool> finished{false};
  g_work = [&](WorkerLink& link, Platform&) {
    WaitUntil([&] { return release.load(); });
    link.ReportProgress(98);
    link.Finish(WorkerResult::Completed);
    finished = true;
  };
  Driver driver([&](Driver& d) {
    HWND page = d.WaitForDialog(kPageCaption);
    if (!page) return;
    release = true;
    if (!d.Expect(WaitUntil([&] { return finished.load(); }), "the worker did not finish")) return;
    Press(page, IDCANCEL);
    WaitUntil([&] {
      return !IsWindow(page) || testing::FindDialog(d.ui_thread(), kExitCaption) != nullptr;
    });
    if (testing::FindDialog(d.ui_thread(), kExitCaption)) {
      d.GiveUp("Stop after the end asked for confirmation");
    }
  });
  RunPage(driver);
  EXPECT_EQ(outcome_, InstallOutcome::Completed);
  EXPECT_EQ(state_.InstallSucceeded, 1);
}

TEST_F(ProgressPageTest, AQuietPageStaysHiddenYetPromptsAndCloses) {
  state_.ShowScreens = 0;
  std::vector<PromptAnswer> answers;
  g_work = [&answers](WorkerLink& link, Platform& p) {
    link.ReportProgress(40);
    answers.push_back(link.AskCopyError(p));
    link.ReportProgress(98);
    link.Finish(WorkerResult::Completed);
  };
  Driver driver([](Driver& d) {
    HWND page = d.WaitForDialog(kPageCaption);
    if (!page) return;
    HWND prompt = d.WaitForDialog(kPromptCaption);
    if (!prompt) return;
    RECT where{};
    GetWindowRect(page, &where);
    d.Expect(where.left == -1000 && where.top == -1000, "the page is not parked off-screen");
    d.Expect(!IsWindowVisible(page), "the quiet page shows");
    // A modal dialog exists, hidden, before its loop shows it: a busy
    // machine can let the driver find it in between.
    d.Expect(WaitUntil([&] { return IsWindowVisible(prompt) != FALSE; }), "the prompt is hidden");
    Press(prompt, IDOK);
    bool shown = false;
    while (IsWindow(page)) {
      shown = shown || IsWindowVisible(page);
      Sleep(20);
    }
    d.Expect(!shown, "the quiet page showed while it closed");
  });
  RunPage(driver);
  EXPECT_EQ(answers, (std::vector<PromptAnswer>{PromptAnswer::kRetry}));
  EXPECT_EQ(outcome_, InstallOutcome::Completed);
  EXPECT_EQ(state_.InstallSucceeded, 1);
}

TEST_F(ProgressPageTest, APageEndedFromOutsideStopsTheWorkerAndWaitsForIt) {
  std::atomic<PromptAnswer> answer{PromptAnswer::kRetry};
  std::atomic<bool> stop_seen{false};
  g_work = [&](WorkerLink& link, Platform& p) {
    answer = link.AskCopyError(p);
    stop_seen = WaitUntil([&] { return link.StopRequested(p); });
    link.Finish(WorkerResult::Stopped);
  };
  const DWORD ui_thread = GetCurrentThreadId();
  Driver driver([ui_thread](Driver& d) {
    HWND page = d.WaitForDialog(kPageCaption);
    if (!page || !d.WaitForDialog(kPromptCaption)) return;
    // A quit request ends every modal loop of the thread.
    PostThreadMessageW(ui_thread, WM_QUIT, 0, 0);
    d.WaitForClose(page);
  });
  RunPage(driver);
  // The modal loops pass the quit request on; it is not this test's to keep.
  MSG message;
  while (PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
  }
  EXPECT_EQ(answer, PromptAnswer::kAbort);
  EXPECT_TRUE(stop_seen);
  EXPECT_EQ(outcome_, InstallOutcome::Interrupted);
}

}  // namespace
}  // namespace lumiset
