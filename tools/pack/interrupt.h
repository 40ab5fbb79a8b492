#pragma once

#include <cstdint>
#include <filesystem>

namespace lumipack {

// Removing lumipack's scratch files when the user interrupts it.
//
// Scratch files and folders are registered while they exist. On SIGINT,
// SIGTERM or SIGHUP (POSIX), or on Ctrl-C, Ctrl-Break or the console's
// closing (Windows), a program started by RunProgram is ended, the
// registered files are removed, then the registered folders, and lumipack
// ends as the signal's default action ends it: a shell reports 130 after
// SIGINT and 143 after SIGTERM; on Windows the exit code is
// STATUS_CONTROL_C_EXIT (0xC000013A), as for any program ended by Ctrl-C.

// Installs the handlers; once, early in main. A signal that was ignored when
// lumipack started (a background job, nohup) stays ignored.
void InstallInterruptCleanup();

// Registers `path` for removal on an interrupt while the object lives. A
// folder is removed only once empty, so each file in it is registered too.
// A path too long for the fixed table the handler reads is not registered.
class InterruptCleanup {
 public:
  enum class Kind { kFile, kFolder };
  InterruptCleanup(const std::filesystem::path& path, Kind kind);
  ~InterruptCleanup();
  InterruptCleanup(const InterruptCleanup&) = delete;
  InterruptCleanup& operator=(const InterruptCleanup&) = delete;

 private:
  int slot_ = -1;
};

// Whether an interrupt is being handled. On Windows the handler runs on a
// thread of its own and gives this thread a moment to stop: writing a file
// fails once this is true, the failure unwinds, and the scratch files go
// the ordinary way. Always false on POSIX, where the handler does the work.
bool InterruptRequested();

// Ends lumipack after an interrupt that this thread has cleaned up after
// (Windows); main calls it when InterruptRequested() is true.
[[noreturn]] void ExitAfterInterrupt();

// The program RunProgram is waiting for (a process id, or on Windows its
// process handle), ended on an interrupt; 0 for none.
void SetInterruptChild(intptr_t child);

}  // namespace lumipack
