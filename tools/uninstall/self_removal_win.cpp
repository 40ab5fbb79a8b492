#include "self_removal_win.h"

#include <cstdint>
#include <optional>
#include <vector>

#include "base/platform_helpers.h"
#include "install/footprint.h"
#include "install/registration.h"
#include "win32/platform_win.h"
#include "win32/private_file_win.h"
#include "win32/scoped_handle_win.h"
#include "win32/text_win.h"
#include "win32/windows_win.h"

namespace lumiset {
namespace {

// How long the copy waits for the uninstaller to end, and then how often
// and how long it tries to delete it: the system may hold an ended
// program's file for a moment (a virus scanner, the image still closing).
constexpr DWORD kUninstallerEndWaitMs = 60000;
constexpr DWORD kRemovalRetryMs = 100;
constexpr int kRemovalAttempts = 100;

std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('\\');
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

// The last resort: the uninstaller, its settings file, then the folders of
// its installation (only if they are empty by then), deleted at the next
// restart. Only what its settings place in Program Files.
void MarkForDeletionAtRestart(Platform& p, const MachineFacts& facts,
                              const std::string& uninstaller) {
  Notice why = Notice::kSettingsMissing;
  const std::optional<UninstallTarget> target =
      ReadUninstallerSettings(p, facts, uninstaller, &why);
  if (!target) return;
  const std::string folder = FolderOf(uninstaller);
  for (const std::string& path :
       {uninstaller, folder + "\\" + kUninstallSettingsName, folder, FolderOf(folder)}) {
    MoveFileExW(Utf8ToWide(path).c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
  }
}

// The program's own bytes.
std::optional<std::vector<uint8_t>> ReadProgram(Platform& p, const std::string& path) {
  StatusOr<std::unique_ptr<ReadableFile>> file = p.OpenForRead(path, /*share_write=*/false);
  if (!file) return std::nullopt;
  const uint64_t size = file.value()->Size();
  // An uninstaller is small; anything this large is not one.
  constexpr uint64_t kMaxProgram = 64u << 20;
  if (size == 0 || size > kMaxProgram) return std::nullopt;
  std::vector<uint8_t> bytes(static_cast<size_t>(size));
  if (!file.value()->ReadAt(0, bytes.data(), bytes.size())) return std::nullopt;
  return bytes;
}

}  // namespace

void HandOverSelfRemoval(const MachineFacts& facts, const std::string& program_path) {
  Win32Platform p;
  const std::optional<std::vector<uint8_t>> program = ReadProgram(p, program_path);
  StatusOr<HeldProgram> staged = program
                                     ? StagePrivateProgram(*program, /*inheritable=*/true)
                                     : StatusOr<HeldProgram>(Status::Failure("read", program_path, 0));
  HANDLE self = nullptr;
  DuplicateHandle(GetCurrentProcess(), GetCurrentProcess(), GetCurrentProcess(), &self, SYNCHRONIZE,
                  /*bInheritHandle=*/TRUE, 0);
  ScopedKernelHandle self_handle(self);
  if (!staged || !self_handle) {
    MarkForDeletionAtRestart(p, facts, program_path);
    return;
  }
  const HeldProgram& copy = staged.value();
  CleanupRequest request;
  request.process_handle = reinterpret_cast<uintptr_t>(self);
  request.uninstaller_path = program_path;
  std::wstring line = L"\"" + copy.path + L"\" " + Utf8ToWide(CleanupArguments(request));
  line.push_back(L'\0');
  // Not the uninstaller's folder: a current directory cannot be removed.
  const std::wstring working_folder = copy.path.substr(0, copy.path.rfind(L'\\'));
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(copy.path.c_str(), line.data(), nullptr, nullptr, /*bInheritHandles=*/TRUE, 0,
                      nullptr, working_folder.c_str(), &startup, &process)) {
    MarkForDeletionAtRestart(p, facts, program_path);
    return;
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
}

void FinishSelfRemoval(const MachineFacts& facts, const CleanupRequest& request) {
  const auto original = reinterpret_cast<HANDLE>(static_cast<uintptr_t>(request.process_handle));
  WaitForSingleObject(original, kUninstallerEndWaitMs);
  CloseHandle(original);
  Win32Platform p;
  for (int attempt = 0; attempt < kRemovalAttempts; ++attempt) {
    if (RemoveUninstallerFiles(p, facts, request.uninstaller_path)) return;
    Sleep(kRemovalRetryMs);
  }
  if (RemovesItself(request.uninstaller_path)) {
    MarkForDeletionAtRestart(p, facts, request.uninstaller_path);
  }
}

}  // namespace lumiset
