#include "package/setup_record.h"

#include <gtest/gtest.h>

#include <cmath>

#include "base/language.h"
#include "support/test_package.h"

namespace lumiset {
namespace {

void ExpectSameRecord(const SetupRecord& a, const SetupRecord& b) {
  EXPECT_EQ(a.title, b.title);
  EXPECT_EQ(a.copyright, b.copyright);
  EXPECT_EQ(a.company, b.company);
  EXPECT_EQ(a.licence_text, b.licence_text);
  EXPECT_EQ(a.language, b.language);
  EXPECT_EQ(a.scr_file_name, b.scr_file_name);
  EXPECT_EQ(a.picture_format, b.picture_format);
  EXPECT_EQ(a.show_header_text, b.show_header_text);
  EXPECT_EQ(a.header_text_color, b.header_text_color);
  EXPECT_EQ(a.accent_color, b.accent_color);
  EXPECT_EQ(a.show_setup_options, b.show_setup_options);
  EXPECT_EQ(a.open_display_properties, b.open_display_properties);
  EXPECT_EQ(a.create_start_menu_entry, b.create_start_menu_entry);
  EXPECT_EQ(a.create_desktop_icon, b.create_desktop_icon);
  EXPECT_EQ(a.detect_existing, b.detect_existing);
  EXPECT_EQ(a.show_info_page, b.show_info_page);
  EXPECT_EQ(a.screensaver_block_length, b.screensaver_block_length);
  EXPECT_EQ(a.info_text, b.info_text);
}

TEST(SetupRecord, RoundTripsWithoutTheReservedExtension) {
  SetupRecord r = testing::SampleRecord();
  r.reserved_low = kNoExtension;
  r.reserved_high = 7;
  StatusOr<SetupRecord> back = ParseSetupRecord(EncodeSetupRecord(r));
  ASSERT_TRUE(back);
  EXPECT_FALSE(back->HasExtension());
  ExpectSameRecord(*back, r);
}

TEST(SetupRecord, SkipsTheReservedExtensionWhenNeitherHalfIsAllOnes) {
  SetupRecord r = testing::SampleRecord();
  r.reserved_low = 1;
  r.reserved_high = 2;
  r.extension.texts = {"one", "two", "", "four"};
  r.extension.c = 0xFFFF;
  const std::vector<uint8_t> bytes = EncodeSetupRecord(r);
  StatusOr<SetupRecord> back = ParseSetupRecord(bytes);
  ASSERT_TRUE(back);
  EXPECT_TRUE(back->HasExtension());
  EXPECT_EQ(back->extension.texts[3], "four");
  ExpectSameRecord(*back, r);
  // The same bytes read as if the pair said "no extension" misplace field 4.
  EXPECT_GT(bytes.size(), EncodeSetupRecord(testing::SampleRecord()).size());
}

TEST(SetupRecord, TextsEndAtTheirFirstZeroOrTheirStoredLength) {
  SetupRecord r = testing::SampleRecord();
  r.title = std::string("Star\0field", 10);
  r.company = "";
  std::vector<uint8_t> bytes = EncodeSetupRecord(r);
  StatusOr<SetupRecord> back = ParseSetupRecord(bytes);
  ASSERT_TRUE(back);
  EXPECT_EQ(back->title, "Star");
  EXPECT_EQ(back->company, "");

  // A title stored without its zero: length 4, "Nova".
  std::vector<uint8_t> raw = {0, 0, 0, 0, 4, 0, 0, 0, 'N', 'o', 'v', 'a'};
  const std::vector<uint8_t> rest = EncodeSetupRecord(testing::SampleRecord());
  const size_t title_end = 4 + 4 + testing::SampleRecord().title.size() + 1;
  raw.insert(raw.end(), rest.begin() + static_cast<long>(title_end), rest.end());
  back = ParseSetupRecord(raw);
  ASSERT_TRUE(back);
  EXPECT_EQ(back->title, "Nova");
  EXPECT_EQ(back->company, "Lumiset Samples");
}

TEST(SetupRecord, EveryCutShortRecordIsRefused) {
  const std::vector<uint8_t> bytes = EncodeSetupRecord(testing::SampleRecord());
  for (size_t len = 0; len < bytes.size(); ++len) {
    EXPECT_FALSE(ParseSetupRecord(std::span(bytes).first(len))) << "length " << len;
  }
}

TEST(SetupRecord, AStringLengthPastTheEndIsRefused) {
  std::vector<uint8_t> bytes = EncodeSetupRecord(testing::SampleRecord());
  bytes[4] = 0xFF;
  bytes[5] = 0xFF;
  bytes[6] = 0xFF;
  bytes[7] = 0xFF;
  EXPECT_FALSE(ParseSetupRecord(bytes));
}

TEST(SetupRecord, ExtrasRoundTripAfterTheLastField) {
  SetupRecord r = testing::SampleRecord();
  const std::vector<uint8_t> plain = EncodeSetupRecord(r);
  r.version = "2.1.0";
  r.about_url = "https://example.com/starfield";
  const std::vector<uint8_t> bytes = EncodeSetupRecord(r);
  // Every field sits where a reader without extras looks for it.
  ASSERT_GT(bytes.size(), plain.size());
  EXPECT_TRUE(std::equal(plain.begin() + 4, plain.end(), bytes.begin() + 4));
  StatusOr<SetupRecord> back = ParseSetupRecord(bytes);
  ASSERT_TRUE(back);
  ExpectSameRecord(*back, r);
  EXPECT_EQ(back->version, "2.1.0");
  EXPECT_EQ(back->about_url, "https://example.com/starfield");

  r.about_url.clear();
  back = ParseSetupRecord(EncodeSetupRecord(r));
  ASSERT_TRUE(back);
  EXPECT_EQ(back->version, "2.1.0");
  EXPECT_EQ(back->about_url, "");
}

// Bytes after the last field that are no extras, or extras that do not
// parse, leave the record as it is without them.
TEST(SetupRecord, ExtrasThatDoNotParseAreDropped) {
  const std::vector<uint8_t> plain = EncodeSetupRecord(testing::SampleRecord());
  auto string = [](std::string_view text) {
    std::vector<uint8_t> out = {static_cast<uint8_t>(text.size()), 0, 0, 0};
    out.insert(out.end(), text.begin(), text.end());
    return out;
  };
  auto extras = [&](uint16_t count, std::vector<std::vector<uint8_t>> entries) {
    std::vector<uint8_t> out = {'L', 'S', 'X', 'T', static_cast<uint8_t>(count), 0};
    for (const auto& e : entries) out.insert(out.end(), e.begin(), e.end());
    return out;
  };
  auto tagged = [&](uint8_t tag, std::string_view text) {
    std::vector<uint8_t> out = {tag, 0};
    const std::vector<uint8_t> s = string(text);
    out.insert(out.end(), s.begin(), s.end());
    return out;
  };
  struct Case {
    const char* name;
    std::vector<uint8_t> tail;
    std::string version;  // as parsed
  };
  const Case cases[] = {
      {"another writer's padding", {0, 0, 0, 0, 0, 0, 0, 0}, ""},
      {"the magic alone", {'L', 'S', 'X', 'T'}, ""},
      {"an entry cut short", extras(2, {tagged(1, "1.0"), {2, 0, 9, 0}}), ""},
      {"more entries stated than present", extras(3, {tagged(1, "1.0")}), ""},
      {"an unknown tag is skipped", extras(2, {tagged(9, "future"), tagged(1, "1.0")}), "1.0"},
      {"a version over its limit", extras(1, {tagged(1, std::string(65, '9'))}), ""},
      {"a version at its limit", extras(1, {tagged(1, std::string(64, '9'))}),
       std::string(64, '9')},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<uint8_t> bytes = plain;
    bytes.insert(bytes.end(), c.tail.begin(), c.tail.end());
    StatusOr<SetupRecord> back = ParseSetupRecord(bytes);
    ASSERT_TRUE(back);
    ExpectSameRecord(*back, testing::SampleRecord());
    EXPECT_EQ(back->version, c.version);
  }
}

TEST(SetupRecord, CopyrightLineIsTheTextBeforeTheFirstBar) {
  const std::pair<const char*, const char*> cases[] = {
      {"(c) Me|a|b", "(c) Me"}, {"|starts with a bar", ""}, {"no bar", "no bar"}, {"", ""}};
  for (auto [stored, line] : cases) EXPECT_EQ(CopyrightLineOf(stored), line) << stored;
}

TEST(AccentHue, PrimaryColoursAndGreys) {
  const std::pair<uint32_t, double> cases[] = {
      {0x0000FF, 0.0},       {0x00FF00, 1.0 / 3},  {0xFF0000, 2.0 / 3}, {0xFF00FF, 5.0 / 6},
      {0x00FFFF, 1.0 / 6},   {0xFFFF00, 0.5},      {0x000000, 0.0},     {0xFFFFFF, 0.0},
      {0x808080, 0.0},       {0xFF0000FF, 0.0},
  };
  for (auto [color, hue] : cases) {
    EXPECT_NEAR(AccentHue(color), hue, 1e-12) << std::hex << color;
  }
  // Orange-ish 0x00 40 80 FF: red 255, green 128, blue 64.
  EXPECT_NEAR(AccentHue(0x004080FF), (1 - (255 - 128) / 191.0) / 6, 1e-12);
  for (uint32_t c = 0; c < 0x1000000; c += 0x010305) {
    const double h = AccentHue(c);
    EXPECT_TRUE(h >= 0 && h < 1) << std::hex << c;
  }
}

TEST(Language, StoredValueWinsOtherwiseThePrimaryLanguageDecides) {
  struct Case {
    uint16_t stored;
    uint16_t lang_id;
    int32_t expected;
  };
  const Case cases[] = {
      {5, 0x0419, kItalian},  {9, 0x0407, 9},          {0, 0x0807, kGerman},
      {0, 0x0416, kPortuguese}, {0, 0x0411, kEnglish}, {0, 0x040C, kFrench},
      {0, 0x0C0A, kSpanish},  {0, 0x0410, kItalian},   {0, 0x0813, kDutch},
      {0, 0x0419, kRussian},  {0, 0x0409, kEnglish},   {0, 0x0000, kEnglish},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ChooseLanguage(c.stored, c.lang_id), c.expected) << c.stored << " " << c.lang_id;
  }
}

TEST(Language, LocalizedIdOffsetsByLanguage) {
  const std::tuple<int, int32_t, int> cases[] = {
      {10001, 1, 10001}, {10001, 2, 10101}, {8002, 8, 8702}, {10009, 3, 10209},
      {10001, 0, 10001}, {10001, 9, 10001}, {10001, -1, 10001}};
  for (auto [base, language, id] : cases) EXPECT_EQ(LocalizedId(base, language), id);
}

}  // namespace
}  // namespace lumiset
