#pragma once

#include <cstdint>

namespace lumiset {

// A rectangle in screen pixels, edges as Windows gives them.
struct Rect {
  int32_t left = 0;
  int32_t top = 0;
  int32_t right = 0;
  int32_t bottom = 0;
  friend bool operator==(const Rect&, const Rect&) = default;
};

}  // namespace lumiset
