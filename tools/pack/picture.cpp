#include "picture.h"

#include <cstring>

#include "base/byte_io.h"

namespace lumipack {
namespace {

using lumiset::LoadU16;
using lumiset::LoadU32;

constexpr uint8_t kPngMagic[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr uint8_t kJpegMagic[3] = {0xFF, 0xD8, 0xFF};
constexpr size_t kBmpInfoAt = 14;
constexpr uint32_t kBmpCoreHeaderSize = 12;

uint32_t LoadBigU32(const uint8_t* p) {
  return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | uint32_t{p[3]};
}
uint16_t LoadBigU16(const uint8_t* p) { return static_cast<uint16_t>(p[0] << 8 | p[1]); }

void ReadBmpSize(std::span<const uint8_t> b, PictureInfo& info) {
  if (b.size() < kBmpInfoAt + 4) return;
  const uint32_t header_size = LoadU32(&b[kBmpInfoAt]);
  if (header_size == kBmpCoreHeaderSize && b.size() >= kBmpInfoAt + 12) {
    info.width = LoadU16(&b[18]);
    info.height = LoadU16(&b[20]);
  } else if (header_size >= 40 && b.size() >= kBmpInfoAt + 12) {
    // A negative height marks a top-down bitmap; the size is its magnitude.
    const auto width = static_cast<int32_t>(LoadU32(&b[18]));
    const auto height = static_cast<int32_t>(LoadU32(&b[22]));
    if (width <= 0 || height == INT32_MIN) return;
    info.width = static_cast<uint32_t>(width);
    info.height = static_cast<uint32_t>(height < 0 ? -height : height);
  }
}

void ReadPngSize(std::span<const uint8_t> b, PictureInfo& info) {
  // Signature, then the IHDR chunk: length, type, width, height.
  if (b.size() < 24 || std::memcmp(&b[12], "IHDR", 4) != 0) return;
  info.width = LoadBigU32(&b[16]);
  info.height = LoadBigU32(&b[20]);
}

void ReadJpegSize(std::span<const uint8_t> b, PictureInfo& info) {
  // Walks the marker segments up to the first start-of-frame, which holds
  // the height and then the width.
  size_t pos = 2;
  while (pos + 4 <= b.size()) {
    if (b[pos] != 0xFF) return;
    const uint8_t marker = b[pos + 1];
    if (marker == 0xFF) {
      ++pos;
      continue;
    }
    if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {
      pos += 2;
      continue;
    }
    const size_t length = LoadBigU16(&b[pos + 2]);
    if (length < 2) return;
    const bool start_of_frame =
        marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
    if (start_of_frame) {
      if (length < 7 || pos + 9 > b.size()) return;
      info.height = LoadBigU16(&b[pos + 5]);
      info.width = LoadBigU16(&b[pos + 7]);
      return;
    }
    if (marker == 0xD9 || marker == 0xDA) return;
    pos += 2 + length;
  }
}

}  // namespace

std::optional<PictureInfo> IdentifyPicture(std::span<const uint8_t> bytes) {
  PictureInfo info;
  if (bytes.size() >= 2 && bytes[0] == 'B' && bytes[1] == 'M') {
    info.format = lumiset::kPictureBmp;
    ReadBmpSize(bytes, info);
  } else if (bytes.size() >= sizeof kPngMagic &&
             std::memcmp(bytes.data(), kPngMagic, sizeof kPngMagic) == 0) {
    info.format = lumiset::kPicturePng;
    ReadPngSize(bytes, info);
  } else if (bytes.size() >= sizeof kJpegMagic &&
             std::memcmp(bytes.data(), kJpegMagic, sizeof kJpegMagic) == 0) {
    info.format = lumiset::kPictureJpeg;
    ReadJpegSize(bytes, info);
  } else {
    return std::nullopt;
  }
  return info;
}

std::string_view PictureFormatName(uint16_t format) {
  switch (format) {
    case lumiset::kPictureBmp:
      return "BMP";
    case lumiset::kPictureJpeg:
      return "JPEG";
    case lumiset::kPicturePng:
      return "PNG";
    default:
      return "unknown";
  }
}

std::string_view PictureExtension(uint16_t format) {
  switch (format) {
    case lumiset::kPictureBmp:
      return ".bmp";
    case lumiset::kPictureJpeg:
      return ".jpg";
    case lumiset::kPicturePng:
      return ".png";
    default:
      return ".bin";
  }
}

}  // namespace lumipack
