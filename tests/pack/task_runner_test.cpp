#include "task_runner.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace lumipack {
namespace {

TEST(RunTasks, RunsEveryTaskOnceWhateverTheThreadCount) {
  for (unsigned threads : {1u, 2u, 8u, 64u}) {
    constexpr size_t kCount = 100;
    std::vector<std::atomic<int>> runs(kCount);
    EXPECT_TRUE(RunTasks(kCount, threads, [&](size_t i) {
      runs[i].fetch_add(1);
      return true;
    }));
    for (size_t i = 0; i < kCount; ++i) EXPECT_EQ(runs[i].load(), 1) << threads << " threads";
  }
}

TEST(RunTasks, NoTasksSucceeds) {
  EXPECT_TRUE(RunTasks(0, 4, [](size_t) { return false; }));
}

TEST(RunTasks, AFailingOrThrowingTaskFailsTheRun) {
  EXPECT_FALSE(RunTasks(50, 4, [](size_t i) { return i != 17; }));
  EXPECT_FALSE(RunTasks(50, 4, [](size_t i) -> bool {
    if (i == 3) throw std::runtime_error("task");
    return true;
  }));
}

TEST(RunTasks, AfterOwnTaskRunsOnlyOnTheCallingThread) {
  // Tasks on other threads wait until the caller has finished one of its
  // own, so the caller surely runs some.
  const std::thread::id caller = std::this_thread::get_id();
  std::atomic<bool> caller_done{false};
  std::atomic<int> elsewhere{0};
  int calls = 0;
  EXPECT_TRUE(RunTasks(
      40, 4,
      [&](size_t) {
        while (std::this_thread::get_id() != caller && !caller_done.load()) {
          std::this_thread::yield();
        }
        return true;
      },
      [&] {
        ++calls;
        if (std::this_thread::get_id() != caller) elsewhere.fetch_add(1);
        caller_done.store(true);
      }));
  EXPECT_GT(calls, 0);
  EXPECT_EQ(elsewhere.load(), 0);
}

}  // namespace
}  // namespace lumipack
