#include "ui/font_sizes.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

namespace lumiset {
namespace {

TEST(MulDivRounded, RoundsHalvesAwayFromZeroAndRefusesWhatDoesNotFit) {
  const struct {
    int32_t number, numerator, denominator, expected;
  } cases[] = {
      {8, 96, 72, 11},     {7, 96, 72, 9},
      {27, 120, 96, 34},   {15, 96, 96, 15},
      {1, 3, 2, 2},        {-1, 3, 2, -2},
      {1, -3, 2, -2},      {1, 3, -2, -2},
      {-1, -3, -2, -2},    {1, 1, 3, 0},
      {2, 1, 3, 1},        {5, 7, 0, -1},
      {INT_MAX, 2, 1, -1}, {INT_MAX, 2, 2, INT_MAX},
      {INT_MIN, 1, 1, -1}, {0, 0, 7, 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(MulDivRounded(c.number, c.numerator, c.denominator), c.expected)
        << c.number << " * " << c.numerator << " / " << c.denominator;
  }
}

TEST(UiFontSet, HeightsAtNinetySixAndOneHundredTwentyPixelsPerInch) {
  const struct {
    UiFont font;
    bool has_tahoma;
    int32_t at_96;
    int32_t at_120;
  } cases[] = {
      {UiFont::kDialog, true, -11, -13},      {UiFont::kDialogBold, true, -11, -13},
      {UiFont::kHeaderTitle, true, -20, -25}, {UiFont::kHeading, true, -17, -22},
      {UiFont::kSubheading, true, -12, -15},  {UiFont::kBanner, true, -19, -23},
      {UiFont::kSmall, true, -9, -12},        {UiFont::kHeading, false, -15, -18},
      {UiFont::kDialog, false, -11, -13},     {UiFont::kHeaderTitle, false, -20, -25},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.font));
    SCOPED_TRACE(c.has_tahoma);
    const FontFacts facts = UiFontFacts(c.font, c.has_tahoma);
    EXPECT_EQ(FontHeight(facts.points, 96), c.at_96);
    EXPECT_EQ(FontHeight(facts.points, 120), c.at_120);
  }
}

TEST(UiFontSet, FacesWeightsAndQualityWithAndWithoutTahoma) {
  const struct {
    UiFont font;
    const char* face_with_tahoma;
    const char* face_without;
    int32_t weight;
    bool proof_quality;
  } cases[] = {
      {UiFont::kDialog, "Tahoma", "MS Sans Serif", 400, false},
      {UiFont::kDialogBold, "Tahoma", "MS Sans Serif", 700, false},
      {UiFont::kHeaderTitle, "Tahoma", "Arial", 400, true},
      {UiFont::kHeading, "Tahoma", "Arial", 700, false},
      {UiFont::kSubheading, "Tahoma", "Arial", 700, false},
      {UiFont::kBanner, "Arial", "Arial", 700, false},
      {UiFont::kSmall, "Arial", "Arial", 400, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.font));
    for (bool has_tahoma : {true, false}) {
      const FontFacts facts = UiFontFacts(c.font, has_tahoma);
      EXPECT_EQ(std::string(facts.face), has_tahoma ? c.face_with_tahoma : c.face_without);
      EXPECT_EQ(facts.weight, c.weight);
      EXPECT_EQ(facts.proof_quality, c.proof_quality);
    }
  }
}

TEST(UiFontSet, StylePrefixesSelectTheirFontsAndNothingElseDoes) {
  const struct {
    char32_t prefix;
    bool is_prefix;
    UiFont font;
  } cases[] = {
      {U'@', true, UiFont::kDialogBold},   {U'!', true, UiFont::kHeading},
      {U'$', true, UiFont::kSubheading},   {U'#', true, UiFont::kBanner},
      {U'*', true, UiFont::kSmall},        {U'\u00A3', true, UiFont::kSmall},
      {U'&', false, UiFont::kDialog},      {U'%', false, UiFont::kDialog},
      {U'a', false, UiFont::kDialog},      {U'\u20AC', false, UiFont::kDialog},
      {U'\u0423', false, UiFont::kDialog},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<uint32_t>(c.prefix));
    UiFont font = UiFont::kDialog;
    EXPECT_EQ(PrefixUiFont(c.prefix, &font), c.is_prefix);
    EXPECT_EQ(font, c.font);
  }
}

}  // namespace
}  // namespace lumiset
