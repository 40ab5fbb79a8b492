// Copies one file with CopyFileA, overwriting the target: the floor for
// putting an uncompressed screensaver into the system folder.
//
// usage: copy_file.exe SOURCE TARGET      exit code 0 on success, else 1
#include <windows.h>

#include <cstdlib>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  if (__argc != 3) return 2;
  return CopyFileA(__argv[1], __argv[2], FALSE) ? 0 : 1;
}
