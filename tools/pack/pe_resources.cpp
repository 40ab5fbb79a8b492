#include "pe_resources.h"

#include <algorithm>
#include <set>
#include <tuple>

#include "base/byte_io.h"

namespace lumipack {
namespace {

constexpr size_t kDirectorySize = 16;
constexpr size_t kDirectoryEntrySize = 8;
constexpr size_t kDataEntrySize = 16;
constexpr uint32_t kSubdirectoryFlag = 0x80000000u;
constexpr uint32_t kNameFlag = 0x80000000u;
constexpr int kLevels = 3;  // type, name, language

using lumiset::LoadU16;
using lumiset::LoadU32;
using lumiset::StoreU16;
using lumiset::StoreU32;

class Parser {
 public:
  Parser(std::span<const uint8_t> section, uint32_t rva) : section_(section), rva_(rva) {}

  Status Walk(size_t offset, int level, ResourceEntry& path) {
    if (!visited_.insert(offset).second) return Fail("a directory is reached twice");
    if (offset > section_.size() || section_.size() - offset < kDirectorySize) {
      return Fail("a directory lies outside the section");
    }
    const size_t count = size_t{LoadU16(section_, offset + 12)} + LoadU16(section_, offset + 14);
    const size_t first = offset + kDirectorySize;
    if ((section_.size() - first) / kDirectoryEntrySize < count) {
      return Fail("a directory's entries run past the section");
    }
    for (size_t i = 0; i < count; ++i) {
      const size_t at = first + i * kDirectoryEntrySize;
      const uint32_t name = LoadU32(section_, at);
      const uint32_t target = LoadU32(section_, at + 4);
      ResourceKey key;
      if (level == kLevels - 1 && (name & kNameFlag)) {
        return Fail("a language is named, not numbered");
      }
      if (name & kNameFlag) {
        auto text = ReadName(name & ~kNameFlag);
        if (!text.ok()) return text.status();
        key.name = *text;
      } else {
        if (name > 0xFFFF) return Fail("a resource id is larger than 65535");
        key.id = static_cast<uint16_t>(name);
      }
      const bool subdirectory = (target & kSubdirectoryFlag) != 0;
      if (subdirectory != (level < kLevels - 1)) {
        return Fail("the tree is not three levels deep (type, name, language)");
      }
      if (level == 0) path.type = key;
      if (level == 1) path.name = key;
      if (subdirectory) {
        if (Status s = Walk(target & ~kSubdirectoryFlag, level + 1, path); !s.ok()) return s;
        continue;
      }
      path.language = key.id;
      if (Status s = ReadData(target, path); !s.ok()) return s;
    }
    return {};
  }

  std::vector<ResourceEntry> entries;

 private:
  Status Fail(const std::string& why) const {
    return Status::Failure("the stub's resource section is damaged: " + why);
  }

  Result<std::u16string> ReadName(size_t offset) const {
    if (offset > section_.size() || section_.size() - offset < 2) {
      return Fail("a resource name lies outside the section");
    }
    const size_t length = LoadU16(section_, offset);
    if ((section_.size() - offset - 2) / 2 < length) return Fail("a resource name runs past the section");
    std::u16string text;
    for (size_t i = 0; i < length; ++i) text += static_cast<char16_t>(LoadU16(section_, offset + 2 + i * 2));
    return text;
  }

  Status ReadData(size_t offset, ResourceEntry& path) {
    if (offset > section_.size() || section_.size() - offset < kDataEntrySize) {
      return Fail("a data entry lies outside the section");
    }
    const uint32_t data_rva = LoadU32(section_, offset);
    const uint32_t size = LoadU32(section_, offset + 4);
    if (data_rva < rva_ || data_rva - rva_ > section_.size() ||
        section_.size() - (data_rva - rva_) < size) {
      return Fail("a resource's data lies outside the section");
    }
    if (entries.size() >= kMaxResourceEntries) return Fail("it holds too many resources");
    ResourceEntry entry = path;
    entry.code_page = LoadU32(section_, offset + 8);
    const auto data = section_.subspan(data_rva - rva_, size);
    entry.data.assign(data.begin(), data.end());
    entries.push_back(std::move(entry));
    return {};
  }

  std::span<const uint8_t> section_;
  uint32_t rva_;
  std::set<size_t> visited_;
};

// Windows looks up names before ids, names in ascending (binary) order.
bool KeyLess(const ResourceKey& a, const ResourceKey& b) {
  const bool a_named = !a.name.empty();
  const bool b_named = !b.name.empty();
  if (a_named != b_named) return a_named;
  return a_named ? a.name < b.name : a.id < b.id;
}

size_t Align8(size_t n) { return (n + 7) & ~size_t{7}; }

}  // namespace

Result<std::vector<ResourceEntry>> ParseResourceSection(std::span<const uint8_t> section,
                                                        uint32_t section_rva) {
  Parser parser(section, section_rva);
  ResourceEntry path;
  if (Status s = parser.Walk(0, 0, path); !s.ok()) return s;
  return std::move(parser.entries);
}

std::vector<uint8_t> BuildResourceSection(std::vector<ResourceEntry> entries,
                                          uint32_t section_rva) {
  std::stable_sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) {
    if (!(a.type == b.type)) return KeyLess(a.type, b.type);
    if (!(a.name == b.name)) return KeyLess(a.name, b.name);
    return a.language < b.language;
  });
  // Group the sorted leaves: types, then names within a type.
  struct NameGroup { size_t first, last; };
  struct TypeGroup { size_t first, last; std::vector<NameGroup> names; };
  std::vector<TypeGroup> types;
  for (size_t i = 0; i < entries.size(); ++i) {
    if (types.empty() || !(entries[types.back().first].type == entries[i].type)) {
      types.push_back({i, i, {}});
    }
    TypeGroup& t = types.back();
    t.last = i + 1;
    if (t.names.empty() || !(entries[t.names.back().first].name == entries[i].name)) {
      t.names.push_back({i, i});
    }
    t.names.back().last = i + 1;
  }
  // Sizes: every directory with its entries, then names, data entries, data.
  size_t directories = kDirectorySize + types.size() * kDirectoryEntrySize;
  for (const auto& t : types) {
    directories += kDirectorySize + t.names.size() * kDirectoryEntrySize;
    for (const auto& n : t.names) directories += kDirectorySize + (n.last - n.first) * kDirectoryEntrySize;
  }
  std::vector<uint8_t> out(directories, 0);
  auto put_name = [&](const ResourceKey& key) -> uint32_t {
    if (key.name.empty()) return key.id;
    const size_t at = out.size();
    out.resize(at + 2 + key.name.size() * 2);
    StoreU16(out, at, static_cast<uint32_t>(key.name.size()));
    for (size_t i = 0; i < key.name.size(); ++i) StoreU16(out, at + 2 + i * 2, key.name[i]);
    return kNameFlag | static_cast<uint32_t>(at);
  };
  auto put_directory = [&](size_t at, size_t named, size_t numbered) {
    StoreU16(out, at + 12, static_cast<uint32_t>(named));
    StoreU16(out, at + 14, static_cast<uint32_t>(numbered));
  };
  auto count_named = [](auto first, auto last, auto key_of) {
    return static_cast<size_t>(std::count_if(first, last, [&](const auto& x) { return !key_of(x).name.empty(); }));
  };
  std::vector<std::pair<size_t, size_t>> leaves;  // (entry slot, entry index)
  size_t next = kDirectorySize + types.size() * kDirectoryEntrySize;
  put_directory(0, count_named(types.begin(), types.end(), [&](const TypeGroup& t) -> const ResourceKey& { return entries[t.first].type; }),
                types.size() - count_named(types.begin(), types.end(), [&](const TypeGroup& t) -> const ResourceKey& { return entries[t.first].type; }));
  for (size_t ti = 0; ti < types.size(); ++ti) {
    const TypeGroup& t = types[ti];
    const size_t type_dir = next;
    next += kDirectorySize + t.names.size() * kDirectoryEntrySize;
    // put_name may grow `out`: take its result before writing into it.
    const uint32_t type_name = put_name(entries[t.first].type);
    StoreU32(out, kDirectorySize + ti * kDirectoryEntrySize, type_name);
    StoreU32(out, kDirectorySize + ti * kDirectoryEntrySize + 4, kSubdirectoryFlag | static_cast<uint32_t>(type_dir));
    const size_t named = count_named(t.names.begin(), t.names.end(), [&](const NameGroup& n) -> const ResourceKey& { return entries[n.first].name; });
    put_directory(type_dir, named, t.names.size() - named);
    for (size_t ni = 0; ni < t.names.size(); ++ni) {
      const NameGroup& n = t.names[ni];
      const size_t name_dir = next;
      next += kDirectorySize + (n.last - n.first) * kDirectoryEntrySize;
      const size_t slot = type_dir + kDirectorySize + ni * kDirectoryEntrySize;
      const uint32_t name = put_name(entries[n.first].name);
      StoreU32(out, slot, name);
      StoreU32(out, slot + 4, kSubdirectoryFlag | static_cast<uint32_t>(name_dir));
      put_directory(name_dir, 0, n.last - n.first);
      for (size_t li = n.first; li < n.last; ++li) {
        const size_t leaf = name_dir + kDirectorySize + (li - n.first) * kDirectoryEntrySize;
        StoreU32(out, leaf, entries[li].language);
        leaves.emplace_back(leaf, li);
      }
    }
  }
  out.resize(Align8(out.size()), 0);
  for (const auto& [slot, index] : leaves) {
    const size_t at = out.size();
    out.resize(at + kDataEntrySize, 0);
    StoreU32(out, slot + 4, static_cast<uint32_t>(at));
    StoreU32(out, at + 4, static_cast<uint32_t>(entries[index].data.size()));
    StoreU32(out, at + 8, entries[index].code_page);
  }
  for (const auto& [slot, index] : leaves) {
    const size_t data_entry = LoadU32(out, slot + 4);
    const size_t at = Align8(out.size());
    out.resize(at, 0);
    out.insert(out.end(), entries[index].data.begin(), entries[index].data.end());
    StoreU32(out, data_entry, section_rva + static_cast<uint32_t>(at));
  }
  out.resize(Align8(out.size()), 0);
  return out;
}

}  // namespace lumipack
