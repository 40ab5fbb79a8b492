#include "icon_file.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "base/byte_io.h"

namespace lumipack {
namespace {

using lumiset::StoreU16;
using lumiset::StoreU32;

// A small BMP image (a bare BITMAPINFOHEADER and a few pixel bytes) and a
// PNG-compressed one (its signature and a few bytes): the reader only looks
// at what kind each image is.
std::vector<uint8_t> BmpImage() {
  std::vector<uint8_t> bmp(40 + 16, 0x11);
  StoreU32(bmp, 0, 40);
  return bmp;
}

std::vector<uint8_t> PngImage() {
  return {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0, 0, 0, 13, 'I', 'H', 'D', 'R'};
}

// An .ico with a 16x16 BMP image and a 256x256 PNG image.
std::vector<uint8_t> TwoImageIcon() {
  const auto bmp = BmpImage();
  const auto png = PngImage();
  std::vector<uint8_t> ico(6 + 2 * 16, 0);
  StoreU16(ico, 2, 1);
  StoreU16(ico, 4, 2);
  const std::vector<uint8_t>* images[] = {&bmp, &png};
  const uint8_t sizes[] = {16, 0};
  for (size_t i = 0; i < 2; ++i) {
    const size_t entry = 6 + i * 16;
    ico[entry] = sizes[i];
    ico[entry + 1] = sizes[i];
    StoreU16(ico, entry + 4, 1);
    StoreU16(ico, entry + 6, 32);
    StoreU32(ico, entry + 8, static_cast<uint32_t>(images[i]->size()));
    StoreU32(ico, entry + 12, static_cast<uint32_t>(ico.size()));
    ico.insert(ico.end(), images[i]->begin(), images[i]->end());
  }
  return ico;
}

TEST(IconFileTest, ReadsEveryImageWithItsKind) {
  const auto icon = ReadIconFile(TwoImageIcon(), "app.ico");
  ASSERT_TRUE(icon.ok()) << icon.message();
  ASSERT_EQ(icon->images.size(), 2u);
  EXPECT_FALSE(icon->images[0].png);
  EXPECT_EQ(icon->images[0].width, 16);
  EXPECT_EQ(icon->images[0].bit_count, 32);
  EXPECT_EQ(icon->images[0].bytes, BmpImage());
  EXPECT_TRUE(icon->images[1].png);
  EXPECT_EQ(icon->images[1].width, 0);  // 256
  EXPECT_EQ(icon->images[1].bytes, PngImage());
}

TEST(IconFileTest, RefusesWhatIsNotAnIconAndSaysWhy) {
  struct Case {
    const char* name;
    std::function<void(std::vector<uint8_t>&)> damage;
    const char* reason;
  };
  const Case cases[] = {
      {"empty file", [](auto& ico) { ico.clear(); }, "icon header"},
      {"cursor, not icon", [](auto& ico) { StoreU16(ico, 2, 2); }, "icon header"},
      {"reserved word set", [](auto& ico) { StoreU16(ico, 0, 1); }, "icon header"},
      {"no images", [](auto& ico) { StoreU16(ico, 4, 0); }, "no images"},
      {"too many images", [](auto& ico) { StoreU16(ico, 4, 1000); }, "more than"},
      {"directory cut short", [](auto& ico) { ico.resize(20); }, "cut short"},
      {"offset past the end", [](auto& ico) { StoreU32(ico, 6 + 12, 0xFFFFFFF0); }, "outside"},
      {"size past the end", [](auto& ico) { StoreU32(ico, 6 + 16 + 8, 1000); }, "outside"},
      {"offset + size wraps",
       [](auto& ico) {
         StoreU32(ico, 6 + 8, 0x00100000);
         StoreU32(ico, 6 + 12, 0xFFFFFF00);
       },
       "outside"},
      {"offset inside the directory", [](auto& ico) { StoreU32(ico, 6 + 12, 6); }, "outside"},
      {"image of zero bytes", [](auto& ico) { StoreU32(ico, 6 + 8, 0); }, "empty"},
      {"image too large", [](auto& ico) { StoreU32(ico, 6 + 8, 64 * 1024 * 1024); }, "larger than"},
      {"image neither BMP nor PNG", [](auto& ico) { StoreU32(ico, 6 + 32, 0x38464947); }, "neither a BMP"},
      {"BMP header size past image", [](auto& ico) { StoreU32(ico, 6 + 32, 4000); }, "neither a BMP"},
      {"file too large", [](auto& ico) { ico.resize(17 * 1024 * 1024); }, "larger than"},
  };
  for (const auto& c : cases) {
    auto ico = TwoImageIcon();
    c.damage(ico);
    const auto icon = ReadIconFile(ico, "app.ico");
    ASSERT_FALSE(icon.ok()) << c.name;
    EXPECT_NE(icon.message().find("app.ico is not an icon"), std::string::npos) << c.name;
    EXPECT_NE(icon.message().find(c.reason), std::string::npos) << c.name << ": " << icon.message();
  }
}

}  // namespace
}  // namespace lumipack
