#include "self_removal_win.h"

#include <cstdint>
#include <optional>
#include <vector>

#include "base/platform_helpers.h"
#include "install/uninstaller.h"
#include "win32/platform_win.h"
#include "win32/scoped_handle_win.h"
#include "win32/windows_win.h"

namespace lumiset {
namespace {

// How long the copy waits for the uninstaller to end, and then how often
// and how long it tries to delete it: the system may hold an ended
// program's file for a moment (a virus scanner, the image still closing).
constexpr DWORD kUninstallerEndWaitMs = 60000;
constexpr DWORD kRemovalRetryMs = 100;
constexpr int kRemovalAttempts = 100;
// Names tried for the copy before giving up on the temporary folder.
constexpr int kCopyNameAttempts = 100;

std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('\\');
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

bool SamePath(const std::string& a, const std::string& b) {
  return CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, a.c_str(), -1, b.c_str(), -1) ==
         CSTR_EQUAL;
}

// The last resort: the file, its settings file, then the folders above
// them up to the first shell folder, deleted at the next restart (folders
// only if they are empty by then).
void MarkForDeletionAtRestart(Platform& p, const std::string& uninstaller) {
  MoveFileExA(uninstaller.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
  const std::string folder = FolderOf(uninstaller);
  const std::string settings = folder + "\\" + kUninstallSettingsName;
  if (FileExists(p, settings)) MoveFileExA(settings.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
  const std::vector<std::string> keep = ShellFoldersToKeep(p);
  for (std::string f = folder; f.size() > 3; f = FolderOf(f)) {
    for (const std::string& k : keep) {
      if (SamePath(f, k)) return;
    }
    MoveFileExA(f.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
  }
}

// A copy of the program in the temporary folder under a new name.
std::optional<std::string> CopyToTemporaryFolder(const std::string& program) {
  char temp[MAX_PATH] = {};
  const DWORD n = GetTempPathA(MAX_PATH, temp);
  if (n == 0 || n >= MAX_PATH) return std::nullopt;
  for (int attempt = 0; attempt < kCopyNameAttempts; ++attempt) {
    const std::string copy = std::string(temp, n) + "lumiset-uninstall-" +
                             std::to_string(GetCurrentProcessId()) + "-" +
                             std::to_string(attempt) + ".exe";
    if (copy.size() > kMaxPathChars) return std::nullopt;
    if (CopyFileA(program.c_str(), copy.c_str(), /*bFailIfExists=*/TRUE)) return copy;
    const DWORD error = GetLastError();
    if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) return std::nullopt;
  }
  return std::nullopt;
}

}  // namespace

void HandOverSelfRemoval(const std::string& program_path) {
  Win32Platform p;
  const std::optional<std::string> copy = CopyToTemporaryFolder(program_path);
  if (!copy) {
    MarkForDeletionAtRestart(p, program_path);
    return;
  }
  // The copy inherits this handle and holds it until it ends; the file goes
  // when the last handle to it closes. The sharing lets the system open the
  // file to run it.
  SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
  ScopedFile delete_on_close(CreateFileA(copy->c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                         &inheritable, OPEN_EXISTING, FILE_FLAG_DELETE_ON_CLOSE,
                                         nullptr));
  HANDLE self = nullptr;
  DuplicateHandle(GetCurrentProcess(), GetCurrentProcess(), GetCurrentProcess(), &self, SYNCHRONIZE,
                  /*bInheritHandle=*/TRUE, 0);
  ScopedKernelHandle self_handle(self);
  CleanupRequest request;
  request.process_handle = reinterpret_cast<uintptr_t>(self);
  request.uninstaller_path = program_path;
  const std::string command = "\"" + *copy + "\" " + CleanupArguments(request);
  std::vector<char> line(command.begin(), command.end());
  line.push_back('\0');
  // Not the uninstaller's folder: a current directory cannot be removed.
  const std::string working_folder = FolderOf(*copy);
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!self_handle ||
      !CreateProcessA(copy->c_str(), line.data(), nullptr, nullptr, /*bInheritHandles=*/TRUE, 0,
                      nullptr, working_folder.c_str(), &startup, &process)) {
    if (!delete_on_close) DeleteFileA(copy->c_str());
    MarkForDeletionAtRestart(p, program_path);
    return;
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  if (!delete_on_close) MoveFileExA(copy->c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
}

void FinishSelfRemoval(const CleanupRequest& request) {
  const auto original = reinterpret_cast<HANDLE>(static_cast<uintptr_t>(request.process_handle));
  WaitForSingleObject(original, kUninstallerEndWaitMs);
  CloseHandle(original);
  Win32Platform p;
  for (int attempt = 0; attempt < kRemovalAttempts; ++attempt) {
    if (RemoveUninstallerFiles(p, request.uninstaller_path)) return;
    Sleep(kRemovalRetryMs);
  }
  if (RemovesItself(request.uninstaller_path)) {
    MarkForDeletionAtRestart(p, request.uninstaller_path);
  }
}

}  // namespace lumiset
