#pragma once

#include <cstdint>
#include <vector>

namespace lumipack::testing {

// Real, whole picture files of the given size (a gradient, so that they do
// not compress to nothing), made with stb_image_write.
std::vector<uint8_t> PngFile(int width, int height);
std::vector<uint8_t> JpegFile(int width, int height);

}  // namespace lumipack::testing
