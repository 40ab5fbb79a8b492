// The worker/page hand-over with both sides on threads of their own: the
// test thread plays the page, a second thread the worker.
#include "install/worker_link.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>
#include <vector>

#include "support/fake_platform.h"

namespace lumiset {
namespace {

// Counts the worker's waits and lets each one really pass a moment, so
// that the page side can tell "still waiting" from "not there yet" without
// a timing guess.
class CountingPlatform : public testing::FakePlatform {
 public:
  void SleepMs(uint32_t) override {
    ++sleeps;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  std::atomic<int> sleeps{0};
};

// Polls `condition` from the page side; false after about five seconds.
bool Eventually(const std::function<bool()>& condition) {
  for (int i = 0; i < 5000; ++i) {
    if (condition()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return condition();
}

class WorkerLinkTest : public ::testing::Test {
 protected:
  ~WorkerLinkTest() override {
    if (worker_.joinable()) worker_.join();
  }

  // Runs `work` on the worker thread; `done` is set once it has returned.
  void StartWorker(std::function<void(WorkerLink&, Platform&)> work) {
    worker_ = std::thread([this, work = std::move(work)] {
      work(link_, platform_);
      done_ = true;
    });
  }

  // True once the worker has waited `more` further times: it is blocked,
  // not merely late.
  bool WaitsOn(int more) {
    const int target = platform_.sleeps + more;
    return Eventually([&] { return platform_.sleeps >= target; });
  }

  void Join() { worker_.join(); }

  WorkerLink link_;
  CountingPlatform platform_;
  std::atomic<bool> done_{false};
  std::thread worker_;
};

TEST_F(WorkerLinkTest, EachPromptGetsItsOwnAnswerAndALateOneIsRefused) {
  std::vector<PromptAnswer> answers;
  std::atomic<int> asked{0};
  // An answer with no question pending is no answer to the next one.
  EXPECT_FALSE(link_.Answer(PromptAnswer::kRetry));
  EXPECT_FALSE(link_.prompt_pending());
  StartWorker([&](WorkerLink& link, Platform& p) {
    for (int i = 0; i < 3; ++i) {
      ++asked;
      answers.push_back(link.AskCopyError(p, {"write", Status::Failure("write", "C:\\x", 5)}));
    }
  });
  int question = 0;
  for (PromptAnswer answer : {PromptAnswer::kAbort, PromptAnswer::kRetry, PromptAnswer::kAbort}) {
    ++question;
    ASSERT_TRUE(Eventually([&] { return asked == question && link_.prompt_pending(); }));
    ASSERT_TRUE(WaitsOn(2)) << "the worker does not wait for the answer";
    EXPECT_EQ(link_.prompt_details().step, "write");
    EXPECT_EQ(link_.prompt_details().why.path(), "C:\\x");
    EXPECT_TRUE(link_.Answer(answer));
    EXPECT_FALSE(link_.Answer(PromptAnswer::kRetry)) << "a second answer to the same question";
  }
  Join();
  EXPECT_EQ(answers, (std::vector<PromptAnswer>{PromptAnswer::kAbort, PromptAnswer::kRetry,
                                                PromptAnswer::kAbort}));
  EXPECT_FALSE(link_.prompt_pending());
}

TEST_F(WorkerLinkTest, AStopCheckWaitsWhilePausedThenReportsTheChoice) {
  struct Case {
    const char* name;
    bool stop;  // the user confirmed the stop, or resumed
  };
  for (const Case& c : {Case{"resumed", false}, Case{"stopped", true}}) {
    SCOPED_TRACE(c.name);
    WorkerLink link;
    std::atomic<bool> seen{false};
    done_ = false;
    link.Pause();
    worker_ = std::thread([&] {
      seen = link.StopRequested(platform_);
      done_ = true;
    });
    ASSERT_TRUE(WaitsOn(3));
    EXPECT_FALSE(done_) << "the check returned while paused";
    if (c.stop) {
      link.RequestStop();
      EXPECT_FALSE(link.paused()) << "a stopped worker stays paused";
    } else {
      link.Resume();
    }
    Join();
    EXPECT_EQ(seen, c.stop);
  }
}

TEST_F(WorkerLinkTest, APauseBegunDuringThePromptHoldsTheAnswerBack) {
  std::atomic<PromptAnswer> answer{PromptAnswer::kAbort};
  StartWorker([&](WorkerLink& link, Platform& p) { answer = link.AskCopyError(p, {}); });
  ASSERT_TRUE(Eventually([&] { return link_.prompt_pending(); }));
  link_.Pause();
  EXPECT_TRUE(link_.Answer(PromptAnswer::kRetry));
  ASSERT_TRUE(Eventually([&] { return !link_.prompt_pending(); }));
  ASSERT_TRUE(WaitsOn(3));
  EXPECT_FALSE(done_) << "the answer came back during the pause";
  link_.Resume();
  Join();
  EXPECT_EQ(answer, PromptAnswer::kRetry);
}

TEST_F(WorkerLinkTest, ProgressAndTheEndCrossOver) {
  EXPECT_FALSE(link_.finished());
  EXPECT_EQ(link_.progress(), 0);
  StartWorker([](WorkerLink& link, Platform& p) {
    link.ReportProgress(50);
    if (!link.StopRequested(p)) link.ReportProgress(98);
    link.Finish();
  });
  ASSERT_TRUE(Eventually([&] { return link_.finished(); }));
  EXPECT_EQ(link_.progress(), 98);
  EXPECT_EQ(platform_.sleeps, 0) << "an unpaused check does not wait";
  Join();
}

}  // namespace
}  // namespace lumiset
