#include "names.h"

#include <gtest/gtest.h>

namespace lumipack {
namespace {

TEST(NameProblem, AcceptsOrdinaryNames) {
  for (const char* name : {"Starfield", "Star Field 2", "Étoiles", "Звёзды", "a.b", "CONSOLE",
                           "com10", "LPT", " leading space", "x"}) {
    EXPECT_EQ(NameProblem(name), std::nullopt) << name;
  }
  EXPECT_EQ(NameProblem(std::string(kMaxNameChars, 'a')), std::nullopt);
  std::string cyrillic;
  for (size_t i = 0; i < kMaxNameChars; ++i) cyrillic += "я";
  EXPECT_EQ(NameProblem(cyrillic), std::nullopt) << "characters count, not bytes";
}

TEST(NameProblem, RefusesWithTheReason) {
  struct Case {
    std::string name;
    const char* reason;
  };
  const Case cases[] = {
      {"", "empty"},
      {std::string(kMaxNameChars + 1, 'a'), "201 characters"},
      {"Star/Field", "'/'"},
      {"Star\\Field", "'\\'"},
      {"C:", "':'"},
      {"Star*", "'*'"},
      {"Star?", "'?'"},
      {"\"Star\"", "'\"'"},
      {"<Star>", "'<'"},
      {"Star|Field", "'|'"},
      {"Star\tField", "control character U+0009"},
      {"Star\x7F", "control character U+007F"},
      {"Star\xC2\x85", "control character U+0085"},
      {"Star.", "ends with a dot"},
      {"Star ", "ends with a space"},
      {"CON", "reserves"},
      {"nul.scr", "reserves"},
      {"Com1", "reserves"},
      {"lpt9.txt", "reserves"},
      {"com0", "reserves"},
      {"Star\xFF", "not valid UTF-8"},
  };
  for (const Case& c : cases) {
    const std::optional<std::string> problem = NameProblem(c.name);
    ASSERT_TRUE(problem) << c.name;
    EXPECT_NE(problem->find(c.reason), std::string::npos) << c.name << ": " << *problem;
  }
}

TEST(CopyrightLineProblem, OneLineWithoutBar) {
  EXPECT_EQ(CopyrightLineProblem(""), std::nullopt);
  EXPECT_EQ(CopyrightLineProblem("© 2026 Lumiset: all rights / reserved"), std::nullopt);
  EXPECT_TRUE(CopyrightLineProblem("a|b"));
  EXPECT_TRUE(CopyrightLineProblem("a\nb"));
}

}  // namespace
}  // namespace lumipack
