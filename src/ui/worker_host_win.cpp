#include "ui/worker_host_win.h"

namespace lumiset {
namespace {

// How often a waiting thread looks at the worker.
constexpr DWORD kPollMs = 50;

}  // namespace

bool WorkerHost::Start(Job job, HWND notify, UINT message) {
  if (thread_) return false;
  job_ = std::move(job);
  notify_ = notify;
  message_ = message;
  thread_.Reset(CreateThread(nullptr, 0, Entry, this, 0, nullptr));
  if (!thread_) {
    link_.Finish();
    return false;
  }
  SetThreadPriority(thread_.get(), THREAD_PRIORITY_IDLE);
  return true;
}

DWORD WINAPI WorkerHost::Entry(LPVOID param) {
  auto* host = static_cast<WorkerHost*>(param);
  // A thread entry: nothing may escape it.
  try {
    host->job_(host->link_);
  } catch (...) {
  }
  // The host joins this thread before it goes away, so its members may be
  // read here after the link is finished.
  HWND notify = host->notify_;
  const UINT message = host->message_;
  host->link_.Finish();
  if (notify) PostMessageW(notify, message, 0, 0);
  return 0;
}

void WorkerHost::Join() {
  if (!thread_) return;
  if (!link_.finished()) {
    link_.RequestStop();
    while (WaitForSingleObject(thread_.get(), kPollMs * 2) == WAIT_TIMEOUT) {
      link_.Answer(PromptAnswer::kAbort);
    }
  } else {
    // Finishing is the worker's last write; only its return is left.
    WaitForSingleObject(thread_.get(), INFINITE);
  }
  thread_.Reset();
}

void RunWithoutWindow(WorkerHost& host, WorkerHost::Job job,
                      const std::function<PromptAnswer(const CopyErrorDetails&)>& ask) {
  if (!host.Start(std::move(job))) return;
  bool quit = false;
  WPARAM quit_code = 0;
  WorkerLink& link = host.link();
  // The thread's end wakes the wait at once: a quiet run ends as soon as its
  // work does. Prompts are looked at every kPollMs.
  const HANDLE thread = host.thread();
  while (!link.finished()) {
    MsgWaitForMultipleObjects(1, &thread, FALSE, kPollMs, QS_ALLINPUT);
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
    if (link.prompt_pending()) link.Answer(ask(link.prompt_details()));
  }
  host.Join();
  // A quit request that came meanwhile is for the caller's loop.
  if (quit) PostQuitMessage(static_cast<int>(quit_code));
}

}  // namespace lumiset
