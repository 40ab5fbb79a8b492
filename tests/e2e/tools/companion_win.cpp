// A companion program for the end-to-end tests: records how the installer
// started it, so that a test can check the command line and where the
// program file was written.
//   line 1: the command line as the program received it
//   line 2: the program's own path
// The record goes to C:\companion-ran.txt, replacing an earlier one.

#include <cstring>

#include "win32/windows_win.h"

namespace {

constexpr char kRecordPath[] = "C:\\companion-ran.txt";

}  // namespace

int main() {
  char own_path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, own_path, MAX_PATH);
  const char* command_line = GetCommandLineA();
  HANDLE record = CreateFileA(kRecordPath, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (record == INVALID_HANDLE_VALUE) return 1;
  DWORD written = 0;
  WriteFile(record, command_line, static_cast<DWORD>(std::strlen(command_line)), &written, nullptr);
  WriteFile(record, "\r\n", 2, &written, nullptr);
  WriteFile(record, own_path, static_cast<DWORD>(std::strlen(own_path)), &written, nullptr);
  WriteFile(record, "\r\n", 2, &written, nullptr);
  CloseHandle(record);
  return 0;
}
