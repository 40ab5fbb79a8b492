#include "win32/private_file_win.h"

#include <sddl.h>

#include <algorithm>
#include <vector>

#include "win32/text_win.h"
#include "win32/windows_win.h"

// The system's random generator, exported by advapi32 under this name.
extern "C" BOOLEAN WINAPI SystemFunction036(PVOID buffer, ULONG length);

namespace lumiset {
namespace {

constexpr int kNameAttempts = 16;
constexpr DWORD kPiece = 64u << 10;

// Full control for the system, the administrators and the file's owner;
// nothing for anybody else, and nothing inherited from the folder.
constexpr wchar_t kPrivateDacl[] = L"D:P(A;;FA;;;SY)(A;;FA;;;BA)(A;;FA;;;OW)";

std::wstring PrivateFolder() {
  wchar_t windows[MAX_PATH] = {};
  const UINT n = GetWindowsDirectoryW(windows, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return {};
  std::wstring folder(windows, n);
  if (folder.back() != L'\\') folder += L'\\';
  folder += L"Temp";
  // Only administrators can create it under the Windows folder.
  CreateDirectoryW(folder.c_str(), nullptr);
  return folder + L"\\";
}

Status Fail(const char* what, const std::wstring& path, DWORD code = GetLastError()) {
  return Status::Failure(what, WideToUtf8(path), code);
}

}  // namespace

std::wstring RandomNamePart() {
  uint8_t bytes[8] = {};
  if (!SystemFunction036(bytes, sizeof bytes)) {
    // Without the generator the name is still unique, only guessable.
    LARGE_INTEGER now{};
    QueryPerformanceCounter(&now);
    const uint64_t mixed = static_cast<uint64_t>(now.QuadPart) ^
                           (uint64_t{GetCurrentProcessId()} << 32) ^ GetTickCount();
    for (size_t i = 0; i < sizeof bytes; ++i) bytes[i] = static_cast<uint8_t>(mixed >> (8 * i));
  }
  static constexpr wchar_t kHex[] = L"0123456789abcdef";
  std::wstring text;
  for (uint8_t b : bytes) {
    text += kHex[b >> 4];
    text += kHex[b & 0xF];
  }
  return text;
}

bool FileHoldsExactly(HANDLE file, std::span<const uint8_t> expected) {
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file, &size) || static_cast<uint64_t>(size.QuadPart) != expected.size()) {
    return false;
  }
  LARGE_INTEGER start{};
  if (!SetFilePointerEx(file, start, nullptr, FILE_BEGIN)) return false;
  std::vector<uint8_t> buffer(kPiece);
  size_t done = 0;
  while (done < expected.size()) {
    const DWORD want = static_cast<DWORD>(std::min<size_t>(kPiece, expected.size() - done));
    DWORD got = 0;
    if (!ReadFile(file, buffer.data(), want, &got, nullptr) || got != want) return false;
    if (!std::equal(buffer.begin(), buffer.begin() + got, expected.begin() + done)) return false;
    done += got;
  }
  return true;
}

StatusOr<HeldProgram> StagePrivateProgram(std::span<const uint8_t> program, bool inheritable) {
  const std::wstring folder = PrivateFolder();
  if (folder.empty()) return Status::Failure("find the system's temporary folder", "", 0);
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  ConvertStringSecurityDescriptorToSecurityDescriptorW(kPrivateDacl, SDDL_REVISION_1, &descriptor,
                                                       nullptr);
  struct DescriptorFree {
    PSECURITY_DESCRIPTOR d;
    ~DescriptorFree() {
      if (d) LocalFree(d);
    }
  } free_descriptor{descriptor};
  SECURITY_ATTRIBUTES private_attributes{sizeof private_attributes, descriptor, FALSE};

  HeldProgram held;
  ScopedFile written;
  for (int attempt = 0; attempt < kNameAttempts && !written; ++attempt) {
    held.path = folder + L"lumiset-" + RandomNamePart() + L".exe";
    written.Reset(CreateFileW(held.path.c_str(), GENERIC_WRITE, 0,
                              descriptor ? &private_attributes : nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!written && GetLastError() != ERROR_FILE_EXISTS) return Fail("create", held.path);
  }
  if (!written) return Fail("create", held.path);
  for (size_t done = 0; done < program.size();) {
    const DWORD want = static_cast<DWORD>(std::min<size_t>(kPiece, program.size() - done));
    DWORD put = 0;
    if (!WriteFile(written.get(), program.data() + done, want, &put, nullptr) || put != want) {
      const Status why = Fail("write", held.path);
      written.Reset();
      DeleteFileW(held.path.c_str());
      return why;
    }
    done += put;
  }
  written.Reset();
  // No one may write, rename or delete the file while this is held; a
  // process started from it shares reading, as the system's loader does.
  SECURITY_ATTRIBUTES hold_attributes{sizeof hold_attributes, nullptr, inheritable};
  held.hold.Reset(CreateFileW(held.path.c_str(), GENERIC_READ | DELETE, FILE_SHARE_READ,
                              &hold_attributes, OPEN_EXISTING, FILE_FLAG_DELETE_ON_CLOSE,
                              nullptr));
  if (!held.hold) {
    const Status why = Fail("hold", held.path);
    DeleteFileW(held.path.c_str());
    return why;
  }
  // Between the write and the hold the file lay closed: read it back so that
  // only the bytes written can run.
  if (!FileHoldsExactly(held.hold.get(), program)) {
    return Status::Failure(StatusCode::kCorrupt, "find unchanged what was written to",
                           WideToUtf8(held.path), 0);
  }
  return held;
}

}  // namespace lumiset
