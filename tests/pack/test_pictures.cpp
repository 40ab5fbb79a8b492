#include "test_pictures.h"

#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image_write.h>

namespace lumipack::testing {
namespace {

constexpr int kChannels = 3;
constexpr int kJpegQuality = 90;

std::vector<uint8_t> Gradient(int width, int height) {
  std::vector<uint8_t> pixels(static_cast<size_t>(width) * height * kChannels);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      uint8_t* p = &pixels[(static_cast<size_t>(y) * width + x) * kChannels];
      p[0] = static_cast<uint8_t>(x * 255 / (width > 1 ? width - 1 : 1));
      p[1] = static_cast<uint8_t>(y * 255 / (height > 1 ? height - 1 : 1));
      p[2] = static_cast<uint8_t>((x + y) & 0xFF);
    }
  }
  return pixels;
}

void Append(void* context, void* data, int size) {
  auto* out = static_cast<std::vector<uint8_t>*>(context);
  const auto* bytes = static_cast<const uint8_t*>(data);
  out->insert(out->end(), bytes, bytes + size);
}

}  // namespace

std::vector<uint8_t> PngFile(int width, int height) {
  const std::vector<uint8_t> pixels = Gradient(width, height);
  std::vector<uint8_t> out;
  stbi_write_png_to_func(Append, &out, width, height, kChannels, pixels.data(), width * kChannels);
  return out;
}

std::vector<uint8_t> JpegFile(int width, int height) {
  const std::vector<uint8_t> pixels = Gradient(width, height);
  std::vector<uint8_t> out;
  stbi_write_jpg_to_func(Append, &out, width, height, kChannels, pixels.data(), kJpegQuality);
  return out;
}

}  // namespace lumipack::testing
