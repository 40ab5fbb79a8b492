#include "language_blocks.h"

#include <gtest/gtest.h>

namespace lumipack {
namespace {

TEST(DirectiveOf, ReadsLinesAsTheInstallerDoes) {
  const std::pair<const char*, std::optional<int32_t>> cases[] = {
      {"#ifenglish", 1},
      {"#ifdefrussian", 8},
      {"# IF  Def German ", 3},
      {"#IfDutch", 6},
      {"#endif", 0},
      {"#End If", 0},
      {"#ifklingon", std::nullopt},
      {" #ifgerman", std::nullopt},
      {"#if\tgerman", std::nullopt},
      {"#1 in the charts", std::nullopt},
      {"", std::nullopt},
      {"plain text", std::nullopt},
      {"#iffrançais", std::nullopt},
  };
  for (const auto& [line, expected] : cases) EXPECT_EQ(DirectiveOf(line), expected) << line;
}

TEST(SplitByLanguage, LinesKnowTheirBlock) {
  const std::string text = "a\r\n#ifgerman\rb\nc\r\n#iffrench\r\nd\r\n#endif\r\ne";
  const std::vector<TextLine> lines = SplitByLanguage(text);
  const std::vector<std::tuple<std::string, int32_t, size_t>> expected = {
      {"a\r\n", 0, 1},         {"#ifgerman\r", 0, 2}, {"b\n", 3, 3},        {"c\r\n", 3, 4},
      {"#iffrench\r\n", 0, 5}, {"d\r\n", 2, 6},       {"#endif\r\n", 0, 7}, {"e", 0, 8},
  };
  ASSERT_EQ(lines.size(), expected.size());
  std::string joined;
  for (size_t i = 0; i < lines.size(); ++i) {
    EXPECT_EQ(std::string(lines[i].text), std::get<0>(expected[i])) << i;
    EXPECT_EQ(lines[i].language, std::get<1>(expected[i])) << i;
    EXPECT_EQ(lines[i].number, std::get<2>(expected[i])) << i;
    joined += lines[i].text;
  }
  EXPECT_EQ(joined, text);
  EXPECT_EQ(SplitByLanguage("").size(), 1u);
}

}  // namespace
}  // namespace lumipack
