#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "package/setup_record.h"

namespace lumipack {

// The band at the top of the installer's pages that the header picture fills;
// a larger picture does not fit it whole.
inline constexpr uint32_t kHeaderBandWidth = 497;
inline constexpr uint32_t kHeaderBandHeight = 58;

struct PictureInfo {
  lumiset::PictureFormat format = lumiset::kPictureBmp;
  // The size in pixels when the header could be read.
  std::optional<uint32_t> width;
  std::optional<uint32_t> height;
};

// Recognises a BMP, JPEG or PNG file by its first bytes, whatever its name,
// and reads its size from the header; nullopt when it is none of the three.
std::optional<PictureInfo> IdentifyPicture(std::span<const uint8_t> bytes);

// Reads the whole picture to learn whether it is sound: a BMP with the
// installer's own reader, so what passes is what the installer can show; a
// PNG or JPEG by its whole structure (png_jpeg_decoder.h). Memory stays
// within the installer's limits for pictures whatever the header claims.
// nullopt when it is sound, else the reason, e.g. "it is cut short: ...".
std::optional<std::string> PictureProblem(std::span<const uint8_t> bytes, const PictureInfo& info);

std::string_view PictureFormatName(uint16_t format);
// ".bmp", ".jpg", ".png", or ".bin" for a value no format has.
std::string_view PictureExtension(uint16_t format);

}  // namespace lumipack
