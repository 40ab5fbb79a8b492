// What a swapper puts in the place of a program the installer runs: if it
// ever runs, it says so in C:\attacker-ran.txt with its command line.

#include <cstring>

#include "win32/windows_win.h"

int main() {
  const char* command_line = GetCommandLineA();
  HANDLE record = CreateFileA("C:\\attacker-ran.txt", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (record == INVALID_HANDLE_VALUE) return 1;
  DWORD written = 0;
  WriteFile(record, command_line, static_cast<DWORD>(std::strlen(command_line)), &written, nullptr);
  CloseHandle(record);
  return 0;
}
