#include "package/install_names.h"

#include <gtest/gtest.h>

#include <string>

#include "base/text.h"

namespace lumiset {
namespace {

TEST(InstallNames, NamesThatCannotBeOnePathComponentAreRefused) {
  const std::string refused[] = {
      "",         "..",          "a\\b",     "..\\..\\windows", "C:\\evil", "x:hidden",
      "a/b",      "what?",       "a*",       "\"q\"",           "<a>",      "a|b",
      "tab\there", "dot.",       "blank ",   "NUL",             "nul.scr",  "Com1",
      "COM0",     "lpt9.txt",    "AUX .txt", "CONIN$",          "COM\xC2\xB9",
      "\xFF\xFE", "\xC0\xAF",    std::string(201, 'a'),
  };
  for (const std::string& name : refused) {
    EXPECT_TRUE(NameProblem(name).has_value()) << "'" << name << "'";
  }
  const std::string accepted[] = {"Starfield", "%SystemRoot%", "COM10", "LPT", "Console", ".hidden",
                            "Пётр", "日本語", "a b", std::string(200, 'a')};
  for (const std::string& name : accepted) {
    EXPECT_EQ(NameProblem(name), std::nullopt) << "'" << name << "'";
  }
}

TEST(InstallNames, LocalizedNamesPlaceTheTitle) {
  EXPECT_EQ(LocalizedScreensaverName("Starfield", 1), "Starfield Screensaver");
  EXPECT_EQ(LocalizedUninstallName("Starfield", 1), "Uninstall Starfield Screensaver");
  EXPECT_EQ(LocalizedScreensaverName("Starfield", 3), "Starfield Bildschirmschoner");
  EXPECT_EQ(LocalizedUninstallName("Starfield", 8),
            "\xD0\xA3\xD0\xB4\xD0\xB0\xD0\xBB\xD0\xB8\xD1\x82\xD1\x8C \xD1\x8D\xD0\xBA\xD1\x80"
            "\xD0\xB0\xD0\xBD\xD0\xBD\xD1\x83\xD1\x8E \xD0\xB7\xD0\xB0\xD1\x81\xD1\x82\xD0\xB0"
            "\xD0\xB2\xD0\xBA\xD1\x83 Starfield");
  EXPECT_EQ(LocalizedCaption(4), "Instalaci\xC3\xB3n");
  // An unknown language reads as English.
  EXPECT_EQ(LocalizedScreensaverName("S", 0), "S Screensaver");
  EXPECT_EQ(LocalizedCaption(99), "Installation");
}

TEST(InstallNames, Utf16LengthCountsSurrogatePairsTwice) {
  EXPECT_EQ(Utf16Length("abc"), 3u);
  EXPECT_EQ(Utf16Length("\xD0\x9F\xD1\x91"), 2u);  // Пё
  EXPECT_EQ(Utf16Length("\xE2\x9C\xA8"), 1u);      // ✨
  EXPECT_EQ(Utf16Length("\xF0\x9F\x8C\x8C"), 2u);  // 🌌
}

TEST(InstallNames, TheLongestPathDecidesAndNamesItself) {
  const std::string company = "Northlight Pixel Works";
  // The uninstaller's Start-menu link is the longest: 103 for the folder,
  // then \company\<t> Screensaver\Uninstall <t> Screensaver.lnk.
  const size_t fixed = kAssumedProgramsChars + 1 + company.size() + 1 + 12 + 1 + 22 + 4;
  const size_t longest_title = (kMaxInstallPathChars - fixed) / 2;
  EXPECT_EQ(InstallPathsProblem(company, std::string(longest_title, 't'), "s", 1), std::nullopt);
  const std::optional<std::string> problem =
      InstallPathsProblem(company, std::string(longest_title + 1, 't'), "s", 1);
  ASSERT_TRUE(problem);
  EXPECT_NE(problem->find("the uninstaller's Start-menu link"), std::string::npos) << *problem;
  EXPECT_NE(problem->find("260 characters"), std::string::npos) << *problem;
  // A language chosen on the user's machine may be the longest one.
  EXPECT_TRUE(InstallPathsProblem(company, std::string(longest_title, 't'), "s", 0));
  // Registry keys have their own limit.
  EXPECT_TRUE(InstallPathsProblem(std::string(150, 'c'), std::string(100, 't'), "s", 1));
}

TEST(InstallNames, PackageNamesProblemSaysWhichName) {
  const std::optional<std::string> problem = PackageNamesProblem("Acme", "..", "s", 1);
  ASSERT_TRUE(problem);
  EXPECT_TRUE(problem->starts_with("the title \"..\"")) << *problem;
  EXPECT_TRUE(PackageNamesProblem("Acme", "Title", "COM1", 1)->starts_with(
      "the screensaver's file name"));
  EXPECT_EQ(PackageNamesProblem("Acme", "Title", "s", 0), std::nullopt);
}

}  // namespace
}  // namespace lumiset
