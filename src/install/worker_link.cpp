#include "install/worker_link.h"

namespace lumiset {
namespace {

// How often a waiting worker looks again.
constexpr uint32_t kPollMs = 100;

}  // namespace

void WorkerLink::WaitWhilePaused(Platform& p) const {
  while (paused_) p.SleepMs(kPollMs);
}

bool WorkerLink::StopRequested(Platform& p) const {
  WaitWhilePaused(p);
  return stop_;
}

PromptAnswer WorkerLink::AskCopyError(Platform& p, CopyErrorDetails details) {
  details_ = std::move(details);
  prompt_ = Prompt::kAsked;
  Prompt answer;
  while ((answer = prompt_.load()) == Prompt::kAsked) p.SleepMs(kPollMs);
  prompt_ = Prompt::kNone;
  WaitWhilePaused(p);
  return answer == Prompt::kRetry ? PromptAnswer::kRetry : PromptAnswer::kAbort;
}

void WorkerLink::Finish() { finished_ = true; }

bool WorkerLink::Answer(PromptAnswer answer) {
  Prompt asked = Prompt::kAsked;
  return prompt_.compare_exchange_strong(
      asked, answer == PromptAnswer::kRetry ? Prompt::kRetry : Prompt::kAbort);
}

void WorkerLink::RequestStop() {
  stop_ = true;
  paused_ = false;
}

}  // namespace lumiset
