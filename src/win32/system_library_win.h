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

}  // namespace lumiset
