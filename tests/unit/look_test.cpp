#include "ui/look.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>

#include "support/test_package.h"

namespace lumiset {
namespace {

uint32_t Rgb(uint32_t red, uint32_t green, uint32_t blue) { return red | green << 8 | blue << 16; }

// Each pixel of `r` is covered by exactly one box, and no box reaches out of it.
::testing::AssertionResult TilesExactly(const std::vector<ColorBox>& boxes, const Rect& r) {
  const int width = r.right - r.left;
  const int height = r.bottom - r.top;
  std::vector<int> covered(static_cast<size_t>(width * height), 0);
  for (const ColorBox& box : boxes) {
    if (box.rect.left < r.left || box.rect.top < r.top || box.rect.right > r.right ||
        box.rect.bottom > r.bottom) {
      return ::testing::AssertionFailure() << "a box leaves the rectangle";
    }
    for (int y = box.rect.top; y < box.rect.bottom; ++y) {
      for (int x = box.rect.left; x < box.rect.right; ++x) {
        ++covered[static_cast<size_t>((y - r.top) * width + (x - r.left))];
      }
    }
  }
  for (size_t i = 0; i < covered.size(); ++i) {
    if (covered[i] != 1) {
      return ::testing::AssertionFailure()
             << "pixel " << i % width << "," << i / width << " painted " << covered[i] << " times";
    }
  }
  return ::testing::AssertionSuccess();
}

TEST(AccentTint, ConvertsHueSaturationAndLightnessInEverySextant) {
  const struct {
    double hue;
    Tint tint;
    uint32_t expected;
  } cases[] = {
      // The page's own tints of a red accent.
      {0.0, kBodyTintFrom, Rgb(246, 238, 238)},
      {0.0, kButtonLineTintTo, Rgb(163, 117, 117)},
      // Fully saturated colours of known hues, one per sextant.
      {0.125, {100, 50}, Rgb(255, 191, 0)},
      {0.25, {100, 50}, Rgb(127, 255, 0)},
      {0.375, {100, 50}, Rgb(0, 255, 63)},
      {0.5, {100, 50}, Rgb(0, 255, 255)},
      {0.625, {100, 50}, Rgb(0, 63, 255)},
      {0.75, {100, 50}, Rgb(127, 0, 255)},
      {0.9375, {100, 50}, Rgb(255, 0, 95)},
      // No saturation is grey; no lightness is black whatever the hue.
      {0.3, {0, 50}, Rgb(127, 127, 127)},
      {0.3, {80, 0}, 0},
      {0.0, {0, 100}, Rgb(255, 255, 255)},
      // Hues outside [0, 1) wrap around; one that is not a number is red's.
      {1.0, {100, 50}, Rgb(255, 0, 0)},
      {-0.25, {100, 50}, Rgb(127, 0, 255)},
      {std::numeric_limits<double>::quiet_NaN(), {100, 50}, Rgb(255, 0, 0)},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(AccentTint(c.hue, c.tint), c.expected)
        << "hue " << c.hue << " s " << c.tint.saturation << " l " << c.tint.lightness;
  }
}

TEST(BlendColor, RunsFromTheFirstColourToTheSecondChannelByChannel) {
  const uint32_t a = Rgb(10, 200, 0);
  const uint32_t b = Rgb(250, 0, 63);
  const struct {
    int32_t step;
    uint32_t expected;
  } cases[] = {
      {0, a}, {63, b}, {1, Rgb(13, 196, 1)}, {32, Rgb(131, 98, 32)}, {-4, a}, {64, b},
  };
  for (const auto& c : cases) EXPECT_EQ(BlendColor(c.step, a, b), c.expected) << c.step;
  EXPECT_EQ(BlendColor(20, 0xFF000000u | a, 0xAB000000u | b) >> 24, 0u)
      << "the top byte of the inputs never reaches the result";
}

TEST(Gradients, CellsAndStripsTileTheirRectangleExactly) {
  const Rect rects[] = {
      {0, 0, 499, 317}, {10, 57, 509, 331}, {-5, -3, 20, 9}, {3, 4, 3, 40}, {0, 0, 1, 1},
  };
  for (const Rect& r : rects) {
    SCOPED_TRACE(::testing::Message()
                 << r.left << "," << r.top << "," << r.right << "," << r.bottom);
    EXPECT_TRUE(TilesExactly(Gradient2DCells(r, 0, kWhite), r));
    EXPECT_TRUE(TilesExactly(HorizontalGradientStrips(r, 0, kWhite), r));
    EXPECT_TRUE(TilesExactly(VerticalGradientStrips(r, 0, kWhite), r));
  }
}

TEST(Gradients, CellBoundariesTruncateAndColoursRunFromCornerToCorner) {
  const Rect r{10, 20, 110, 84};
  const std::vector<ColorBox> cells = Gradient2DCells(r, 0, kWhite);
  EXPECT_EQ(cells.front(), (ColorBox{{10, 20, 13, 22}, 0}));
  // Row 0, column 1: 100 / 32 truncates to 3, 200 / 32 to 6.
  EXPECT_EQ(cells[1].rect, (Rect{13, 20, 16, 22}));
  EXPECT_EQ(cells.back().rect, (Rect{106, 82, 110, 84}));
  // Along every row and every column the colour only brightens.
  for (size_t i = 0; i < cells.size(); ++i) {
    const uint32_t grey = cells[i].color & 0xFF;
    EXPECT_EQ(cells[i].color, Rgb(grey, grey, grey));
    if (i % kGradientGrid != 0) EXPECT_GE(grey, cells[i - 1].color & 0xFF) << i;
    if (i >= kGradientGrid) EXPECT_GE(grey, cells[i - kGradientGrid].color & 0xFF) << i;
  }
  // The midpoint of the blend lies on the anti-diagonal.
  const uint32_t mid = BlendColor(32, 0, kWhite);
  EXPECT_EQ(cells[kGradientGrid - 1].color, BlendColor(62, 0, mid));
  EXPECT_EQ(cells[(kGradientGrid - 1) * kGradientGrid].color, BlendColor(62, 0, mid));
  EXPECT_GT(cells.back().color & 0xFF, 0xF0u);

  const std::vector<ColorBox> across = HorizontalGradientStrips(r, Rgb(1, 2, 3), Rgb(4, 5, 6));
  EXPECT_EQ(across.front(), (ColorBox{{10, 20, 11, 84}, Rgb(1, 2, 3)}));
  EXPECT_EQ(across.back(), (ColorBox{{108, 20, 110, 84}, Rgb(4, 5, 6)}));
  const std::vector<ColorBox> down = VerticalGradientStrips(r, Rgb(1, 2, 3), Rgb(4, 5, 6));
  EXPECT_EQ(down.front(), (ColorBox{{10, 20, 110, 21}, Rgb(1, 2, 3)}));
  EXPECT_EQ(down[32].rect, (Rect{10, 52, 110, 53}));
  EXPECT_EQ(down.back(), (ColorBox{{10, 83, 110, 84}, Rgb(4, 5, 6)}));
}

TEST(PageLayout, BandBodyLinesAndButtonArea) {
  const struct {
    const char* name;
    Rect client, header_separator, button_separator;
    PageLayout expected;
  } cases[] = {
      {"96 pixels per inch",
       {0, 0, 499, 375},
       {0, 57, 498, 59},
       {0, 327, 498, 329},
       {.band = {0, 0, 499, 59},
        .classic_body = {0, 58, 499, 375},
        .themed_body = {0, 58, 499, 327},
        .header_line = {0, 57, 499, 59},
        .button_line = {0, 327, 498, 329},
        .button_area = {0, 329, 499, 375}}},
      {"separators set in from the left",
       {0, 0, 623, 468},
       {5, 71, 600, 73},
       {7, 409, 620, 411},
       {.band = {5, 0, 623, 73},
        .classic_body = {0, 72, 623, 468},
        .themed_body = {0, 72, 623, 409},
        .header_line = {5, 71, 623, 73},
        .button_line = {7, 409, 620, 411},
        .button_area = {0, 411, 623, 468}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const PageLayout layout = LayOutPage(c.client, c.header_separator, c.button_separator);
    EXPECT_EQ(layout.band, c.expected.band);
    EXPECT_EQ(layout.classic_body, c.expected.classic_body);
    EXPECT_EQ(layout.themed_body, c.expected.themed_body);
    EXPECT_EQ(layout.header_line, c.expected.header_line);
    EXPECT_EQ(layout.button_line, c.expected.button_line);
    EXPECT_EQ(layout.button_area, c.expected.button_area);
  }
}

TEST(HeaderPicture, SitsBottomRightAndScalesOnlyOnWideBands) {
  const struct {
    const char* name;
    Rect band;
    int32_t width, height;
    Rect expected;
  } cases[] = {
      {"own size in the corner", {0, 0, 499, 59}, 200, 58, {299, 1, 499, 59}},
      {"band of exactly 520 is not scaled", {0, 0, 520, 59}, 200, 58, {320, 1, 520, 59}},
      {"larger than the band starts top-left", {0, 0, 499, 59}, 600, 80, {0, 0, 600, 80}},
      {"521 scales by width / 500 and height / 59", {0, 0, 521, 72}, 200, 58, {313, 2, 521, 72}},
      {"120 pixels per inch", {0, 0, 623, 73}, 497, 58, {4, 2, 623, 73}},
      {"band set in from the left", {6, 0, 400, 59}, 100, 59, {300, 0, 400, 59}},
      {"empty picture", {0, 0, 499, 59}, 0, 0, {499, 59, 499, 59}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(HeaderPictureRect(c.band, c.width, c.height), c.expected) << c.name;
  }
}

TEST(HeaderText, TitleAndCopyrightRectanglesFollowTheDensity) {
  const struct {
    int32_t dpi;
    Rect client;
    HeaderTextRects expected;
  } cases[] = {
      {96, {0, 0, 499, 375}, {{15, 9, 429, 41}, {16, 36, 430, 68}}},
      {120, {0, 0, 623, 468}, {{15, 9, 553, 41}, {16, 43, 554, 75}}},
      {144, {0, 0, 748, 562}, {{15, 9, 678, 41}, {16, 50, 679, 82}}},
  };
  for (const auto& c : cases) {
    const HeaderTextRects rects = LayOutHeaderText(c.client, c.dpi);
    EXPECT_EQ(rects.title, c.expected.title) << c.dpi;
    EXPECT_EQ(rects.copyright, c.expected.copyright) << c.dpi;
  }
}

TEST(Centring, TheWindowGrowsByAPixelAndIsCentredTruncatingTowardZero) {
  const struct {
    const char* name;
    Rect area, window;
    std::optional<Rect> expected;
  } cases[] = {
      {"plain", {100, 50, 701, 550}, {0, 0, 300, 200}, Rect{250, 199, 551, 400}},
      {"monitor left of the primary",
       {-1280, 0, 0, 1024},
       {7, 7, 506, 382},
       Rect{-890, 324, -390, 700}},
      {"window larger than the area",
       {0, 0, 100, 100},
       {0, 0, 200, 300},
       Rect{-50, -100, 151, 201}},
      {"empty area", {0, 0, 0, 768}, {0, 0, 200, 300}, std::nullopt},
      {"inverted area", {10, 10, 5, 500}, {0, 0, 200, 300}, std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(CenteredWindowRect(c.area, c.window), c.expected) << c.name;
}

std::vector<uint8_t> PackedDib(int32_t width, int32_t height, uint16_t bits, uint32_t compression,
                               const std::vector<uint32_t>& palette,
                               const std::vector<uint8_t>& rows) {
  std::vector<uint8_t> file = testing::MakeBmp(width, height, bits, compression, palette, rows);
  return std::vector<uint8_t>(file.begin() + 14, file.end());
}

TEST(DrawableDib, OnlyUncompressedPicturesWithAllTheirRowsAreDrawn) {
  const std::vector<uint8_t> rgb_rows(2 * 8, 0);  // 2 rows of 2 pixels, padded to 8 bytes
  std::vector<uint8_t> core = PackedDib(2, 2, 24, 0, {}, rgb_rows);
  core[0] = 12;
  std::vector<uint8_t> top_down = PackedDib(2, 2, 24, 0, {}, rgb_rows);
  top_down[8] = 0xFE;
  top_down[9] = top_down[10] = top_down[11] = 0xFF;
  std::vector<uint8_t> short_by_one = PackedDib(2, 2, 24, 0, {}, rgb_rows);
  short_by_one.pop_back();
  // An 8-bit picture without a used-colours count carries 256 table entries.
  std::vector<uint8_t> no_table = PackedDib(1, 1, 8, 0, {}, {0, 0, 0, 0});
  std::vector<uint8_t> full_table = no_table;
  full_table.insert(full_table.begin() + 40, 1024, 0);

  const struct {
    const char* name;
    std::vector<uint8_t> dib;
    std::optional<std::pair<int32_t, int32_t>> size;
  } cases[] = {
      {"24-bit", PackedDib(2, 2, 24, 0, {}, rgb_rows), std::pair{2, 2}},
      {"32-bit", PackedDib(3, 1, 32, 0, {}, std::vector<uint8_t>(12, 0)), std::pair{3, 1}},
      {"4-bit with its table",
       PackedDib(3, 2, 4, 0, std::vector<uint32_t>(16, 0), std::vector<uint8_t>(8, 0)),
       std::pair{3, 2}},
      {"8-bit with a full table", full_table, std::pair{1, 1}},
      {"8-bit missing its table", no_table, std::nullopt},
      {"one byte short", short_by_one, std::nullopt},
      {"RLE8", PackedDib(2, 2, 8, 1, {0, 0}, {0, 1}), std::nullopt},
      {"2 bits a pixel", PackedDib(2, 2, 2, 0, {}, std::vector<uint8_t>(8, 0)), std::nullopt},
      {"core header", core, std::nullopt},
      {"top-down rows", top_down, std::nullopt},
      {"zero width", PackedDib(0, 2, 24, 0, {}, {}), std::nullopt},
      {"header only", std::vector<uint8_t>(short_by_one.begin(), short_by_one.begin() + 40),
       std::nullopt},
      {"empty", {}, std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::optional<PictureSize> size = DrawableDibSize(c.dib);
    ASSERT_EQ(size.has_value(), c.size.has_value());
    if (size) {
      EXPECT_EQ(size->width, c.size->first);
      EXPECT_EQ(size->height, c.size->second);
    }
  }
}

// A 2 x 2 picture, given top row first as (blue, green, red, opacity).
std::vector<uint8_t> Picture32(const std::array<std::array<uint8_t, 4>, 4>& top_down) {
  std::vector<uint8_t> rows;
  for (int index : {2, 3, 0, 1})
    rows.insert(rows.end(), top_down[index].begin(), top_down[index].end());
  return PackedDib(2, 2, 32, 0, {}, rows);
}

TEST(BlendDibOver, OpacityMixesThePictureIntoThePage) {
  constexpr uint32_t kPage = 0x00204060;  // blue 0x60, green 0x40, red 0x20
  const std::vector<uint8_t> picture = Picture32(
      {{{0xFF, 0xFF, 0xFF, 255}, {0xFF, 0xFF, 0xFF, 0}, {0, 0, 0, 128}, {0x10, 0x80, 0xF0, 64}}});
  const struct {
    const char* name;
    int32_t x, y;
    std::vector<uint32_t> expected;  // 3 x 3 page, top-down
  } cases[] = {
      {"at the origin",
       0,
       0,
       {0x00FFFFFF, kPage, kPage,       //
        0x00102030, 0x0054504C, kPage,  //
        kPage, kPage, kPage}},
      {"cut at the top-left",
       -1,
       -1,
       {0x0054504C, kPage, kPage,  //
        kPage, kPage, kPage,       //
        kPage, kPage, kPage}},
      {"cut at the bottom-right",
       2,
       2,
       {kPage, kPage, kPage,  //
        kPage, kPage, kPage,  //
        kPage, kPage, 0x00FFFFFF}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<uint32_t> page(9, kPage);
    ASSERT_TRUE(BlendDibOver(picture, page, 3, 3, c.x, c.y));
    EXPECT_EQ(page, c.expected);
  }
}

TEST(BlendDibOver, APictureWithoutOpacityIsOpaqueAndOthersAreRefused) {
  std::vector<uint32_t> page(4, 0x00123456);
  const std::vector<uint8_t> flat =
      Picture32({{{1, 2, 3, 0}, {4, 5, 6, 0}, {7, 8, 9, 0}, {10, 11, 12, 0}}});
  ASSERT_TRUE(BlendDibOver(flat, page, 2, 2, 0, 0));
  EXPECT_EQ(page, (std::vector<uint32_t>{0x030201, 0x060504, 0x090807, 0x0C0B0A}));

  const std::vector<uint32_t> before = page;
  EXPECT_FALSE(
      BlendDibOver(PackedDib(2, 2, 24, 0, {}, std::vector<uint8_t>(16, 0)), page, 2, 2, 0, 0));
  EXPECT_FALSE(BlendDibOver(flat, std::span<uint32_t>(page).first(3), 2, 2, 0, 0))
      << "fewer pixels than the page has";
  EXPECT_FALSE(BlendDibOver(std::vector<uint8_t>(flat.begin(), flat.end() - 1), page, 2, 2, 0, 0));
  EXPECT_EQ(page, before);
}

}  // namespace
}  // namespace lumiset
