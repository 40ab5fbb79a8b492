#include "helper_threads.h"

#include <windows.h>  // lean and without min/max: see CMakeLists.txt

#include <vector>

namespace lumipack {
namespace {

// The toolchain's win32 thread model has no std::thread, so the threads are
// the system's own.
DWORD WINAPI RunJob(LPVOID job) {
  (*static_cast<const std::function<void()>*>(job))();
  return 0;
}

}  // namespace

struct HelperThreads::Threads {
  std::vector<HANDLE> running;
};

HelperThreads::HelperThreads() : threads_(std::make_unique<Threads>()) {}

HelperThreads::~HelperThreads() { JoinAll(); }

bool HelperThreads::Start(const std::function<void()>& job) {
  threads_->running.reserve(threads_->running.size() + 1);
  HANDLE thread =
      CreateThread(nullptr, 0, RunJob, const_cast<std::function<void()>*>(&job), 0, nullptr);
  if (thread == nullptr) return false;
  threads_->running.push_back(thread);
  return true;
}

void HelperThreads::JoinAll() {
  for (HANDLE thread : threads_->running) {
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
  }
  threads_->running.clear();
}

}  // namespace lumipack
