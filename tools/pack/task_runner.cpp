#include "task_runner.h"

#include <algorithm>
#include <atomic>

#include "helper_threads.h"

namespace lumipack {

bool RunTasks(size_t count, unsigned threads, const std::function<bool(size_t)>& task,
              const std::function<void()>& after_own_task) {
  std::atomic<size_t> next{0};
  std::atomic<bool> failed{false};
  auto work = [&](bool caller) {
    for (;;) {
      const size_t i = next.fetch_add(1);
      if (i >= count || failed.load()) return;
      bool ok = false;
      try {
        ok = task(i);
      } catch (...) {
        ok = false;
      }
      if (!ok) failed.store(true);
      if (caller && after_own_task) after_own_task();
    }
  };
  const std::function<void()> helper_job = [&] { work(false); };

  HelperThreads helpers;
  const size_t helper_count = std::min<size_t>(std::max(threads, 1u), count) - (count != 0);
  for (size_t i = 0; i < helper_count; ++i) {
    if (!helpers.Start(helper_job)) break;
  }
  work(true);
  helpers.JoinAll();
  return !failed.load();
}

}  // namespace lumipack
