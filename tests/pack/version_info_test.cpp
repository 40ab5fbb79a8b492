#include "version_info.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace lumipack {
namespace {

TEST(VersionInfoTest, ParsesVersionNumbers) {
  struct Case {
    const char* text;
    std::array<uint16_t, 4> numbers;
    const char* taken;
  };
  const Case cases[] = {
      {"1.2.3", {1, 2, 3, 0}, "1.2.3"},
      {"1.2.3.4", {1, 2, 3, 4}, "1.2.3.4"},
      {"10", {10, 0, 0, 0}, "10"},
      {"2.3.42-beta", {2, 3, 42, 0}, "2.3.42"},
      {"v2.1", {2, 1, 0, 0}, "v2.1"},
      {"V3", {3, 0, 0, 0}, "V3"},
      {"2.0-beta.7", {2, 0, 0, 0}, "2.0"},
      {"1.x.3", {1, 0, 0, 0}, "1"},
      {"2.1.", {2, 1, 0, 0}, "2.1"},
      {"65535.0.65535", {65535, 0, 65535, 0}, "65535.0.65535"},
      {"", {0, 0, 0, 0}, ""},
      {"beta", {0, 0, 0, 0}, ""},
      {"..7", {0, 0, 0, 0}, ""},
      {"+1.-2", {0, 0, 0, 0}, ""},
  };
  for (const auto& c : cases) {
    const Result<VersionNumbers> v = ParseVersionNumbers(c.text);
    ASSERT_TRUE(v) << c.text << ": " << v.message();
    EXPECT_EQ(v->numbers, c.numbers) << c.text;
    EXPECT_EQ(v->taken, c.taken) << c.text;
  }
  EXPECT_EQ(ParseVersionNumbers("2.3.42-beta")->Text(), "2.3.42.0");
  const struct {
    const char* text;
    const char* message;
  } refused[] = {
      {"70000.1", "70000 is above 65535"},
      {"1.2.99999999999999999999", "99999999999999999999 is above 65535"},
      {"1.2.3.4.5", "has more than four numbers"},
  };
  for (const auto& r : refused) {
    const Result<VersionNumbers> v = ParseVersionNumbers(r.text);
    ASSERT_FALSE(v) << r.text;
    EXPECT_NE(v.message().find(r.message), std::string::npos) << v.message();
  }
}

// A reader of the version tree written apart from the builder, as Windows
// walks it: every node's length must stay inside its parent, keys are
// zero-terminated UTF-16, values and children start on 4-byte boundaries.
struct Node {
  std::u16string key;
  uint16_t type = 0;
  std::vector<uint8_t> value;
  std::vector<Node> children;
};

uint16_t At16(std::span<const uint8_t> b, size_t at) {
  return static_cast<uint16_t>(b[at] | b[at + 1] << 8);
}

std::optional<Node> ReadNode(std::span<const uint8_t> bytes, bool text_values) {
  if (bytes.size() < 6) return std::nullopt;
  const size_t length = At16(bytes, 0);
  if (length < 6 || length > bytes.size()) return std::nullopt;
  Node node;
  const size_t value_length = At16(bytes, 2);
  node.type = At16(bytes, 4);
  size_t at = 6;
  for (;; at += 2) {
    if (at + 2 > length) return std::nullopt;
    const char16_t c = At16(bytes, at);
    if (c == 0) break;
    node.key += c;
  }
  at = (at + 2 + 3) & ~size_t{3};
  const size_t value_bytes = text_values && node.type == 1 ? value_length * 2 : value_length;
  if (at + value_bytes > length) return std::nullopt;
  node.value.assign(bytes.begin() + static_cast<ptrdiff_t>(at),
                    bytes.begin() + static_cast<ptrdiff_t>(at + value_bytes));
  at = (at + value_bytes + 3) & ~size_t{3};
  while (at < length) {
    auto child = ReadNode(bytes.subspan(at, length - at), true);
    if (!child) return std::nullopt;
    node.children.push_back(*child);
    at = (at + At16(bytes, at) + 3) & ~size_t{3};
  }
  return node;
}

std::string Narrow(const std::vector<uint8_t>& utf16) {
  std::string out;
  for (size_t i = 0; i + 1 < utf16.size(); i += 2) {
    const char16_t c = At16(utf16, i);
    if (c == 0) break;
    out += static_cast<char>(c < 0x80 ? c : '?');
  }
  return out;
}

std::u16string Wide(const char* s) { return std::u16string(s, s + std::char_traits<char>::length(s)); }

TEST(VersionInfoTest, BuildsATreeWindowsCanWalk) {
  VersionInfo info;
  info.product_name = "Starfield";
  info.product_version = "1.2.3";
  info.file_version = "4.5.6.7";
  info.company = "Night Sky Works";
  info.description = "Starfield Setup";
  info.copyright = "(c) 2026";
  info.original_filename = "StarfieldSetup.exe";
  info.langid = 0x0407;
  const auto bytes = BuildVersionResource(info);
  ASSERT_TRUE(bytes.ok()) << bytes.message();
  ASSERT_EQ(At16(*bytes, 0), bytes->size());

  const auto root = ReadNode(*bytes, false);
  ASSERT_TRUE(root);
  EXPECT_EQ(root->key, u"VS_VERSION_INFO");
  ASSERT_EQ(root->value.size(), 52u);
  auto fixed = [&](size_t i) {
    return uint32_t{At16(root->value, i * 4)} | uint32_t{At16(root->value, i * 4 + 2)} << 16;
  };
  EXPECT_EQ(fixed(0), 0xFEEF04BDu);
  EXPECT_EQ(fixed(2), 0x00040005u);  // file 4.5
  EXPECT_EQ(fixed(3), 0x00060007u);  //      6.7
  EXPECT_EQ(fixed(4), 0x00010002u);  // product 1.2
  EXPECT_EQ(fixed(5), 0x00030000u);  //         3.0

  ASSERT_EQ(root->children.size(), 2u);
  const Node& string_info = root->children[0];
  EXPECT_EQ(string_info.key, u"StringFileInfo");
  ASSERT_EQ(string_info.children.size(), 1u);
  EXPECT_EQ(string_info.children[0].key, u"040704B0");
  std::map<std::string, std::string> strings;
  for (const Node& s : string_info.children[0].children) {
    strings[std::string(s.key.begin(), s.key.end())] = Narrow(s.value);
  }
  const std::map<std::string, std::string> expected = {
      {"CompanyName", "Night Sky Works"},     {"FileDescription", "Starfield Setup"},
      {"FileVersion", "4.5.6.7"},             {"InternalName", "StarfieldSetup.exe"},
      {"LegalCopyright", "(c) 2026"},         {"OriginalFilename", "StarfieldSetup.exe"},
      {"ProductName", "Starfield"},           {"ProductVersion", "1.2.3"},
  };
  EXPECT_EQ(strings, expected);

  const Node& var_info = root->children[1];
  EXPECT_EQ(var_info.key, u"VarFileInfo");
  ASSERT_EQ(var_info.children.size(), 1u);
  EXPECT_EQ(var_info.children[0].key, Wide("Translation"));
  EXPECT_EQ(var_info.children[0].value, (std::vector<uint8_t>{0x07, 0x04, 0xB0, 0x04}));
}

TEST(VersionInfoTest, LeavesOutEmptyTextsAndKeepsNonAscii) {
  VersionInfo info;
  info.product_name = "\xC3\x89toiles \xF0\x9F\x8C\x9F";  // "Étoiles" and a star outside the BMP
  const auto bytes = BuildVersionResource(info);
  ASSERT_TRUE(bytes.ok());
  const auto root = ReadNode(*bytes, false);
  ASSERT_TRUE(root);
  const auto& table = root->children.at(0).children.at(0);
  EXPECT_EQ(table.key, u"000004B0");
  ASSERT_EQ(table.children.size(), 1u);
  EXPECT_EQ(table.children[0].key, u"ProductName");
  const std::vector<uint8_t> expected = {0xC9, 0, 't', 0, 'o', 0, 'i', 0, 'l', 0, 'e', 0, 's', 0,
                                         ' ', 0, 0x3C, 0xD8, 0x1F, 0xDF, 0, 0};
  EXPECT_EQ(table.children[0].value, expected);
}

TEST(VersionInfoTest, RefusesTextsItCannotWrite) {
  VersionInfo bad_utf8;
  bad_utf8.company = "\xFF";
  const auto a = BuildVersionResource(bad_utf8);
  ASSERT_FALSE(a.ok());
  EXPECT_NE(a.message().find("CompanyName is not UTF-8"), std::string::npos);
  VersionInfo too_long;
  too_long.copyright = std::string(kMaxVersionText + 1, 'c');
  const auto b = BuildVersionResource(too_long);
  ASSERT_FALSE(b.ok());
  EXPECT_NE(b.message().find("LegalCopyright is longer"), std::string::npos);
  too_long.copyright.pop_back();
  EXPECT_TRUE(BuildVersionResource(too_long).ok());
}

TEST(VersionInfoTest, ReadsBackTheTextsItWrites) {
  VersionInfo info;
  info.product_name = "\xC3\x89toiles \xF0\x9F\x8C\x9F";
  info.company = "Night Works";
  info.description = "";
  info.file_version = "2.5";
  const auto bytes = BuildVersionResource(info);
  ASSERT_TRUE(bytes.ok());
  const auto strings = ReadVersionStrings(*bytes);
  ASSERT_TRUE(strings);
  EXPECT_EQ(strings->at("ProductName"), info.product_name);
  EXPECT_EQ(strings->at("CompanyName"), "Night Works");
  EXPECT_EQ(strings->at("FileVersion"), "2.5");
  EXPECT_EQ(strings->count("FileDescription"), 0u);  // empty texts are left out

  // Every cut of the resource, and a root length past the bytes, is refused
  // or read within bounds (ASan watches the reads).
  for (size_t n = 0; n < bytes->size(); ++n) {
    (void)ReadVersionStrings(std::span<const uint8_t>(bytes->data(), n));
  }
  std::vector<uint8_t> wrong_key = *bytes;
  wrong_key[6] = 'W';
  EXPECT_FALSE(ReadVersionStrings(wrong_key));
  EXPECT_FALSE(ReadVersionStrings({}));
}

}  // namespace
}  // namespace lumipack
