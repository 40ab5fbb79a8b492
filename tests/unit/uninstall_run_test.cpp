#include "uninstall_run.h"

#include <gtest/gtest.h>

#include <utility>

#include "install/finishing_steps.h"
#include "base/text.h"
#include "setup/switches.h"
#include "support/fake_platform.h"
#include "support/faulty_platform.h"

namespace lumiset {
namespace {

using testing::FakePlatform;
using testing::FaultyPlatform;

constexpr RegistryRoot kUser = RegistryRoot::kCurrentUser;
constexpr RegistryRoot kMachine = RegistryRoot::kLocalMachine;
constexpr char kScr[] = "C:\\WINDOWS\\Sysnative\\starfield.scr";
constexpr char kFolder[] = "C:\\Program Files (x86)\\Lumiset Samples\\Starfield";
constexpr char kProgram[] = "C:\\Program Files (x86)\\Lumiset Samples\\Starfield\\Uninstall.exe";
constexpr char kSettings[] = "C:\\Program Files (x86)\\Lumiset Samples\\Starfield\\Uninstall.ini";
constexpr char kLink[] =
    "C:\\Users\\me\\Start Menu\\Programs\\Lumiset Samples\\Starfield Screensaver\\"
    "Starfield Screensaver.lnk";
constexpr char kRecordKey[] = "SOFTWARE\\Lumiset Samples\\Starfield";
constexpr char kEntryKey[] =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Starfield Screensaver";

TEST(UninstallerArguments, QuietAnywhereAndTheRerunsOwnSwitch) {
  struct Case {
    const char* command_line;
    bool quiet;
    bool cleanup_switch;
  };
  const Case cases[] = {
      {"\"C:\\Program Files\\Co\\T\\Uninstall.exe\"", false, false},
      {"\"C:\\Program Files\\Co\\T\\Uninstall.exe\" /q", true, false},
      {"Uninstall.exe /f /Q", true, false},
      {"\"C:\\Quiet\\q\\Uninstall.exe\"", false, false},
      // The rerun's switch with arguments this program never writes.
      {"u.exe /lumiset-remove-uninstaller", false, true},
      {"u.exe /lumiset-remove-uninstaller x \"C:\\a\\Uninstall.exe\"", false, true},
      {"u.exe /lumiset-remove-uninstaller 12 C:\\a\\Uninstall.exe", false, true},
      {"u.exe /lumiset-remove-uninstaller 12 \"C:\\a\"b\\Uninstall.exe\"", false, true},
  };
  for (const Case& c : cases) {
    const UninstallerArguments parsed = ParseUninstallerArguments(c.command_line);
    EXPECT_EQ(parsed.quiet, c.quiet) << c.command_line;
    EXPECT_EQ(parsed.cleanup_switch, c.cleanup_switch) << c.command_line;
    EXPECT_FALSE(parsed.cleanup) << c.command_line;
  }

  CleanupRequest request;
  request.process_handle = 0x1F4;
  request.uninstaller_path = kProgram;
  const UninstallerArguments parsed =
      ParseUninstallerArguments("\"C:\\Temp\\copy.exe\" " + CleanupArguments(request));
  ASSERT_TRUE(parsed.cleanup);
  EXPECT_EQ(parsed.cleanup->process_handle, 0x1F4u);
  EXPECT_EQ(parsed.cleanup->uninstaller_path, kProgram);
  EXPECT_FALSE(parsed.quiet);
}

// A 32-bit installation under WOW64 with the Start-menu link, as the stub
// leaves it, and the uninstaller it wrote.
class UninstallProgram : public ::testing::Test {
 protected:
  UninstallProgram() : faulty_(fs_) {
    fs_.AddFile(kScr, "screensaver");
    fs_.AddFile(kProgram, "MZ");
    EXPECT_TRUE(fs_.WriteIniString(kSettings, "uninstall", "company", "Lumiset Samples"));
    EXPECT_TRUE(fs_.WriteIniString(kSettings, "uninstall", "scrtitle", "Starfield"));
    fs_.AddFile(kLink, "link");
    fs_.SetRegistry(kUser, kRecordKey, "ScreensaverFile", kScr);
    const char* files[] = {kProgram, kSettings, kLink};
    for (size_t i = 0; i < std::size(files); ++i) {
      fs_.SetRegistry(kUser, kRecordKey, InstalledFileValueName(i), files[i]);
    }
    fs_.SetRegistry(kUser, kRecordKey, "AppLanguage", "3");
    fs_.SetRegistry(kMachine, kEntryKey, "DisplayName", "Starfield Screensaver");
    fs_.SetRegistry(kMachine, kEntryKey, "UninstallString", kProgram);
    EXPECT_TRUE(fs_.WriteRegistryDword(kMachine, kEntryKey, "NoModify", 1));
  }

  UninstallOutcome Run(bool quiet, bool answer = true) {
    return RunDefaultUninstaller(faulty_, kProgram, quiet,
                                 [this, answer](const std::string& title, int32_t language) {
                                   asked_.emplace_back(title, language);
                                   return answer;
                                 });
  }
  bool NothingLeft() const {
    return !fs_.HasFile(kScr) && !fs_.HasFile(kLink) && !fs_.HasFile(kSettings) &&
           !fs_.HasRegistryKey(kUser, kRecordKey) && !fs_.HasRegistryKey(kMachine, kEntryKey) &&
           !fs_.HasFolder("C:\\Users\\me\\Start Menu\\Programs\\Lumiset Samples");
  }

  FakePlatform fs_;
  FaultyPlatform faulty_;
  std::vector<std::pair<std::string, int32_t>> asked_;
};

TEST_F(UninstallProgram, QuietRemovesEverythingAndShowsNothing) {
  EXPECT_EQ(Run(/*quiet=*/true), UninstallOutcome::kRemoved);
  EXPECT_EQ(ExitCodeOf(UninstallOutcome::kRemoved), 0);
  EXPECT_TRUE(NothingLeft());
  EXPECT_TRUE(asked_.empty());
  EXPECT_TRUE(fs_.messages.empty());
}

TEST_F(UninstallProgram, AsksInTheInstallationsLanguageThenReportsThere) {
  EXPECT_EQ(Run(/*quiet=*/false), UninstallOutcome::kRemoved);
  ASSERT_EQ(asked_.size(), 1u);
  EXPECT_EQ(asked_[0], (std::pair<std::string, int32_t>{"Starfield", kGerman}));
  EXPECT_TRUE(NothingLeft());
  ASSERT_EQ(fs_.messages.size(), 1u);
  EXPECT_EQ(fs_.messages[0].string_id, 8203) << "German success message";
}

TEST_F(UninstallProgram, NoChangesNothing) {
  const std::vector<std::string> files = fs_.List("C:");
  EXPECT_EQ(Run(/*quiet=*/false, /*answer=*/false), UninstallOutcome::kDeclined);
  EXPECT_EQ(ExitCodeOf(UninstallOutcome::kDeclined), 1);
  EXPECT_EQ(fs_.List("C:"), files);
  EXPECT_EQ(fs_.RegistryValueNames(kUser, kRecordKey).size(), 5u);
  EXPECT_EQ(fs_.RegistryValueNames(kMachine, kEntryKey).size(), 3u);
  EXPECT_TRUE(fs_.messages.empty());
}

TEST_F(UninstallProgram, MissingSettingsFailInTheUsersLanguage) {
  fs_.user_lang_id = 0x040C;
  for (const char* key : {"company", "scrtitle"}) {
    SCOPED_TRACE(key);
    fs_.messages.clear();
    EXPECT_TRUE(fs_.WriteIniString(kSettings, "uninstall", key, ""));
    EXPECT_EQ(Run(/*quiet=*/false), UninstallOutcome::kFailed);
    ASSERT_EQ(fs_.messages.size(), 1u);
    EXPECT_EQ(fs_.messages[0].string_id, 8111) << "French";
    EXPECT_EQ(Run(/*quiet=*/true), UninstallOutcome::kFailed);
    EXPECT_EQ(fs_.messages.size(), 1u) << "nothing more under /q";
    EXPECT_TRUE(fs_.HasFile(kScr));
    EXPECT_TRUE(asked_.empty());
  }
}

TEST_F(UninstallProgram, ALockedScreensaverFailsAndKeepsTheInstallation) {
  faulty_.fail_remove = [](const std::string& path) {
    return AsciiLower(path) == AsciiLower(kScr);
  };
  EXPECT_EQ(Run(/*quiet=*/false), UninstallOutcome::kFailed);
  ASSERT_EQ(fs_.messages.size(), 1u);
  EXPECT_EQ(fs_.messages[0].string_id, 8202);
  EXPECT_TRUE(fs_.HasFile(kSettings));
  EXPECT_TRUE(fs_.HasRegistryKey(kMachine, kEntryKey));

  fs_.messages.clear();
  fs_.beeps.clear();
  EXPECT_EQ(Run(/*quiet=*/true), UninstallOutcome::kFailed);
  EXPECT_TRUE(fs_.messages.empty());
  EXPECT_TRUE(fs_.beeps.empty());
}

// Only a screensaver in the system folder is ever deleted, whatever the
// record says; the rest of the record is still handled.
TEST_F(UninstallProgram, TheRecordedScreensaverMustLieInTheSystemFolder) {
  struct Case {
    const char* recorded;
    const char* file;  // the file that exists
    bool deleted;
  };
  const Case cases[] = {
      {"C:\\WINDOWS\\Sysnative\\starfield.scr", kScr, true},
      {"c:\\windows\\SYSNATIVE\\STARFIELD.SCR", kScr, true},
      {"C:\\Data\\starfield.scr", "C:\\Data\\starfield.scr", false},
      {"C:\\WINDOWS\\Sysnative\\config.ini", "C:\\WINDOWS\\Sysnative\\config.ini", false},
      {"C:\\WINDOWS\\Sysnative\\..\\boot.scr", "C:\\WINDOWS\\boot.scr", false},
      {"C:\\WINDOWS\\Sysnative\\a/../../boot.scr", "C:\\boot.scr", false},
      {"C:\\WINDOWS\\Sysnative\\.scr", "C:\\WINDOWS\\Sysnative\\.scr", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.recorded);
    FakePlatform fs;
    fs.AddFile(c.file, "x");
    fs.AddFile(kProgram, "MZ");
    EXPECT_TRUE(fs.WriteIniString(kSettings, "uninstall", "company", "Lumiset Samples"));
    EXPECT_TRUE(fs.WriteIniString(kSettings, "uninstall", "scrtitle", "Starfield"));
    fs.SetRegistry(kUser, kRecordKey, "ScreensaverFile", c.recorded);
    fs.SetRegistry(kUser, kRecordKey, "File0000", kSettings);
    EXPECT_EQ(RunDefaultUninstaller(fs, kProgram, true, {}), UninstallOutcome::kRemoved);
    EXPECT_EQ(fs.HasFile(c.file), !c.deleted);
    EXPECT_FALSE(fs.HasFile(kSettings));
  }
}

TEST_F(UninstallProgram, AnUnknownRecordedLanguageFallsBackToTheUsers) {
  fs_.user_lang_id = 0x0419;
  for (const char* stored : {"9", "0", "x", ""}) {
    SCOPED_TRACE(stored);
    asked_.clear();
    fs_.SetRegistry(kUser, kRecordKey, "AppLanguage", stored);
    EXPECT_EQ(Run(/*quiet=*/false, /*answer=*/false), UninstallOutcome::kDeclined);
    ASSERT_EQ(asked_.size(), 1u);
    EXPECT_EQ(asked_[0].second, kRussian);
  }
}

TEST(UninstallerFiles, GoWithTheirEmptiedFoldersButNeverAShellFolder) {
  FakePlatform fs;
  fs.AddFile(kProgram, "MZ");
  fs.AddFile(kSettings, "[uninstall]");
  fs.AddFile("C:\\Program Files (x86)\\Lumiset Samples\\Aurora\\Uninstall.exe", "MZ");
  EXPECT_TRUE(RemoveUninstallerFiles(fs, kProgram));
  EXPECT_FALSE(fs.HasFolder(kFolder));
  EXPECT_TRUE(fs.HasFolder("C:\\Program Files (x86)\\Lumiset Samples\\Aurora"))
      << "another screensaver's folder keeps the company folder";

  FakePlatform alone;
  alone.AddFile(kProgram, "MZ");
  EXPECT_TRUE(RemoveUninstallerFiles(alone, kProgram));
  EXPECT_FALSE(alone.HasFolder("C:\\Program Files (x86)\\Lumiset Samples"));
  EXPECT_TRUE(alone.HasFolder("C:\\Program Files (x86)"));

  // A copy of the program under another name, as in a build tree, never
  // removes itself.
  FakePlatform build;
  build.AddFile("C:\\build\\lumiset-uninstall.exe", "MZ");
  EXPECT_FALSE(RemovesItself("C:\\build\\lumiset-uninstall.exe"));
  EXPECT_FALSE(RemoveUninstallerFiles(build, "C:\\build\\lumiset-uninstall.exe"));
  EXPECT_TRUE(build.HasFile("C:\\build\\lumiset-uninstall.exe"));
}

}  // namespace
}  // namespace lumiset
