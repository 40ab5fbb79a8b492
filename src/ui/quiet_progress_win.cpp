#include "ui/quiet_progress_win.h"

#include "install/worker_link.h"
#include "ui/copy_error_prompt_win.h"
#include "ui/environment_win.h"
#include "win32/scoped_handle_win.h"

namespace lumiset {
namespace {

// How often the waiting thread looks for a prompt request.
constexpr DWORD kPromptPollMs = 50;

struct HiddenRun {
  InstallWorkerEntry worker;
  Platform& platform;
  SetupState& state;
  WorkerLink link;
};

DWORD WINAPI HiddenWorkerThread(LPVOID param) {
  auto* run = static_cast<HiddenRun*>(param);
  WorkerLink& link = run->link;
  try {
    run->worker(link, run->platform, run->state);
  } catch (...) {
  }
  // A worker that threw or forgot to finish has failed.
  if (!link.finished()) link.Finish(WorkerResult::Failed);
  return 0;
}

}  // namespace

InstallOutcome RunHiddenProgress(HINSTANCE instance, Platform& p, SetupState& state,
                                 InstallWorkerEntry worker) {
  HiddenRun run{worker, p, state, {}};
  ScopedKernelHandle thread(CreateThread(nullptr, 0, HiddenWorkerThread, &run, 0, nullptr));
  if (!thread) return InstallOutcome::Failed;
  // Messages are pumped meanwhile: a window of this thread (the frame of a
  // wizard run) must still answer, for instance the broadcast the worker's
  // activation of the screensaver sends.
  HANDLE handle = thread.get();
  bool quit = false;
  WPARAM quit_code = 0;
  for (;;) {
    const DWORD waited = MsgWaitForMultipleObjects(1, &handle, FALSE, kPromptPollMs, QS_ALLINPUT);
    if (waited == WAIT_OBJECT_0) break;
    if (waited == WAIT_FAILED) {
      WaitForSingleObject(handle, INFINITE);
      break;
    }
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) {
        quit = true;
        quit_code = msg.wParam;
        continue;
      }
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    if (run.link.prompt_pending()) {
      SettleDisplayFacts(state);
      CopyErrorPrompt prompt(instance, state);
      run.link.Answer(ToPageResult(prompt.DoModal()) == PageResult::Next ? PromptAnswer::kRetry
                                                                         : PromptAnswer::kAbort);
    }
  }
  // A quit request that came meanwhile is for the caller's loop.
  if (quit) PostQuitMessage(static_cast<int>(quit_code));
  if (run.link.result() != WorkerResult::Completed) return InstallOutcome::Failed;
  state.InstallSucceeded = 1;
  return InstallOutcome::Completed;
}

}  // namespace lumiset
