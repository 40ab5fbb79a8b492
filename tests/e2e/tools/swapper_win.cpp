// Plays a program of the user that races an elevated installer for its
// files: it watches folders for files whose names match a pattern and, the
// moment one appears, tries every way to put its own bytes there instead:
// writing into it, renaming it away, deleting it, each followed by a copy
// of its replacement under the same name.
//   swapper REPLACEMENT STOP_FILE SECONDS PATTERN...
// Prints "watching" once it runs; every success goes to standard output as
// "replaced NAME by HOW". Ends when the stop file appears or time runs out.

#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "win32/windows_win.h"

namespace {

std::wstring Wide(const char* text) {
  const int n = MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
  std::wstring wide(static_cast<size_t>(n > 0 ? n - 1 : 0), L'\0');
  if (n > 1) MultiByteToWideChar(CP_UTF8, 0, text, -1, wide.data(), n);
  return wide;
}

std::vector<char> Read(const std::wstring& path) {
  std::vector<char> bytes;
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return bytes;
  char buffer[65536];
  DWORD got = 0;
  while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got != 0) {
    bytes.insert(bytes.end(), buffer, buffer + got);
  }
  CloseHandle(file);
  return bytes;
}

bool Write(HANDLE file, const std::vector<char>& bytes) {
  DWORD put = 0;
  const bool ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &put, nullptr) &&
                  put == bytes.size();
  SetEndOfFile(file);
  return ok;
}

bool Create(const std::wstring& path, const std::vector<char>& bytes) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  const bool ok = Write(file, bytes);
  CloseHandle(file);
  return ok;
}

// Every way in; the name of the first that worked, or nullptr.
const char* Swap(const std::wstring& path, const std::vector<char>& bytes) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  if (file != INVALID_HANDLE_VALUE) {
    const bool ok = Write(file, bytes);
    CloseHandle(file);
    if (ok) return "writing into it";
  }
  const std::wstring aside = path + L".moved";
  if (MoveFileW(path.c_str(), aside.c_str())) {
    if (Create(path, bytes)) return "renaming it away";
    MoveFileW(aside.c_str(), path.c_str());
  }
  if (DeleteFileW(path.c_str()) && Create(path, bytes)) return "deleting it";
  return nullptr;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 5) return 2;
  const std::vector<char> replacement = Read(Wide(argv[1]));
  if (replacement.empty()) return 1;
  const std::wstring stop = Wide(argv[2]);
  const DWORD deadline = GetTickCount() + static_cast<DWORD>(std::atoi(argv[3])) * 1000;
  std::printf("watching\n");
  std::fflush(stdout);
  std::set<std::wstring> done;
  while (GetFileAttributesW(stop.c_str()) == INVALID_FILE_ATTRIBUTES &&
         GetTickCount() < deadline) {
    for (int i = 4; i < argc; ++i) {
      const std::wstring pattern = Wide(argv[i]);
      const std::wstring folder = pattern.substr(0, pattern.rfind(L'\\') + 1);
      WIN32_FIND_DATAW data{};
      HANDLE find = FindFirstFileW(pattern.c_str(), &data);
      if (find == INVALID_HANDLE_VALUE) continue;
      do {
        const std::wstring path = folder + data.cFileName;
        if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || done.count(path)) continue;
        if (const char* how = Swap(path, replacement)) {
          done.insert(path);
          std::printf("replaced %ls by %s\n", data.cFileName, how);
          std::fflush(stdout);
        }
      } while (FindNextFileW(find, &data));
      FindClose(find);
    }
  }
  return 0;
}
