// The progress page with a scripted job in place of the installation: the
// bar, the copy-error prompt hand-over with what failed, Stop with Resume
// and with Exit Setup, a job that throws; and the windowless run of a quiet
// installation.
#include "ui/progress_page_win.h"

#include <gtest/gtest.h>

#include <atomic>
#include <commctrl.h>
#include <functional>
#include <stdexcept>
#include <vector>

#include "install/prompter.h"
#include "resource.h"
#include "ui/copy_error_prompt_win.h"
#include "ui/worker_host_win.h"
#include "win32/text_win.h"
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
  std::string SystemMessage(uint32_t code) override {
    return code == 32 ? "The file is in use by another program" : "";
  }
};

// What the scripted job does; set by each test before the page opens.
std::function<void(WorkerLink&, Platform&)> g_work;

// A failure as the installation reports one: the file and a held file's code.
const Status kHeld = Status::Failure("replace", "C:\\windows\\system32\\nova.scr", 32);

// The page, recording the bar's position as the page goes away.
class ObservedProgressPage : public ProgressPage {
 public:
  ObservedProgressPage(Platform& p, const PageLook& look)
      : ProgressPage(GetModuleHandleW(nullptr), look, p,
                     [&p](WorkerLink& link) { g_work(link, p); }) {}

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
    state_.title = "Nova";
    state_.placeholders.title = "Nova";
    state_.placement = Rect{0, 0, 1024, 768};
  }
  ~ProgressPageTest() override { g_work = nullptr; }

  // Runs the page to its end; the driver's findings must be empty.
  void RunPage(Driver& driver) {
    ObservedProgressPage page(platform_, state_);
    modal_result_ = page.DoModal();
    final_bar_position_ = page.final_bar_position;
    driver.Join();
    EXPECT_EQ(driver.Failures(), "");
  }

  PageLook state_;
  SleepingPlatform platform_;
  INT_PTR modal_result_ = 0;
  int final_bar_position_ = -1;
};

// However the job ends, the page closes once it has: finished, thrown, or
// returned without a word.
TEST_F(ProgressPageTest, ThePageClosesWhenTheJobHasEnded) {
  struct Case {
    const char* name;
    std::function<void(WorkerLink&, Platform&)> work;
    int final_bar;
  };
  const Case cases[] = {
      {"completed",
       [](WorkerLink& link, Platform&) {
         for (int32_t value : {3, 50, 80, 98}) link.ReportProgress(value);
       },
       98},
      {"threw", [](WorkerLink&, Platform&) { throw std::runtime_error("worker"); }, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    g_work = c.work;
    Driver driver([](Driver& d) {
      if (HWND page = d.WaitForDialog(kPageCaption)) d.WaitForClose(page);
    });
    RunPage(driver);
    EXPECT_EQ(modal_result_, IDCANCEL);
    if (c.final_bar >= 0) {
      EXPECT_EQ(final_bar_position_, c.final_bar);
    }
  }
}

TEST_F(ProgressPageTest, TheCopyErrorPromptCarriesEachAnswerToTheWorker) {
  std::vector<PromptAnswer> answers;
  g_work = [&answers](WorkerLink& link, Platform& p) {
    link.ReportProgress(20);
    for (int i = 0; i < 3; ++i) answers.push_back(link.AskCopyError(p, {"install", kHeld}));
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
      const std::wstring reason = WindowText(GetDlgItem(prompt, IDC_ERROR_REASON));
      d.Expect(reason.find(L"C:\\windows\\system32\\nova.scr") == 0,
               "the prompt does not name the file: " + WideToUtf8(reason));
      d.Expect(reason.find(L"in use by another program") != std::wstring::npos,
               "the prompt gives no reason: " + WideToUtf8(reason));
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
  EXPECT_EQ(final_bar_position_, 98);
}

TEST_F(ProgressPageTest, StopThenExitSetupInterruptsAndASecondStopIsIgnored) {
  std::atomic<bool> stop_seen{false};
  std::atomic<bool> release{false};
  g_work = [&](WorkerLink& link, Platform& p) {
    link.ReportProgress(30);
    // The stop check waits out the pause of the confirmation.
    WaitUntil([&] { return link.StopRequested(p); });
    stop_seen = true;
    // Winding down: the page must keep waiting for the job's end.
    WaitUntil([&] { return release.load(); });
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
  EXPECT_TRUE(stop_seen);
}

TEST_F(ProgressPageTest, StopJustAfterTheJobEndedAsksNothing) {
  std::atomic<bool> release{false};
  std::atomic<bool> finished{false};
  g_work = [&](WorkerLink& link, Platform&) {
    WaitUntil([&] { return release.load(); });
    link.ReportProgress(98);
    finished = true;
  };
  Driver driver([&](Driver& d) {
    HWND page = d.WaitForDialog(kPageCaption);
    if (!page) return;
    release = true;
    if (!d.Expect(WaitUntil([&] { return finished.load(); }), "the worker did not finish")) return;
    // The host marks the end just after the job returns.
    Sleep(100);
    Press(page, IDCANCEL);
    WaitUntil([&] {
      return !IsWindow(page) || testing::FindDialog(d.ui_thread(), kExitCaption) != nullptr;
    });
    if (testing::FindDialog(d.ui_thread(), kExitCaption)) {
      d.GiveUp("Stop after the end asked for confirmation");
    }
  });
  RunPage(driver);
  EXPECT_EQ(final_bar_position_, 98);
}

// A quiet installation has no page: the job runs with no window of its
// own, and a copy-error prompt still reaches the user.
TEST_F(ProgressPageTest, AQuietRunHasNoPageYetPrompts) {
  std::vector<PromptAnswer> answers;
  std::vector<std::string> reasons;
  Driver driver([](Driver& d) {
    HWND prompt = d.WaitForDialog(kPromptCaption);
    if (!prompt) return;
    d.Expect(testing::FindDialog(d.ui_thread(), kPageCaption) == nullptr, "a page was made");
    d.Expect(WaitUntil([&] { return IsWindowVisible(prompt) != FALSE; }), "the prompt is hidden");
    Press(prompt, IDOK);
  });
  WorkerHost host;
  RunWithoutWindow(
      host,
      [&](WorkerLink& link) {
        link.ReportProgress(40);
        answers.push_back(link.AskCopyError(platform_, {"install", kHeld}));
      },
      [&](const CopyErrorDetails& details) {
        reasons.push_back(std::string(details.why.path()));
        CopyErrorPrompt prompt(GetModuleHandleW(nullptr), state_,
                               DescribeFailure(platform_, details.why));
        return ToPageResult(prompt.DoModal()) == PageResult::Next ? PromptAnswer::kRetry
                                                                  : PromptAnswer::kAbort;
      });
  driver.Join();
  EXPECT_EQ(driver.Failures(), "");
  EXPECT_EQ(answers, (std::vector<PromptAnswer>{PromptAnswer::kRetry}));
  EXPECT_EQ(reasons, (std::vector<std::string>{"C:\\windows\\system32\\nova.scr"}));
}

TEST_F(ProgressPageTest, APageEndedFromOutsideStopsTheWorkerAndWaitsForIt) {
  std::atomic<PromptAnswer> answer{PromptAnswer::kRetry};
  std::atomic<bool> stop_seen{false};
  g_work = [&](WorkerLink& link, Platform& p) {
    answer = link.AskCopyError(p, {"install", kHeld});
    stop_seen = WaitUntil([&] { return link.StopRequested(p); });
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
}

}  // namespace
}  // namespace lumiset
