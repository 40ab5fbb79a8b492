#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "base/language.h"
#include "base/rect.h"
#include "setup/placeholders.h"

namespace lumiset {

// What every page shows the same way: its language, its look, where it
// goes on the screen, the header band and the values of its placeholders.
// Made once by the application from the package, the run options and the
// display; the pages only read it.
struct PageLook {
  int32_t language = kEnglish;
  bool themed = false;  // the themed look (/x) rather than the classic one
  Rect placement{};     // where pages are centred
  int32_t dpi_y = 96;
  std::span<const uint8_t> header_picture;  // a packed bitmap; empty for none
  bool show_header_text = false;
  uint32_t header_text_color = 0;  // 0x00BBGGRR
  double accent_hue = 0.0;         // [0, 1)
  std::string title;
  std::string copyright_line;
  PlaceholderValues placeholders;
};

}  // namespace lumiset
