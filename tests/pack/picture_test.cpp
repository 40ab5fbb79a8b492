#include "picture.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include "support/test_package.h"
#include "test_pictures.h"

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

std::vector<uint8_t> Cut(std::vector<uint8_t> bytes, size_t size) {
  bytes.resize(size);
  return bytes;
}

std::optional<std::string> ProblemOf(const std::vector<uint8_t>& bytes) {
  std::optional<PictureInfo> info = IdentifyPicture(bytes);
  if (!info) return "not identified";
  return PictureProblem(bytes, *info);
}

TEST(PictureProblem, WholePicturesTheInstallerReadsPass) {
  const std::vector<uint32_t> palette = {0x000000, 0xFF0000, 0x00FF00};
  const std::vector<std::pair<const char*, std::vector<uint8_t>>> pictures = {
      {"24-bit BMP", MakeBmp(40, 10, 24, 0, {}, std::vector<uint8_t>(40 * 3 * 10, 7))},
      {"8-bit BMP with a palette", MakeBmp(4, 2, 8, 0, palette, std::vector<uint8_t>(8, 1))},
      // Two rows of four pixels as runs, then the end of the picture.
      {"RLE8 BMP", MakeBmp(4, 2, 8, 1, palette, {4, 1, 0, 0, 4, 2, 0, 0, 0, 1})},
      {"PNG", testing::PngFile(120, 40)},
      {"JPEG", testing::JpegFile(64, 48)},
  };
  for (const auto& [name, bytes] : pictures) {
    EXPECT_EQ(ProblemOf(bytes), std::nullopt) << name;
  }
}

// Recomputes the check value of the PNG chunk at `at`, so that a test's
// change reaches what lies behind the check.
void FixChunkCheck(std::vector<uint8_t>& png, size_t at) {
  const uint32_t length = uint32_t{png[at]} << 24 | uint32_t{png[at + 1]} << 16 |
                          uint32_t{png[at + 2]} << 8 | png[at + 3];
  const uLong check = crc32(crc32(0, nullptr, 0), &png[at + 4], 4 + length);
  for (int i = 0; i < 4; ++i) png[at + 8 + length + i] = static_cast<uint8_t>(check >> (24 - 8 * i));
}

TEST(PictureProblem, BrokenPicturesSayWhy) {
  const std::vector<uint8_t> bmp = MakeBmp(40, 10, 24, 0, {}, std::vector<uint8_t>(40 * 3 * 10));
  std::vector<uint8_t> png = testing::PngFile(64, 16);
  std::vector<uint8_t> bad_zlib = png;
  // The zlib stream's first byte inside the first IDAT chunk: signature,
  // IHDR (25 bytes), then the IDAT's length and type.
  bad_zlib[8 + 25 + 8] = 0xFF;
  std::vector<uint8_t> bad_zlib_checked = bad_zlib;
  FixChunkCheck(bad_zlib_checked, 8 + 25);
  std::vector<uint8_t> huge_png = png;
  huge_png[16] = 0x00;  // the width, big-endian: 0x00F00000 pixels
  huge_png[17] = 0xF0;
  FixChunkCheck(huge_png, 8);
  std::vector<uint8_t> wide_png = png;
  wide_png[19] = 65;  // one pixel wider than its rows
  FixChunkCheck(wide_png, 8);
  const std::vector<uint8_t> jpeg = testing::JpegFile(64, 64);
  const std::vector<uint32_t> sixteen(16, 0);
  struct Case {
    const char* name;
    std::vector<uint8_t> bytes;
    const char* reason;
  };
  const Case cases[] = {
      {"BMP cut to 60 bytes", Cut(bmp, 60),
       "it is cut short: its 40x10 pixels need 1200 bytes from byte 54, but the file has 60 "
       "bytes"},
      {"BMP cut inside its header", Cut(bmp, 30), "it is cut short inside its header"},
      {"BMP claiming 100000 x 100000", MakeBmp(100000, 100000, 24, 0, {}, std::vector<uint8_t>(64)),
       "100000x100000 pixels is more than the installer's limit of 32768 pixels a side"},
      {"BMP over the pixel limit", MakeBmp(32768, 32768, 32, 0, {}, std::vector<uint8_t>(64)),
       "more than the installer's 64 MiB limit"},
      {"top-down BMP", MakeBmp(40, -10, 24, 0, {}, std::vector<uint8_t>(40 * 3 * 10)),
       "stored top-down"},
      {"RLE4 BMP", MakeBmp(4, 4, 4, 2, sixteen, {0, 1}), "its compression, RLE4, is one"},
      {"BMP of 2 bits a pixel", MakeBmp(4, 4, 2, 0, {}, std::vector<uint8_t>(16)),
       "2 bits a pixel is a depth the installer does not read"},
      {"BMP with a colour table cut short",
       Cut(MakeBmp(4, 2, 8, 1, std::vector<uint32_t>(256, 0), {}), 200),
       "the installer's BMP reader refuses it"},
      {"PNG cut to 40 bytes", Cut(png, 40), "cut short"},
      {"PNG cut in its data", Cut(png, png.size() / 2), "cut short"},
      {"PNG with a damaged chunk", bad_zlib, "a chunk's check value is wrong"},
      {"PNG with a damaged stream", bad_zlib_checked, "its compressed image does not decode"},
      {"PNG whose rows are narrower than its header says", wide_png,
       "its image holds 3088 of 3136 bytes"},
      {"PNG claiming 15 million pixels a row", huge_png,
       "x16 pixels is more than the installer's limit for pictures (32768 pixels a side"},
      {"JPEG cut in half", Cut(jpeg, jpeg.size() / 2), "cut short"},
      {"JPEG without its end marker", Cut(jpeg, jpeg.size() - 2), "cut short"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::optional<std::string> problem = ProblemOf(c.bytes);
    ASSERT_TRUE(problem);
    EXPECT_NE(problem->find(c.reason), std::string::npos) << *problem;
  }
}

}  // namespace
}  // namespace lumipack
