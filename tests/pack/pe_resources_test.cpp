#include "pe_resources.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace lumipack {
namespace {

constexpr uint32_t kRva = 0x5000;

void Set32(std::vector<uint8_t>& out, size_t at, uint32_t v) {
  for (size_t i = 0; i < 4; ++i) out[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

ResourceEntry Entry(ResourceKey type, ResourceKey name, uint16_t language, std::vector<uint8_t> data) {
  ResourceEntry e;
  e.type = std::move(type);
  e.name = std::move(name);
  e.language = language;
  e.code_page = 0;
  e.data = std::move(data);
  return e;
}

// Icons, an icon group, a named type and a version, given out of order.
std::vector<ResourceEntry> SampleEntries() {
  return {
      Entry({16, {}}, {1, {}}, 0x0409, {1, 2, 3}),
      Entry({3, {}}, {2, {}}, 0x0409, {4, 5, 6, 7, 8, 9, 10, 11, 12}),
      Entry({3, {}}, {1, {}}, 0x0409, {13}),
      Entry({0, u"HELP"}, {0, u"INDEX"}, 0, {'h', 'i'}),
      Entry({14, {}}, {128, {}}, 0x0409, {20, 21}),
      Entry({14, {}}, {128, {}}, 0x0407, {22, 23}),
  };
}

TEST(PeResourcesTest, RoundTripsInTheOrderWindowsSearches) {
  const auto section = BuildResourceSection(SampleEntries(), kRva);
  EXPECT_EQ(section.size() % 8, 0u);
  const auto entries = ParseResourceSection(section, kRva);
  ASSERT_TRUE(entries.ok()) << entries.message();
  ASSERT_EQ(entries->size(), 6u);
  // Named types first, then ids ascending; languages ascending.
  EXPECT_EQ((*entries)[0].type.name, u"HELP");
  EXPECT_EQ((*entries)[0].name.name, u"INDEX");
  EXPECT_EQ((*entries)[0].data, (std::vector<uint8_t>{'h', 'i'}));
  EXPECT_EQ((*entries)[1].type.id, 3);
  EXPECT_EQ((*entries)[1].name.id, 1);
  EXPECT_EQ((*entries)[1].data, (std::vector<uint8_t>{13}));
  EXPECT_EQ((*entries)[2].name.id, 2);
  EXPECT_EQ((*entries)[3].type.id, 14);
  EXPECT_EQ((*entries)[3].language, 0x0407);
  EXPECT_EQ((*entries)[4].language, 0x0409);
  EXPECT_EQ((*entries)[5].type.id, 16);
  // Building again from what was read gives the same bytes.
  EXPECT_EQ(BuildResourceSection(*entries, kRva), section);
}

TEST(PeResourcesTest, RefusesDamagedTrees) {
  // One type, one name, one language: root at 0, type directory at 24,
  // name directory at 48, data entry at 72, data at 88.
  const auto good = BuildResourceSection({Entry({16, {}}, {1, {}}, 0x0409, {9, 9, 9, 9})}, kRva);
  ASSERT_TRUE(ParseResourceSection(good, kRva).ok());
  struct Case {
    const char* name;
    std::function<void(std::vector<uint8_t>&)> damage;
    const char* reason;
  };
  const Case cases[] = {
      {"empty section", [](auto& s) { s.clear(); }, "outside the section"},
      {"entry count past the end", [](auto& s) { s[14] = 0xFF; s[15] = 0xFF; }, "run past"},
      {"subdirectory loops to the root", [](auto& s) { Set32(s, 16 + 4, 0x80000000u); }, "reached twice"},
      {"name directory points back up", [](auto& s) { Set32(s, 24 + 16 + 4, 0x80000000u | 24); }, "reached twice"},
      {"subdirectory outside", [](auto& s) { Set32(s, 16 + 4, 0x8FFFFFF0u); }, "outside the section"},
      {"leaf too shallow", [](auto& s) { Set32(s, 16 + 4, 72); }, "three levels"},
      {"leaf too deep", [](auto& s) { Set32(s, 48 + 16 + 4, 0x80000000u | 0); }, "three levels"},
      {"named language", [](auto& s) { Set32(s, 48 + 16, 0x80000000u | 88); }, "named"},
      {"name outside", [](auto& s) { Set32(s, 16, 0x8FFFFFF0u); }, "outside the section"},
      {"name runs past", [](auto& s) { Set32(s, 16, 0x80000000u | 90); s[90] = 0xFF; }, "runs past"},
      {"id above 65535", [](auto& s) { Set32(s, 16, 0x10000); }, "larger than 65535"},
      {"data before the section", [](auto& s) { Set32(s, 72, kRva - 1); }, "data lies outside"},
      {"data past the section", [](auto& s) { Set32(s, 72 + 4, 0xFFFFFFFFu); }, "data lies outside"},
      {"data rva far away", [](auto& s) { Set32(s, 72, 0xFFFFFFF0u); }, "data lies outside"},
      {"data entry outside", [](auto& s) { Set32(s, 48 + 16 + 4, 0x7FFFFFF0u); }, "data entry lies outside"},
  };
  for (const auto& c : cases) {
    auto section = good;
    c.damage(section);
    const auto entries = ParseResourceSection(section, kRva);
    ASSERT_FALSE(entries.ok()) << c.name;
    EXPECT_NE(entries.message().find(c.reason), std::string::npos) << c.name << ": " << entries.message();
  }
}

}  // namespace
}  // namespace lumipack
