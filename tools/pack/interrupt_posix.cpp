#include "interrupt.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace lumipack {
namespace {

// The handler may only read memory that is ready before it runs, so the
// paths sit in a fixed table; a slot is filled while marked busy and only
// then marked as a file or a folder.
constexpr int kSlots = 32;
constexpr size_t kMaxPathBytes = 4096;
enum SlotState : int { kFree = 0, kBusy, kFile, kFolder };

struct Slot {
  std::atomic<int> state{kFree};
  char path[kMaxPathBytes];
};
static_assert(std::atomic<int>::is_always_lock_free);
static_assert(std::atomic<pid_t>::is_always_lock_free);

Slot g_slots[kSlots];
std::atomic<pid_t> g_child{0};

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};

// Only async-signal-safe calls: kill, waitpid, unlink, rmdir, raise,
// pthread_sigmask, _exit.
extern "C" void OnInterrupt(int signal_number) {
  const pid_t child = g_child.load();
  if (child > 0) {
    kill(child, SIGTERM);
    while (waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
    }
  }
  for (Slot& slot : g_slots) {
    if (slot.state.load() == kFile) unlink(slot.path);
  }
  for (Slot& slot : g_slots) {
    if (slot.state.load() == kFolder) rmdir(slot.path);
  }
  // SA_RESETHAND restored the default action; the signal is blocked while
  // its handler runs, so raise it and unblock it to die of it.
  raise(signal_number);
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, signal_number);
  pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
  _exit(128 + signal_number);
}

}  // namespace

void InstallInterruptCleanup() {
  struct sigaction action;
  std::memset(&action, 0, sizeof action);
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  for (int s : kSignals) sigaddset(&action.sa_mask, s);
  action.sa_flags = SA_RESETHAND;
  for (int s : kSignals) {
    struct sigaction old;
    if (sigaction(s, nullptr, &old) != 0 || old.sa_handler == SIG_IGN) continue;
    sigaction(s, &action, nullptr);
  }
}

InterruptCleanup::InterruptCleanup(const std::filesystem::path& path, Kind kind) {
  const std::string& native = path.native();
  if (native.empty() || native.size() >= kMaxPathBytes) return;
  for (int i = 0; i < kSlots; ++i) {
    int expected = kFree;
    if (!g_slots[i].state.compare_exchange_strong(expected, kBusy)) continue;
    std::memcpy(g_slots[i].path, native.c_str(), native.size() + 1);
    g_slots[i].state.store(kind == Kind::kFolder ? kFolder : kFile);
    slot_ = i;
    return;
  }
}

InterruptCleanup::~InterruptCleanup() {
  if (slot_ >= 0) g_slots[slot_].state.store(kFree);
}

bool InterruptRequested() { return false; }

void ExitAfterInterrupt() { std::_Exit(128 + SIGINT); }

void SetInterruptChild(intptr_t child) { g_child.store(static_cast<pid_t>(child)); }

}  // namespace lumipack
