#pragma once

#include <string>

#include "base/platform.h"

namespace lumiset {

// Writes a resource of the running program into a new work file, in pieces
// of at most 32 767 bytes. `path` receives the file's name as soon as the
// file exists (empty until then); a file cut short by a failed write stays
// for the caller to delete. False when the resource is missing, no name is
// free, or a write fails.
bool ExtractResourceToWorkFile(Platform& p, std::string& work_folder, const char* type,
                               const char* name, std::string* path);

}  // namespace lumiset
