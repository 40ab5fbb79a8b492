#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace lumiset {

// The programs' dialog templates, every language's, kept deflated in one
// resource (resources/pack_dialogs.py writes it at build time): raw, they
// would be a quarter of the stub. Inflated once into memory, they are found
// by id and handed to the dialog manager from there.
//
// The resource: "LDB1", u32 count, u32 body size, then the body as one zlib
// stream. The body: `count` index entries {u16 id, u16 zero, u32 offset,
// u32 size}, ids strictly ascending, then the templates, each starting at a
// multiple of 4 bytes from the start of the body, which is where the offsets
// count from. A dialog template must be DWORD-aligned in memory; the body's
// storage is.
class DialogBundle {
 public:
  // The resource's type and name in the program.
  static constexpr uint16_t kResourceType = 10;  // RT_RCDATA
  static constexpr wchar_t kResourceName[] = L"DIALOGS";
  // Limits on what the resource may claim before anything is allocated.
  static constexpr uint32_t kMaxBodySize = 4u << 20;
  static constexpr uint32_t kMaxCount = 4096;

  // Nullopt when the bytes are not a whole, consistent bundle.
  static std::optional<DialogBundle> Inflate(std::span<const uint8_t> resource);

  // The template with this id; empty when there is none.
  std::span<const uint8_t> Find(int id) const;

 private:
  struct Entry {
    uint16_t id;
    uint32_t offset;
    uint32_t size;
  };

  // uint32_t storage keeps every template at an address that is a multiple
  // of 4, as the dialog manager requires.
  std::vector<uint32_t> body_;
  std::vector<Entry> entries_;
};

}  // namespace lumiset
