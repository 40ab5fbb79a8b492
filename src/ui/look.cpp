#include "ui/look.h"

#include <algorithm>
#include <cmath>

#include "base/byte_io.h"
#include "package/dib.h"
#include "ui/font_sizes.h"

namespace lumiset {
namespace {

constexpr int32_t kBlendSteps = 63;
// The header band of a page at 96 pixels per inch, and the widest band
// that still shows the picture at its own size.
constexpr int32_t kReferenceBandWidth = 500;
constexpr int32_t kReferenceBandHeight = 59;
constexpr int32_t kWidestUnscaledBand = 520;
// Header text, in pixels of the client area.
constexpr int32_t kTitleLeft = 15;
constexpr int32_t kTitleTop = 9;
constexpr int32_t kTitleRightMargin = 70;
constexpr int32_t kTitleBottom = 41;
constexpr int32_t kCopyrightShiftX = 1;
constexpr int32_t kCopyrightShiftY = 27;  // at 96 pixels per inch
constexpr int32_t kReferenceDpi = 96;

// BITMAPINFOHEADER fields.
constexpr size_t kWidthAt = 4;
constexpr size_t kHeightAt = 8;
constexpr size_t kBitCountAt = 14;
constexpr size_t kCompressionAt = 16;

uint8_t ChannelByte(double channel) {
  const double scaled = channel * 255.0;
  if (!(scaled > 0.0)) return 0;
  if (scaled >= 255.0) return 255;
  return static_cast<uint8_t>(scaled);
}

uint32_t Rgb(uint32_t red, uint32_t green, uint32_t blue) {
  return red | green << 8 | blue << 16;
}

int32_t Span(int64_t origin, int64_t length, int32_t index, int32_t parts) {
  return static_cast<int32_t>(origin + length * index / parts);
}

std::vector<ColorBox> LinearStrips(const Rect& r, uint32_t from, uint32_t to, bool horizontal) {
  std::vector<ColorBox> strips;
  strips.reserve(kGradientStrips);
  const int64_t width = int64_t{r.right} - r.left;
  const int64_t height = int64_t{r.bottom} - r.top;
  for (int32_t i = 0; i < kGradientStrips; ++i) {
    Rect strip = r;
    if (horizontal) {
      strip.left = Span(r.left, width, i, kGradientStrips);
      strip.right = Span(r.left, width, i + 1, kGradientStrips);
    } else {
      strip.top = Span(r.top, height, i, kGradientStrips);
      strip.bottom = Span(r.top, height, i + 1, kGradientStrips);
    }
    strips.push_back({strip, BlendColor(i, from, to)});
  }
  return strips;
}

}  // namespace

uint32_t AccentTint(double accent_hue, Tint tint) {
  double hue = std::isfinite(accent_hue) ? accent_hue - std::floor(accent_hue) : 0.0;
  if (hue >= 1.0) hue = 0.0;
  const double s = tint.saturation / 100.0;
  const double l = tint.lightness / 100.0;
  const double q = l <= 0.5 ? l * (1.0 + s) : l + s - l * s;
  if (q <= 0.0) return 0;
  const double p = 2.0 * l - q;
  const double h6 = hue * 6.0;
  const int sextant = std::clamp(static_cast<int>(h6), 0, 5);
  const double f = h6 - sextant;
  const double rise = p + (q - p) * f;
  const double fall = q - (q - p) * f;
  // Red, green and blue in each sixth of the hue circle.
  const double channels[6][3] = {{q, rise, p}, {fall, q, p}, {p, q, rise},
                                 {p, fall, q}, {rise, p, q}, {q, p, fall}};
  const double* rgb = channels[sextant];
  return Rgb(ChannelByte(rgb[0]), ChannelByte(rgb[1]), ChannelByte(rgb[2]));
}

uint32_t BlendColor(int32_t step, uint32_t a, uint32_t b) {
  const uint32_t t = static_cast<uint32_t>(std::clamp(step, 0, kBlendSteps));
  uint32_t result = 0;
  for (int shift = 0; shift <= 16; shift += 8) {
    const uint32_t ca = (a >> shift) & 0xFF;
    const uint32_t cb = (b >> shift) & 0xFF;
    result |= ((ca * (kBlendSteps - t) + cb * t) / kBlendSteps) << shift;
  }
  return result;
}

std::vector<ColorBox> Gradient2DCells(const Rect& r, uint32_t from, uint32_t to) {
  std::vector<ColorBox> cells;
  cells.reserve(kGradientGrid * kGradientGrid);
  const int64_t width = int64_t{r.right} - r.left;
  const int64_t height = int64_t{r.bottom} - r.top;
  const uint32_t mid = BlendColor(32, from, to);
  for (int32_t k = 0; k < kGradientGrid; ++k) {
    const uint32_t row_from = BlendColor(2 * k, from, mid);
    const uint32_t row_to = BlendColor(2 * k, mid, to);
    const int32_t top = Span(r.top, height, k, kGradientGrid);
    const int32_t bottom = Span(r.top, height, k + 1, kGradientGrid);
    for (int32_t m = 0; m < kGradientGrid; ++m) {
      const Rect cell{Span(r.left, width, m, kGradientGrid), top,
                      Span(r.left, width, m + 1, kGradientGrid), bottom};
      cells.push_back({cell, BlendColor(2 * m, row_from, row_to)});
    }
  }
  return cells;
}

std::vector<ColorBox> HorizontalGradientStrips(const Rect& r, uint32_t from, uint32_t to) {
  return LinearStrips(r, from, to, /*horizontal=*/true);
}

std::vector<ColorBox> VerticalGradientStrips(const Rect& r, uint32_t from, uint32_t to) {
  return LinearStrips(r, from, to, /*horizontal=*/false);
}

PageLayout LayOutPage(const Rect& client, const Rect& header_separator,
                      const Rect& button_separator) {
  PageLayout layout;
  layout.band = Rect{header_separator.left, 0, client.right, header_separator.bottom};
  const int32_t body_top = layout.band.bottom - 1;
  layout.classic_body = Rect{client.left, body_top, client.right, client.bottom};
  layout.themed_body = Rect{client.left, body_top, client.right, button_separator.top};
  layout.header_line =
      Rect{layout.band.left, layout.band.bottom - 2, layout.band.right, layout.band.bottom};
  layout.button_line = Rect{button_separator.left, button_separator.bottom - 2,
                            button_separator.right, button_separator.bottom};
  layout.button_area = Rect{client.left, button_separator.bottom, client.right, client.bottom};
  return layout;
}

Rect HeaderPictureRect(const Rect& band, int32_t width, int32_t height) {
  const int64_t band_width = int64_t{band.right} - band.left;
  const int64_t band_height = int64_t{band.bottom} - band.top;
  int64_t drawn_width = width;
  int64_t drawn_height = height;
  if (band_width > kWidestUnscaledBand) {
    drawn_width = band_width * width / kReferenceBandWidth;
    drawn_height = band_height * height / kReferenceBandHeight;
  }
  const int64_t left = band.left + std::max<int64_t>(0, band_width - drawn_width);
  const int64_t top = band.top + std::max<int64_t>(0, band_height - drawn_height);
  return Rect{static_cast<int32_t>(left), static_cast<int32_t>(top),
              static_cast<int32_t>(left + drawn_width), static_cast<int32_t>(top + drawn_height)};
}

HeaderTextRects LayOutHeaderText(const Rect& client, int32_t dpi_y) {
  HeaderTextRects rects;
  rects.title = Rect{kTitleLeft, kTitleTop, client.right - kTitleRightMargin, kTitleBottom};
  const int32_t dx = kCopyrightShiftX;
  const int32_t dy = MulDivRounded(kCopyrightShiftY, dpi_y, kReferenceDpi);
  rects.copyright = Rect{rects.title.left + dx, rects.title.top + dy, rects.title.right + dx,
                         rects.title.bottom + dy};
  return rects;
}

std::optional<Rect> CenteredWindowRect(const Rect& area, const Rect& window) {
  if (area.right <= area.left || area.bottom <= area.top) return std::nullopt;
  const int64_t width = int64_t{window.right} - window.left + 1;
  const int64_t height = int64_t{window.bottom} - window.top + 1;
  const int64_t x = area.left + (int64_t{area.right} - area.left - width) / 2;
  const int64_t y = area.top + (int64_t{area.bottom} - area.top - height) / 2;
  return Rect{static_cast<int32_t>(x), static_cast<int32_t>(y), static_cast<int32_t>(x + width),
              static_cast<int32_t>(y + height)};
}

std::optional<PictureSize> DrawableDibSize(std::span<const uint8_t> dib) {
  if (dib.size() < kInfoHeaderSize || LoadU32(dib.data()) != kInfoHeaderSize) return std::nullopt;
  const int32_t width = static_cast<int32_t>(LoadU32(&dib[kWidthAt]));
  const int32_t height = static_cast<int32_t>(LoadU32(&dib[kHeightAt]));
  const uint32_t bits = LoadU16(&dib[kBitCountAt]);
  const bool supported_bits =
      bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
  if (!supported_bits || LoadU32(&dib[kCompressionAt]) != kBiRgb) return std::nullopt;
  if (width <= 0 || height <= 0 || width > kMaxDibSide || height > kMaxDibSide) return std::nullopt;
  const uint64_t stride = DibStride(static_cast<uint32_t>(width), bits);
  const uint64_t rows = uint64_t{DibPixelsOffset(dib)} + stride * static_cast<uint64_t>(height);
  if (rows > dib.size()) return std::nullopt;
  return PictureSize{width, height};
}

bool BlendDibOver(std::span<const uint8_t> dib, std::span<uint32_t> pixels, int32_t width,
                  int32_t height, int32_t x, int32_t y) {
  const std::optional<PictureSize> size = DrawableDibSize(dib);
  if (!size || LoadU16(&dib[kBitCountAt]) != 32) return false;
  if (width < 0 || height < 0 || pixels.size() < uint64_t{uint32_t(width)} * uint32_t(height)) {
    return false;
  }
  const uint8_t* rows = dib.data() + DibPixelsOffset(dib);
  const uint64_t stride = DibStride(static_cast<uint32_t>(size->width), 32);
  auto source = [&](int32_t column, int32_t row) {
    // Rows are stored bottom row first.
    return rows + stride * static_cast<uint64_t>(size->height - 1 - row) + 4 * uint64_t(column);
  };
  bool any_opacity = false;
  for (int32_t row = 0; row < size->height && !any_opacity; ++row) {
    for (int32_t column = 0; column < size->width; ++column) {
      if (source(column, row)[3] != 0) {
        any_opacity = true;
        break;
      }
    }
  }
  for (int32_t row = 0; row < size->height; ++row) {
    const int64_t target_y = int64_t{y} + row;
    if (target_y < 0 || target_y >= height) continue;
    for (int32_t column = 0; column < size->width; ++column) {
      const int64_t target_x = int64_t{x} + column;
      if (target_x < 0 || target_x >= width) continue;
      const uint8_t* s = source(column, row);
      const uint32_t alpha = any_opacity ? s[3] : 255;
      uint32_t& d = pixels[static_cast<size_t>(target_y * width + target_x)];
      uint32_t blended = 0;
      for (int channel = 0; channel < 3; ++channel) {
        const uint32_t under = (d >> (8 * channel)) & 0xFF;
        const uint32_t over = s[channel];
        blended |= ((over * alpha + under * (255 - alpha) + 127) / 255) << (8 * channel);
      }
      d = blended;
    }
  }
  return true;
}

}  // namespace lumiset
