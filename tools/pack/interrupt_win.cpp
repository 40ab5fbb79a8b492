#include "interrupt.h"

#include <windows.h>  // lean and without min/max: see CMakeLists.txt

#include <atomic>
#include <cstring>

namespace lumipack {
namespace {

constexpr int kSlots = 32;
constexpr size_t kMaxPathChars = 2048;
enum SlotState : int { kFree = 0, kBusy, kFile, kFolder };

struct Slot {
  std::atomic<int> state{kFree};
  wchar_t path[kMaxPathChars];
};

Slot g_slots[kSlots];
std::atomic<bool> g_interrupted{false};
std::atomic<intptr_t> g_child{0};

// How long the handler waits for the main thread to stop writing and remove
// its scratch files itself; the console allows 5 s after a close event.
constexpr DWORD kCleanupWaitMs = 3000;
constexpr DWORD kPollMs = 20;
// The exit code of a program ended by Ctrl-C.
constexpr UINT kControlCExit = 0xC000013AU;

bool AnyRegistered() {
  for (const Slot& slot : g_slots) {
    if (slot.state.load() != kFree) return true;
  }
  return false;
}

// Runs on a thread the system starts for the event.
BOOL WINAPI OnConsoleControl(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && event != CTRL_CLOSE_EVENT) {
    return FALSE;
  }
  g_interrupted.store(true);
  if (const intptr_t child = g_child.load(); child != 0) {
    TerminateProcess(reinterpret_cast<HANDLE>(child), kControlCExit);
  }
  for (DWORD waited = 0; waited < kCleanupWaitMs && AnyRegistered(); waited += kPollMs) {
    Sleep(kPollMs);
  }
  // The main thread did not finish in time: remove what is left from here.
  for (Slot& slot : g_slots) {
    if (slot.state.load() == kFile) DeleteFileW(slot.path);
  }
  for (Slot& slot : g_slots) {
    if (slot.state.load() == kFolder) RemoveDirectoryW(slot.path);
  }
  // The default handler ends the process with kControlCExit.
  return FALSE;
}

}  // namespace

void InstallInterruptCleanup() { SetConsoleCtrlHandler(OnConsoleControl, TRUE); }

InterruptCleanup::InterruptCleanup(const std::filesystem::path& path, Kind kind) {
  const std::wstring& native = path.native();
  if (native.empty() || native.size() >= kMaxPathChars) return;
  for (int i = 0; i < kSlots; ++i) {
    int expected = kFree;
    if (!g_slots[i].state.compare_exchange_strong(expected, kBusy)) continue;
    std::memcpy(g_slots[i].path, native.c_str(), (native.size() + 1) * sizeof(wchar_t));
    g_slots[i].state.store(kind == Kind::kFolder ? kFolder : kFile);
    slot_ = i;
    return;
  }
}

InterruptCleanup::~InterruptCleanup() {
  if (slot_ >= 0) g_slots[slot_].state.store(kFree);
}

bool InterruptRequested() { return g_interrupted.load(); }

void ExitAfterInterrupt() { ExitProcess(kControlCExit); }

void SetInterruptChild(intptr_t child) { g_child.store(child); }

}  // namespace lumipack
