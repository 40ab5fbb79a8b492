#include "install/finishing_steps.h"

#include <gtest/gtest.h>

#include "package/default_uninstaller.h"
#include "package/package_format.h"
#include "support/fake_platform.h"

namespace lumiset {
namespace {

using testing::FakePlatform;

constexpr char kRecordKey[] = "SOFTWARE\\Lumiset Samples\\Starfield";
constexpr char kEntryKey[] =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Starfield Screensaver";
constexpr char kFolder[] = "C:\\Program Files (x86)\\Lumiset Samples\\Starfield";
constexpr char kMenu[] = "C:\\Users\\me\\Start Menu\\Programs\\Lumiset Samples\\Starfield Screensaver";

class FinishingSteps : public ::testing::Test {
 protected:
  FinishingSteps() {
    s_.CompanyName = "Lumiset Samples";
    s_.ScreenSaverTitle = "Starfield";
    s_.SystemDir = "C:\\windows\\Sysnative";
    s_.InstalledScrPath = "C:\\windows\\Sysnative\\starfield.scr";
    s_.LanguageIndex = 3;
    const std::vector<uint8_t> program = {'M', 'Z', 'u', 'n'};
    s_.UninstallerBlock = EncodeBlock(program, 9);
  }
  // Runs the steps in the driver's order.
  void RunAll(bool start_menu, bool desktop) {
    if (!s_.UninstallerBlock.empty()) WriteUninstaller(fs_, s_);
    if (start_menu) CreateStartMenuShortcuts(fs_, s_);
    if (desktop) CreateDesktopShortcut(fs_, s_);
    WriteInstalledFilesRecord(fs_, s_);
  }
  std::optional<std::string> Record(const char* name) {
    return fs_.Registry(RegistryRoot::kCurrentUser, kRecordKey, name);
  }

  FakePlatform fs_;
  SetupState s_;
};

TEST_F(FinishingSteps, EverythingInCreationOrder) {
  RunAll(true, true);
  const std::string menu(kMenu);
  const std::vector<std::string> expected = {
      std::string(kFolder) + "\\Uninstall.exe",
      std::string(kFolder) + "\\Uninstall.ini",
      menu + "\\Starfield Screensaver.lnk",
      menu + "\\Uninstall Starfield Screensaver.lnk",
      "C:\\Users\\me\\Desktop\\Starfield Screensaver.lnk",
  };
  EXPECT_EQ(s_.CreatedFiles, expected);
  for (size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(Record(InstalledFileValueName(i).c_str()), expected[i]);
  }
  EXPECT_FALSE(Record("File0005"));
  EXPECT_EQ(Record("ScreensaverFile"), "C:\\windows\\Sysnative\\starfield.scr");
  EXPECT_EQ(Record("AppLanguage"), "3");
  EXPECT_EQ(fs_.FileBytes(expected[0]), (std::vector<uint8_t>{'M', 'Z', 'u', 'n'}));
  EXPECT_EQ(fs_.IniValue(expected[1], "uninstall", "company"), "Lumiset Samples");
  EXPECT_EQ(fs_.IniValue(expected[1], "uninstall", "scrtitle"), "Starfield");
  EXPECT_EQ(fs_.Registry(RegistryRoot::kLocalMachine, kEntryKey, "DisplayName"),
            "Starfield Screensaver");
  EXPECT_EQ(fs_.Registry(RegistryRoot::kLocalMachine, kEntryKey, "UninstallString"), expected[0]);
}

TEST_F(FinishingSteps, TheEntryHoldsWhatTheListOfProgramsShows) {
  constexpr RegistryRoot kMachine = RegistryRoot::kLocalMachine;
  // The default uninstaller, told by its marker; 2000 bytes with it.
  std::vector<uint8_t> program(2000, 'u');
  const std::string marker = LUMISET_DEFAULT_UNINSTALLER_MARKER;
  for (size_t i = 0; i < marker.size(); ++i) {
    program[100 + 2 * i] = static_cast<uint8_t>(marker[i]);
    program[101 + 2 * i] = 0;
  }
  s_.UninstallerBlock = EncodeBlock(program, 9);
  s_.DisplayVersion = "2.1";
  s_.AboutUrl = "https://example.com/starfield";
  fs_.AddFile(s_.InstalledScrPath, std::vector<uint8_t>(5000, 's'));
  RunAll(false, false);
  auto text = [&](const char* name) { return fs_.Registry(kMachine, kEntryKey, name); };
  auto dword = [&](const char* name) { return fs_.RegistryDword(kMachine, kEntryKey, name); };
  const std::string uninstaller = std::string(kFolder) + "\\Uninstall.exe";
  EXPECT_EQ(text("DisplayName"), "Starfield Screensaver");
  EXPECT_EQ(text("UninstallString"), uninstaller) << "the path exactly, unquoted";
  EXPECT_EQ(text("QuietUninstallString"), "\"" + uninstaller + "\" /q");
  EXPECT_EQ(text("DisplayIcon"), "C:\\windows\\System32\\starfield.scr");
  EXPECT_EQ(text("Publisher"), "Lumiset Samples");
  EXPECT_EQ(text("DisplayVersion"), "2.1");
  EXPECT_EQ(text("URLInfoAbout"), "https://example.com/starfield");
  EXPECT_EQ(text("InstallDate"), "20260307");
  // 5000 + 2000 bytes and the settings file's few: 7 KiB, rounded up.
  ASSERT_LT(fs_.FileBytes(std::string(kFolder) + "\\Uninstall.ini").size(), 100u);
  EXPECT_EQ(dword("EstimatedSize"), 7u);
  EXPECT_EQ(dword("NoModify"), 1u);
  EXPECT_EQ(dword("NoRepair"), 1u);
  EXPECT_EQ(fs_.RegistryValueNames(kMachine, kEntryKey).size(), std::size(kUninstallEntryValues))
      << "every value the uninstallation removes, and no other";

  // Reinstalled from a package with an author's uninstaller, no version and
  // no web page: nothing of the earlier installation claims otherwise.
  s_.UninstallerBlock = EncodeBlock(std::vector<uint8_t>(2000, 'a'), 9);
  s_.DisplayVersion.clear();
  s_.AboutUrl.clear();
  s_.CreatedFiles.clear();
  RunAll(false, false);
  EXPECT_FALSE(text("QuietUninstallString")) << "the author's uninstaller may not know /q";
  EXPECT_FALSE(text("DisplayVersion"));
  EXPECT_FALSE(text("URLInfoAbout"));
  EXPECT_EQ(text("UninstallString"), uninstaller);
}

TEST_F(FinishingSteps, LinksNameSystem32AndTheirDescriptions) {
  RunAll(true, true);
  auto text = [&](const std::string& path) {
    const std::vector<uint8_t> b = fs_.FileBytes(path);
    return std::string(b.begin(), b.end());
  };
  EXPECT_EQ(text(std::string(kMenu) + "\\Starfield Screensaver.lnk"),
            "C:\\windows\\System32\\starfield.scr|C:\\windows\\System32|Starfield");
  EXPECT_EQ(text(std::string(kMenu) + "\\Uninstall Starfield Screensaver.lnk"),
            std::string(kFolder) + "\\Uninstall.exe|" + kFolder + "|Uninstall");
}

TEST_F(FinishingSteps, NoUninstallerMeansNoFolderEntryOrUninstallLink) {
  s_.UninstallerBlock.clear();
  RunAll(true, false);
  EXPECT_EQ(s_.CreatedFiles, std::vector<std::string>{std::string(kMenu) +
                                                      "\\Starfield Screensaver.lnk"});
  EXPECT_FALSE(fs_.HasFolder("C:\\Program Files (x86)\\Lumiset Samples"));
  EXPECT_FALSE(fs_.Registry(RegistryRoot::kLocalMachine, kEntryKey, "DisplayName"));
  EXPECT_EQ(Record("File0000"), std::string(kMenu) + "\\Starfield Screensaver.lnk");
}

TEST_F(FinishingSteps, BothOptionsOffRecordsOnlyTheUninstallerFiles) {
  RunAll(false, false);
  EXPECT_EQ(s_.CreatedFiles.size(), 2u);
  EXPECT_FALSE(Record("File0002"));
}

TEST_F(FinishingSteps, AnUninstallerThatCannotBeWrittenLeavesNoTrace) {
  s_.UninstallerBlock[0] = 'X';  // not a block any more
  RunAll(true, false);
  EXPECT_EQ(s_.CreatedFiles.size(), 2u) << "screensaver link and the dangling uninstaller link";
  EXPECT_FALSE(fs_.Registry(RegistryRoot::kLocalMachine, kEntryKey, "UninstallString"));
  EXPECT_FALSE(fs_.HasFile(std::string(kFolder) + "\\Uninstall.ini"));
}

TEST_F(FinishingSteps, ProgramFilesFromTheRegistryWhenTheShellHasNone) {
  fs_.special_folders.erase(SpecialFolder::kProgramFiles);
  fs_.SetRegistry(RegistryRoot::kLocalMachine, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion",
                  "ProgramFilesDir", "C:\\Programs");
  RunAll(false, false);
  EXPECT_EQ(s_.UninstallerPath, "C:\\Programs\\Lumiset Samples\\Starfield\\Uninstall.exe");
}

TEST_F(FinishingSteps, ASecondInstallationWithFewerFilesKeepsHigherEntries) {
  RunAll(true, true);
  s_.CreatedFiles.clear();
  RunAll(false, false);
  EXPECT_EQ(Record("File0004"), "C:\\Users\\me\\Desktop\\Starfield Screensaver.lnk");
}

TEST_F(FinishingSteps, LinksThatCannotBeSavedAreStillRecorded) {
  fs_.special_folders[SpecialFolder::kDesktop] = "C:\\No\\Such\\Desktop";
  s_.UninstallerBlock.clear();
  RunAll(false, true);
  EXPECT_EQ(s_.CreatedFiles,
            std::vector<std::string>{"C:\\No\\Such\\Desktop\\Starfield Screensaver.lnk"});
}

}  // namespace
}  // namespace lumiset
