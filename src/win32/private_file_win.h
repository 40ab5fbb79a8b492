#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "base/status.h"
#include "win32/scoped_handle_win.h"

namespace lumiset {

// A program written where no other user can change it, held until it has
// run. The folder is the system's own temporary folder (%SystemRoot%\Temp):
// others may add files there but not change those of others, and each file
// carries a security descriptor that admits only administrators, the system
// and its owner. The name has a random part and is created only when free,
// so nobody can plant or predict it; once written, the file is held open so
// that nobody can write, rename or delete it, and its bytes are read back
// through that handle: what runs is what was written. Closing the hold
// deletes the file (when no process still runs it).
struct HeldProgram {
  ScopedFile hold;
  std::wstring path;
};

// Stages `program` as described; `inheritable` makes the hold a handle a
// started process inherits (the file then goes when that process ends).
StatusOr<HeldProgram> StagePrivateProgram(std::span<const uint8_t> program, bool inheritable);

// 16 random hexadecimal digits from the system's generator: the part of a
// name nobody can guess.
std::wstring RandomNamePart();

// Whether the file behind `file` holds exactly `expected`.
bool FileHoldsExactly(HANDLE file, std::span<const uint8_t> expected);

}  // namespace lumiset
