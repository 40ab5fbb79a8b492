#include "ui/font_sizes.h"

#include <cstdlib>
#include <limits>

namespace lumiset {
namespace {

constexpr int32_t kPointsPerInch = 72;
constexpr char32_t kPoundSign = U'\u00A3';

constexpr char kTahoma[] = "Tahoma";
constexpr char kSansSerif[] = "MS Sans Serif";
constexpr char kArial[] = "Arial";

}  // namespace

int32_t MulDivRounded(int32_t number, int32_t numerator, int32_t denominator) {
  if (denominator == 0) return -1;
  const int64_t product = int64_t{number} * numerator;
  const bool negative = (product < 0) != (denominator < 0);
  const int64_t magnitude = std::llabs(product);
  const int64_t divisor = std::llabs(int64_t{denominator});
  const int64_t quotient = (magnitude + divisor / 2) / divisor;
  if (quotient > std::numeric_limits<int32_t>::max()) return -1;
  return static_cast<int32_t>(negative ? -quotient : quotient);
}

int32_t FontHeight(int32_t points, int32_t dpi_y) {
  return -MulDivRounded(points, dpi_y, kPointsPerInch);
}

FontFacts UiFontFacts(UiFont font, bool has_tahoma) {
  const char* dialog_face = has_tahoma ? kTahoma : kSansSerif;
  const char* large_face = has_tahoma ? kTahoma : kArial;
  switch (font) {
    case UiFont::kDialog: return {8, kWeightNormal, dialog_face, false};
    case UiFont::kDialogBold: return {8, kWeightBold, dialog_face, false};
    case UiFont::kHeaderTitle: return {15, kWeightNormal, large_face, true};
    case UiFont::kHeading: return {has_tahoma ? 13 : 11, kWeightBold, large_face, false};
    case UiFont::kSubheading: return {9, kWeightBold, large_face, false};
    case UiFont::kBanner: return {14, kWeightBold, kArial, false};
    case UiFont::kSmall: return {7, kWeightNormal, kArial, false};
  }
  return {8, kWeightNormal, dialog_face, false};
}

bool PrefixUiFont(char32_t prefix, UiFont* font) {
  switch (prefix) {
    case U'@': *font = UiFont::kDialogBold; return true;
    case U'!': *font = UiFont::kHeading; return true;
    case U'$': *font = UiFont::kSubheading; return true;
    case U'#': *font = UiFont::kBanner; return true;
    case U'*':
    case kPoundSign: *font = UiFont::kSmall; return true;
    default: return false;
  }
}

}  // namespace lumiset
