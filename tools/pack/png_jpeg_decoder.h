#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace lumipack {

// Checks a PNG or JPEG file whole, to learn whether it is sound: a PNG's
// chunks with their check values and its whole compressed image, which must
// inflate to exactly the bytes its header promises; a JPEG's segments, from
// its start to its end marker, with frame header and Huffman tables. Its
// size is held to `max_side` pixels a side and `max_pixel_bytes` decoded.
// Memory stays bounded (one 16 KiB buffer) whatever the file claims.
// nullopt when the picture is sound; else why not, e.g. "it is cut short:
// ..." or "4000x90000 pixels is more than ...".
std::optional<std::string> PngOrJpegProblem(std::span<const uint8_t> bytes, uint32_t max_side,
                                            uint64_t max_pixel_bytes);

}  // namespace lumipack
