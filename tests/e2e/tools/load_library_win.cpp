// Loads a library by its bare name with the default search order, as a
// careless program would: the control case of the planted-library test.
//   load_library NAME
// Exit code 0 when the library loaded, 1 when it did not, 2 on bad usage.

#include "win32/windows_win.h"

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  HMODULE module = LoadLibraryA(argv[1]);
  if (!module) return 1;
  FreeLibrary(module);
  return 0;
}
