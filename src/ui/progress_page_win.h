#pragma once

#include <cstdint>

#include "setup/setup_state.h"
#include "wizard/page_results.h"
#include "install/install_worker.h"
#include "base/platform.h"
#include "win32/scoped_handle_win.h"
#include "install/worker_link.h"
#include "ui/wizard_page_win.h"

namespace lumiset {

// Posted by the progress page to itself: start the worker once the page's
// modal loop runs.
inline constexpr UINT WM_STARTWORKER = WM_USER + 16;
// Posted by the worker thread once it has finished, so the page closes at
// once instead of on its next tick.
inline constexpr UINT WM_WORKERDONE = WM_USER + 17;

// The work run on the worker thread; finishing the link is its last act.
using InstallWorkerEntry = void (*)(WorkerLink& link, Platform& p, SetupState& state);

// The "Installing" page. It runs the worker on a thread of its own at idle
// priority, polls it every 200 ms to move the bar, puts the worker's
// copy-error prompts to the user, lets the user stop through the "Exit
// Setup" confirmation (the worker pauses meanwhile), and closes itself once
// the worker has finished, recording how the run ended. With ShowScreens
// off it stays hidden, parked off-screen, and still does all of that.
// DoModal returns Cancel; the run's result is outcome().
class ProgressPage : public WizardPage {
 public:
  ProgressPage(HINSTANCE instance, Platform& p, SetupState& state,
                InstallWorkerEntry worker = InstallWorker, HWND parent = nullptr);
  // Joins a worker still running (its stop flag set first), so the link it
  // writes to outlives it.
  ~ProgressPage() override;

  // Completed, Failed or Interrupted once the page has closed; Failed when
  // the page could not run the worker.
  InstallOutcome outcome() const { return outcome_; }

 protected:
  INT_PTR OnMessage(UINT message, WPARAM wparam, LPARAM lparam) override;
  bool DoDataExchange(DataExchange direction) override;
  bool OnInitDialog() override;
  void OnTimer(UINT_PTR id) override;
  void OnOK() override;
  void OnCancel() override;
  void OnDestroy() override;

 private:
  static DWORD WINAPI WorkerThread(LPVOID page);
  void StartWorker();
  void ShowCopyErrorPrompt();
  void ClosePage();
  void DecideOutcome();
  void UpdateProgressBar();
  void JoinWorker();

  Platform& platform_;
  InstallWorkerEntry worker_;
  HWND progress_bar_ = nullptr;
  UINT_PTR timer_id_ = 0;
  int32_t last_shown_progress_ = -1;
  // Set while a tick shows a prompt, while the stop confirmation is up, and
  // from the moment the page closes: ticks and Stop then do nothing.
  int32_t prompt_showing_ = 0;
  bool closed_ = false;
  InstallOutcome outcome_ = InstallOutcome::Failed;
  DWORD worker_thread_id_ = 0;
  ScopedKernelHandle worker_thread_;
  WorkerLink link_;
};

}  // namespace lumiset
