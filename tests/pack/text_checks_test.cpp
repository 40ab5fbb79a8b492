#include "text_checks.h"

#include <gtest/gtest.h>

namespace lumipack {
namespace {

TEST(TextWarnings, QuietForWhatTheInstallerUnderstands) {
  EXPECT_TRUE(TextWarnings("Welcome to {ScreenSaverTitle} by {CompanyName}.\n"
                           "#ifgerman\nInstalliert nach {DestFolder}.\n# End If\n"
                           "#ifdef russian\n{InstalledScrFileName} {ScrName}\n#endif\n"
                           "#1 in the charts\n",
                           "info.txt")
                  .empty());
}

TEST(TextWarnings, PointsAtWhatItWillShowWrongly) {
  struct Case {
    const char* name;
    std::string text;
    std::string warning;
  };
  const Case cases[] = {
      {"unknown language", "a\n#ifklingon\nb", "info.txt:2:1: '#ifklingon' is not a language"},
      {"misspelt endif", "#ifgerman\nx\n#endiff", "info.txt:3:1: '#endiff'"},
      {"unknown placeholder", "Hello {UserName}!", "info.txt:1:7: {UserName} is not a placeholder"},
      {"placeholder letter case", "{companyname}", "{companyname} is not a placeholder"},
      {"columns count characters", "ÄÖÜ {X}", "info.txt:1:5: {X}"},
      {"brace closed on a later line", "a {b\nc} d", "info.txt:1:3: '{' is not closed on its line"},
      {"brace never closed", "x\ny {ScrName", "info.txt:2:3: '{' is never closed"},
  };
  for (const Case& c : cases) {
    const std::vector<std::string> warnings = TextWarnings(c.text, "info.txt");
    ASSERT_EQ(warnings.size(), 1u) << c.name;
    EXPECT_NE(warnings[0].find(c.warning), std::string::npos) << c.name << ": " << warnings[0];
  }
}

}  // namespace
}  // namespace lumipack
