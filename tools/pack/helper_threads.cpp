#include "helper_threads.h"

#include <signal.h>

#include <system_error>
#include <thread>
#include <vector>

namespace lumipack {

struct HelperThreads::Threads {
  std::vector<std::thread> running;
};

HelperThreads::HelperThreads() : threads_(std::make_unique<Threads>()) {}

HelperThreads::~HelperThreads() { JoinAll(); }

bool HelperThreads::Start(const std::function<void()>& job) {
  // A new thread inherits the signal mask: with the interrupt signals
  // blocked in helpers, their handler always runs on the main thread, which
  // alone changes the table of scratch files it reads.
  sigset_t interrupts;
  sigset_t previous;
  sigemptyset(&interrupts);
  for (int s : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&interrupts, s);
  pthread_sigmask(SIG_BLOCK, &interrupts, &previous);
  bool started = true;
  try {
    threads_->running.emplace_back(job);
  } catch (const std::system_error&) {
    started = false;
  }
  pthread_sigmask(SIG_SETMASK, &previous, nullptr);
  return started;
}

void HelperThreads::JoinAll() {
  for (std::thread& t : threads_->running) t.join();
  threads_->running.clear();
}

}  // namespace lumipack
