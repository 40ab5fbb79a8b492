#pragma once

// The arithmetic of the page look: accent tints, colour blends, the cells
// and strips of the gradients, where the header band, the body, the lines
// and the button area lie, where the header picture and texts go, where a
// dialog is centred, and how a picture with an opacity channel is laid over
// the page. Colours are 0x00BBGGRR (red in the low byte); rectangles are in
// pixels with exclusive right and bottom edges.

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "base/rect.h"

namespace lumiset {

// A colour of the accent's hue, by saturation and lightness in percent.
struct Tint {
  int32_t saturation;
  int32_t lightness;
};

// The themed look's tints: each gradient runs from the first to the second.
inline constexpr Tint kBodyTintFrom{30, 95};
inline constexpr Tint kBodyTintTo{32, 90};
inline constexpr Tint kHeaderLineTintFrom{30, 85};
inline constexpr Tint kHeaderLineTintTo{30, 75};
inline constexpr Tint kButtonLineTintFrom{20, 65};
inline constexpr Tint kButtonLineTintTo{20, 55};
inline constexpr Tint kButtonAreaTintFrom{20, 80};
inline constexpr Tint kButtonAreaTintTo{20, 70};
// Behind the welcome page's option boxes, and behind control 1004.
inline constexpr Tint kOptionTint{31, 92};
inline constexpr Tint kLightTint{31, 94};

inline constexpr uint32_t kWhite = 0xFFFFFF;
inline constexpr uint32_t kCreditGrey = 0x808080;

// The colour of hue `accent_hue` (0 to 1, wrapped into that range) with the
// tint's saturation and lightness, converted from HSL; each channel is
// truncated to a byte.
uint32_t AccentTint(double accent_hue, Tint tint);

// Step `step` (0 to 63, clamped) of 63 from `a` to `b`, channel by channel
// in integer arithmetic: step 0 is `a`, step 63 is `b`.
uint32_t BlendColor(int32_t step, uint32_t a, uint32_t b);

struct ColorBox {
  Rect rect;
  uint32_t color;
  friend bool operator==(const ColorBox&, const ColorBox&) = default;
};

inline constexpr int32_t kGradientGrid = 32;    // cells per row and per column
inline constexpr int32_t kGradientStrips = 64;  // strips of a linear gradient

// The diagonal blend from `from` at the top-left to `to` at the
// bottom-right through their midpoint: 32 rows of 32 cells, row by row.
std::vector<ColorBox> Gradient2DCells(const Rect& r, uint32_t from, uint32_t to);
// 64 strips, left to right, each the full height.
std::vector<ColorBox> HorizontalGradientStrips(const Rect& r, uint32_t from, uint32_t to);
// 64 strips, top to bottom, each the full width.
std::vector<ColorBox> VerticalGradientStrips(const Rect& r, uint32_t from, uint32_t to);

// Where the parts of a page with both separators lie, from the client area
// and the two separator lines in client coordinates. The themed parts are
// painted in the order body, header line, button line, button area; the
// body overpaints the band's last row.
struct PageLayout {
  Rect band;          // from the top to the header separator's bottom, to the client's right
  Rect classic_body;  // everything below the band's last row but one
  Rect themed_body;   // the same, down to the button separator's top
  Rect header_line;   // the band's bottom two rows
  Rect button_line;   // the button separator's bottom two rows
  Rect button_area;   // below the button separator
};
PageLayout LayOutPage(const Rect& client, const Rect& header_separator,
                      const Rect& button_separator);

// Where the header picture of `width` × `height` pixels is drawn in the
// band: in its bottom-right corner, at its own size on a band of up to 520
// pixels, else scaled by band width / 500 and band height / 59 (the band of
// a page at 96 pixels per inch); never left of or above the band.
Rect HeaderPictureRect(const Rect& band, int32_t width, int32_t height);

// The two header text lines: the title, and the copyright line one pixel
// right and 27 pixels at 96 pixels per inch lower.
struct HeaderTextRects {
  Rect title;
  Rect copyright;
};
HeaderTextRects LayOutHeaderText(const Rect& client, int32_t dpi_y);

// The window rectangle of a dialog centred in `area`: one pixel wider and
// taller than `window`, the pages' painting being laid out for that size.
// nullopt for an empty area.
std::optional<Rect> CenteredWindowRect(const Rect& area, const Rect& window);

// Width and height of a packed bitmap that can be drawn as it is: a 40-byte
// header, no compression, a supported bit count, a positive height, and
// every row inside the block. nullopt otherwise.
struct PictureSize {
  int32_t width;
  int32_t height;
};
std::optional<PictureSize> DrawableDibSize(std::span<const uint8_t> dib);

// Lays a 32-bit packed bitmap over `pixels` (top-down rows of `width`
// values with blue in the low byte, as a 32-bit DIB section holds them)
// with its top-left corner at (x, y): each pixel's fourth byte is its
// opacity, unless every fourth byte is 0, when the picture is opaque.
// Parts outside the pixels are cut off. False, leaving the pixels as they
// were, when the bitmap is not a drawable 32-bit one or `pixels` is
// shorter than width × height.
bool BlendDibOver(std::span<const uint8_t> dib, std::span<uint32_t> pixels, int32_t width,
                  int32_t height, int32_t x, int32_t y);

}  // namespace lumiset
