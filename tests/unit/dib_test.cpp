#include "package/dib.h"

#include <gtest/gtest.h>

#include "base/byte_io.h"
#include "base/memory_file.h"
#include "support/test_package.h"

namespace lumiset {
namespace {

using testing::MakeBmp;

StatusOr<std::vector<uint8_t>> Read(const std::vector<uint8_t>& file_bytes) {
  MemoryFile file(file_bytes);
  return ReadDib(file);
}

TEST(Dib, TwentyFourBitTopLeftPixel) {
  // 2x2, rows bottom-up, each row 6 bytes padded to 8. Top row is stored last.
  const std::vector<uint8_t> rows = {1, 2, 3, 4, 5, 6, 0, 0, 0x10, 0x20, 0x30, 7, 8, 9, 0, 0};
  StatusOr<std::vector<uint8_t>> dib = Read(MakeBmp(2, 2, 24, 0, {}, rows));
  ASSERT_TRUE(dib);
  EXPECT_EQ(DibPixelColor(*dib, 0, 0), 0x102030u);
  EXPECT_EQ(DibPixelColor(*dib, 1, 1), 0x040506u);
  EXPECT_EQ(DibPixelColor(*dib, 2, 0), 0u) << "outside the picture";
  EXPECT_EQ(DibColorCount(*dib), 0u);
  EXPECT_EQ(DibPixelsOffset(*dib), 40u);
}

TEST(Dib, IndexedPicturesSampleThroughTheirColourTable) {
  const std::vector<uint32_t> palette2 = {0x00112233, 0x00445566};
  // 1-bit, 3x1: bits 0 1 0 -> 0x40.
  StatusOr<std::vector<uint8_t>> one = Read(MakeBmp(3, 1, 1, 0, palette2, {0x40, 0, 0, 0}));
  ASSERT_TRUE(one);
  EXPECT_EQ(DibPixelColor(*one, 0, 0), 0x332211u);
  EXPECT_EQ(DibPixelColor(*one, 1, 0), 0x665544u);
  // 4-bit: high nibble first.
  std::vector<uint32_t> palette16(16, 0);
  palette16[0xA] = 0x00ABCDEF;
  palette16[0x3] = 0x00010203;
  StatusOr<std::vector<uint8_t>> four = Read(MakeBmp(2, 1, 4, 0, palette16, {0xA3, 0, 0, 0}));
  ASSERT_TRUE(four);
  EXPECT_EQ(DibPixelColor(*four, 0, 0), 0xEFCDABu);
  EXPECT_EQ(DibPixelColor(*four, 1, 0), 0x030201u);
  // 8-bit with no used-colours count gets 256 entries.
  std::vector<uint8_t> file = MakeBmp(1, 1, 8, 0, {}, {7, 0, 0, 0});
  std::vector<uint8_t> with_table(file.begin(), file.begin() + 54);
  for (int i = 0; i < 256; ++i) {
    const uint8_t entry[4] = {static_cast<uint8_t>(i), 0, 0, 0};
    with_table.insert(with_table.end(), entry, entry + 4);
  }
  with_table.insert(with_table.end(), {7, 0, 0, 0});
  StoreU32(&with_table[10], 54 + 1024);
  StatusOr<std::vector<uint8_t>> eight = Read(with_table);
  ASSERT_TRUE(eight);
  EXPECT_EQ(DibColorCount(*eight), 256u);
  EXPECT_EQ(DibPixelColor(*eight, 0, 0), 0x070000u) << "blue 7";
}

TEST(Dib, SixteenBitReadsAsFiveSixFive) {
  StatusOr<std::vector<uint8_t>> dib = Read(MakeBmp(1, 1, 16, 0, {}, {0xFF, 0xFF, 0, 0}));
  ASSERT_TRUE(dib);
  EXPECT_EQ(DibPixelColor(*dib, 0, 0), 248u | 252u << 8 | 248u << 16);
}

TEST(Dib, CoreHeaderIsWidenedToAnInfoHeader) {
  // 12-byte header, 1-bit, 3-byte colour entries.
  ByteWriter w;
  w.Text("BM");
  w.U32(0);
  w.U32(0);
  w.U32(14 + 12 + 6);
  w.U32(12);
  w.U16(2);
  w.U16(1);
  w.U16(1);
  w.U16(1);
  w.Bytes(std::vector<uint8_t>{0x01, 0x02, 0x03, 0x0A, 0x0B, 0x0C});
  w.Bytes(std::vector<uint8_t>{0x40, 0, 0, 0});
  StatusOr<std::vector<uint8_t>> dib = Read(w.Take());
  ASSERT_TRUE(dib);
  EXPECT_EQ(LoadU32(dib->data()), 40u);
  EXPECT_EQ(DibColorCount(*dib), 2u);
  EXPECT_EQ(DibPixelColor(*dib, 0, 0), 0x010203u);
  EXPECT_EQ(DibPixelColor(*dib, 1, 0), 0x0A0B0Cu);
}

TEST(Dib, HeaderFactsOfACoreHeader) {
  std::vector<uint8_t> core(12, 0);
  StoreU32(core.data(), 12);
  StoreU16(&core[6], 5);   // height
  StoreU16(&core[10], 4);  // bits
  EXPECT_EQ(DibColorCount(core), 16u);
  EXPECT_EQ(DibColorTableSize(core), 48u);
  EXPECT_EQ(DibPixelsOffset(core), 60u);
}

TEST(Dib, Rle8IsExpanded) {
  std::vector<uint32_t> palette(4);
  palette[1] = 0x000000FF;  // blue
  palette[2] = 0x0000FF00;  // green
  palette[3] = 0x00FF0000;  // red
  // 4x2: bottom row "1 1 1 2" as a run and a literal; top row a delta then 3.
  const std::vector<uint8_t> rle = {3, 1, 0, 3, 2, 2, 2, 0, 0, 0, 0, 2, 3, 0, 1, 3, 0, 1};
  StatusOr<std::vector<uint8_t>> dib = Read(MakeBmp(4, 2, 8, 1, palette, rle));
  ASSERT_TRUE(dib);
  EXPECT_EQ(LoadU32(&(*dib)[16]), 0u) << "no longer compressed";
  EXPECT_EQ(DibPixelColor(*dib, 0, 1), 0xFF0000u);
  EXPECT_EQ(DibPixelColor(*dib, 3, 1), 0x00FF00u) << "literal run, padded";
  EXPECT_EQ(DibPixelColor(*dib, 0, 0), 0u) << "skipped by the delta";
  EXPECT_EQ(DibPixelColor(*dib, 3, 0), 0x0000FFu);
}

TEST(Dib, Rle8RunsThatLeaveThePictureAreCutOff) {
  std::vector<uint32_t> palette(2, 0x00FFFFFF);
  const std::vector<uint8_t> rle = {255, 1, 0, 2, 200, 200, 255, 1, 0, 250};
  StatusOr<std::vector<uint8_t>> dib = Read(MakeBmp(3, 2, 8, 1, palette, rle));
  ASSERT_TRUE(dib);
  EXPECT_EQ(dib->size(), 40u + 8 + 8);
}

TEST(Dib, RefusedPictures) {
  // Each refusal says why: lumipack passes the reason on to the author.
  struct Case {
    const char* name;
    std::vector<uint8_t> file;
    const char* reason;
  };
  std::vector<uint8_t> not_bm = MakeBmp(1, 1, 24, 0, {}, {1, 2, 3, 0});
  not_bm[0] = 'X';
  std::vector<uint8_t> top_down = MakeBmp(1, 1, 24, 0, {}, {1, 2, 3, 0});
  StoreU32(&top_down[22], static_cast<uint32_t>(-1));
  std::vector<uint8_t> huge = MakeBmp(30000, 30000, 24, 0, {}, {});
  std::vector<uint8_t> too_many_colors = MakeBmp(1, 1, 8, 0, {}, {0, 0, 0, 0});
  StoreU32(&too_many_colors[46], 100000);
  std::vector<uint8_t> odd_header = MakeBmp(1, 1, 24, 0, {}, {1, 2, 3, 0});
  StoreU32(&odd_header[14], 20);
  const Case cases[] = {
      {"not BM", not_bm, "does not start with \"BM\""},
      {"RLE4", MakeBmp(2, 1, 4, 2, std::vector<uint32_t>(16), {0, 1, 0, 0}),
       "compression is neither none nor RLE8"},
      {"top-down", top_down, "height is not positive"},
      {"short pixel data", MakeBmp(4, 4, 24, 0, {}, {1, 2, 3}), "pixels are cut short"},
      {"over the size limit", huge, "pixels are over the size limit"},
      {"bit count 7", MakeBmp(1, 1, 7, 0, {}, {0, 0, 0, 0}), "bit count"},
      {"too many colours", too_many_colors, "colour table is too long"},
      {"unknown header size", odd_header, "unknown size"},
      {"16-bit bit fields", MakeBmp(1, 1, 16, 3, {0xF800, 0x07E0, 0x001F}, {0, 0, 0, 0}),
       "colour masks"},
      {"empty", {}, "file header is cut short"},
      {"file header only", std::vector<uint8_t>{'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
       "bitmap header is cut short"},
  };
  for (const Case& c : cases) {
    StatusOr<std::vector<uint8_t>> dib = Read(c.file);
    ASSERT_FALSE(dib) << c.name;
    EXPECT_NE(dib.status().what().find(c.reason), std::string_view::npos)
        << c.name << ": " << dib.status().ToString();
  }
}

TEST(Dib, ThirtyTwoBitBgrBitFieldsReadAsPlainPixels) {
  // The 12 mask bytes follow a 40-byte header; MakeBmp writes them as the
  // "palette" so the pixel offset accounts for them.
  std::vector<uint8_t> file =
      MakeBmp(1, 1, 32, 3, {0x00FF0000, 0x0000FF00, 0x000000FF}, {0x10, 0x20, 0x30, 0xFF});
  StoreU32(&file[46], 0);  // used colours: the masks are no colour table
  StatusOr<std::vector<uint8_t>> dib = Read(file);
  ASSERT_TRUE(dib);
  EXPECT_EQ(LoadU32(&(*dib)[16]), 0u);
  EXPECT_EQ(DibPixelColor(*dib, 0, 0), 0x102030u);
}

TEST(Dib, PixelColorOfUnsupportedOrShortBlocksIsBlack) {
  std::vector<uint8_t> dib(40, 0);
  StoreU32(&dib[0], 40);
  StoreU32(&dib[4], 10);
  StoreU32(&dib[8], 10);
  StoreU16(&dib[14], 24);
  EXPECT_EQ(DibPixelColor(dib, 0, 0), 0u) << "rows missing";
  StoreU16(&dib[14], 2);
  EXPECT_EQ(DibPixelColor(dib, 0, 0), 0u) << "bit count 2";
  EXPECT_EQ(DibPixelColor({}, 0, 0), 0u);
}

}  // namespace
}  // namespace lumiset
