#pragma once

// Lumiset's default uninstaller (tools/uninstall) carries this text, as
// UTF-16, in its resources. A package whose uninstaller holds it has the
// default one, which honours /q; any other uninstaller is the package
// author's own, whose switches nobody here knows. The text is a macro
// because the resource compiler reads this header too; the programs that
// look for it hold it only as 8-bit text, so none of them passes for the
// default uninstaller itself.
#define LUMISET_DEFAULT_UNINSTALLER_MARKER "Lumiset default uninstaller; quiet with /q"

// The file names of the default uninstaller beside the stub of each
// architecture in a build tree and beside lumipack.
#define LUMISET_DEFAULT_UNINSTALLER_X86 "lumiset-uninstall.exe"
#define LUMISET_DEFAULT_UNINSTALLER_X64 "lumiset64-uninstall.exe"

#ifndef RC_INVOKED
#include <cstdint>
#include <span>

namespace lumiset {

// Whether a program (its bytes as written to disk) is the default uninstaller.
bool IsDefaultUninstaller(std::span<const uint8_t> program);

// The same for a compressed block (the package's uninstaller item), decoded
// through fixed buffers; false for a block that does not decode.
bool BlockHoldsDefaultUninstaller(std::span<const uint8_t> block, uint32_t max_capacity);

}  // namespace lumiset
#endif
