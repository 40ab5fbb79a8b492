#include "picture.h"

#include <gtest/gtest.h>

#include "support/test_package.h"

namespace lumipack {
namespace {

using lumiset::testing::MakeBmp;

std::vector<uint8_t> Png(uint32_t width, uint32_t height) {
  std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n',
                              0,    0,   0,   13,  'I',  'H',  'D',  'R'};
  for (uint32_t v : {width, height}) {
    for (int shift = 24; shift >= 0; shift -= 8) png.push_back(static_cast<uint8_t>(v >> shift));
  }
  png.insert(png.end(), {8, 2, 0, 0, 0, 0, 0, 0, 0});
  return png;
}

// SOI, an APP0 segment, then a baseline or progressive frame header.
std::vector<uint8_t> Jpeg(uint16_t width, uint16_t height, uint8_t frame = 0xC0) {
  std::vector<uint8_t> jpeg = {0xFF, 0xD8, 0xFF, 0xE0, 0, 16, 'J', 'F', 'I', 'F',
                               0,    1,    1,    0,    0, 1,  0,   1,   0,   0};
  jpeg.insert(jpeg.end(), {0xFF, frame, 0, 11, 8, static_cast<uint8_t>(height >> 8),
                           static_cast<uint8_t>(height), static_cast<uint8_t>(width >> 8),
                           static_cast<uint8_t>(width), 1, 1, 0x11, 0});
  return jpeg;
}

TEST(IdentifyPicture, FormatAndSizeFromTheHeader) {
  struct Case {
    const char* name;
    std::vector<uint8_t> bytes;
    lumiset::PictureFormat format;
    std::optional<uint32_t> width;
    std::optional<uint32_t> height;
  };
  const std::vector<uint8_t> rows(4 * 2, 0);
  std::vector<uint8_t> cut_jpeg = Jpeg(10, 10);
  cut_jpeg.resize(24);
  const Case cases[] = {
      {"bottom-up BMP", MakeBmp(497, 58, 24, 0, {}, rows), lumiset::kPictureBmp, 497, 58},
      {"top-down BMP", MakeBmp(600, -80, 24, 0, {}, rows), lumiset::kPictureBmp, 600, 80},
      {"PNG", Png(640, 48), lumiset::kPicturePng, 640, 48},
      {"baseline JPEG", Jpeg(320, 200), lumiset::kPictureJpeg, 320, 200},
      {"progressive JPEG", Jpeg(1024, 60, 0xC2), lumiset::kPictureJpeg, 1024, 60},
      {"JPEG cut before its frame", cut_jpeg, lumiset::kPictureJpeg, std::nullopt, std::nullopt},
      {"BMP too short for a size",
       {'B', 'M', 0, 0},
       lumiset::kPictureBmp,
       std::nullopt,
       std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::optional<PictureInfo> info = IdentifyPicture(c.bytes);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->format, c.format);
    EXPECT_EQ(info->width, c.width);
    EXPECT_EQ(info->height, c.height);
  }
}

TEST(IdentifyPicture, RefusesOtherFiles) {
  const std::vector<std::vector<uint8_t>> others = {
      {}, {'B'}, {'G', 'I', 'F', '8', '9', 'a'}, {0x89, 'P', 'N', 'G'}, {0xFF, 0xD8}};
  for (const std::vector<uint8_t>& bytes : others) EXPECT_FALSE(IdentifyPicture(bytes));
}

}  // namespace
}  // namespace lumipack
