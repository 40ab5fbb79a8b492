#include "code_page.h"

#include <gtest/gtest.h>

namespace lumipack {
namespace {

constexpr CodePage kBoth[] = {CodePage::kWindows1252, CodePage::kWindows1251};

TEST(CodePage, EveryByteDecodesAndEncodesBackToItself) {
  for (CodePage cp : kBoth) {
    for (int b = 1; b < 256; ++b) {
      const char32_t c = DecodeAnsiByte(static_cast<uint8_t>(b), cp);
      EXPECT_EQ(EncodeAnsiChar(c, cp), std::optional<uint8_t>(static_cast<uint8_t>(b)))
          << CodePageName(cp) << " byte " << b;
    }
  }
}

TEST(CodePage, KnownCharacters) {
  struct Case {
    char32_t c;
    CodePage cp;
    std::optional<uint8_t> byte;
  };
  const Case cases[] = {
      {U'A', CodePage::kWindows1251, 'A'},
      {U'\u20AC', CodePage::kWindows1252, 0x80},  // euro sign
      {U'\u20AC', CodePage::kWindows1251, 0x88},
      {U'\u2122', CodePage::kWindows1252, 0x99},  // trade mark
      {U'\u0178', CodePage::kWindows1252, 0x9F},  // Y with diaeresis
      {U'\u00E9', CodePage::kWindows1252, 0xE9},
      {U'\u00FC', CodePage::kWindows1252, 0xFC},
      {U'\u00DF', CodePage::kWindows1252, 0xDF},
      {U'\u0410', CodePage::kWindows1251, 0xC0},  // Cyrillic A
      {U'\u044F', CodePage::kWindows1251, 0xFF},  // ya
      {U'\u0401', CodePage::kWindows1251, 0xA8},  // Io
      {U'\u0451', CodePage::kWindows1251, 0xB8},  // io
      {U'\u2116', CodePage::kWindows1251, 0xB9},  // numero sign
      {U'\u0081', CodePage::kWindows1252, 0x81},  // undefined byte, kept as its C1 control
      {U'\u0098', CodePage::kWindows1251, 0x98},
      {U'\u00E9', CodePage::kWindows1251, std::nullopt},
      {U'\u044F', CodePage::kWindows1252, std::nullopt},
      {U'\u2116', CodePage::kWindows1252, std::nullopt},
      {U'\u4E2D', CodePage::kWindows1252, std::nullopt},
      {U'\U0001F600', CodePage::kWindows1251, std::nullopt},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(EncodeAnsiChar(c.c, c.cp), c.byte)
        << "U+" << std::hex << static_cast<uint32_t>(c.c) << " in " << CodePageName(c.cp);
  }
}

TEST(CodePage, DecodesToUtf8) {
  EXPECT_EQ(DecodeAnsi("Gr\xFC\xDF"
                       "e \x80",
                       CodePage::kWindows1252),
            "Grüße €");
  EXPECT_EQ(DecodeAnsi("\xCF\xF0\xE8\xE2\xE5\xF2 \xB9", CodePage::kWindows1251), "Привет №");
}

}  // namespace
}  // namespace lumipack
