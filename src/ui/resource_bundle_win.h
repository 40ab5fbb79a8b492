#pragma once

#include <optional>

#include "ui/resource_bundle.h"
#include "win32/windows_win.h"

namespace lumiset {

// The bundle resource `name` (type RT_RCDATA) of the module `instance`,
// inflated; nullopt when the module has no such resource, when it is not a
// whole bundle, or when there is no memory for it.
std::optional<ResourceBundle> LoadResourceBundle(HINSTANCE instance, const wchar_t* name);

}  // namespace lumiset
