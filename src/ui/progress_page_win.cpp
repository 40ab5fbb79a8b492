#include "ui/progress_page_win.h"

#include <commctrl.h>

#include "install/prompter.h"
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

}  // namespace

ProgressPage::ProgressPage(HINSTANCE instance, const PageLook& look, Platform& p,
                           WorkerHost::Job job, HWND parent)
    : WizardPage(instance, IDD_PROGRESS, look, parent), platform_(p), job_(std::move(job)) {
  // The bar's window class must be registered before the template is loaded.
  // The common controls are loaded here, by the one page that has one, and
  // not at start: a run without this page never pays for them.
  using InitCommonControlsExFn = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
  static const auto init_controls =
      SystemLibraryFunction<InitCommonControlsExFn>("comctl32.dll", "InitCommonControlsEx");
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_PROGRESS_CLASS};
  if (init_controls) init_controls(&controls);
}

ProgressPage::~ProgressPage() { host_.Join(); }

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
  SetApplicationIcon();
  timer_id_ = SetTimer(hwnd_, kTimerId, kTimerPeriodMs, nullptr);
  SendMessageW(progress_bar_, PBM_SETRANGE, 0, MAKELPARAM(0, kBarMaximum));
  SendMessageW(progress_bar_, PBM_SETSTEP, kBarStep, 0);
  UpdateProgressBar();
  PostMessageW(hwnd_, WM_STARTWORKER, 0, 0);
  SetFocus(Item(IDCANCEL));
  SendMessageW(hwnd_, DM_SETDEFID, IDCANCEL, 0);
  ShowWindow(hwnd_, SW_SHOW);
  return false;
}

void ProgressPage::StartWorker() {
  if (started_) return;
  started_ = true;
  ShowWindow(hwnd_, SW_SHOW);
  InvalidateRect(hwnd_, nullptr, TRUE);
  UpdateWindow(hwnd_);
  // Without a thread the link is finished at once: the next tick closes.
  host_.Start(std::move(job_), hwnd_, WM_WORKERDONE);
}

void ProgressPage::OnTimer(UINT_PTR) {
  if (busy_ || !started_) return;
  WorkerLink& link = host_.link();
  if (link.prompt_pending()) {
    ShowCopyErrorPrompt();
    return;
  }
  if (link.finished()) {
    ClosePage();
    return;
  }
  UpdateProgressBar();
}

void ProgressPage::ShowCopyErrorPrompt() {
  busy_ = true;
  WorkerLink& link = host_.link();
  CopyErrorPrompt prompt(instance(), look(), DescribeFailure(platform_, link.prompt_details().why),
                         hwnd_);
  link.Answer(ToPageResult(prompt.DoModal()) == PageResult::Next ? PromptAnswer::kRetry
                                                                 : PromptAnswer::kAbort);
  busy_ = false;
}

void ProgressPage::ClosePage() {
  busy_ = true;
  UpdateProgressBar();
  EndDialog(IDCANCEL);
}

void ProgressPage::UpdateProgressBar() {
  if (last_shown_progress_ == kBarMaximum) return;
  const int32_t value = host_.link().progress();
  if (value == last_shown_progress_) return;
  SendMessageW(progress_bar_, PBM_SETPOS, static_cast<WPARAM>(value), 0);
  last_shown_progress_ = value;
}

// Enter on a page whose only button is Stop must not end it.
void ProgressPage::OnOK() {}

void ProgressPage::OnCancel() {
  // A prompt or the confirmation is up, or the page is already closing.
  if (busy_) return;
  WorkerLink& link = host_.link();
  if (link.finished()) {
    ClosePage();
    return;
  }
  if (link.stop_requested()) return;
  busy_ = true;
  link.Pause();
  MessageBeep(MB_ICONHAND);
  if (ConfirmExitSetup(instance(), look(), hwnd_)) {
    link.RequestStop();
    EnableWindow(Item(IDCANCEL), FALSE);
  }
  link.Resume();
  busy_ = false;
}

void ProgressPage::OnDestroy() {
  if (timer_id_) {
    KillTimer(hwnd_, timer_id_);
    timer_id_ = 0;
  }
  host_.Join();
}

}  // namespace lumiset
