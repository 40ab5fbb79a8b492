#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace lumiset {

// Resources of one kind, every language's, kept deflated in one resource
// (resources/pack_resources.py writes it at build time): the dialog
// templates, which raw would be a quarter of the stub, and the help
// documents. Inflated into memory, the entries are found by id.
//
// The resource: "LDB1", u32 count, u32 body size, then the body as one zlib
// stream. The body: `count` index entries {u16 id, u16 zero, u32 offset,
// u32 size}, ids strictly ascending, then the entries' bytes, each starting
// at a multiple of 4 bytes from the start of the body, which is where the
// offsets count from. A dialog template must be DWORD-aligned in memory;
// the body's storage is.
class ResourceBundle {
 public:
  // The type of every bundle resource in the program.
  static constexpr uint16_t kResourceType = 10;  // RT_RCDATA
  // Limits on what the resource may claim before anything is allocated.
  static constexpr uint32_t kMaxBodySize = 4u << 20;
  static constexpr uint32_t kMaxCount = 4096;

  // Nullopt when the bytes are not a whole, consistent bundle.
  static std::optional<ResourceBundle> Inflate(std::span<const uint8_t> resource);

  // The entry with this id; empty when there is none.
  std::span<const uint8_t> Find(int id) const;
  // The entry `base_id` in this language (at LocalizedId), or the English
  // base entry when the bundle has none for the language; empty when
  // neither is there.
  std::span<const uint8_t> FindLocalized(int base_id, int32_t language_index) const;

 private:
  struct Entry {
    uint16_t id;
    uint32_t offset;
    uint32_t size;
  };

  // uint32_t storage keeps every entry at an address that is a multiple
  // of 4, as the dialog manager requires of a template.
  std::vector<uint32_t> body_;
  std::vector<Entry> entries_;
};

}  // namespace lumiset
