// Loads system libraries one after another, each from the system folder, and
// writes the process's resident memory after each: what a library costs a
// process that otherwise loads nothing.
//
// usage: library_cost.exe OUTPUT_FILE [NAME...]
// NAME is a library's file name, or one of the steps that do more than load:
//   +com       CoInitialize (ole32 must be loaded before)
//   +controls  InitCommonControlsEx for the progress bar (comctl32 before)
//   +window    a hidden top-level window of a class of our own (user32 before)
// writes: one line "start KIB" and then "NAME KIB" per name, where KIB is the
// working set (resident memory) in KiB after that step.
#include <windows.h>

#include <psapi.h>

#include <cstdio>
#include <cstring>

namespace {

using GetMemoryInfoFn = BOOL(WINAPI*)(HANDLE, PPROCESS_MEMORY_COUNTERS, DWORD);
using CoInitializeFn = HRESULT(WINAPI*)(LPVOID);
using InitControlsFn = BOOL(WINAPI*)(const void*);

// LOAD_LIBRARY_SEARCH_SYSTEM32, missing from older headers.
constexpr DWORD kSearchSystem32 = 0x00000800;

template <typename Fn>
Fn Function(const char* module, const char* name) {
  return reinterpret_cast<Fn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA(module), name)));
}

SIZE_T ResidentKib() {
  // kernel32 has carried this since Windows 7, psapi before that.
  static const auto get_info = Function<GetMemoryInfoFn>("kernel32", "K32GetProcessMemoryInfo");
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof counters;
  if (!get_info || !get_info(GetCurrentProcess(), &counters, sizeof counters)) return 0;
  return counters.WorkingSetSize / 1024;
}

bool Step(const char* name) {
  if (std::strcmp(name, "+com") == 0) {
    const auto co_initialize = Function<CoInitializeFn>("ole32", "CoInitialize");
    return co_initialize && SUCCEEDED(co_initialize(nullptr));
  }
  if (std::strcmp(name, "+controls") == 0) {
    const auto init = Function<InitControlsFn>("comctl32", "InitCommonControlsEx");
    // INITCOMMONCONTROLSEX with ICC_PROGRESS_CLASS.
    const DWORD controls[2] = {sizeof controls, 0x00000020};
    return init && init(controls);
  }
  if (std::strcmp(name, "+window") == 0) {
    // Through user32 as loaded by an earlier step: the program itself
    // imports only kernel32 and the C runtime.
    using RegisterFn = ATOM(WINAPI*)(const WNDCLASSA*);
    using CreateFn = HWND(WINAPI*)(DWORD, LPCSTR, LPCSTR, DWORD, int, int, int, int, HWND, HMENU,
                                   HINSTANCE, LPVOID);
    const auto register_class = Function<RegisterFn>("user32", "RegisterClassA");
    const auto create_window = Function<CreateFn>("user32", "CreateWindowExA");
    if (!register_class || !create_window) return false;
    WNDCLASSA window_class{};
    window_class.lpfnWndProc = Function<WNDPROC>("user32", "DefWindowProcA");
    window_class.hInstance = GetModuleHandleA(nullptr);
    window_class.lpszClassName = "LibraryCostWindow";
    return register_class(&window_class) &&
           create_window(0, "LibraryCostWindow", "", WS_OVERLAPPEDWINDOW, 0, 0, 10, 10, nullptr,
                         nullptr, window_class.hInstance, nullptr) != nullptr;
  }
  return LoadLibraryExA(name, nullptr, kSearchSystem32) != nullptr;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  FILE* out = std::fopen(argv[1], "w");
  if (!out) return 1;
  std::fprintf(out, "start %lu\n", static_cast<unsigned long>(ResidentKib()));
  int failures = 0;
  for (int i = 2; i < argc; ++i) {
    if (!Step(argv[i])) ++failures;
    std::fprintf(out, "%s %lu\n", argv[i], static_cast<unsigned long>(ResidentKib()));
  }
  std::fclose(out);
  return failures == 0 ? 0 : 1;
}
