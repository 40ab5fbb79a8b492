#include "png_jpeg_decoder.h"

// stb_image: header-only, so the native and the Windows lumipack decode with
// the same code and need no library built for Windows. Only its PNG and
// JPEG decoders, reading from memory.
#define STBI_ONLY_PNG
#define STBI_ONLY_JPEG
#define STBI_NO_STDIO
#define STBI_NO_LINEAR
#define STBI_NO_HDR
#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#include <stb/stb_image.h>

#include <climits>

namespace lumipack {
namespace {

// stb_image's short failure codes in words; the code itself follows in
// brackets for those who want the detail.
std::string Explain(const char* reason) {
  const std::string code = reason != nullptr ? reason : "";
  if (code == "outofmem") return "decoding it needs more memory than there is";
  // What stb_image says when no decoder could read the header: the file
  // began like a PNG or JPEG, so the header is cut short or damaged.
  if (code.empty() || code == "unknown image type") {
    return "it is cut short or damaged: its header cannot be read";
  }
  return "it is cut short, damaged, or of a kind the decoder does not read (" + code + ")";
}

}  // namespace

std::optional<std::string> PngOrJpegProblem(std::span<const uint8_t> bytes, uint32_t max_side,
                                            uint64_t max_pixel_bytes) {
  if (bytes.size() > static_cast<size_t>(INT_MAX)) return "it is too large to decode";
  const auto* data = reinterpret_cast<const stbi_uc*>(bytes.data());
  const int length = static_cast<int>(bytes.size());
  int width = 0;
  int height = 0;
  int channels = 0;
  if (!stbi_info_from_memory(data, length, &width, &height, &channels)) {
    return Explain(stbi_failure_reason());
  }
  const std::string size = std::to_string(width) + "x" + std::to_string(height) + " pixels";
  // Four bytes a pixel: what the decoder holds at most (8-bit RGBA).
  const uint64_t pixel_bytes =
      uint64_t{static_cast<uint32_t>(width)} * static_cast<uint32_t>(height) * 4;
  if (width <= 0 || height <= 0 || static_cast<uint32_t>(width) > max_side ||
      static_cast<uint32_t>(height) > max_side || pixel_bytes > max_pixel_bytes) {
    return size + " is more than the installer's limit for pictures (" + std::to_string(max_side) +
           " pixels a side, " + std::to_string(max_pixel_bytes >> 20) + " MiB of pixels)";
  }
  stbi_uc* pixels = stbi_load_from_memory(data, length, &width, &height, &channels, 0);
  if (pixels == nullptr) return Explain(stbi_failure_reason());
  stbi_image_free(pixels);
  return std::nullopt;
}

}  // namespace lumipack
