#include "win32/system_library_win.h"

namespace lumiset {
namespace {

// Not in every Windows version's kernel32, so looked up by name.
constexpr DWORD kSearchSystem32 = 0x00000800;  // LOAD_LIBRARY_SEARCH_SYSTEM32

}  // namespace

void RestrictLibrarySearch() {
  using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
  const auto set_default = reinterpret_cast<SetDefaultDllDirectoriesFn>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleA("kernel32"), "SetDefaultDllDirectories")));
  if (set_default) set_default(kSearchSystem32);
  // Older systems: at least drop the current folder from the search.
  SetDllDirectoryA("");
}

HMODULE LoadSystemLibrary(const char* name) {
  if (HMODULE module = LoadLibraryExA(name, nullptr, kSearchSystem32)) return module;
  // Before the search flags existed the call fails with ERROR_INVALID_PARAMETER;
  // then name the system folder explicitly.
  char path[MAX_PATH];
  const UINT n = GetSystemDirectoryA(path, MAX_PATH);
  if (n == 0 || n + 2 + lstrlenA(name) >= MAX_PATH) return nullptr;
  lstrcatA(path, "\\");
  lstrcatA(path, name);
  return LoadLibraryA(path);
}

}  // namespace lumiset
