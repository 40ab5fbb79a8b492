#pragma once

#include <cstddef>
#include <functional>

namespace lumipack {

// Runs task(0) .. task(count - 1), each once, on up to `threads` threads of
// which the calling thread is one. A task returns false (or throws) to fail;
// the remaining tasks are then skipped. `after_own_task`, when set, runs on
// the calling thread after each task that thread ran, so it may talk to the
// terminal without locking. True when every task succeeded.
[[nodiscard]] bool RunTasks(size_t count, unsigned threads, const std::function<bool(size_t)>& task,
                            const std::function<void()>& after_own_task = {});

}  // namespace lumipack
