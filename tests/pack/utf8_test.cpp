#include "utf8.h"

#include <gtest/gtest.h>

namespace lumipack {
namespace {

TEST(Utf8, DecodesValidText) {
  EXPECT_EQ(DecodeUtf8("a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80"), std::u32string(U"aé€😀"));
  EXPECT_EQ(DecodeUtf8(""), std::u32string());
  EXPECT_EQ(EncodeUtf8(U"aé€😀"), "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80");
}

TEST(Utf8, RefusesMalformedTextAndSaysWhere) {
  struct Case {
    const char* name;
    std::string text;
    size_t line;
    size_t column;
  };
  const Case cases[] = {
      {"lone continuation byte", "ab\x80", 1, 3},
      {"cut short at the end", "x\xE2\x82", 1, 2},
      {"overlong slash", "\xC0\xAF", 1, 1},
      {"overlong three bytes", "\xE0\x80\xAF", 1, 1},
      {"surrogate", "\xED\xA0\x80", 1, 1},
      {"above U+10FFFF", "\xF4\x90\x80\x80", 1, 1},
      {"Latin-1 byte on a later line", "one\r\ntwo\nth\xE9ree", 3, 3},
      {"after a lone CR", "a\rb\xFF", 2, 2},
      {"columns count characters", "\xC3\xA9\xC3\xA9\xFF", 1, 3},
  };
  for (const Case& c : cases) {
    TextPosition bad;
    EXPECT_FALSE(DecodeUtf8(c.text, &bad)) << c.name;
    EXPECT_EQ(bad.line, c.line) << c.name;
    EXPECT_EQ(bad.column, c.column) << c.name;
  }
}

TEST(Utf8, DescribesCharacters) {
  EXPECT_EQ(DescribeChar(U'я'), "U+044F 'я'");
  EXPECT_EQ(DescribeChar(U'\u0007'), "U+0007");
  EXPECT_EQ(DescribeChar(U'\u0085'), "U+0085");
  EXPECT_EQ(DescribeChar(U'\U0001F600'), "U+1F600 '😀'");
}

}  // namespace
}  // namespace lumipack
