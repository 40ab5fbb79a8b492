#include "ansi_text.h"

#include <gtest/gtest.h>

#include "code_page.h"
#include "language.h"

namespace lumipack {
namespace {

using namespace std::string_literals;

constexpr uint16_t kEnglish = 1;
constexpr uint16_t kGerman = 3;
constexpr uint16_t kRussian = 8;

TextInput Value(std::string utf8, std::string origin = "m.toml:2: title") {
  return {std::move(utf8), std::move(origin), false, {}};
}
TextInput File(std::string utf8, std::string origin = "licence.txt") {
  return {std::move(utf8), std::move(origin), true, {}};
}

TEST(ConvertToAnsi, PicksTheCodePageAndConverts) {
  struct Case {
    const char* name;
    uint16_t language;
    std::vector<TextInput> texts;
    CodePage code_page;
    std::vector<std::string> bytes;
  };
  const Case cases[] = {
      {"German in Windows-1252",
       kGerman,
       {Value("Grüße"), File("Straße\n")},
       CodePage::kWindows1252,
       {"Gr\xFC\xDF"
        "e",
        "Stra\xDF"
        "e\r\n"}},
      {"Russian in Windows-1251",
       kRussian,
       {Value("Звёзды")},
       CodePage::kWindows1251,
       {"\xC7\xE2\xB8\xE7\xE4\xFB"}},
      {"Russian fixed, Latin text only",
       kRussian,
       {Value("Stars")},
       CodePage::kWindows1251,
       {"Stars"}},
      {"automatic without Cyrillic",
       kAutoLanguage,
       {Value("Café"), File("€5")},
       CodePage::kWindows1252,
       {"Caf\xE9",
        "\x80"
        "5"}},
      {"automatic with Cyrillic outside blocks moves every text",
       kAutoLanguage,
       {Value("Stars"), File("Звёзды")},
       CodePage::kWindows1251,
       {"Stars", "\xC7\xE2\xB8\xE7\xE4\xFB"}},
      {"each block in its language's code page",
       kGerman,
       {File("Stars\n#ifrussian\nЗвёзды\n#endif\n#iffrench\nÉtoiles\n#endif\nGrüße")},
       CodePage::kWindows1252,
       {"Stars\r\n#ifrussian\r\n\xC7\xE2\xB8\xE7\xE4\xFB\r\n#endif\r\n#iffrench\r\n"
        "\xC9toiles\r\n#endif\r\nGr\xFC\xDF"
        "e"}},
      {"Russian block leaves automatic texts in Windows-1252",
       kAutoLanguage,
       {Value("Café"), File("# IF Russian\nЗвёзды\n#EndIf\nStars")},
       CodePage::kWindows1252,
       {"Caf\xE9", "# IF Russian\r\n\xC7\xE2\xB8\xE7\xE4\xFB\r\n#EndIf\r\nStars"}},
      {"file line ends become CR LF",
       kEnglish,
       {File("a\nb\r\nc\rd\r")},
       CodePage::kWindows1252,
       {"a\r\nb\r\nc\r\nd\r\n"}},
      {"CR CR LF is two line ends",
       kEnglish,
       {File("a\r\r\nb")},
       CodePage::kWindows1252,
       {"a\r\n\r\nb"}},
      {"byte-order mark dropped from files only",
       kEnglish,
       {File("\xEF\xBB\xBFhi")},
       CodePage::kWindows1252,
       {"hi"}},
      {"value line ends kept as given",
       kEnglish,
       {Value("a\nb")},
       CodePage::kWindows1252,
       {"a\nb"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Result<AnsiTexts> out = ConvertToAnsi(c.texts, c.language);
    ASSERT_TRUE(out) << out.message();
    EXPECT_EQ(out->code_page, c.code_page);
    EXPECT_EQ(out->texts, c.bytes);
  }
}

TEST(ConvertToAnsi, NamesTheCharacterAndItsPlace) {
  struct Case {
    const char* name;
    uint16_t language;
    std::vector<TextInput> texts;
    std::string message;
  };
  const Case cases[] = {
      {"Cyrillic in a German file",
       kGerman,
       {File("Hallo\nWelt я\n")},
       "licence.txt:2:6: U+044F 'я' is not in Windows-1252, the code page of the installer's "
       "language"},
      {"Chinese in a value",
       kEnglish,
       {Value("Star 中")},
       "m.toml:2: title: U+4E2D '中' is not in Windows-1252"},
      {"Latin accent once automatic texts hold Cyrillic",
       kAutoLanguage,
       {File("Привет\n"), Value("Café", "--company")},
       "--company: U+00E9 'é' is not in Windows-1251, chosen for automatic language because the "
       "texts outside language blocks hold Cyrillic (the first at licence.txt:1:1)"},
      {"Cyrillic in a German block",
       kAutoLanguage,
       {File("a\n#ifgerman\nb я\n#endif")},
       "licence.txt:3:3: U+044F 'я' is not in Windows-1252, the code page of #ifgerman blocks"},
      {"Latin accent in a Russian block",
       kGerman,
       {File("#ifrussian\nCafé\n#endif")},
       "licence.txt:2:4: U+00E9 'é' is not in Windows-1251, the code page of #ifrussian blocks"},
      {"not UTF-8", kEnglish, {File("ok\nbad \xE9t\xE9")}, "licence.txt:2:5: not valid UTF-8"},
      {"zero character", kEnglish, {File("a\nb\0c"s)}, "licence.txt:2:2: U+0000 cannot be stored"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Result<AnsiTexts> out = ConvertToAnsi(c.texts, c.language);
    ASSERT_FALSE(out);
    EXPECT_NE(out.message().find(c.message), std::string::npos) << out.message();
  }
}

TEST(ReadingCodePage, AutomaticGuessConvertsBackToTheSameBytes) {
  struct Case {
    const char* name;
    std::vector<std::string> values;
    std::string file;  // stored with language blocks
    CodePage guess;
  };
  const Case cases[] = {
      {"Russian prose",
       {"Stars", "\xC7\xE2\xB8\xE7\xE4\xFB \xED\xE0 \xED\xE5\xE1\xE5"},
       "",
       CodePage::kWindows1251},
      {"French prose", {"Le caf\xE9 est tr\xE8s bon, merci beaucoup"}, "", CodePage::kWindows1252},
      {"English only", {"Stars", "Licence"}, "", CodePage::kWindows1252},
      {"punctuation bytes only", {"\x93quoted\x94 \x96 \x85"}, "", CodePage::kWindows1252},
      {"undefined bytes", {"\x81\x8D\x98"}, "", CodePage::kWindows1252},
      {"Russian words among more English",
       {"Starfield", "Lumiset Samples"},
       "Stars for everyone\r\n\xC7\xE2\xB8\xE7\xE4\xFB \xE4\xEB\xFF \xE2\xF1\xE5\xF5",
       CodePage::kWindows1251},
      {"German letters side by side",
       {"Gr\xFC\xDF"
        "e f\xFCr Stra\xDF"
        "en"},
       "",
       CodePage::kWindows1252},
      {"blocks in both code pages do not sway the guess",
       {"Starfield"},
       "Stars\r\n#ifrussian\r\n\xC7\xE2\xB8\xE7\xE4\xFB\r\n#endif\r\n#iffrench\r\n"
       "\xC9toiles \xE9l\xE8ves\r\n#endif\r\n",
       CodePage::kWindows1252},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<StoredText> stored;
    for (const std::string& v : c.values) stored.push_back({v, false});
    stored.push_back({c.file, true});
    const CodePage guess = ReadingCodePage(stored, kAutoLanguage);
    EXPECT_EQ(guess, c.guess);
    std::vector<TextInput> texts;
    for (const std::string& v : c.values)
      texts.push_back(Value(DecodeStoredText({v, false}, guess)));
    texts.push_back(File(DecodeStoredText({c.file, true}, guess)));
    Result<AnsiTexts> back = ConvertToAnsi(texts, kAutoLanguage);
    ASSERT_TRUE(back) << back.message();
    std::vector<std::string> expected = c.values;
    expected.push_back(c.file);
    EXPECT_EQ(back->texts, expected);
  }
}

TEST(ReadingCodePage, FixedLanguagesUseTheirOwn) {
  const std::vector<StoredText> russian_looking = {{"\xC7\xE2\xB8\xE7\xE4\xFB", false}};
  EXPECT_EQ(ReadingCodePage(russian_looking, kGerman), CodePage::kWindows1252);
  EXPECT_EQ(ReadingCodePage({}, kRussian), CodePage::kWindows1251);
}

TEST(DecodeStoredText, ReadsEachBlockInItsCodePage) {
  const std::string stored = "\xC9\r\n#ifrussian\r\n\xC9\r\n#ifgerman\r\n\xC9\r\n#endif\r\n\xC9";
  EXPECT_EQ(DecodeStoredText({stored, true}, CodePage::kWindows1252),
            "É\r\n#ifrussian\r\nЙ\r\n#ifgerman\r\nÉ\r\n#endif\r\nÉ");
  EXPECT_EQ(DecodeStoredText({stored, false}, CodePage::kWindows1251),
            "Й\r\n#ifrussian\r\nЙ\r\n#ifgerman\r\nЙ\r\n#endif\r\nЙ");
}

}  // namespace
}  // namespace lumipack
