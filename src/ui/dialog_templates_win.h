#pragma once

#include <cstdint>
#include <span>

#include "win32/windows_win.h"

namespace lumiset {

// The dialog template `id` from the program's bundle of templates (see
// ui/resource_bundle.h), in memory that lives as long as the process; null
// when the program has no such template, or its bundle cannot be read.
// The bundle is inflated at the first call, from the module `instance`.
const DLGTEMPLATE* DialogTemplate(HINSTANCE instance, int id);
// The same template as bytes; empty when there is none.
std::span<const uint8_t> DialogTemplateBytes(HINSTANCE instance, int id);

}  // namespace lumiset
