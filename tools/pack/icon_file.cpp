#include "icon_file.h"

#include <algorithm>
#include <array>

#include "base/byte_io.h"

namespace lumipack {
namespace {

constexpr size_t kHeaderSize = 6;
constexpr size_t kEntrySize = 16;
constexpr uint16_t kIconType = 1;
constexpr size_t kBitmapInfoHeaderSize = 40;
using lumiset::LoadU16;
using lumiset::LoadU32;

constexpr std::array<uint8_t, 8> kPngSignature = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};

Status NotAnIcon(const std::string& name, const std::string& why) {
  return Status::Failure(name + " is not an icon (.ico): " + why);
}

}  // namespace

Result<IconFile> ReadIconFile(std::span<const uint8_t> bytes, const std::string& name) {
  if (bytes.size() > kMaxIconFileBytes) {
    return NotAnIcon(name, "it is larger than " + std::to_string(kMaxIconFileBytes) + " bytes");
  }
  if (bytes.size() < kHeaderSize || LoadU16(bytes, 0) != 0 || LoadU16(bytes, 2) != kIconType) {
    return NotAnIcon(name, "it does not start with an icon header");
  }
  const size_t count = LoadU16(bytes, 4);
  if (count == 0) return NotAnIcon(name, "it holds no images");
  if (count > kMaxIconImages) {
    return NotAnIcon(name, "it holds " + std::to_string(count) + " images, more than " +
                               std::to_string(kMaxIconImages));
  }
  if (bytes.size() < kHeaderSize + count * kEntrySize) {
    return NotAnIcon(name, "its image directory is cut short");
  }
  IconFile icon;
  for (size_t i = 0; i < count; ++i) {
    const size_t entry = kHeaderSize + i * kEntrySize;
    const std::string which = "image " + std::to_string(i + 1);
    const uint32_t size = LoadU32(bytes, entry + 8);
    const uint32_t offset = LoadU32(bytes, entry + 12);
    if (size == 0) return NotAnIcon(name, which + " is empty");
    if (size > kMaxIconImageBytes) {
      return NotAnIcon(name, which + " is larger than " + std::to_string(kMaxIconImageBytes) +
                                 " bytes");
    }
    // 64-bit sums: offset + size cannot wrap.
    if (offset < kHeaderSize + count * kEntrySize ||
        uint64_t{offset} + uint64_t{size} > bytes.size()) {
      return NotAnIcon(name, which + " lies outside the file");
    }
    const auto data = bytes.subspan(offset, size);
    IconImage image;
    image.width = bytes[entry];
    image.height = bytes[entry + 1];
    image.color_count = bytes[entry + 2];
    image.planes = LoadU16(bytes, entry + 4);
    image.bit_count = LoadU16(bytes, entry + 6);
    if (data.size() >= kPngSignature.size() &&
        std::equal(kPngSignature.begin(), kPngSignature.end(), data.begin())) {
      image.png = true;
    } else if (data.size() >= kBitmapInfoHeaderSize && LoadU32(data, 0) >= kBitmapInfoHeaderSize &&
               LoadU32(data, 0) <= data.size()) {
      image.png = false;
    } else {
      return NotAnIcon(name, which + " is neither a BMP nor a PNG image");
    }
    image.bytes.assign(data.begin(), data.end());
    icon.images.push_back(std::move(image));
  }
  return icon;
}

}  // namespace lumipack
