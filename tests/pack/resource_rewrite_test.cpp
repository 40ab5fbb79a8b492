#include "resource_rewrite.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "base/byte_io.h"
#include "package/package_format.h"
#include "pe_image.h"
#include "version_info.h"

namespace lumipack {
namespace {

using lumiset::LoadU32;
using lumiset::StoreU16;
using lumiset::StoreU32;

constexpr uint32_t kFileAlign = 0x200;
constexpr uint32_t kSectionAlign = 0x1000;
constexpr uint32_t kRsrcRva = 0x2000;
constexpr uint32_t kRelocRva = 0x3000;

// A small image like the stubs: .text, then .rsrc with an icon group of two
// images and a version resource, then .reloc. The optional header is PE32
// or PE32+.
struct TestImage {
  std::vector<uint8_t> bytes;
  size_t optional = 0;
  size_t sections = 0;
};

TestImage MakeImage(bool pe32_plus) {
  ResourceEntry icon1{{3, {}}, {1, {}}, 0x0409, 0, std::vector<uint8_t>(300, 0xA1)};
  ResourceEntry icon2{{3, {}}, {2, {}}, 0x0409, 0, std::vector<uint8_t>(700, 0xA2)};
  std::vector<uint8_t> group(6 + 2 * 14, 0);
  StoreU16(group, 2, 1);
  StoreU16(group, 4, 2);
  StoreU16(group, 6 + 12, 1);
  StoreU16(group, 6 + 14 + 12, 2);
  ResourceEntry main_group{{14, {}}, {128, {}}, 0x0409, 0, group};
  ResourceEntry dialog{{5, {}}, {100, {}}, 0x0409, 0, std::vector<uint8_t>(40, 0xD0)};
  const auto rsrc = BuildResourceSection({icon1, icon2, main_group, dialog}, kRsrcRva);

  TestImage image;
  const size_t lfanew = 0x40;
  const uint16_t optional_size = pe32_plus ? 240 : 224;
  image.optional = lfanew + 24;
  image.sections = image.optional + optional_size;
  const uint32_t rsrc_raw = static_cast<uint32_t>((rsrc.size() + kFileAlign - 1) / kFileAlign * kFileAlign);
  image.bytes.assign(0x400 + rsrc_raw + kFileAlign, 0);
  auto& b = image.bytes;
  b[0] = 'M';
  b[1] = 'Z';
  StoreU32(b, 0x3C, lfanew);
  StoreU32(b, lfanew, 0x00004550);
  StoreU16(b, lfanew + 4, pe32_plus ? lumiset::kMachineX64 : lumiset::kMachineX86);
  StoreU16(b, lfanew + 6, 3);
  StoreU16(b, lfanew + 20, optional_size);
  StoreU16(b, image.optional, pe32_plus ? 0x20B : 0x10B);
  StoreU32(b, image.optional + 8, 0x400 + rsrc_raw);  // initialized data
  StoreU32(b, image.optional + 32, kSectionAlign);
  StoreU32(b, image.optional + 36, kFileAlign);
  StoreU32(b, image.optional + 56, 0x4000);
  StoreU32(b, image.optional + 60, 0x200);
  const size_t directory = image.optional + (pe32_plus ? 112 : 96);
  StoreU32(b, directory - 4, 16);
  StoreU32(b, directory + 2 * 8, kRsrcRva);
  StoreU32(b, directory + 2 * 8 + 4, static_cast<uint32_t>(rsrc.size()));
  StoreU32(b, directory + 5 * 8, kRelocRva);
  StoreU32(b, directory + 5 * 8 + 4, 12);
  const struct {
    const char* name;
    uint32_t va, vsize, raw, raw_size;
  } sections[] = {{".text", 0x1000, 0x10, 0x200, 0x200},
                  {".rsrc", kRsrcRva, static_cast<uint32_t>(rsrc.size()), 0x400, rsrc_raw},
                  {".reloc", kRelocRva, 12, 0x400 + rsrc_raw, kFileAlign}};
  for (size_t i = 0; i < 3; ++i) {
    const size_t s = image.sections + i * 40;
    for (size_t c = 0; sections[i].name[c] != 0; ++c) b[s + c] = static_cast<uint8_t>(sections[i].name[c]);
    StoreU32(b, s + 8, sections[i].vsize);
    StoreU32(b, s + 12, sections[i].va);
    StoreU32(b, s + 16, sections[i].raw_size);
    StoreU32(b, s + 20, sections[i].raw);
  }
  std::copy(rsrc.begin(), rsrc.end(), b.begin() + 0x400);
  for (size_t i = 0; i < 12; ++i) b[0x400 + rsrc_raw + i] = static_cast<uint8_t>(0xE0 + i);
  return image;
}

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
  const TestImage image = MakeImage(GetParam());
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
    TestImage image = MakeImage(GetParam());
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
