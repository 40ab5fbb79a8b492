#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "base/platform.h"

namespace lumiset {

// The user's answer to the copy-error prompt.
enum class PromptAnswer : int32_t { kRetry, kAbort };

// What the copy-error prompt tells: the step that failed and why.
struct CopyErrorDetails {
  std::string step;
  Status why;
};

// The hand-over between the installation worker and the page that shows it
// (the progress page, or the hidden run of a quiet installation). The page
// owns the link and keeps it alive until the worker thread has returned.
// Every member is a lock-free atomic, so neither side ever blocks the other:
// the worker polls, sleeping through its Platform, and the page polls on its
// timer. Methods are grouped by the thread that may call them.
class WorkerLink {
 public:
  WorkerLink() = default;
  WorkerLink(const WorkerLink&) = delete;
  WorkerLink& operator=(const WorkerLink&) = delete;

  // --- Worker thread.

  // Percent done, for the bar; 0 until the first report.
  void ReportProgress(int32_t percent) { progress_ = percent; }
  // A stop check: waits while the page holds the worker paused (the exit
  // confirmation is up), then tells whether the user confirmed the stop.
  // The worker calls it only between its steps, never inside an allocation
  // or a file operation, so the page never waits on the worker.
  bool StopRequested(Platform& p) const;
  // Puts the copy-error prompt, with what failed, to the page and waits for
  // the answer; a pause that begins meanwhile is waited out before the
  // answer is given back.
  PromptAnswer AskCopyError(Platform& p, CopyErrorDetails details);
  // The worker's very last write: after it the page may close and the
  // worker may touch nothing the page owns; what it wrote before is seen.
  void Finish();

  // --- Page thread.

  int32_t progress() const { return progress_; }
  // True while the worker waits for an answer to the copy-error prompt.
  bool prompt_pending() const { return prompt_ == Prompt::kAsked; }
  // What the pending prompt is about; read only while prompt_pending().
  const CopyErrorDetails& prompt_details() const { return details_; }
  // Answers a pending prompt; false (and nothing changes) when none is
  // pending, so a late answer can never be taken for a new question.
  bool Answer(PromptAnswer answer);
  // Holds the worker at its next stop check or prompt answer until Resume.
  void Pause() { paused_ = true; }
  void Resume() { paused_ = false; }
  bool paused() const { return paused_; }
  // The user confirmed the stop; the worker sees it at its next check. Ends
  // a pause as well.
  void RequestStop();
  bool stop_requested() const { return stop_; }
  bool finished() const { return finished_; }

 private:
  // Where the prompt hand-over stands. Only the worker moves it to kAsked
  // and back to kNone, only the page from kAsked to an answer.
  enum class Prompt : int32_t { kNone, kAsked, kRetry, kAbort };

  void WaitWhilePaused(Platform& p) const;

  std::atomic<int32_t> progress_{0};
  std::atomic<bool> paused_{false};
  std::atomic<bool> stop_{false};
  std::atomic<Prompt> prompt_{Prompt::kNone};
  // Written by the worker before it raises the prompt, read by the page
  // after it sees the prompt: the atomic's ordering hands it over.
  CopyErrorDetails details_;
  std::atomic<bool> finished_{false};
};

}  // namespace lumiset
