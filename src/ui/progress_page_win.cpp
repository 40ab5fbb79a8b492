#include "ui/progress_page_win.h"

#include <commctrl.h>

#include "resource.h"
#include "ui/copy_error_prompt_win.h"
#include "ui/pages/exit_confirmation_win.h"
#include "win32/system_library_win.h"

namespace lumiset {
namespace {

constexpr UINT_PTR kTimerId = 1;
constexpr UINT kTimerPeriodMs = 200;
constexpr int kBarMaximum = 100;
constexpr int kBarStep = 5;
// Where a hidden page is parked, well off every screen.
constexpr int kParkedPosition = -1000;
// How often an early close looks at a worker it is waiting for.
constexpr DWORD kJoinPollMs = 100;

}  // namespace

ProgressPage::ProgressPage(HINSTANCE instance, Platform& p, SetupState& state,
                             InstallWorkerEntry worker, HWND parent)
    : WizardPage(instance, IDD_PROGRESS, state, parent), platform_(p), worker_(worker) {
  // The bar's window class must be registered before the template is loaded.
  // The common controls are loaded here, by the one page that has one, and
  // not at start: a run without this page never pays for them.
  using InitCommonControlsExFn = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
  static const auto init_controls =
      SystemLibraryFunction<InitCommonControlsExFn>("comctl32.dll", "InitCommonControlsEx");
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_PROGRESS_CLASS};
  if (init_controls) init_controls(&controls);
}

ProgressPage::~ProgressPage() { JoinWorker(); }

INT_PTR ProgressPage::OnMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_STARTWORKER:
      StartWorker();
      SetWindowLongPtrW(hwnd_, DWLP_MSGRESULT, 0);
      return TRUE;
    case WM_WORKERDONE:
      OnTimer(kTimerId);
      SetWindowLongPtrW(hwnd_, DWLP_MSGRESULT, 0);
      return TRUE;
    case WM_WINDOWPOSCHANGING:
      // The modal loop shows a dialog the first time it goes idle; a page
      // hidden for a quiet installation must neither appear nor take the
      // activation from the user's work.
      if (!state().ShowScreens) {
        auto* pos = reinterpret_cast<WINDOWPOS*>(lparam);
        pos->flags &= ~SWP_SHOWWINDOW;
        pos->flags |= SWP_NOACTIVATE;
      }
      break;
    default:
      break;
  }
  return WizardPage::OnMessage(message, wparam, lparam);
}

bool ProgressPage::DoDataExchange(DataExchange direction) {
  WizardPage::DoDataExchange(direction);
  if (direction == DataExchange::kLoad) progress_bar_ = Item(IDC_PROGRESS_BAR);
  return true;
}

bool ProgressPage::OnInitDialog() {
  WizardPage::OnInitDialog();
  const bool shown = state().ShowScreens != 0;
  if (shown) SetApplicationIcon();
  else ShowWindow(hwnd_, SW_HIDE);
  UpdateProgressBar();
  timer_id_ = SetTimer(hwnd_, kTimerId, kTimerPeriodMs, nullptr);
  if (shown) {
    SendMessageW(progress_bar_, PBM_SETRANGE, 0, MAKELPARAM(0, kBarMaximum));
    SendMessageW(progress_bar_, PBM_SETSTEP, kBarStep, 0);
  }
  PostMessageW(hwnd_, WM_STARTWORKER, 0, 0);
  if (shown) {
    SetFocus(Item(IDCANCEL));
    SendMessageW(hwnd_, DM_SETDEFID, IDCANCEL, 0);
    ShowWindow(hwnd_, SW_SHOW);
  } else {
    SetWindowPos(hwnd_, HWND_BOTTOM, kParkedPosition, kParkedPosition, 0, 0,
                 SWP_NOSIZE | SWP_NOACTIVATE);
  }
  return false;
}

void ProgressPage::StartWorker() {
  if (worker_thread_) return;
  if (state().ShowScreens) {
    ShowWindow(hwnd_, SW_SHOW);
    InvalidateRect(hwnd_, nullptr, TRUE);
    UpdateWindow(hwnd_);
  } else {
    ShowWindow(hwnd_, SW_HIDE);
  }
  worker_thread_.Reset(CreateThread(nullptr, 0, WorkerThread, this, 0, &worker_thread_id_));
  if (!worker_thread_) {
    // No thread, no installation: the next tick closes the page as failed.
    link_.Finish(WorkerResult::Failed);
    return;
  }
  SetThreadPriority(worker_thread_.get(), THREAD_PRIORITY_IDLE);
}

DWORD WINAPI ProgressPage::WorkerThread(LPVOID param) {
  auto* page = static_cast<ProgressPage*>(param);
  WorkerLink& link = page->link_;
  // The page joins this thread before it goes away, so the link may be
  // read here after the worker has returned.
  try {
    page->worker_(link, page->platform_, page->state());
  } catch (...) {
  }
  // A worker that threw or forgot to finish has failed.
  if (!link.finished()) link.Finish(WorkerResult::Failed);
  PostMessageW(page->hwnd(), WM_WORKERDONE, 0, 0);
  return 0;
}

void ProgressPage::OnTimer(UINT_PTR) {
  if (prompt_showing_) return;
  if (link_.prompt_pending()) {
    ShowCopyErrorPrompt();
    return;
  }
  if (link_.finished()) {
    ClosePage();
    return;
  }
  UpdateProgressBar();
}

void ProgressPage::ShowCopyErrorPrompt() {
  prompt_showing_ = 1;
  CopyErrorPrompt prompt(instance(), state(), hwnd_);
  link_.Answer(ToPageResult(prompt.DoModal()) == PageResult::Next ? PromptAnswer::kRetry
                                                                   : PromptAnswer::kAbort);
  prompt_showing_ = 0;
}

void ProgressPage::ClosePage() {
  prompt_showing_ = 1;
  DecideOutcome();
  EndDialog(IDCANCEL);
}

void ProgressPage::DecideOutcome() {
  closed_ = true;
  if (link_.stop_requested()) {
    outcome_ = InstallOutcome::Interrupted;
  } else if (link_.result() != WorkerResult::Completed) {
    outcome_ = InstallOutcome::Failed;
  } else {
    UpdateProgressBar();
    state().InstallSucceeded = 1;
    outcome_ = InstallOutcome::Completed;
  }
}

void ProgressPage::UpdateProgressBar() {
  if (last_shown_progress_ == kBarMaximum) return;
  const int32_t value = link_.progress();
  if (value == last_shown_progress_) return;
  SendMessageW(progress_bar_, PBM_SETPOS, static_cast<WPARAM>(value), 0);
  last_shown_progress_ = value;
}

// Enter on a page whose only button is Stop must not end it.
void ProgressPage::OnOK() {}

void ProgressPage::OnCancel() {
  // A prompt or the confirmation is up, or the page is already closing.
  if (prompt_showing_) return;
  if (link_.finished()) {
    ClosePage();
    return;
  }
  if (link_.stop_requested()) return;
  prompt_showing_ = 1;
  link_.Pause();
  MessageBeep(MB_ICONHAND);
  if (ConfirmExitSetup(instance(), state(), hwnd_)) {
    link_.RequestStop();
    EnableWindow(Item(IDCANCEL), FALSE);
  }
  link_.Resume();
  prompt_showing_ = 0;
}

void ProgressPage::OnDestroy() {
  if (timer_id_) {
    KillTimer(hwnd_, timer_id_);
    timer_id_ = 0;
  }
  JoinWorker();
}

void ProgressPage::JoinWorker() {
  if (!worker_thread_) return;
  if (!link_.finished()) {
    // The page is going away before the worker ended (its loop was ended
    // from outside): stop it and answer any prompt with Abort Setup.
    link_.RequestStop();
    while (WaitForSingleObject(worker_thread_.get(), kJoinPollMs) == WAIT_TIMEOUT) {
      link_.Answer(PromptAnswer::kAbort);
    }
  } else {
    // Finishing is the worker's last write; only its return is left.
    WaitForSingleObject(worker_thread_.get(), INFINITE);
  }
  worker_thread_.Reset();
  if (!closed_) DecideOutcome();
}

}  // namespace lumiset
