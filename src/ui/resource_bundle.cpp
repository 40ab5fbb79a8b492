#include "ui/resource_bundle.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <limits>

#include "base/byte_io.h"
#include "base/language.h"

namespace lumiset {
namespace {

constexpr uint8_t kMagic[4] = {'L', 'D', 'B', '1'};
constexpr size_t kHeaderSize = 12;
constexpr size_t kEntrySize = 12;

// Inflates `in` into `out`: false unless the stream is whole, ends where
// `in` ends and yields exactly `size` bytes. `out` holds one byte more, so
// that a stream that would yield more stops short of its end.
bool InflateExactly(std::span<const uint8_t> in, std::span<uint8_t> out, size_t size) {
  if (in.size() > std::numeric_limits<uInt>::max() || out.size() != size + 1) return false;
  z_stream zs{};
  if (inflateInit(&zs) != Z_OK) return false;
  zs.next_in = const_cast<Bytef*>(in.data());
  zs.avail_in = static_cast<uInt>(in.size());
  zs.next_out = out.data();
  zs.avail_out = static_cast<uInt>(out.size());
  const int rc = inflate(&zs, Z_FINISH);
  const bool whole = rc == Z_STREAM_END && zs.total_out == size && zs.avail_in == 0;
  inflateEnd(&zs);
  return whole;
}

}  // namespace

std::optional<ResourceBundle> ResourceBundle::Inflate(std::span<const uint8_t> resource) {
  if (resource.size() < kHeaderSize || std::memcmp(resource.data(), kMagic, 4) != 0) {
    return std::nullopt;
  }
  const uint32_t count = LoadU32(resource.data() + 4);
  const uint32_t body_size = LoadU32(resource.data() + 8);
  if (count > kMaxCount || body_size > kMaxBodySize || body_size % 4 != 0 ||
      uint64_t{count} * kEntrySize > body_size) {
    return std::nullopt;
  }

  ResourceBundle bundle;
  // One word more than the body, for InflateExactly's extra byte.
  bundle.body_.resize(body_size / 4 + 1);
  auto* storage = reinterpret_cast<uint8_t*>(bundle.body_.data());
  if (!InflateExactly(resource.subspan(kHeaderSize), {storage, size_t{body_size} + 1}, body_size)) {
    return std::nullopt;
  }
  const std::span<const uint8_t> body(storage, body_size);

  bundle.entries_.reserve(count);
  for (uint32_t i = 0; i < count; ++i) {
    const uint8_t* entry = body.data() + size_t{i} * kEntrySize;
    const Entry e{LoadU16(entry), LoadU32(entry + 4), LoadU32(entry + 8)};
    const bool ascending = bundle.entries_.empty() || bundle.entries_.back().id < e.id;
    if (!ascending || LoadU16(entry + 2) != 0 || e.offset % 4 != 0 ||
        e.offset < uint64_t{count} * kEntrySize || e.offset > body_size ||
        e.size > body_size - e.offset) {
      return std::nullopt;
    }
    bundle.entries_.push_back(e);
  }
  return bundle;
}

std::span<const uint8_t> ResourceBundle::Find(int id) const {
  const auto at = std::lower_bound(entries_.begin(), entries_.end(), id,
                                   [](const Entry& e, int wanted) { return e.id < wanted; });
  if (at == entries_.end() || at->id != id) return {};
  const auto* body = reinterpret_cast<const uint8_t*>(body_.data());
  return {body + at->offset, at->size};
}

std::span<const uint8_t> ResourceBundle::FindLocalized(int base_id, int32_t language_index) const {
  const std::span<const uint8_t> localized = Find(LocalizedId(base_id, language_index));
  return localized.empty() ? Find(base_id) : localized;
}

}  // namespace lumiset
