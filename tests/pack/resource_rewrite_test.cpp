#include "resource_rewrite.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "base/byte_io.h"
#include "package/package_format.h"
#include "pe_image.h"
#include "test_images.h"
#include "version_info.h"

namespace lumipack {
namespace {

using lumiset::LoadU32;
using lumiset::StoreU16;
using lumiset::StoreU32;

using testing::MakeImage;
using testing::TestImage;
constexpr uint32_t kFileAlign = 0x200;
constexpr uint32_t kSectionAlign = 0x1000;
constexpr uint32_t kRsrcRva = testing::kTestRsrcRva;

IconFile ThreeImageIcon() {
  IconFile icon;
  for (uint8_t size : {16, 32, 0}) {
    IconImage image;
    image.width = image.height = size;
    image.planes = 1;
    image.bit_count = 32;
    image.png = size == 0;
    image.bytes.assign(size == 0 ? 5000u : 2000u + size, size);
    icon.images.push_back(image);
  }
  return icon;
}

class ResourceRewriteTest : public ::testing::TestWithParam<bool> {};

TEST_P(ResourceRewriteTest, ReplacesIconAndVersionAndMovesTheRelocations) {
  const TestImage image = MakeImage(GetParam(), testing::IconAndDialogResources());
  const auto version = BuildVersionResource({"Starfield", "1.2", "1.2", "Sky", "Setup", "", "", 0x0409});
  ASSERT_TRUE(version.ok());
  const auto out = RewriteResources(image.bytes, [&](std::vector<ResourceEntry>& entries) {
    ReplaceVersion(entries, *version, 0x0409);
    return ReplaceMainIcon(entries, ThreeImageIcon());
  });
  ASSERT_TRUE(out.ok()) << out.message();

  const auto facts = ReadPeOf(*out);
  ASSERT_TRUE(facts);
  EXPECT_EQ(facts->image_end, out->size());
  EXPECT_EQ(facts->is_64bit, GetParam());
  const size_t rsrc = image.sections + 40;
  const size_t reloc = image.sections + 80;
  const uint32_t rsrc_size = LoadU32(*out, rsrc + 8);
  const uint32_t rsrc_raw = LoadU32(*out, rsrc + 16);
  EXPECT_EQ(rsrc_raw % kFileAlign, 0u);
  EXPECT_GE(rsrc_raw, rsrc_size);
  // .reloc follows the grown section in the file and in memory, with its
  // bytes and its directory entry.
  const uint32_t reloc_va = LoadU32(*out, reloc + 12);
  const uint32_t reloc_raw = LoadU32(*out, reloc + 20);
  EXPECT_EQ(reloc_raw, 0x400 + rsrc_raw);
  EXPECT_EQ(reloc_va, kRsrcRva + (rsrc_size + kSectionAlign - 1) / kSectionAlign * kSectionAlign);
  EXPECT_EQ((*out)[reloc_raw], 0xE0);
  EXPECT_EQ((*out)[reloc_raw + 11], 0xEB);
  const size_t directory = image.optional + (GetParam() ? 112 : 96);
  EXPECT_EQ(LoadU32(*out, directory + 5 * 8), reloc_va);
  EXPECT_EQ(LoadU32(*out, directory + 2 * 8 + 4), rsrc_size);
  EXPECT_EQ(LoadU32(*out, image.optional + 56), reloc_va + kSectionAlign);
  EXPECT_EQ(LoadU32(*out, image.optional + 8), LoadU32(image.bytes, image.optional + 8) + rsrc_raw -
                                                 LoadU32(image.bytes, rsrc + 16));
  EXPECT_EQ(LoadU32(*out, image.optional + 64), PeChecksum(*out, image.optional + 64));

  const auto entries = ParseResourceSection(std::span(*out).subspan(0x400, rsrc_size), kRsrcRva);
  ASSERT_TRUE(entries.ok()) << entries.message();
  std::vector<std::string> listing;
  for (const auto& e : *entries) {
    listing.push_back(std::to_string(e.type.id) + "/" + std::to_string(e.name.id) + ":" +
                      std::to_string(e.data.size()));
  }
  // The old icons are gone; three new ones, the group naming them, the
  // untouched dialog and the version.
  const std::vector<std::string> expected = {"3/1:2016", "3/2:2032", "3/3:5000", "5/100:40",
                                             "14/128:48", "16/1:" + std::to_string(version->size())};
  EXPECT_EQ(listing, expected);
}

TEST_P(ResourceRewriteTest, RefusesImagesItCannotRewriteSafely) {
  struct Case {
    const char* name;
    void (*damage)(TestImage&);
    const char* reason;
  };
  const Case cases[] = {
      {"not a PE image", [](TestImage& i) { i.bytes[0] = 'X'; }, "not a PE image"},
      {"signed", [](TestImage& i) { StoreU32(i.bytes, i.optional + (LoadU32(i.bytes, i.optional) == 0x20B ? 112 : 96) + 32, 0x800); }, "signed"},
      {"data section after resources",
       [](TestImage& i) {
         const size_t directory = i.optional + ((i.bytes[i.optional + 1] == 2) ? 112 : 96);
         StoreU32(i.bytes, directory + 5 * 8, 0);
       },
       "other than the base relocations"},
      {"no icon group", [](TestImage& i) { i.bytes[0x400 + 16 + 2 * 8] = 15; }, "no main icon group"},
      {"sections cut off", [](TestImage& i) { i.bytes.resize(i.sections + 20); }, "cut short"},
  };
  for (const auto& c : cases) {
    TestImage image = MakeImage(GetParam(), testing::IconAndDialogResources());
    c.damage(image);
    const auto out = RewriteResources(image.bytes, [](std::vector<ResourceEntry>& entries) {
      return ReplaceMainIcon(entries, ThreeImageIcon());
    });
    ASSERT_FALSE(out.ok()) << c.name;
    EXPECT_NE(out.message().find(c.reason), std::string::npos) << c.name << ": " << out.message();
  }
}

INSTANTIATE_TEST_SUITE_P(Pe32AndPe32Plus, ResourceRewriteTest, ::testing::Bool());

}  // namespace
}  // namespace lumipack
