#pragma once

#include <atomic>
#include <cstdint>

namespace lumiset {

// The copy-error prompt hand-over: the worker writes kPromptCopyError, the
// progress page replaces it with the user's answer, kPromptRetry or
// kPromptAbort.
enum PromptRequestValue : int32_t {
  kPromptNone = 0,
  kPromptRetry = 1,
  kPromptAbort = 2,
  kPromptCopyError = 3,
};

enum class WorkerResult : int32_t {
  Completed = 0,
  NoWorkFile = 1,  // the work file could not be created; the user aborted
  Failed = 2,      // a later step failed and the user aborted
  Stopped = 9,     // the stop flag was set; replaces any other result
};

// What the progress page and the installation worker share. Each value is a
// single 32-bit integer written by one side and polled by the other; the
// page owns the record and the values behind the pointers, fills them
// before starting the worker and keeps them alive until Finished is set.
struct WorkerLink {
  std::atomic<int32_t> Result{0};             // WorkerResult, written by the worker
  std::atomic<int32_t> Finished{0};           // 1 as the worker's very last write
  std::atomic<int32_t>* StopRequested = nullptr;  // page: 1 once the user confirmed the stop
  std::atomic<int32_t>* Progress = nullptr;       // worker: percent done, 0 to 98
  std::atomic<int32_t> PromptRequest{kPromptNone};
  // Page: non-zero while the exit confirmation is up. The worker waits at its
  // stop checks and prompt waits meanwhile, never inside an allocation or a
  // file operation, so the user-interface thread cannot block on it.
  std::atomic<int32_t>* PauseRequested = nullptr;
};

}  // namespace lumiset
