#include "pe_dependencies.h"

#include <algorithm>
#include <cstring>
#include <set>

#include "base/byte_io.h"
#include "base/text.h"
#include "package/pe_layout.h"

namespace lumipack {
namespace {

namespace pe = lumiset::pe;
using lumiset::LoadU16;
using lumiset::LoadU32;

// Limits on where a sane image keeps its headers, as the installer's own
// reader has them.
constexpr uint32_t kMaxLfanew = 64u << 10;
constexpr uint16_t kMaxSections = 96;
constexpr uint32_t kMaxDirectories = 16;

// Optional header fields beside those in pe_layout.h.
constexpr uint32_t kOptImageBase32 = 28;
constexpr uint32_t kOptImageBase64 = 24;
constexpr uint32_t kOptSubsystem = 68;

// An import descriptor: OriginalFirstThunk, TimeDateStamp, ForwarderChain,
// Name, FirstThunk. The table ends at the first one without a name or a
// thunk, as the Windows loader reads it.
constexpr uint32_t kImportDescriptorSize = 20;
constexpr uint32_t kImportName = 12;
constexpr uint32_t kImportFirstThunk = 16;

// A delay-load descriptor: Attributes, DllNameRVA, ModuleHandleRVA,
// ImportAddressTableRVA, ... . Without bit 0 of Attributes its addresses
// are virtual addresses (the oldest linkers' form), not RVAs.
constexpr uint32_t kDelayDescriptorSize = 32;
constexpr uint32_t kDelayAttributes = 0;
constexpr uint32_t kDelayName = 4;
constexpr uint32_t kDelayAddressTable = 12;
constexpr uint32_t kDelayRvaBased = 1;

// The CLR header (IMAGE_COR20_HEADER): cb, runtime version, then the
// metadata's directory entry.
constexpr uint32_t kClrHeaderSize = 72;
constexpr uint32_t kClrMetadata = 8;

// The metadata root: "BSJB", major, minor, reserved, the version string's
// length, then the string, zero-padded.
constexpr uint32_t kMetadataSignature = 0x424A5342;
constexpr uint32_t kMetadataVersionLength = 12;
constexpr uint32_t kMetadataVersion = 16;
constexpr uint32_t kMaxMetadataVersion = 255;

bool Fits(std::span<const uint8_t> bytes, uint64_t at, uint64_t n) {
  return at <= bytes.size() && n <= bytes.size() - at;
}

// A name read up to its terminating zero; nullopt when none ends it.
std::optional<std::string> Terminated(std::span<const uint8_t> bytes) {
  const auto end = std::find(bytes.begin(), bytes.end(), uint8_t{0});
  if (end == bytes.end()) return std::nullopt;
  std::string name;
  for (auto it = bytes.begin(); it != end; ++it) {
    name.push_back(*it >= 0x20 && *it < 0x7F ? static_cast<char>(*it) : '?');
  }
  return name;
}

// Adds `name` unless `seen` has it in any letter case.
void AddOnce(std::vector<std::string>& names, std::set<std::string>& seen, std::string name) {
  if (seen.insert(lumiset::AsciiLower(name)).second) names.push_back(std::move(name));
}

// One import table to walk: its bytes and how its descriptors are laid out.
struct Table {
  std::vector<std::string>* names = nullptr;
  std::set<std::string> seen;
  uint32_t descriptor_size = 0;
  bool delay = false;
  size_t batch_index = 0;  // of its bytes in the second batch
};

// The RVA of the name in one descriptor, or 0 at the table's end.
uint32_t NameRvaOf(const PeHeaders& headers, const Table& table, std::span<const uint8_t> d) {
  if (!table.delay) {
    if (LoadU32(d, kImportFirstThunk) == 0) return 0;
    return LoadU32(d, kImportName);
  }
  const uint32_t name = LoadU32(d, kDelayName);
  if (name == 0 || LoadU32(d, kDelayAddressTable) == 0) return 0;
  if ((LoadU32(d, kDelayAttributes) & kDelayRvaBased) != 0) return name;
  // A virtual address; one below the image base leads nowhere.
  return name >= headers.image_base ? static_cast<uint32_t>(name - headers.image_base) : 0;
}

}  // namespace

PeDirectory PeHeaders::Directory(size_t index) const {
  return index < directories.size() ? directories[index] : PeDirectory{};
}

std::optional<ByteRange> PeHeaders::FileRangeAt(uint32_t rva, uint32_t limit) const {
  for (const PeSection& s : sections) {
    const uint64_t mapped = s.virtual_size != 0 ? s.virtual_size : s.raw_size;
    if (rva < s.virtual_address || rva - s.virtual_address >= mapped) continue;
    const uint32_t into = rva - s.virtual_address;
    // Past its raw bytes a section is zeros that the file does not hold.
    if (into >= s.raw_size) return std::nullopt;
    return ByteRange{uint64_t{s.raw_offset} + into, std::min(limit, s.raw_size - into)};
  }
  if (rva < size_of_headers) return ByteRange{rva, std::min(limit, size_of_headers - rva)};
  return std::nullopt;
}

std::optional<PeHeaders> ParsePeHeaders(std::span<const uint8_t> b) {
  if (!Fits(b, 0, pe::kDosLfanew + 4) || b[0] != 'M' || b[1] != 'Z') return std::nullopt;
  const uint32_t lfanew = LoadU32(b, pe::kDosLfanew);
  if (lfanew > kMaxLfanew || !Fits(b, lfanew, pe::kSignatureSize + pe::kCoffHeaderSize) ||
      std::memcmp(&b[lfanew], "PE\0\0", pe::kSignatureSize) != 0) {
    return std::nullopt;
  }
  const size_t coff = lfanew + pe::kSignatureSize;
  PeHeaders h;
  h.machine = LoadU16(b, coff + pe::kCoffMachine);
  const uint16_t section_count = LoadU16(b, coff + pe::kCoffNumberOfSections);
  const uint16_t optional_size = LoadU16(b, coff + pe::kCoffSizeOfOptionalHeader);
  const size_t opt = coff + pe::kCoffHeaderSize;
  if (section_count > kMaxSections || optional_size < pe::kOptSizeOfHeaders + 4 ||
      !Fits(b, opt, optional_size)) {
    return std::nullopt;
  }
  const uint16_t magic = LoadU16(b, opt + pe::kOptMagic);
  uint32_t directory_start = 0;
  if (magic == pe::kPe32Magic) {
    directory_start = pe::kPe32DirectoryStart;
    h.image_base = LoadU32(b, opt + kOptImageBase32);
  } else if (magic == pe::kPe32PlusMagic) {
    directory_start = pe::kPe32PlusDirectoryStart;
    h.is_64bit = true;
    h.image_base = LoadU32(b, opt + kOptImageBase64) |
                   uint64_t{LoadU32(b, opt + kOptImageBase64 + 4)} << 32;
  } else {
    return std::nullopt;
  }
  h.size_of_headers = LoadU32(b, opt + pe::kOptSizeOfHeaders);
  if (optional_size >= kOptSubsystem + 2) h.subsystem = LoadU16(b, opt + kOptSubsystem);
  if (optional_size >= directory_start) {
    // NumberOfRvaAndSizes, bounded by what the optional header holds.
    const uint32_t stated = LoadU32(b, opt + directory_start - 4);
    const uint32_t held = (optional_size - directory_start) / pe::kDirectoryEntrySize;
    const uint32_t count = std::min({stated, held, kMaxDirectories});
    for (uint32_t i = 0; i < count; ++i) {
      const size_t at = opt + directory_start + size_t{i} * pe::kDirectoryEntrySize;
      h.directories.push_back({LoadU32(b, at), LoadU32(b, at + 4)});
    }
  }
  const size_t table = opt + optional_size;
  if (!Fits(b, table, size_t{section_count} * pe::kSectionHeaderSize)) return std::nullopt;
  for (uint16_t i = 0; i < section_count; ++i) {
    const size_t s = table + size_t{i} * pe::kSectionHeaderSize;
    h.sections.push_back({LoadU32(b, s + pe::kSectionVirtualAddress),
                          LoadU32(b, s + pe::kSectionVirtualSize),
                          LoadU32(b, s + pe::kSectionSizeOfRawData),
                          LoadU32(b, s + pe::kSectionPointerToRawData)});
  }
  return h;
}

std::optional<PeDependencies> ReadPeDependencies(RangeReader& reader) {
  std::vector<std::vector<uint8_t>> got;
  const ByteRange header_range{0, kPeHeadersWindow};
  if (!reader.Read({&header_range, 1}, got)) return std::nullopt;
  std::optional<PeHeaders> headers = ParsePeHeaders(got[0]);
  if (!headers) return std::nullopt;
  PeDependencies deps;
  deps.headers = std::move(*headers);
  const PeHeaders& h = deps.headers;
  auto note = [&deps](const std::string& problem) {
    if (deps.problem.empty()) deps.problem = problem;
  };

  // The tables and the CLR header, in one batch.
  Table tables[] = {{&deps.imports, {}, kImportDescriptorSize, false, 0},
                    {&deps.delay_imports, {}, kDelayDescriptorSize, true, 0}};
  const size_t directories[] = {kImportDirectory, kDelayImportDirectory};
  const char* table_names[] = {"import table", "delay-load table"};
  std::vector<ByteRange> ranges;
  std::vector<Table*> walked;
  for (size_t i = 0; i < 2; ++i) {
    const uint32_t rva = h.Directory(directories[i]).rva;
    if (rva == 0) continue;
    // The loader reads to the closing descriptor, whatever the size says.
    const uint32_t most = static_cast<uint32_t>((kMaxImportedDlls + 1) * tables[i].descriptor_size);
    if (std::optional<ByteRange> range = h.FileRangeAt(rva, most)) {
      tables[i].batch_index = ranges.size();
      ranges.push_back(*range);
      walked.push_back(&tables[i]);
    } else {
      note(std::string("its ") + table_names[i] + " lies outside the file's sections");
    }
  }
  const PeDirectory clr = h.Directory(kClrDirectory);
  deps.has_clr = clr.rva != 0;
  std::optional<size_t> clr_index;
  if (deps.has_clr) {
    if (std::optional<ByteRange> range = h.FileRangeAt(clr.rva, kClrHeaderSize)) {
      clr_index = ranges.size();
      ranges.push_back(*range);
    }
  }
  if (ranges.empty()) return deps;
  if (!reader.Read(ranges, got)) return std::nullopt;

  // The names and the metadata root, in one more batch.
  std::vector<ByteRange> second;
  std::vector<Table*> name_lists;
  for (Table* table : walked) {
    std::span<const uint8_t> bytes = got[table->batch_index];
    size_t count = 0;
    for (size_t at = 0;; at += table->descriptor_size) {
      if (!Fits(bytes, at, table->descriptor_size)) {
        note("its import tables run past their section's end");
        break;
      }
      const uint32_t name = NameRvaOf(h, *table, bytes.subspan(at, table->descriptor_size));
      if (name == 0) break;
      if (++count > kMaxImportedDlls) {
        note("it names more than " + std::to_string(kMaxImportedDlls) + " DLLs");
        break;
      }
      if (std::optional<ByteRange> range = h.FileRangeAt(name, kMaxDllNameBytes)) {
        second.push_back(*range);
        name_lists.push_back(table);
      } else {
        note("a DLL name lies outside the file's sections");
      }
    }
  }
  std::optional<size_t> metadata_index;
  if (clr_index && got[*clr_index].size() == kClrHeaderSize) {
    const uint32_t metadata = LoadU32(got[*clr_index], kClrMetadata);
    if (std::optional<ByteRange> range =
            h.FileRangeAt(metadata, kMetadataVersion + kMaxMetadataVersion)) {
      metadata_index = second.size();
      second.push_back(*range);
    }
  }
  if (second.empty()) return deps;
  if (!reader.Read(second, got)) return std::nullopt;
  for (size_t i = 0; i < name_lists.size(); ++i) {
    if (std::optional<std::string> name = Terminated(got[i]); name && !name->empty()) {
      AddOnce(*name_lists[i]->names, name_lists[i]->seen, std::move(*name));
    } else {
      note("a DLL name is empty or has no end");
    }
  }
  if (metadata_index) {
    std::span<const uint8_t> root = got[*metadata_index];
    if (Fits(root, 0, kMetadataVersion) && LoadU32(root, 0) == kMetadataSignature) {
      const uint32_t length = std::min(LoadU32(root, kMetadataVersionLength), kMaxMetadataVersion);
      if (Fits(root, kMetadataVersion, length)) {
        std::vector<uint8_t> text(root.begin() + kMetadataVersion,
                                  root.begin() + kMetadataVersion + length);
        text.push_back(0);
        deps.clr_version = Terminated(text).value_or("");
      }
    }
  }
  return deps;
}

}  // namespace lumipack
