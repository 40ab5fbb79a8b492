// Hostile programs as lumipack lints them: the headers, the import and
// delay-load tables, the DLL names and the CLR header with its metadata,
// read in place and from a zlib stream of the same bytes, which must read
// alike; then the findings made of them. The same bytes as a stub whose
// application manifest lumipack winget reads, and as that manifest's text.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "app_manifest.h"
#include "base/memory_file.h"
#include "package/package_format.h"
#include "pe_dependencies.h"
#include "range_reader.h"
#include "screensaver_lint.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> bytes(data, size);
  lumiset::MemoryFile plain(bytes);
  lumipack::FileRangeReader in_place(plain);
  const std::optional<lumipack::PeDependencies> read = lumipack::ReadPeDependencies(in_place);

  (void)lumipack::ReadApplicationManifest(in_place);
  (void)lumipack::RequestedExecutionLevel(
      std::string_view(reinterpret_cast<const char*>(data), size));

  const std::vector<uint8_t> stream = lumiset::CompressZlib(bytes, 1);
  lumiset::MemoryFile compressed(stream);
  lumipack::InflatedRangeReader inflated(compressed, 0, stream.size(), size);
  const std::optional<lumipack::PeDependencies> again = lumipack::ReadPeDependencies(inflated);

  if (read.has_value() != again.has_value()) __builtin_trap();
  if (!read) return 0;
  if (read->imports != again->imports || read->delay_imports != again->delay_imports ||
      read->has_clr != again->has_clr || read->clr_version != again->clr_version ||
      read->problem != again->problem) {
    __builtin_trap();
  }
  (void)lumipack::LintScreensaver(*read, lumipack::Arch::kX86);
  return 0;
}
