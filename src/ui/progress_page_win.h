#pragma once

#include <cstdint>

#include "base/platform.h"
#include "ui/page_look.h"
#include "ui/wizard_page_win.h"
#include "ui/worker_host_win.h"

namespace lumiset {

// Posted by the progress page to itself: start the worker once the page's
// modal loop runs.
inline constexpr UINT WM_STARTWORKER = WM_USER + 16;
// Posted by the worker's host once the job has ended, so the page closes at
// once instead of on its next tick.
inline constexpr UINT WM_WORKERDONE = WM_USER + 17;

// The "Installing" page. It runs the job on the worker's thread, polls it
// every 200 ms to move the bar, puts the worker's copy-error prompts to the
// user (naming the file and the reason), lets the user stop through the
// "Exit Setup" confirmation (the worker pauses meanwhile), and closes itself
// once the job has ended. DoModal returns Cancel; what the job came to is
// the job's own to report.
class ProgressPage : public WizardPage {
 public:
  ProgressPage(HINSTANCE instance, const PageLook& look, Platform& p, WorkerHost::Job job,
               HWND parent = nullptr);
  // Joins a job still running (its stop flag set first).
  ~ProgressPage() override;

 protected:
  INT_PTR OnMessage(UINT message, WPARAM wparam, LPARAM lparam) override;
  bool DoDataExchange(DataExchange direction) override;
  bool OnInitDialog() override;
  void OnTimer(UINT_PTR id) override;
  void OnOK() override;
  void OnCancel() override;
  void OnDestroy() override;

 private:
  void StartWorker();
  void ShowCopyErrorPrompt();
  void ClosePage();
  void UpdateProgressBar();

  Platform& platform_;
  WorkerHost::Job job_;
  bool started_ = false;
  HWND progress_bar_ = nullptr;
  UINT_PTR timer_id_ = 0;
  int32_t last_shown_progress_ = -1;
  // Set while a tick shows a prompt, while the stop confirmation is up, and
  // from the moment the page closes: ticks and Stop then do nothing.
  bool busy_ = false;
  WorkerHost host_;
};

}  // namespace lumiset
