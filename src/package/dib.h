#pragma once

// Packed device-independent bitmaps: a 40-byte BITMAPINFOHEADER, the colour
// table (4 bytes an entry: blue, green, red, 0), then the pixel rows, bottom
// row first, each padded to a multiple of 4 bytes. The operations on headers
// also accept the older 12-byte core header with 3-byte colour entries.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "base/platform.h"

namespace lumiset {

inline constexpr uint32_t kInfoHeaderSize = 40;
inline constexpr uint32_t kCoreHeaderSize = 12;
inline constexpr uint32_t kBmpFileHeaderSize = 14;
// Largest picture the installer accepts, in pixel bytes and per side.
inline constexpr uint64_t kMaxDibPixelBytes = 64u << 20;
inline constexpr int32_t kMaxDibSide = 32768;

enum DibCompression : uint32_t { kBiRgb = 0, kBiRle8 = 1, kBiRle4 = 2, kBiBitfields = 3 };

// Header facts; each returns 0 for a header too short to hold them.
uint32_t DibColorCount(std::span<const uint8_t> header);
uint32_t DibColorTableSize(std::span<const uint8_t> header);
// Offset of the pixel rows from the header's start.
uint32_t DibPixelsOffset(std::span<const uint8_t> header);
// Bytes in one padded row.
uint64_t DibStride(uint32_t width, uint32_t bit_count);

// The colour (red | green << 8 | blue << 16) of the pixel in column x and row
// y counted from the top; 0 for an unsupported bit count, a pixel outside the
// picture or a block too short for it.
uint32_t DibPixelColor(std::span<const uint8_t> dib, int32_t x, int32_t y);

// Reads a BMP file into a packed bitmap with a 40-byte header, expanding
// RLE8. A kCorrupt failure that says why for anything else: not "BM", RLE4,
// top-down rows, bit fields other than plain 32-bit BGR, a picture over the
// limits, or a short file.
StatusOr<std::vector<uint8_t>> ReadDib(ReadableFile& file);
StatusOr<std::vector<uint8_t>> ReadDibFile(Platform& platform, const std::string& path);

}  // namespace lumiset
