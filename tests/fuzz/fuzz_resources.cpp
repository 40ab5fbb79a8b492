// Hostile resource sections as lumipack reads a stub's: the first four bytes
// are the section's RVA (little-endian), the rest its bytes. What parses is
// laid out again and must parse to the same entries.
#include <cstddef>
#include <cstdint>
#include <span>

#include "pe_resources.h"
#include "version_info.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 4) return 0;
  // The same bytes as a version resource, as extract reads a stub's.
  (void)lumipack::ReadVersionStrings(std::span<const uint8_t>(data, size));
  const uint32_t rva = uint32_t{data[0]} | uint32_t{data[1]} << 8 | uint32_t{data[2]} << 16 |
                       uint32_t{data[3]} << 24;
  const auto entries = lumipack::ParseResourceSection(std::span<const uint8_t>(data + 4, size - 4), rva);
  if (!entries.ok() || rva > 0x7FFFFFFF) return 0;
  const auto again = lumipack::ParseResourceSection(lumipack::BuildResourceSection(*entries, rva), rva);
  if (!again.ok() || again->size() != entries->size()) __builtin_trap();
  return 0;
}
