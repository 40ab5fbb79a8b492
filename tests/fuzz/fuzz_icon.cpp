// Hostile .ico files as lumipack reads them for the installer's icon: the
// header, the image directory's offsets and sizes, and the image kinds.
#include <cstddef>
#include <cstdint>
#include <span>

#include "icon_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const auto icon = lumipack::ReadIconFile(std::span<const uint8_t>(data, size), "fuzz.ico");
  if (icon.ok()) {
    for (const auto& image : icon->images) {
      if (image.bytes.empty()) __builtin_trap();
    }
  }
  return 0;
}
