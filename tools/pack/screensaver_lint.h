#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/platform.h"
#include "console.h"
#include "pe_dependencies.h"
#include "pe_image.h"

namespace lumipack {

// A reason a screensaver that installs may still fail to start, or start
// badly, on the user's machine.
struct LintFinding {
  // Which check found it: "subsystem", "dll", "dotnet", "tables" or "machine".
  std::string rule;
  // What is wrong and what to do about it, without the file's name.
  std::string message;
};

// Whether Windows itself ships `dll` (letter case ignored; a name without an
// extension is a .dll): one of the system DLLs, or an API set
// (api-ms-win-*, ext-ms-*), which Windows resolves itself.
bool IsSystemDll(std::string_view dll);

// The findings for a screensaver with these dependencies, to be installed
// by a stub of `stub_arch` (unset: no stub to compare with): not a Windows
// GUI program, a DLL Windows does not ship, a .NET runtime, tables that
// cannot be read, a machine other than the stub's.
std::vector<LintFinding> LintScreensaver(const PeDependencies& deps,
                                         std::optional<Arch> stub_arch);

// The same for the screensaver read through `reader`; a single finding when
// its headers cannot be read.
std::vector<LintFinding> LintScreensaverBytes(RangeReader& reader, std::optional<Arch> stub_arch);

// Lints the screensaver file `file`, which `name` names, for a stub of
// `stub_arch`, and reports each finding as a warning that starts with the
// name and points at `place`.
void WarnAboutScreensaver(lumiset::ReadableFile& file, const std::string& name, const Place& place,
                          Arch stub_arch, Console& console);

}  // namespace lumipack
