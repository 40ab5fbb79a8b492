#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "result.h"

namespace lumipack {

// A resource type or name: a number, or a UTF-16 name when `name` is set.
struct ResourceKey {
  uint16_t id = 0;
  std::u16string name;
  bool operator==(const ResourceKey&) const = default;
};

// One leaf of a resource section's tree: type, name, language and data.
struct ResourceEntry {
  ResourceKey type;
  ResourceKey name;
  uint16_t language = 0;
  uint32_t code_page = 0;
  std::vector<uint8_t> data;
};

// Limits for a hostile section: no real program has more resources.
inline constexpr size_t kMaxResourceEntries = 16384;

// Reads a resource section held in `section`, loaded at `section_rva`. The
// tree must be the usual three levels (type, name, language); every offset,
// count and size is checked against the section, and a directory reached
// twice fails rather than looping.
Result<std::vector<ResourceEntry>> ParseResourceSection(std::span<const uint8_t> section,
                                                        uint32_t section_rva);

// Lays the entries out as a resource section for `section_rva`: the
// directories, sorted as Windows searches them (names before ids, both in
// ascending order), then the names, the data entries, and the data, each
// item 8-byte aligned.
std::vector<uint8_t> BuildResourceSection(std::vector<ResourceEntry> entries,
                                          uint32_t section_rva);

}  // namespace lumipack
