// Hostile BMP files: reading, RLE8 expansion and pixel sampling.
#include <cstddef>
#include <cstdint>

#include "base/memory_file.h"
#include "package/dib.h"

using namespace lumiset;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  MemoryFile file({data, size});
  StatusOr<std::vector<uint8_t>> dib = ReadDib(file);
  if (!dib) return 0;
  DibPixelColor(*dib, 0, 0);
  DibPixelColor(*dib, 1, 1);
  // Corners far out and negative, where a row or column offset could overflow.
  DibPixelColor(*dib, INT32_MAX, INT32_MAX);
  DibPixelColor(*dib, -1, -1);
  DibColorTableSize(*dib);
  return 0;
}
