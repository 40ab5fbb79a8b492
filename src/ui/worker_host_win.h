#pragma once

#include <functional>

#include "install/worker_link.h"
#include "win32/scoped_handle_win.h"
#include "win32/windows_win.h"

namespace lumiset {

// The installation worker's thread: runs one job at idle priority with a
// WorkerLink between it and whoever watches it, the progress page or the
// windowless run of a quiet installation. Nothing escapes the job, and the
// link is finished when it returns, whatever happened.
class WorkerHost {
 public:
  using Job = std::function<void(WorkerLink& link)>;

  WorkerHost() = default;
  WorkerHost(const WorkerHost&) = delete;
  WorkerHost& operator=(const WorkerHost&) = delete;
  // Joins a job still running (see Join).
  ~WorkerHost() { Join(); }

  // Starts the job; once it has ended, `message` is posted to `notify`
  // (when given). False when no thread can be made: the link is then
  // finished at once and the job never runs.
  bool Start(Job job, HWND notify = nullptr, UINT message = 0);
  WorkerLink& link() { return link_; }
  // The worker's thread, signalled when the job has ended; null before
  // Start and after Join.
  HANDLE thread() const { return thread_.get(); }
  // Waits for the job to end. One still running is asked to stop, and any
  // prompt it raises meanwhile is answered with Abort Setup.
  void Join();

 private:
  static DWORD WINAPI Entry(LPVOID host);

  Job job_;
  HWND notify_ = nullptr;
  UINT message_ = 0;
  WorkerLink link_;
  ScopedKernelHandle thread_;
};

// Runs the job with no window of its own: messages of this thread are
// pumped meanwhile (a window of this thread must still answer), and a
// copy-error prompt is put to `ask` on this thread. Returns once the job
// has ended; a quit request that came meanwhile is posted again.
void RunWithoutWindow(WorkerHost& host, WorkerHost::Job job,
                      const std::function<PromptAnswer(const CopyErrorDetails&)>& ask);

}  // namespace lumiset
