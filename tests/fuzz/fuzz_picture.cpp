// Hostile header pictures as lumipack checks them at build time: the format
// sniffing, the header sizes and the whole decode (PNG and JPEG through
// stb_image, BMP through the installer's own reader).
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "picture.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> bytes(data, size);
  const std::optional<lumipack::PictureInfo> info = lumipack::IdentifyPicture(bytes);
  if (info) lumipack::PictureProblem(bytes, *info);
  return 0;
}
