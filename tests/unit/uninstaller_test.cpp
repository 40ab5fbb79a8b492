#include "install/uninstaller.h"

#include <gtest/gtest.h>

#include <functional>

#include "install/finishing_steps.h"
#include "support/fake_platform.h"
#include "support/faulty_platform.h"

namespace lumiset {
namespace {

using testing::FakePlatform;
using testing::FaultyPlatform;

constexpr char kScr[] = "C:\\windows\\Sysnative\\starfield.scr";
constexpr char kRecordKey[] = "SOFTWARE\\Lumiset Samples\\Starfield";
constexpr char kEntryKey[] =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Starfield Screensaver";
constexpr char kDesktopKey[] = "Control Panel\\Desktop";
constexpr char kIni[] = "C:\\WINDOWS\\system.ini";
constexpr char kFolder[] = "C:\\Program Files (x86)\\Lumiset Samples\\Starfield";

class Uninstall : public ::testing::Test {
 protected:
  Uninstall() : faulty_(fs_) {
    s_.CompanyName = "Lumiset Samples";
    s_.ScreenSaverTitle = "Starfield";
    s_.SystemDir = "C:\\windows\\Sysnative";
    s_.InstalledScrPath = kScr;
    s_.LanguageIndex = 2;
    fs_.AddFile(kScr, "screensaver");
    fs_.AddFile("C:\\windows\\System32\\starfield.scr", "the same file, 64-bit view");
  }
  void Record(const std::vector<std::string>& files) {
    for (size_t i = 0; i < files.size(); ++i) {
      fs_.AddFile(files[i], "x");
      fs_.SetRegistry(RegistryRoot::kCurrentUser, kRecordKey, InstalledFileValueName(i), files[i]);
    }
    fs_.SetRegistry(RegistryRoot::kCurrentUser, kRecordKey, "ScreensaverFile", kScr);
    fs_.SetRegistry(RegistryRoot::kLocalMachine, kEntryKey, "DisplayName", "Starfield Screensaver");
  }
  void Setting(const std::string& registry, const std::string& ini) {
    fs_.SetRegistry(RegistryRoot::kCurrentUser, kDesktopKey, "SCRNSAVE.EXE", registry);
    fs_.SetRegistry(RegistryRoot::kCurrentUser, kDesktopKey, "ScreenSaveActive", "1");
    EXPECT_TRUE(fs_.WriteIniString(kIni, "boot", "scrnsave.exe", ini));
  }
  bool Cleared() {
    return fs_.Registry(RegistryRoot::kCurrentUser, kDesktopKey, "SCRNSAVE.EXE") == "" &&
           fs_.IniValue(kIni, "boot", "scrnsave.exe").empty();
  }

  FakePlatform fs_;
  FaultyPlatform faulty_;
  SetupState s_;
};

TEST_F(Uninstall, RemovesFilesFoldersKeysAndReportsSuccess) {
  const std::string menu = "C:\\Users\\me\\Start Menu\\Programs\\Lumiset Samples\\Starfield Screensaver";
  Record({std::string(kFolder) + "\\Uninstall.exe", std::string(kFolder) + "\\Uninstall.ini",
          menu + "\\Starfield Screensaver.lnk", "C:\\Users\\me\\Desktop\\Starfield Screensaver.lnk"});
  s_.ShowScreens = 1;
  EXPECT_TRUE(RunUninstall(fs_, s_));
  EXPECT_FALSE(fs_.HasFile(kScr));
  EXPECT_FALSE(fs_.HasFolder("C:\\Program Files (x86)\\Lumiset Samples"));
  EXPECT_TRUE(fs_.HasFolder("C:\\Program Files (x86)")) << "a shell folder is kept even when empty";
  EXPECT_FALSE(fs_.HasFolder("C:\\Users\\me\\Start Menu\\Programs\\Lumiset Samples"));
  EXPECT_TRUE(fs_.HasFolder("C:\\Users\\me\\Start Menu\\Programs"));
  EXPECT_TRUE(fs_.HasFolder("C:\\Users\\me\\Desktop"));
  EXPECT_FALSE(fs_.HasRegistryKey(RegistryRoot::kCurrentUser, kRecordKey));
  EXPECT_FALSE(fs_.HasRegistryKey(RegistryRoot::kLocalMachine, kEntryKey));
  ASSERT_EQ(fs_.messages.size(), 1u);
  EXPECT_EQ(fs_.messages[0].string_id, 8103) << "French success message";
}

// What the installation wrote goes; what another program keeps under the
// same keys stays, and with it the keys that hold it.
TEST_F(Uninstall, RemovesOnlyWhatTheInstallationWrote) {
  constexpr RegistryRoot kUser = RegistryRoot::kCurrentUser;
  constexpr RegistryRoot kMachine = RegistryRoot::kLocalMachine;
  struct Case {
    const char* name;
    std::function<void(FakePlatform&)> add;  // beside a complete installation
    bool record_stays;
    bool entry_stays;
    std::function<void(const FakePlatform&)> check;
  };
  const std::string nested = std::string(kRecordKey) + "\\Settings";
  const Case cases[] = {
      {"nothing foreign", [](FakePlatform&) {}, false, false, [](const FakePlatform&) {}},
      {"a foreign value in the record",
       [](FakePlatform& fs) { fs.SetRegistry(kUser, kRecordKey, "Speed", "7"); }, true, false,
       [](const FakePlatform& fs) {
         EXPECT_EQ(fs.RegistryValueNames(kUser, kRecordKey), std::vector<std::string>{"speed"});
       }},
      {"a foreign subkey of the record",
       [&](FakePlatform& fs) { fs.SetRegistry(kUser, nested + "\\Deeper", "v", "1"); }, true,
       false,
       [&](const FakePlatform& fs) {
         EXPECT_TRUE(fs.RegistryValueNames(kUser, kRecordKey).empty());
         EXPECT_EQ(fs.Registry(kUser, nested + "\\Deeper", "v"), "1");
       }},
      {"an empty foreign subkey of the record",
       [&](FakePlatform& fs) { fs.AddRegistryKey(kUser, nested); }, true, false,
       [](const FakePlatform&) {}},
      {"a record entry past the first gap",
       [](FakePlatform& fs) { fs.SetRegistry(kUser, kRecordKey, "File0007", "C:\\Data\\x"); },
       true, false,
       [](const FakePlatform& fs) {
         EXPECT_EQ(fs.RegistryValueNames(kUser, kRecordKey), std::vector<std::string>{"file0007"});
       }},
      {"a foreign value in the entry",
       [](FakePlatform& fs) { fs.SetRegistry(kMachine, kEntryKey, "Comments", "mine"); }, false,
       true,
       [](const FakePlatform& fs) {
         EXPECT_EQ(fs.RegistryValueNames(kMachine, kEntryKey),
                   std::vector<std::string>{"comments"});
       }},
      {"an entry of another product under the same name",
       [](FakePlatform& fs) {
         fs.SetRegistry(kMachine, kEntryKey, "DisplayName", "Starfield Screensaver Pro");
       },
       false, true,
       [](const FakePlatform& fs) {
         EXPECT_EQ(fs.RegistryValueNames(kMachine, kEntryKey).size(),
                   std::size(kUninstallEntryValues))
             << "nothing of it is touched";
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakePlatform fs;
    fs.AddFile(kScr, "screensaver");
    fs.AddFile(std::string(kFolder) + "\\Uninstall.exe", "x");
    fs.SetRegistry(kUser, kRecordKey, "ScreensaverFile", kScr);
    fs.SetRegistry(kUser, kRecordKey, "File0000", std::string(kFolder) + "\\Uninstall.exe");
    fs.SetRegistry(kUser, kRecordKey, "AppLanguage", "2");
    for (const char* value : kUninstallEntryValues) fs.SetRegistry(kMachine, kEntryKey, value, "v");
    EXPECT_TRUE(fs.WriteRegistryDword(kMachine, kEntryKey, "NoModify", 1));
    fs.SetRegistry(kMachine, kEntryKey, "DisplayName", "Starfield Screensaver");
    c.add(fs);
    SetupState s = s_;
    EXPECT_TRUE(RunUninstall(fs, s));
    EXPECT_EQ(fs.HasRegistryKey(kUser, kRecordKey), c.record_stays);
    EXPECT_EQ(fs.HasRegistryKey(kMachine, kEntryKey), c.entry_stays);
    c.check(fs);
  }
}

TEST_F(Uninstall, QuietUninstallShowsNothing) {
  Record({});
  s_.ShowScreens = 0;
  EXPECT_TRUE(RunUninstall(fs_, s_));
  EXPECT_TRUE(fs_.messages.empty());
}

TEST_F(Uninstall, ALockedScreensaverFailsBeforeTouchingRecordOrKeys) {
  Record({std::string(kFolder) + "\\Uninstall.exe"});
  Setting("C:\\windows\\System32\\starfield.scr", "");
  faulty_.fail_remove = [](const std::string& path) { return path == kScr; };
  s_.ShowScreens = 0;
  EXPECT_FALSE(RunUninstall(faulty_, s_));
  EXPECT_TRUE(Cleared()) << "the setting is switched off first";
  EXPECT_TRUE(fs_.HasFile(std::string(kFolder) + "\\Uninstall.exe"));
  EXPECT_TRUE(fs_.HasRegistryKey(RegistryRoot::kCurrentUser, kRecordKey));
  ASSERT_EQ(fs_.messages.size(), 1u);
  EXPECT_EQ(fs_.messages[0].string_id, 8102);
  EXPECT_EQ(fs_.beeps.size(), 1u);
}

TEST_F(Uninstall, RecordIsReadUpToTheFirstGapAndAtMostTwentyEntries) {
  std::vector<std::string> files;
  for (int i = 0; i < 25; ++i) files.push_back("C:\\Data\\f" + std::to_string(i) + ".txt");
  Record(files);
  EXPECT_TRUE(RunUninstall(fs_, s_));
  EXPECT_FALSE(fs_.HasFile("C:\\Data\\f19.txt"));
  EXPECT_TRUE(fs_.HasFile("C:\\Data\\f20.txt"));

  FakePlatform gap;
  s_ = SetupState{};
  s_.CompanyName = "C";
  s_.ScreenSaverTitle = "T";
  gap.AddFile("C:\\A\\one");
  gap.AddFile("C:\\A\\three");
  gap.SetRegistry(RegistryRoot::kCurrentUser, "SOFTWARE\\C\\T", "File0000", "C:\\A\\one");
  gap.SetRegistry(RegistryRoot::kCurrentUser, "SOFTWARE\\C\\T", "File0002", "C:\\A\\three");
  EXPECT_TRUE(RunUninstall(gap, s_));
  EXPECT_FALSE(gap.HasFile("C:\\A\\one"));
  EXPECT_TRUE(gap.HasFile("C:\\A\\three"));
}

TEST_F(Uninstall, ScreensaverSettingIsClearedOnlyWhenItNamesTheInstalledFile) {
  fs_.short_names["c:\\windows\\sysnative\\starfield.scr"] = "STARFI~1.SCR";
  struct Case {
    const char* name;
    std::string registry;
    std::string ini;
    bool cleared;
  };
  const Case cases[] = {
      {"System32 form, as activation writes it", "C:\\windows\\System32\\starfield.scr", "", true},
      {"Sysnative form", kScr, "", true},
      {"other letter case", "c:\\WINDOWS\\system32\\STARFIELD.SCR", "", true},
      {"short form", "C:\\WINDOWS\\system32\\STARFI~1.SCR", "", true},
      {"other screensaver, ini names ours", "C:\\windows\\System32\\other.scr",
       "C:\\windows\\System32\\starfield.scr", true},
      {"empty, ini names another", "", "C:\\windows\\System32\\other.scr", false},
      {"another one in both", "C:\\x\\other.scr", "C:\\x\\other.scr", false},
  };
  for (const Case& c : cases) {
    Setting(c.registry, c.ini);
    fs_.screensaver_notifications.clear();
    RestoreScreensaverSettings(fs_, s_);
    EXPECT_EQ(Cleared(), c.cleared) << c.name;
    EXPECT_EQ(fs_.screensaver_notifications, c.cleared ? std::vector<bool>{false}
                                                        : std::vector<bool>{})
        << c.name;
    if (c.cleared) {
      EXPECT_EQ(fs_.Registry(RegistryRoot::kCurrentUser, kDesktopKey, "ScreenSaveActive"), "0");
    }
  }
}

TEST_F(Uninstall, AnEightThreeNameIsItsOwnShortForm) {
  s_.InstalledScrPath = "C:\\windows\\Sysnative\\STAR.SCR";
  fs_.AddFile(s_.InstalledScrPath, "x");
  Setting("C:\\WINDOWS\\system32\\STAR.SCR", "");
  fs_.system_directory = "C:\\WINDOWS\\system32";
  RestoreScreensaverSettings(fs_, s_);
  EXPECT_TRUE(Cleared());
}

TEST_F(Uninstall, FolderClimb) {
  struct Case {
    const char* name;
    std::vector<std::string> files;  // created, then the first is removed
    std::vector<std::string> extra;  // other files that stay
    std::vector<std::string> gone;
    std::vector<std::string> kept;
  };
  const Case cases[] = {
      {"empties up to the shell folder",
       {"C:\\Users\\me\\Desktop\\Co\\Title\\a.lnk"}, {},
       {"C:\\Users\\me\\Desktop\\Co"}, {"C:\\Users\\me\\Desktop"}},
      {"stops at a folder that is not empty",
       {"C:\\Data\\Co\\Title\\a.txt"}, {"C:\\Data\\Co\\other.txt"},
       {"C:\\Data\\Co\\Title"}, {"C:\\Data\\Co", "C:\\Data\\Co\\other.txt"}},
      {"a folder with desktop.ini stays",
       {"C:\\Data\\Custom\\a.txt"}, {},
       {}, {"C:\\Data\\Custom"}},
      {"never the drive root", {"C:\\lonely.txt"}, {}, {"C:\\lonely.txt"}, {"C:"}},
  };
  for (const Case& c : cases) {
    FakePlatform fs;
    for (const std::string& f : c.files) fs.AddFile(f);
    for (const std::string& f : c.extra) fs.AddFile(f);
    if (std::string(c.name).find("desktop.ini") != std::string::npos) {
      fs.AddFile("C:\\Data\\Custom\\desktop.ini");
    }
    RemoveFileAndEmptyFolders(fs, c.files[0], {"C:\\Users\\me\\Desktop"});
    for (const std::string& g : c.gone) {
      EXPECT_FALSE(fs.HasFile(g) || fs.HasFolder(g)) << c.name << ": " << g;
    }
    for (const std::string& k : c.kept) {
      EXPECT_TRUE(fs.HasFile(k) || fs.HasFolder(k)) << c.name << ": " << k;
    }
  }
}

TEST_F(Uninstall, UninstallerAndItsSettingsInOneFolderGoTogether) {
  Record({std::string(kFolder) + "\\Uninstall.exe", std::string(kFolder) + "\\Uninstall.ini"});
  EXPECT_TRUE(RunUninstall(fs_, s_));
  EXPECT_FALSE(fs_.HasFolder(kFolder));
  EXPECT_FALSE(fs_.HasFolder("C:\\Program Files (x86)\\Lumiset Samples"));
}

TEST_F(Uninstall, AScreensaverAlreadyGoneIsNoError) {
  EXPECT_TRUE(fs_.RemoveFile(kScr));
  Record({"C:\\Data\\a.txt"});
  EXPECT_TRUE(RunUninstall(fs_, s_));
  EXPECT_FALSE(fs_.HasFile("C:\\Data\\a.txt"));
}

}  // namespace
}  // namespace lumiset
