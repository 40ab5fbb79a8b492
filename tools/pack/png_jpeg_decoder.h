#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace lumipack {

// Decodes a PNG or JPEG file whole, to learn whether it is sound. Its size
// is read first and held to `max_side` pixels a side and `max_pixel_bytes`
// decoded, so a hostile header cannot make the decoder ask for more memory.
// nullopt when the picture decodes; else why not, e.g. "the PNG is
// corrupt" or "4000x90000 pixels, more than ...".
std::optional<std::string> PngOrJpegProblem(std::span<const uint8_t> bytes, uint32_t max_side,
                                            uint64_t max_pixel_bytes);

}  // namespace lumipack
