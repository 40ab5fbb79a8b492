// A Windows program that exits at once: the cost of starting a process
// under Wine, for reference beside the installers.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return 0; }
