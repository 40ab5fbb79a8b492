#include "package/dib.h"

#include <algorithm>
#include <cstring>

#include "base/byte_io.h"

namespace lumiset {
namespace {

// A picture the installer cannot show, and why.
Status Refused(std::string_view reason) { return Status::Corrupt(reason); }

// Field offsets inside a BITMAPINFOHEADER.
constexpr size_t kWidthAt = 4;
constexpr size_t kHeightAt = 8;
constexpr size_t kPlanesAt = 12;
constexpr size_t kBitCountAt = 14;
constexpr size_t kCompressionAt = 16;
constexpr size_t kImageSizeAt = 20;
constexpr size_t kXPelsAt = 24;
constexpr size_t kYPelsAt = 28;
constexpr size_t kUsedColorsAt = 32;
constexpr size_t kImportantColorsAt = 36;
// Colour masks: after a 40-byte header with bit fields, or inside a V4/V5 one.
constexpr size_t kMaskBytes = 12;
constexpr size_t kHeaderWithMasks = kInfoHeaderSize + kMaskBytes;
constexpr uint32_t kMaxColors = 256;

uint32_t CountForBits(uint32_t bits) {
  return bits == 1 ? 2 : bits == 4 ? 16 : bits == 8 ? 256 : 0;
}

bool IsSupportedBitCount(uint32_t bits) {
  return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
}

// Expands RLE8 data into rows of `stride` bytes, bottom row first. Runs and
// moves that would leave the picture are cut off at its edges.
void ExpandRle8(std::span<const uint8_t> in, uint8_t* rows, uint32_t width, uint32_t height,
                uint64_t stride) {
  uint64_t x = 0;
  uint64_t y = 0;
  size_t i = 0;
  auto put = [&](uint8_t value) {
    if (x < width && y < height) rows[y * stride + x] = value;
    ++x;
  };
  while (i + 1 < in.size() && y < height) {
    const uint8_t count = in[i];
    const uint8_t value = in[i + 1];
    i += 2;
    if (count != 0) {
      for (int k = 0; k < count; ++k) put(value);
      continue;
    }
    if (value == 0) {  // end of line
      x = 0;
      ++y;
    } else if (value == 1) {  // end of bitmap
      return;
    } else if (value == 2) {  // move right and up
      if (i + 1 >= in.size()) return;
      x += in[i];
      y += in[i + 1];
      i += 2;
    } else {  // literal run, padded to an even length
      const size_t n = value;
      if (n > in.size() - i) return;
      for (size_t k = 0; k < n; ++k) put(in[i + k]);
      i += n + (n & 1);
    }
  }
}

}  // namespace

uint64_t DibStride(uint32_t width, uint32_t bit_count) {
  return (uint64_t{bit_count} * width + 31) / 32 * 4;
}

uint32_t DibColorCount(std::span<const uint8_t> header) {
  if (header.size() < 4) return 0;
  const uint32_t size = LoadU32(header.data());
  if (size == kCoreHeaderSize && header.size() >= kCoreHeaderSize) {
    return CountForBits(LoadU16(&header[10]));
  }
  if (size < kInfoHeaderSize || header.size() < kInfoHeaderSize) return 0;
  const uint32_t used = LoadU32(&header[kUsedColorsAt]);
  return used != 0 ? used : CountForBits(LoadU16(&header[kBitCountAt]));
}

uint32_t DibColorTableSize(std::span<const uint8_t> header) {
  if (header.size() < 4) return 0;
  const bool core = LoadU32(header.data()) == kCoreHeaderSize;
  const uint64_t size = uint64_t{DibColorCount(header)} * (core ? 3 : 4);
  return static_cast<uint32_t>(std::min<uint64_t>(size, UINT32_MAX));
}

uint32_t DibPixelsOffset(std::span<const uint8_t> header) {
  if (header.size() < 4) return 0;
  const uint64_t offset = uint64_t{LoadU32(header.data())} + DibColorTableSize(header);
  return static_cast<uint32_t>(std::min<uint64_t>(offset, UINT32_MAX));
}

uint32_t DibPixelColor(std::span<const uint8_t> dib, int32_t x, int32_t y) {
  if (dib.size() < kInfoHeaderSize) return 0;
  const int32_t width = static_cast<int32_t>(LoadU32(&dib[kWidthAt]));
  const int32_t height = static_cast<int32_t>(LoadU32(&dib[kHeightAt]));
  const uint32_t bits = LoadU16(&dib[kBitCountAt]);
  if (!IsSupportedBitCount(bits) || x < 0 || y < 0 || x >= width || y >= height) return 0;
  const uint64_t table = kInfoHeaderSize;
  const uint64_t used = LoadU32(&dib[kUsedColorsAt]);
  const uint64_t stride = DibStride(static_cast<uint32_t>(width), bits);
  const uint64_t row = table + used * 4 + stride * static_cast<uint64_t>(height - 1 - y);
  if (row + stride > dib.size()) return 0;
  const uint8_t* p = dib.data() + row;
  const uint64_t ux = static_cast<uint64_t>(x);

  auto from_table = [&](uint64_t index) -> uint32_t {
    if (index >= used) return 0;
    const uint8_t* entry = dib.data() + table + index * 4;
    return uint32_t{entry[2]} | uint32_t{entry[1]} << 8 | uint32_t{entry[0]} << 16;
  };
  uint32_t red = 0, green = 0, blue = 0;
  switch (bits) {
    case 1: return from_table((p[ux / 8] >> (7 - ux % 8)) & 1);
    case 4: return from_table(ux % 2 == 0 ? p[ux / 2] >> 4 : p[ux / 2] & 0x0F);
    case 8: return from_table(p[ux]);
    case 16: {
      const uint32_t w = LoadU16(p + 2 * ux);
      red = (w >> 8) & 0xF8;
      green = (w >> 3) & 0xFC;
      blue = (w << 3) & 0xFF;
      break;
    }
    case 24: blue = p[3 * ux]; green = p[3 * ux + 1]; red = p[3 * ux + 2]; break;
    case 32: blue = p[4 * ux]; green = p[4 * ux + 1]; red = p[4 * ux + 2]; break;
  }
  return red | green << 8 | blue << 16;
}

namespace {

// ReadDib's work; each refusal is one Status return.
Status ReadDibInto(ReadableFile& file, std::vector<uint8_t>& dib) {
  const uint64_t file_size = file.Size();
  uint8_t file_header[kBmpFileHeaderSize];
  if (!file.ReadAt(0, file_header, sizeof file_header)) return Refused("its file header is cut short");
  if (file_header[0] != 'B' || file_header[1] != 'M') return Refused("it does not start with \"BM\"");
  const uint32_t pixel_offset = LoadU32(&file_header[10]);

  uint8_t size_field[4];
  if (!file.ReadAt(kBmpFileHeaderSize, size_field, 4)) return Refused("its bitmap header is cut short");
  const uint32_t header_size = LoadU32(size_field);

  // Build the 40-byte header the block carries, whatever the file's kind.
  std::vector<uint8_t> header(kInfoHeaderSize, 0);
  bool core = false;
  uint64_t table_at = 0;
  if (header_size == kCoreHeaderSize) {
    uint8_t c[kCoreHeaderSize];
    if (!file.ReadAt(kBmpFileHeaderSize, c, sizeof c)) return Refused("its bitmap header is cut short");
    StoreU32(&header[kWidthAt], LoadU16(&c[4]));
    StoreU32(&header[kHeightAt], LoadU16(&c[6]));
    StoreU16(&header[kPlanesAt], LoadU16(&c[8]));
    StoreU16(&header[kBitCountAt], LoadU16(&c[10]));
    core = true;
    table_at = kBmpFileHeaderSize + kCoreHeaderSize;
  } else if (header_size >= kInfoHeaderSize && header_size <= 1024) {
    std::vector<uint8_t> full(std::max<size_t>(header_size, kHeaderWithMasks), 0);
    const size_t wanted = std::min<size_t>(header_size + kMaskBytes, full.size());
    // The masks after a plain 40-byte header may be absent; read what there is.
    if (!file.ReadAt(kBmpFileHeaderSize, full.data(), header_size)) {
      return Refused("its bitmap header is cut short");
    }
    if (wanted > header_size) {
      // A short read leaves zeros or the bytes that were there: no masks.
      file.ReadAt(kBmpFileHeaderSize + header_size, full.data() + header_size, wanted - header_size)
          .IgnoreError();
    }
    std::memcpy(header.data(), full.data(), kInfoHeaderSize);
    table_at = kBmpFileHeaderSize + header_size;
    if (LoadU32(&header[kCompressionAt]) == kBiBitfields) {
      // Plain 32-bit BGR masks mean the same as no compression; others would
      // need conversion and are refused.
      const bool bgr32 = LoadU16(&header[kBitCountAt]) == 32 &&
                         LoadU32(&full[40]) == 0x00FF0000 && LoadU32(&full[44]) == 0x0000FF00 &&
                         LoadU32(&full[48]) == 0x000000FF;
      if (!bgr32) return Refused("its colour masks are not plain 32-bit BGR");
      StoreU32(&header[kCompressionAt], kBiRgb);
      if (header_size == kInfoHeaderSize) table_at += kMaskBytes;
    }
  } else {
    return Refused("its bitmap header has an unknown size");
  }
  StoreU32(&header[0], kInfoHeaderSize);

  const int32_t width = static_cast<int32_t>(LoadU32(&header[kWidthAt]));
  const int32_t height = static_cast<int32_t>(LoadU32(&header[kHeightAt]));
  const uint32_t bits = LoadU16(&header[kBitCountAt]);
  const uint32_t compression = LoadU32(&header[kCompressionAt]);
  if (width <= 0 || height <= 0) return Refused("its width or height is not positive (rows top-down?)");
  if (width > kMaxDibSide || height > kMaxDibSide) return Refused("it is wider or taller than the limit");
  if (!IsSupportedBitCount(bits)) return Refused("its bit count is not 1, 4, 8, 16, 24 or 32");
  if (compression != kBiRgb && !(compression == kBiRle8 && bits == 8)) {
    return Refused("its compression is neither none nor RLE8 on 8 bits");
  }

  uint32_t colors = LoadU32(&header[kUsedColorsAt]);
  if (colors == 0 && bits < 15) colors = CountForBits(bits);
  if (colors > kMaxColors) return Refused("its colour table is too long");
  StoreU32(&header[kUsedColorsAt], colors);
  StoreU32(&header[kImportantColorsAt], colors);
  if (core) {
    StoreU32(&header[kXPelsAt], 0);
    StoreU32(&header[kYPelsAt], 0);
  }

  const uint64_t stride = DibStride(static_cast<uint32_t>(width), bits);
  const uint64_t pixel_bytes = stride * static_cast<uint64_t>(height);
  if (pixel_bytes > kMaxDibPixelBytes) return Refused("its pixels are over the size limit");

  dib.assign(kInfoHeaderSize + size_t{colors} * 4 + pixel_bytes, 0);
  const size_t entry_size = core ? 3 : 4;
  std::vector<uint8_t> table(size_t{colors} * entry_size);
  if (!table.empty() && !file.ReadAt(table_at, table.data(), table.size())) {
    return Refused("its colour table is cut short");
  }
  for (size_t i = 0; i < colors; ++i) {
    std::memcpy(&dib[kInfoHeaderSize + i * 4], &table[i * entry_size], 3);
  }
  const uint64_t pixels_at = pixel_offset != 0 ? pixel_offset : table_at + table.size();
  uint8_t* rows = dib.data() + kInfoHeaderSize + size_t{colors} * 4;

  if (compression == kBiRle8) {
    uint64_t packed = LoadU32(&header[kImageSizeAt]);
    if (pixels_at > file_size) return Refused("its pixels start past the end of the file");
    if (packed == 0 || packed > file_size - pixels_at) packed = file_size - pixels_at;
    std::vector<uint8_t> rle(static_cast<size_t>(packed));
    if (!rle.empty() && !file.ReadAt(pixels_at, rle.data(), rle.size())) {
      return Refused("its pixels cannot be read");
    }
    ExpandRle8(rle, rows, static_cast<uint32_t>(width), static_cast<uint32_t>(height), stride);
    StoreU32(&header[kCompressionAt], kBiRgb);
  } else if (!file.ReadAt(pixels_at, rows, static_cast<size_t>(pixel_bytes))) {
    return Refused("its pixels are cut short");
  }
  StoreU32(&header[kImageSizeAt], static_cast<uint32_t>(pixel_bytes));
  std::memcpy(dib.data(), header.data(), kInfoHeaderSize);
  return Status::Ok();
}

}  // namespace

StatusOr<std::vector<uint8_t>> ReadDib(ReadableFile& file) {
  std::vector<uint8_t> dib;
  if (Status read = ReadDibInto(file, dib); !read) return read;
  return dib;
}

StatusOr<std::vector<uint8_t>> ReadDibFile(Platform& platform, const std::string& path) {
  StatusOr<std::unique_ptr<ReadableFile>> file = platform.OpenForRead(path, /*share_write=*/false);
  if (!file) return file.status();
  return ReadDib(*file.value());
}

}  // namespace lumiset
