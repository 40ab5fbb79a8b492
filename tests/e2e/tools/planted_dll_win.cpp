// A DLL planted beside the installer under a system library's name. If it
// is ever loaded it leaves "planted.marker" next to itself.

#include "win32/windows_win.h"

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    char path[MAX_PATH];
    const DWORD n = GetModuleFileNameA(instance, path, MAX_PATH);
    if (n > 0 && n < MAX_PATH) {
      char* slash = path + n;
      while (slash > path && *slash != '\\') --slash;
      if (*slash == '\\') {
        lstrcpyA(slash + 1, "planted.marker");
        HANDLE marker = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
        if (marker != INVALID_HANDLE_VALUE) CloseHandle(marker);
      }
    }
  }
  return TRUE;
}
