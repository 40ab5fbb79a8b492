#include "pe_image.h"

#include "package/memory_file.h"

namespace lumipack {

std::optional<lumiset::PeFacts> ReadPeOf(std::span<const uint8_t> bytes) {
  lumiset::MemoryFile file(bytes);
  return lumiset::ReadPeFacts(file);
}

std::string_view PeKindName(const lumiset::PeFacts& facts) {
  return facts.is_64bit ? "64-bit PE image" : "32-bit PE image";
}

}  // namespace lumipack
