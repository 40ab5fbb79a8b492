#include "uninstall_run.h"

#include <gtest/gtest.h>

#include <utility>

#include "install/registration.h"
#include "setup/machine_facts.h"
#include "base/language.h"
#include "base/text.h"
#include "setup/switches.h"
#include "support/fake_platform.h"
#include "support/faulty_platform.h"
#include "support/recording_prompt_ui.h"

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
    WriteSettings(fs_, {{"company", "Lumiset Samples"},
                        {"scrtitle", "Starfield"},
                        {"scrfile", "starfield"},
                        {"language", "3"}});
    fs_.AddFile(kLink, "link");
    fs_.SetRegistry(kUser, kRecordKey, "ScreensaverFile", kScr);
    const char* files[] = {kProgram, kSettings, kLink};
    for (size_t i = 0; i < std::size(files); ++i) {
      fs_.SetRegistry(kUser, kRecordKey, InstalledFileValueName(i), files[i]);
    }
    fs_.SetRegistry(kUser, kRecordKey, "AppLanguage", "3");
    fs_.SetRegistry(kMachine, kEntryKey, "DisplayName", "Starfield Bildschirmschoner");
    fs_.SetRegistry(kMachine, kEntryKey, "UninstallString", kProgram);
    EXPECT_TRUE(fs_.WriteRegistryDword(kMachine, kEntryKey, "NoModify", 1));
    facts_ = GatherMachineFacts(fs_, true);
  }

  static void WriteSettings(FakePlatform& fs,
                            const std::vector<std::pair<std::string, std::string>>& keys) {
    std::string text = "[uninstall]\r\n";
    for (const auto& [key, value] : keys) text += key + "=" + value + "\r\n";
    fs.AddFile(kSettings, text);
  }

  UninstallOutcome Run(bool quiet, bool answer = true,
                       const std::string& program = kProgram) {
    return RunDefaultUninstaller(faulty_, facts_, program, quiet,
                                 [this, answer](const std::string& title, int32_t language) {
                                   asked_.emplace_back(title, language);
                                   return answer;
                                 },
                                 notices_);
  }
  bool NothingLeft() const {
    return !fs_.HasFile(kScr) && !fs_.HasFile(kLink) && !fs_.HasRegistryKey(kUser, kRecordKey) &&
           !fs_.HasRegistryKey(kMachine, kEntryKey) &&
           !fs_.HasFolder("C:\\Users\\me\\Start Menu\\Programs\\Lumiset Samples");
  }

  FakePlatform fs_;
  FaultyPlatform faulty_;
  MachineFacts facts_;
  testing::RecordingPromptUi notices_;
  std::vector<std::pair<std::string, int32_t>> asked_;
};

TEST_F(UninstallProgram, QuietRemovesEverythingAndShowsNothing) {
  EXPECT_EQ(Run(/*quiet=*/true), UninstallOutcome::kRemoved);
  EXPECT_EQ(ExitCodeOf(UninstallOutcome::kRemoved), 0);
  EXPECT_TRUE(NothingLeft());
  EXPECT_TRUE(fs_.HasFile(kProgram)) << "it removes itself once it has ended";
  EXPECT_TRUE(fs_.HasFile(kSettings));
  EXPECT_TRUE(asked_.empty());
  EXPECT_TRUE(notices_.notices.empty());
}

TEST_F(UninstallProgram, AsksInTheInstallationsLanguageThenReportsThere) {
  EXPECT_EQ(Run(/*quiet=*/false), UninstallOutcome::kRemoved);
  ASSERT_EQ(asked_.size(), 1u);
  EXPECT_EQ(asked_[0], (std::pair<std::string, int32_t>{"Starfield", kGerman}));
  EXPECT_TRUE(NothingLeft());
  ASSERT_EQ(notices_.notices.size(), 1u);
  EXPECT_EQ(notices_.notices[0], (std::pair<Notice, int32_t>{Notice::kUninstalled, kGerman}));
}

TEST_F(UninstallProgram, NoChangesNothing) {
  const std::vector<std::string> files = fs_.List("C:");
  EXPECT_EQ(Run(/*quiet=*/false, /*answer=*/false), UninstallOutcome::kDeclined);
  EXPECT_EQ(ExitCodeOf(UninstallOutcome::kDeclined), 1);
  EXPECT_EQ(fs_.List("C:"), files);
  EXPECT_EQ(fs_.RegistryValueNames(kUser, kRecordKey).size(), 5u);
  EXPECT_EQ(fs_.RegistryValueNames(kMachine, kEntryKey).size(), 3u);
  EXPECT_TRUE(notices_.notices.empty());
}

TEST_F(UninstallProgram, MissingSettingsFailInTheUsersLanguage) {
  fs_.user_lang_id = 0x040C;
  facts_ = GatherMachineFacts(fs_, true);
  for (const char* missing : {"company", "scrtitle"}) {
    SCOPED_TRACE(missing);
    notices_.notices.clear();
    std::vector<std::pair<std::string, std::string>> keys = {{"company", "Lumiset Samples"},
                                                             {"scrtitle", "Starfield"}};
    std::erase_if(keys, [&](const auto& k) { return k.first == missing; });
    WriteSettings(fs_, keys);
    EXPECT_EQ(Run(/*quiet=*/false), UninstallOutcome::kFailed);
    ASSERT_EQ(notices_.notices.size(), 1u);
    EXPECT_EQ(notices_.notices[0], (std::pair<Notice, int32_t>{Notice::kSettingsMissing, kFrench}));
    EXPECT_EQ(Run(/*quiet=*/true), UninstallOutcome::kFailed);
    EXPECT_EQ(notices_.notices.size(), 1u) << "nothing more under /q";
    EXPECT_TRUE(fs_.HasFile(kScr));
    EXPECT_TRUE(asked_.empty());
  }
}

// Only administrators can write Program Files; a copy of the uninstaller
// and its settings anywhere else (a user's Downloads) removes nothing.
TEST_F(UninstallProgram, ACopyOutsideItsInstallationsFolderRemovesNothing) {
  const std::string downloads = "C:\\Users\\me\\Downloads";
  fs_.AddFile(downloads + "\\Uninstall.exe", "MZ");
  fs_.AddFile(downloads + "\\Uninstall.ini", std::string(reinterpret_cast<const char*>(
                                                 fs_.FileBytes(kSettings).data()),
                                             fs_.FileBytes(kSettings).size()));
  const std::vector<std::string> files = fs_.List("C:");
  EXPECT_EQ(Run(/*quiet=*/true, true, downloads + "\\Uninstall.exe"), UninstallOutcome::kFailed);
  EXPECT_EQ(fs_.List("C:"), files);
  EXPECT_TRUE(fs_.HasRegistryKey(kUser, kRecordKey));
  EXPECT_EQ(Run(/*quiet=*/false, true, downloads + "\\Uninstall.exe"), UninstallOutcome::kFailed);
  ASSERT_EQ(notices_.notices.size(), 1u);
  EXPECT_EQ(notices_.notices[0].first, Notice::kNotInItsFolder);
  EXPECT_FALSE(RemoveUninstallerFiles(fs_, facts_, downloads + "\\Uninstall.exe"));
  EXPECT_TRUE(fs_.HasFolder(downloads));
}

TEST_F(UninstallProgram, ALockedScreensaverFailsAndKeepsTheInstallation) {
  faulty_.fail_remove = [](const std::string& path) {
    return AsciiLower(path) == AsciiLower(kScr);
  };
  EXPECT_EQ(Run(/*quiet=*/false), UninstallOutcome::kFailed);
  ASSERT_EQ(notices_.notices.size(), 1u);
  EXPECT_EQ(notices_.notices[0], (std::pair<Notice, int32_t>{Notice::kUninstallFailed, kGerman}));
  EXPECT_TRUE(fs_.HasFile(kSettings));
  EXPECT_TRUE(fs_.HasRegistryKey(kMachine, kEntryKey));

  notices_.notices.clear();
  EXPECT_EQ(Run(/*quiet=*/true), UninstallOutcome::kFailed);
  EXPECT_TRUE(notices_.notices.empty());
}

// The screensaver to delete comes from the settings, which only
// administrators can write, never from the user's record. Settings of
// older installations lack it: the installed-programs entry names it then.
TEST_F(UninstallProgram, TheScreensaverComesFromWhereOnlyAdministratorsWrite) {
  struct Case {
    const char* name;
    std::string scrfile;  // the settings' key, "" for none
    std::string icon;     // the entry's DisplayIcon
    bool deleted;
  };
  const Case cases[] = {
      {"named in the settings", "starfield", "", true},
      {"from the entry's icon", "", "C:\\windows\\System32\\starfield.scr", true},
      {"an icon outside the system folder", "", "C:\\Data\\starfield.scr", false},
      {"an icon that climbs out", "", "C:\\windows\\System32\\..\\starfield.scr", false},
      {"no source at all", "", "", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs_.AddFile(kScr, "screensaver");
    fs_.AddFile(kProgram, "MZ");
    std::vector<std::pair<std::string, std::string>> keys = {{"company", "Lumiset Samples"},
                                                             {"scrtitle", "Starfield"}};
    if (!c.scrfile.empty()) keys.emplace_back("scrfile", c.scrfile);
    WriteSettings(fs_, keys);
    fs_.SetRegistry(kMachine, kEntryKey, "DisplayName", "Starfield Screensaver");
    if (!c.icon.empty()) fs_.SetRegistry(kMachine, kEntryKey, "DisplayIcon", c.icon);
    // The user's record names another file: it never counts.
    fs_.SetRegistry(kUser, kRecordKey, "ScreensaverFile", "C:\\windows\\Sysnative\\aurora.scr");
    fs_.AddFile("C:\\windows\\Sysnative\\aurora.scr", "another one");
    EXPECT_EQ(Run(/*quiet=*/true), UninstallOutcome::kRemoved);
    EXPECT_EQ(fs_.HasFile(kScr), !c.deleted);
    EXPECT_TRUE(fs_.HasFile("C:\\windows\\Sysnative\\aurora.scr"));
  }
}

TEST_F(UninstallProgram, AnUnknownLanguageFallsBackToTheRecordThenTheUsers) {
  fs_.user_lang_id = 0x0419;
  facts_ = GatherMachineFacts(fs_, true);
  struct Case {
    const char* stored;    // in the settings
    const char* recorded;  // in the user's record
    int32_t expected;
  };
  const Case cases[] = {{"3", "5", kGerman}, {"9", "5", kItalian}, {"x", "0", kRussian},
                        {"", "", kRussian}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.stored);
    asked_.clear();
    WriteSettings(fs_, {{"company", "Lumiset Samples"},
                        {"scrtitle", "Starfield"},
                        {"language", c.stored}});
    fs_.SetRegistry(kUser, kRecordKey, "AppLanguage", c.recorded);
    EXPECT_EQ(Run(/*quiet=*/false, /*answer=*/false), UninstallOutcome::kDeclined);
    ASSERT_EQ(asked_.size(), 1u);
    EXPECT_EQ(asked_[0].second, c.expected);
  }
}

TEST_F(UninstallProgram, ItsOwnFilesGoWithTheirEmptiedFolders) {
  fs_.AddFile("C:\\Program Files (x86)\\Lumiset Samples\\Aurora\\Uninstall.exe", "MZ");
  EXPECT_TRUE(RemoveUninstallerFiles(fs_, facts_, kProgram));
  EXPECT_FALSE(fs_.HasFolder(kFolder));
  EXPECT_TRUE(fs_.HasFolder("C:\\Program Files (x86)\\Lumiset Samples\\Aurora"))
      << "another screensaver's folder keeps the company folder";
  EXPECT_TRUE(fs_.HasFolder("C:\\Program Files (x86)"));

  // A copy of the program under another name, as in a build tree, never
  // removes itself.
  fs_.AddFile("C:\\build\\lumiset-uninstall.exe", "MZ");
  EXPECT_FALSE(RemovesItself("C:\\build\\lumiset-uninstall.exe"));
  EXPECT_FALSE(RemoveUninstallerFiles(fs_, facts_, "C:\\build\\lumiset-uninstall.exe"));
  EXPECT_TRUE(fs_.HasFile("C:\\build\\lumiset-uninstall.exe"));
}

}  // namespace
}  // namespace lumiset
