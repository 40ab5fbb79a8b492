#pragma once

// The application's font set as numbers: which face, size and weight each
// of the seven fonts has, and the pixel heights they get at a screen
// density. The fonts themselves are made on the Windows side (UiFonts).

#include <cstddef>
#include <cstdint>

namespace lumiset {

// number × numerator / denominator, rounded to the nearest integer with
// halves away from zero, as the system's MulDiv computes it; -1 when the
// denominator is 0 or the result does not fit in 32 bits.
int32_t MulDivRounded(int32_t number, int32_t numerator, int32_t denominator);

// The character height (negative: the em height, not the cell height) of
// a font of `points` on a screen of `dpi_y` pixels per inch.
int32_t FontHeight(int32_t points, int32_t dpi_y);

enum class UiFont : uint8_t {
  kDialog,       // every control of every dialog
  kDialogBold,   // prefix "@", the second header line
  kHeaderTitle,  // the first header line
  kHeading,      // prefix "!"
  kSubheading,   // prefix "$"
  kBanner,       // prefix "#"
  kSmall,        // prefix "*" or the pound sign, the credit line
};
inline constexpr size_t kUiFontCount = 7;

inline constexpr int32_t kWeightNormal = 400;
inline constexpr int32_t kWeightBold = 700;

struct FontFacts {
  int32_t points;
  int32_t weight;
  const char* face;
  bool proof_quality;
};

// Tahoma where the system has it; otherwise the dialog fonts fall back to
// MS Sans Serif and the larger ones to Arial (the heading then one size
// smaller, Arial running wider).
FontFacts UiFontFacts(UiFont font, bool has_tahoma);

// The style prefix that selects a font, as the first character of a
// control's template text; false for any other character. "@" bold, "!"
// heading, "$" subheading, "#" banner, "*" and the pound sign (U+00A3)
// small.
bool PrefixUiFont(char32_t prefix, UiFont* font);

}  // namespace lumiset
