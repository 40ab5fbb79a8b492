#include "resource_rewrite.h"

#include <algorithm>
#include <set>
#include <string>

#include "base/byte_io.h"
#include "package/pe_layout.h"

namespace lumipack {
namespace {

namespace pe = lumiset::pe;

constexpr uint16_t kRtIcon = 3;
constexpr uint16_t kRtGroupIcon = 14;
constexpr uint32_t kBaseRelocationDirectory = 5;
constexpr size_t kGroupHeaderSize = 6;
constexpr size_t kGroupEntrySize = 14;
constexpr uint32_t kMaxAlignment = 0x10000;

using lumiset::LoadU16;
using lumiset::LoadU32;
using lumiset::StoreU16;
using lumiset::StoreU32;
uint64_t AlignUp(uint64_t n, uint32_t a) { return (n + a - 1) / a * a; }

bool IsId(const ResourceKey& key, uint16_t id) { return key.name.empty() && key.id == id; }

// Adds a resource named by numbers.
void AddEntry(std::vector<ResourceEntry>& entries, uint16_t type, uint16_t name, uint16_t language,
              std::vector<uint8_t> data) {
  ResourceEntry entry;
  entry.type.id = type;
  entry.name.id = name;
  entry.language = language;
  entry.data = std::move(data);
  entries.push_back(std::move(entry));
}

// The RT_ICON ids a group names.
std::set<uint16_t> IconIdsOf(const std::vector<uint8_t>& group) {
  std::set<uint16_t> ids;
  if (group.size() < kGroupHeaderSize) return ids;
  const size_t count = std::min<size_t>(LoadU16(group, 4), (group.size() - kGroupHeaderSize) / kGroupEntrySize);
  for (size_t i = 0; i < count; ++i) ids.insert(LoadU16(group, kGroupHeaderSize + i * kGroupEntrySize + 12));
  return ids;
}

Status Refuse(const std::string& why) {
  return Status::Failure("cannot rewrite the stub's resources: " + why);
}

}  // namespace

Status ReplaceMainIcon(std::vector<ResourceEntry>& entries, const IconFile& icon) {
  auto main = std::find_if(entries.begin(), entries.end(), [](const ResourceEntry& e) {
    return IsId(e.type, kRtGroupIcon) && IsId(e.name, kMainIconGroupId);
  });
  if (main == entries.end()) return Refuse("the stub has no main icon group");
  const uint16_t language = main->language;
  std::set<uint16_t> old_ids = IconIdsOf(main->data);
  entries.erase(main);
  for (const auto& e : entries) {
    if (IsId(e.type, kRtGroupIcon)) {
      for (uint16_t shared : IconIdsOf(e.data)) old_ids.erase(shared);
    }
  }
  std::erase_if(entries, [&](const ResourceEntry& e) {
    return IsId(e.type, kRtIcon) && e.name.name.empty() && old_ids.count(e.name.id) != 0;
  });
  std::set<uint16_t> used;
  for (const auto& e : entries) {
    if (IsId(e.type, kRtIcon) && e.name.name.empty()) used.insert(e.name.id);
  }
  std::vector<uint8_t> group(kGroupHeaderSize + icon.images.size() * kGroupEntrySize, 0);
  StoreU16(group, 2, 1);
  StoreU16(group, 4, static_cast<uint32_t>(icon.images.size()));
  uint16_t next_id = 1;
  for (size_t i = 0; i < icon.images.size(); ++i) {
    while (used.count(next_id) != 0) ++next_id;
    if (next_id == 0) return Refuse("no free icon ids are left");
    const IconImage& image = icon.images[i];
    const size_t at = kGroupHeaderSize + i * kGroupEntrySize;
    group[at] = image.width;
    group[at + 1] = image.height;
    group[at + 2] = image.color_count;
    StoreU16(group, at + 4, image.planes);
    StoreU16(group, at + 6, image.bit_count);
    StoreU32(group, at + 8, static_cast<uint32_t>(image.bytes.size()));
    StoreU16(group, at + 12, next_id);
    AddEntry(entries, kRtIcon, next_id, language, image.bytes);
    used.insert(next_id);
  }
  AddEntry(entries, kRtGroupIcon, kMainIconGroupId, language, std::move(group));
  return {};
}

void ReplaceVersion(std::vector<ResourceEntry>& entries, std::vector<uint8_t> version,
                    uint16_t language) {
  std::erase_if(entries, [](const ResourceEntry& e) {
    return IsId(e.type, kVersionResourceType) && IsId(e.name, kVersionResourceId);
  });
  AddEntry(entries, kVersionResourceType, kVersionResourceId, language, std::move(version));
}

uint32_t PeChecksum(std::span<const uint8_t> file, size_t checksum_at) {
  uint64_t sum = 0;
  for (size_t i = 0; i < file.size(); i += 2) {
    if (i >= checksum_at && i < checksum_at + 4) continue;
    uint32_t word = file[i];
    if (i + 1 < file.size()) word |= uint32_t{file[i + 1]} << 8;
    sum += word;
    sum = (sum & 0xFFFF) + (sum >> 16);
  }
  sum = (sum & 0xFFFF) + (sum >> 16);
  return static_cast<uint32_t>(sum + file.size());
}

namespace {

// The offset of section header `i` in a table at `table`.
size_t SectionHeaderAt(uint64_t table, size_t i) {
  return static_cast<size_t>(table + i * pe::kSectionHeaderSize);
}

// Where a PE image keeps its resources, and the entries they hold: what
// reading them and rewriting them both need.
struct Located {
  uint64_t optional = 0;
  uint16_t section_count = 0;
  uint64_t table = 0;
  size_t resource_dir = 0;
  std::optional<size_t> relocation_dir;
  size_t rsrc = 0;
  uint32_t raw_at = 0;
  uint32_t raw_size = 0;
  uint32_t virtual_size = 0;
  uint32_t resource_rva = 0;
  uint32_t section_alignment = 0;
  uint32_t file_alignment = 0;
  std::vector<ResourceEntry> entries;

  size_t header(size_t i) const { return SectionHeaderAt(table, i); }
};

Result<Located> Locate(std::span<const uint8_t> image) {
  if (image.size() < pe::kDosLfanew + 4 || image[0] != 'M' || image[1] != 'Z') {
    return Refuse("it is not a PE image");
  }
  const uint64_t lfanew = LoadU32(image, pe::kDosLfanew);
  const uint64_t coff = lfanew + pe::kSignatureSize;
  if (coff + pe::kCoffHeaderSize > image.size() || LoadU32(image, lfanew) != 0x00004550) {
    return Refuse("it is not a PE image");
  }
  const uint64_t optional = coff + pe::kCoffHeaderSize;
  const uint16_t optional_size = LoadU16(image, coff + pe::kCoffSizeOfOptionalHeader);
  const uint16_t section_count = LoadU16(image, coff + pe::kCoffNumberOfSections);
  const uint64_t table = optional + optional_size;
  if (table + uint64_t{section_count} * pe::kSectionHeaderSize > image.size() || optional_size < 2) {
    return Refuse("its headers are cut short");
  }
  const uint16_t magic = LoadU16(image, optional + pe::kOptMagic);
  const uint32_t directory_start = magic == pe::kPe32Magic       ? pe::kPe32DirectoryStart
                                   : magic == pe::kPe32PlusMagic ? pe::kPe32PlusDirectoryStart
                                                                 : 0;
  if (directory_start == 0) return Refuse("its optional header is neither PE32 nor PE32+");
  const uint32_t directory_count =
      directory_start + 4 <= optional_size ? LoadU32(image, optional + directory_start - 4) : 0;
  auto directory_at = [&](uint32_t index) -> std::optional<size_t> {
    const uint64_t at = optional + directory_start + uint64_t{index} * pe::kDirectoryEntrySize;
    if (index >= directory_count || directory_start + (index + 1) * pe::kDirectoryEntrySize > optional_size) {
      return std::nullopt;
    }
    return static_cast<size_t>(at);
  };
  const auto resource_dir = directory_at(pe::kResourceDirectory);
  if (!resource_dir || LoadU32(image, *resource_dir) == 0) return Refuse(std::string(kNoResourcesReason));
  if (const auto cert = directory_at(pe::kCertificateDirectory); cert && LoadU32(image, *cert) != 0) {
    return Refuse("the stub is signed; use an unsigned stub");
  }
  const uint32_t section_alignment = LoadU32(image, optional + pe::kOptSectionAlignment);
  const uint32_t file_alignment = LoadU32(image, optional + pe::kOptFileAlignment);
  if (section_alignment == 0 || file_alignment == 0 || section_alignment > kMaxAlignment ||
      file_alignment > kMaxAlignment) {
    return Refuse("its section alignment is not sane");
  }
  const uint32_t resource_rva = LoadU32(image, *resource_dir);
  std::optional<size_t> rsrc;
  for (size_t i = 0; i < section_count; ++i) {
    if (LoadU32(image, SectionHeaderAt(table, i) + pe::kSectionVirtualAddress) == resource_rva) {
      rsrc = i;
    }
  }
  if (!rsrc) return Refuse("its resource directory does not start a section");
  auto header = [&](size_t i) { return SectionHeaderAt(table, i); };
  const size_t r = header(*rsrc);
  const uint32_t raw_at = LoadU32(image, r + pe::kSectionPointerToRawData);
  const uint32_t raw_size = LoadU32(image, r + pe::kSectionSizeOfRawData);
  const uint32_t virtual_size = LoadU32(image, r + pe::kSectionVirtualSize);
  if (uint64_t{raw_at} + raw_size > image.size()) return Refuse("its resource section lies outside the file");
  // Sections after the resources move with its new size. Only the base
  // relocations can: nothing but their data directory entry points at them.
  const auto relocation_dir = directory_at(kBaseRelocationDirectory);
  for (size_t i = 0; i < section_count; ++i) {
    if (i == *rsrc) continue;
    const size_t s = header(i);
    const uint32_t va = LoadU32(image, s + pe::kSectionVirtualAddress);
    const uint32_t at = LoadU32(image, s + pe::kSectionPointerToRawData);
    const bool later = va > resource_rva || (LoadU32(image, s + pe::kSectionSizeOfRawData) != 0 && at > raw_at);
    if (!later) continue;
    const bool is_relocations = relocation_dir && LoadU32(image, *relocation_dir) == va &&
                                va > resource_rva && at > raw_at;
    if (!is_relocations) {
      return Refuse("a section other than the base relocations follows the resource section");
    }
  }

  std::vector<ResourceEntry> entries;
  {
    auto parsed = ParseResourceSection(image.subspan(raw_at, std::min(raw_size, virtual_size)), resource_rva);
    if (!parsed.ok()) return parsed.status();
    entries = std::move(*parsed);
  }
  return Located{optional, section_count, table, *resource_dir, relocation_dir, *rsrc,
                 raw_at, raw_size, virtual_size, resource_rva, section_alignment,
                 file_alignment, std::move(entries)};
}

}  // namespace

Result<std::vector<ResourceEntry>> ReadResources(std::span<const uint8_t> image) {
  Result<Located> located = Locate(image);
  if (!located.ok()) return located.status();
  return std::move(located->entries);
}

void SetPeChecksum(std::vector<uint8_t>& file) {
  if (file.size() < pe::kDosLfanew + 4) return;
  const uint64_t at = uint64_t{LoadU32(file, pe::kDosLfanew)} + pe::kSignatureSize +
                      pe::kCoffHeaderSize + pe::kOptCheckSum;
  if (at + 4 > file.size()) return;
  StoreU32(file, static_cast<size_t>(at), PeChecksum(file, static_cast<size_t>(at)));
}

Result<std::vector<uint8_t>> RewriteResources(
    std::span<const uint8_t> image, const std::function<Status(std::vector<ResourceEntry>&)>& edit) {
  Result<Located> located = Locate(image);
  if (!located.ok()) return located.status();
  Located& l = *located;
  if (Status s = edit(l.entries); !s.ok()) return s;
  const std::vector<uint8_t> section = BuildResourceSection(std::move(l.entries), l.resource_rva);
  const uint64_t new_raw_size = AlignUp(section.size(), l.file_alignment);
  const int64_t file_delta = static_cast<int64_t>(new_raw_size) - l.raw_size;
  const int64_t rva_delta = static_cast<int64_t>(AlignUp(section.size(), l.section_alignment)) -
                            static_cast<int64_t>(AlignUp(l.virtual_size, l.section_alignment));
  if (new_raw_size > 0x7FFFFFFF) return Refuse("the new resources are too large");

  std::vector<uint8_t> out(image.begin(), image.begin() + l.raw_at);
  out.insert(out.end(), section.begin(), section.end());
  out.resize(l.raw_at + new_raw_size, 0);
  out.insert(out.end(), image.begin() + l.raw_at + l.raw_size, image.end());
  const size_t r = l.header(l.rsrc);
  StoreU32(out, r + pe::kSectionVirtualSize, static_cast<uint32_t>(section.size()));
  StoreU32(out, r + pe::kSectionSizeOfRawData, static_cast<uint32_t>(new_raw_size));
  StoreU32(out, l.resource_dir + 4, static_cast<uint32_t>(section.size()));
  uint64_t image_end = 0;
  for (size_t i = 0; i < l.section_count; ++i) {
    const size_t s = l.header(i);
    uint32_t va = LoadU32(out, s + pe::kSectionVirtualAddress);
    if (i != l.rsrc && va > l.resource_rva) {
      va = static_cast<uint32_t>(va + rva_delta);
      StoreU32(out, s + pe::kSectionVirtualAddress, va);
      StoreU32(out, s + pe::kSectionPointerToRawData,
            static_cast<uint32_t>(LoadU32(out, s + pe::kSectionPointerToRawData) + file_delta));
      // Locate let only the base relocations follow the resources.
      StoreU32(out, *l.relocation_dir, va);
    }
    image_end = std::max<uint64_t>(
        image_end,
        AlignUp(uint64_t{va} + LoadU32(out, s + pe::kSectionVirtualSize), l.section_alignment));
  }
  StoreU32(out, l.optional + pe::kOptSizeOfImage, static_cast<uint32_t>(image_end));
  StoreU32(out, l.optional + pe::kOptSizeOfInitializedData,
           static_cast<uint32_t>(LoadU32(out, l.optional + pe::kOptSizeOfInitializedData) +
                                 file_delta));
  SetPeChecksum(out);
  return out;
}

}  // namespace lumipack
