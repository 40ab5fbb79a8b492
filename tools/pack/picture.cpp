#include "picture.h"

#include <cstring>

#include "base/byte_io.h"
#include "base/memory_file.h"
#include "package/dib.h"
#include "png_jpeg_decoder.h"

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

std::string Describe(uint32_t compression) {
  switch (compression) {
    case lumiset::kBiRle4:
      return "RLE4";
    case lumiset::kBiBitfields:
      return "bit fields other than plain 32-bit BGR";
    case 4:
      return "an embedded JPEG";
    case 5:
      return "an embedded PNG";
    default:
      return "number " + std::to_string(compression);
  }
}

// Why the installer's BMP reader refuses a file, in words, from the header
// fields it looks at; nullopt when these raise no objection.
std::optional<std::string> BmpHeaderProblem(std::span<const uint8_t> b) {
  if (b.size() < kBmpInfoAt + 4) return "it is cut short: there is no header";
  const uint32_t header_size = LoadU32(&b[kBmpInfoAt]);
  const bool core = header_size == kBmpCoreHeaderSize;
  if (!core && (header_size < lumiset::kInfoHeaderSize || header_size > 1024)) {
    return "its header of " + std::to_string(header_size) +
           " bytes is of a kind the installer does not read";
  }
  const size_t fields = core ? kBmpCoreHeaderSize : lumiset::kInfoHeaderSize;
  if (b.size() < kBmpInfoAt + fields) return std::string("it is cut short inside its header");
  int64_t width = 0;
  int64_t height = 0;
  uint32_t bits = 0;
  uint32_t compression = lumiset::kBiRgb;
  if (core) {
    width = LoadU16(&b[18]);
    height = LoadU16(&b[20]);
    bits = LoadU16(&b[24]);
  } else {
    width = static_cast<int32_t>(LoadU32(&b[18]));
    height = static_cast<int32_t>(LoadU32(&b[22]));
    bits = LoadU16(&b[28]);
    compression = LoadU32(&b[30]);
  }
  if (height < 0) return "it is stored top-down, which the installer does not read";
  const std::string size = std::to_string(width) + "x" + std::to_string(height) + " pixels";
  if (width <= 0 || height == 0) return "its size, " + size + ", is empty";
  if (width > lumiset::kMaxDibSide || height > lumiset::kMaxDibSide) {
    return size + " is more than the installer's limit of " + std::to_string(lumiset::kMaxDibSide) +
           " pixels a side";
  }
  if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) {
    return std::to_string(bits) + " bits a pixel is a depth the installer does not read";
  }
  const bool rle8 = compression == lumiset::kBiRle8 && bits == 8;
  if (compression != lumiset::kBiRgb && compression != lumiset::kBiBitfields && !rle8) {
    return "its compression, " + Describe(compression) + ", is one the installer does not read";
  }
  const uint64_t pixel_bytes =
      lumiset::DibStride(static_cast<uint32_t>(width), bits) * static_cast<uint64_t>(height);
  if (pixel_bytes > lumiset::kMaxDibPixelBytes) {
    return size + " take " + std::to_string(pixel_bytes) + " bytes, more than the installer's " +
           std::to_string(lumiset::kMaxDibPixelBytes >> 20) + " MiB limit";
  }
  const uint32_t pixels_at = LoadU32(&b[10]);
  if (!rle8 && pixels_at != 0 && pixels_at + pixel_bytes > b.size()) {
    return "it is cut short: its " + size + " need " + std::to_string(pixel_bytes) +
           " bytes from byte " + std::to_string(pixels_at) + ", but the file has " +
           std::to_string(b.size()) + " bytes";
  }
  return std::nullopt;
}

}  // namespace

std::optional<std::string> PictureProblem(std::span<const uint8_t> bytes, const PictureInfo& info) {
  if (info.format != lumiset::kPictureBmp) {
    return PngOrJpegProblem(bytes, static_cast<uint32_t>(lumiset::kMaxDibSide),
                            lumiset::kMaxDibPixelBytes);
  }
  if (std::optional<std::string> problem = BmpHeaderProblem(bytes)) return problem;
  lumiset::MemoryFile file(bytes);
  if (lumiset::StatusOr<std::vector<uint8_t>> dib = lumiset::ReadDib(file); !dib) {
    return "the installer's BMP reader refuses it: " + std::string(dib.status().what());
  }
  return std::nullopt;
}

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
