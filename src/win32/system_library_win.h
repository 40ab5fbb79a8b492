#pragma once

#include "win32/windows_win.h"

namespace lumiset {

// Takes the installer's own folder (often Downloads, where anyone can drop
// a DLL) out of the library search path of this process, so that every
// library loaded later, by us or by a system component, comes from the
// system folder. A no-op on systems without the call.
void RestrictLibrarySearch();

// Loads a library from the system folder only; nullptr when it is not there.
HMODULE LoadSystemLibrary(const char* name);

// A function of a system library, the library loaded from the system folder
// only and kept for the rest of the run; nullptr when either is missing. For
// libraries only some runs need, so that the others never load them.
template <typename Function>
Function SystemLibraryFunction(const char* library, const char* name) {
  HMODULE module = LoadSystemLibrary(library);
  if (!module) return nullptr;
  // Through void*: the cast from FARPROC to another function type is the
  // documented use of GetProcAddress.
  return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

}  // namespace lumiset
