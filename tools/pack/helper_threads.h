#pragma once

#include <functional>
#include <memory>

namespace lumipack {

// Threads that each run one job and are waited for together. Starting a
// thread may fail (the system is out of them); callers then do the work with
// fewer. Destroying the set waits for every thread it started.
class HelperThreads {
 public:
  HelperThreads();
  ~HelperThreads();
  HelperThreads(const HelperThreads&) = delete;
  HelperThreads& operator=(const HelperThreads&) = delete;

  // Starts `job` on a new thread; false when no thread could be made. The
  // job must outlive the thread.
  [[nodiscard]] bool Start(const std::function<void()>& job);
  void JoinAll();

 private:
  struct Threads;
  std::unique_ptr<Threads> threads_;
};

}  // namespace lumipack
