#include "text_checks.h"

#include <gtest/gtest.h>

namespace lumipack {
namespace {

TEST(TextWarnings, QuietForWhatTheInstallerUnderstands) {
  EXPECT_TRUE(TextWarnings("Welcome to {ScreenSaverTitle} by {CompanyName}.\n"
                           "#ifgerman\nInstalliert nach {DestFolder}.\n#EndIf\n"
                           "#ifdef russian\n{InstalledScrFileName} {ScrName}\n"
                           "#IFDEFFRENCH\nÀ vous.\n#endif\n"
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
      {"misspelt endif", "#ifgerman\nx\n#endiff\n#endif", "info.txt:3:1: '#endiff'"},
      {"unknown placeholder", "Hello {UserName}!", "info.txt:1:7: {UserName} is not a placeholder"},
      {"placeholder letter case", "{companyname}", "{companyname} is not a placeholder"},
      {"columns count characters", "ÄÖÜ {X}", "info.txt:1:5: {X}"},
      {"brace closed on a later line", "a {b\nc} d", "info.txt:1:3: '{' is not closed on its line"},
      {"brace never closed", "x\ny {ScrName", "info.txt:2:3: '{' is never closed"},
      {"directive with a space", "a\n#if german\nb\n#endif",
       "info.txt:2:1: '#if german' is read as #ifgerman"},
      {"endif with spaces", "#iffrench\nb\n# End If", "info.txt:3:1: '# End If' is read as #endif"},
      {"block never closed", "a\n#ifgerman\nb\nc",
       "info.txt:2:1: '#ifgerman' opens a block that no #endif closes; everything after it "
       "shows only in German"},
      {"last of several blocks never closed", "#ifgerman\na\n#iffrench\nb\n",
       "info.txt:3:1: '#iffrench' opens a block that no #endif closes"},
  };
  for (const Case& c : cases) {
    const std::vector<TextWarning> warnings = TextWarnings(c.text, "info.txt");
    ASSERT_EQ(warnings.size(), 1u) << c.name;
    EXPECT_NE(warnings[0].message.find(c.warning), std::string::npos)
        << c.name << ": " << warnings[0].message;
  }
}

}  // namespace
}  // namespace lumipack
