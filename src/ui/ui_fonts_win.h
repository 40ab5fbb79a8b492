#pragma once

#include <array>

#include "win32/windows_win.h"
#include "ui/font_sizes.h"
#include "win32/gdi_win.h"

namespace lumiset {

// Whether the system's Fonts folder holds the file "Tahoma.ttf"; without a
// Fonts folder the test looks at the root of the current drive.
bool HasTahoma();

// The seven fonts every dialog draws with (UiFont names them), made for one
// screen density. A font that cannot be made is null, and a control given
// it keeps the system font.
class UiFonts {
 public:
  UiFonts(int32_t dpi_y, bool has_tahoma);
  UiFonts(const UiFonts&) = delete;
  UiFonts& operator=(const UiFonts&) = delete;

  HFONT Get(UiFont font) const { return fonts_[static_cast<size_t>(font)].get(); }
  bool has_tahoma() const { return has_tahoma_; }

 private:
  std::array<ScopedFont, kUiFontCount> fonts_;
  bool has_tahoma_;
};

// The application's font set, made on the first call for the density
// given then (and HasTahoma), and kept until the process ends; later calls
// return the same set whatever they pass.
const UiFonts& ApplicationFonts(int32_t dpi_y);

}  // namespace lumiset
