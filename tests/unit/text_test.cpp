#include <gtest/gtest.h>

#include "base/language.h"
#include "package/language_filter.h"
#include "setup/placeholders.h"

namespace lumiset {
namespace {

std::vector<std::string> Lines(std::string_view text) {
  std::vector<std::string> out;
  for (std::string_view l : SplitLines(text)) out.emplace_back(l);
  return out;
}

TEST(SplitLines, EveryKindOfLineEnd) {
  using V = std::vector<std::string>;
  EXPECT_EQ(Lines(""), V{""});
  EXPECT_EQ(Lines("a"), V{"a"});
  EXPECT_EQ(Lines("a\r\nb"), (V{"a", "b"}));
  EXPECT_EQ(Lines("a\nb\rc"), (V{"a", "b", "c"}));
  EXPECT_EQ(Lines("a\r\n"), (V{"a", ""}));
  EXPECT_EQ(Lines("a\n\nb"), (V{"a", "", "b"}));
  EXPECT_EQ(Lines("a\r\rb"), (V{"a", "", "b"}));
  EXPECT_EQ(Lines("a\n\rb"), (V{"a", "", "b"}));
}

std::string Filter(std::string text, int32_t language) {
  FilterLanguageBlocks(text, language);
  return text;
}

TEST(LanguageFilter, KeepsTheChosenLanguageAndCommonLines) {
  const std::string text = "A\r\n#ifgerman\r\nB\r\n#iffrench\r\nC\r\n#endif\r\nD";
  EXPECT_EQ(Filter(text, kGerman), "A\r\nB\r\nD");
  EXPECT_EQ(Filter(text, kFrench), "A\r\nC\r\nD");
  EXPECT_EQ(Filter(text, kEnglish), "A\r\nD");
  EXPECT_EQ(Filter(text, 0), "A\r\nD") << "outside 1..8 only common lines";
  EXPECT_EQ(Filter(text, 9), "A\r\nD");
}

TEST(LanguageFilter, Cases) {
  struct Case {
    const char* name;
    std::string text;
    int32_t language;
    std::string expected;
  };
  const Case cases[] = {
      {"no directives, CR LF end kept", "one\r\ntwo\r\n", 1, "one\r\ntwo\r\n"},
      {"lone LF becomes CR LF", "one\ntwo", 1, "one\r\ntwo"},
      {"unclosed block runs to the end", "a\n#ifdutch\nb\nc", 1, "a\r\n"},
      {"endif with nothing open", "a\n#endif\nb", 1, "a\r\nb"},
      {"directive replaces the open block", "#iffrench\na\n#ifenglish\nb\n#endif", 1, "b\r\n"},
      {"directive on the last line", "a\nb\n#endif", 1, "a\r\nb\r\n"},
      {"case and spaces in directives", "# IF  Def German \nx\n#End If\ny", 3, "x\r\ny"},
      {"ifdef form", "#ifdefrussian\nx\n#endif", 8, "x\r\n"},
      {"number after # is text", "#1 rule\n#ifgerman\n", 1, "#1 rule\r\n"},
      {"tab is not removed", "#if\tgerman\nx", 1, "#if\tgerman\r\nx"},
      {"space before # is text", " #ifgerman\nx", 1, " #ifgerman\r\nx"},
      {"extra words make text", "#ifgerman please\nx", 1, "#ifgerman please\r\nx"},
      {"empty lines kept", "a\n\nb", 1, "a\r\n\r\nb"},
  };
  for (const Case& c : cases) EXPECT_EQ(Filter(c.text, c.language), c.expected) << c.name;
}

TEST(LanguageFilter, VeryLongLinesStayWhole) {
  const std::string long_line(40000, 'x');
  EXPECT_EQ(Filter(long_line + "\n#ifgerman\ny", 1), long_line + "\r\n");
}

class Placeholders : public ::testing::Test {
 protected:
  Placeholders() {
    values_.company = "Acme {DestFolder}";
    values_.title = "Starfield";
    values_.dest_folder = "C:\\windows\\Sysnative";
    values_.installed_scr_path = "C:\\windows\\Sysnative\\starfield.scr";
  }
  std::string Expand(std::string text) {
    ExpandPlaceholders(text, values_);
    return text;
  }
  PlaceholderValues values_;
};

TEST_F(Placeholders, Cases) {
  const std::pair<std::string, std::string> cases[] = {
      {"plain text } stays", "plain text } stays"},
      {"{ScrName}|{ScreenSaverTitle}", "Starfield|Starfield"},
      {"{DestFolder}", "C:\\windows\\Sysnative"},
      {"{InstalledScrFileName}", "C:\\windows\\Sysnative\\starfield.scr"},
      {"{scrname}", "##UNKNOWN##"},
      {"{}", "##UNKNOWN##"},
      {"{{ScrName}}", "##UNKNOWN##}"},
      {"by {CompanyName", "by Acme {DestFolder}"},
      {"{CompanyName}!", "Acme {DestFolder}!"},
      {"trailing {", "trailing ##UNKNOWN##"},
  };
  for (const auto& [in, out] : cases) EXPECT_EQ(Expand(in), out) << in;
}

TEST_F(Placeholders, OverlongNamesAreUnknownAndRunawayExpansionLeavesTheText) {
  EXPECT_EQ(Expand("{" + std::string(300, 'a') + "}"), "##UNKNOWN##");
  values_.title = std::string(1 << 20, 't');
  std::string many;
  for (int i = 0; i < 8; ++i) many += "{ScrName}";
  EXPECT_EQ(Expand(many), many) << "8 MiB result is over the limit";
}

}  // namespace
}  // namespace lumiset
