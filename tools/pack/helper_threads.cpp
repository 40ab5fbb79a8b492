#include "helper_threads.h"

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
  try {
    threads_->running.emplace_back(job);
  } catch (const std::system_error&) {
    return false;
  }
  return true;
}

void HelperThreads::JoinAll() {
  for (std::thread& t : threads_->running) t.join();
  threads_->running.clear();
}

}  // namespace lumipack
