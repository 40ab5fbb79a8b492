#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "result.h"

namespace lumipack {

// One image of an .ico file: the directory entry's description and the
// image's bytes (a BMP without its file header, or a whole PNG).
struct IconImage {
  uint8_t width = 0;   // 0 means 256, as the directory stores it
  uint8_t height = 0;  // 0 means 256
  uint8_t color_count = 0;
  uint16_t planes = 0;
  uint16_t bit_count = 0;
  bool png = false;
  std::vector<uint8_t> bytes;
};

// An icon as the installer's resources will carry it: every image of the
// file, in the file's order.
struct IconFile {
  std::vector<IconImage> images;
};

// Limits that keep a hostile file from costing much: an icon group cannot
// hold more than this many images, and no real icon image is larger.
inline constexpr size_t kMaxIconImages = 64;
inline constexpr size_t kMaxIconImageBytes = 4 * 1024 * 1024;
inline constexpr size_t kMaxIconFileBytes = 16 * 1024 * 1024;

// Reads an .ico file held in memory. Fails, saying why, when the bytes are
// not an icon: a bad header, no images, an entry pointing outside the file,
// an image that is neither a BMP nor a PNG, or sizes over the limits above.
// `name` is how messages name the file.
Result<IconFile> ReadIconFile(std::span<const uint8_t> bytes, const std::string& name);

}  // namespace lumipack
