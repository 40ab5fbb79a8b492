// Holds a file open without sharing, as a running screensaver does, until a
// release file appears or the time runs out.
//   hold_file PATH RELEASE_PATH SECONDS
// Prints "holding" once the file is held; exit code 1 when it cannot be opened.

#include <cstdio>
#include <cstdlib>

#include "win32/windows_win.h"

int main(int argc, char** argv) {
  if (argc < 4) return 2;
  HANDLE file = CreateFileA(argv[1], GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 1;
  std::printf("holding\n");
  std::fflush(stdout);
  const DWORD deadline = GetTickCount() + static_cast<DWORD>(std::atoi(argv[3])) * 1000;
  while (GetFileAttributesA(argv[2]) == INVALID_FILE_ATTRIBUTES && GetTickCount() < deadline) {
    Sleep(100);
  }
  CloseHandle(file);
  return 0;
}
