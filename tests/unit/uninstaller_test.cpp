#include "install/uninstaller.h"

#include <gtest/gtest.h>

#include <functional>

#include "install/footprint.h"
#include "install/registration.h"
#include "setup/install_log.h"
#include "support/fake_platform.h"
#include "support/faulty_platform.h"
#include "support/recording_prompt_ui.h"

namespace lumiset {
namespace {

using testing::FakePlatform;
using testing::FaultyPlatform;

constexpr RegistryRoot kUser = RegistryRoot::kCurrentUser;
constexpr RegistryRoot kMachine = RegistryRoot::kLocalMachine;
constexpr char kScr[] = "C:\\windows\\Sysnative\\starfield.scr";
constexpr char kPublicScr[] = "C:\\windows\\System32\\starfield.scr";
constexpr char kRecordKey[] = "SOFTWARE\\Lumiset Samples\\Starfield";
constexpr char kCompanyKey[] = "SOFTWARE\\Lumiset Samples";
constexpr char kEntryKey[] =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Starfield Screensaver";
constexpr char kIni[] = "C:\\WINDOWS\\system.ini";
constexpr char kFolder[] = "C:\\Program Files (x86)\\Lumiset Samples\\Starfield";
constexpr char kMenu[] =
    "C:\\Users\\me\\Start Menu\\Programs\\Lumiset Samples\\Starfield Screensaver";
constexpr char kDesktopLink[] = "C:\\Users\\me\\Desktop\\Starfield Screensaver.lnk";


// A complete installation of the sample, as the engine leaves it.
class Uninstall : public ::testing::Test {
 protected:
  Uninstall() : faulty_(fs_) {
    fs_.AddFile(kScr, "screensaver");
    Record({std::string(kFolder) + "\\Uninstall.exe", std::string(kFolder) + "\\Uninstall.ini",
            std::string(kMenu) + "\\Starfield Screensaver.lnk", kDesktopLink});
    fs_.SetRegistry(kMachine, kEntryKey, kEntryDisplayName, "Starfield Screensaver");
    fs_.SetRegistry(kMachine, kEntryKey, kEntryUninstallString, "x");
    facts_.system_dir = "C:\\windows\\Sysnative";
    facts_.windows_dir = "C:\\WINDOWS";
    facts_.wow64 = true;
    facts_.program_files = "C:\\Program Files (x86)";
    facts_.programs = "C:\\Users\\me\\Start Menu\\Programs";
    facts_.desktop = "C:\\Users\\me\\Desktop";
    target_ = {"Lumiset Samples", "Starfield", "starfield", 2, false};
  }
  void Record(const std::vector<std::string>& files, RegistryRoot root = kUser) {
    for (size_t i = 0; i < files.size(); ++i) {
      fs_.AddFile(files[i], "x");
      fs_.SetRegistry(root, kRecordKey, InstalledFileValueName(i), files[i]);
    }
    fs_.SetRegistry(root, kRecordKey, kRecordScreensaverValue, kScr);
    fs_.SetRegistry(root, kRecordKey, kRecordLanguageValue, "2");
  }
  void Setting(const std::string& registry, const std::string& ini) {
    fs_.SetRegistry(kUser, kDesktopKey, kScreensaverPathValue, registry);
    fs_.SetRegistry(kUser, kDesktopKey, kScreenSaveActiveValue, "1");
    if (!ini.empty()) EXPECT_TRUE(fs_.WriteIniString(kIni, "boot", "scrnsave.exe", ini));
  }
  bool Run(PromptPolicy policy = {}) {
    Prompter prompter(policy, notices_, faulty_);
    return lumiset::Uninstall(target_, facts_, faulty_, prompter);
  }
  std::optional<std::string> Value(const char* name) {
    return fs_.Registry(kUser, kDesktopKey, name);
  }

  FakePlatform fs_;
  FaultyPlatform faulty_;
  MachineFacts facts_;
  UninstallTarget target_;
  testing::RecordingPromptUi notices_;
};

TEST_F(Uninstall, RemovesFilesFoldersKeysAndReportsSuccess) {
  fs_.AddRegistryKey(kUser, "SOFTWARE\\Other Company");
  EXPECT_TRUE(Run());
  EXPECT_FALSE(fs_.HasFile(kScr));
  EXPECT_FALSE(fs_.HasFolder("C:\\Program Files (x86)\\Lumiset Samples"));
  EXPECT_TRUE(fs_.HasFolder("C:\\Program Files (x86)")) << "a shell folder is kept even when empty";
  EXPECT_FALSE(fs_.HasFolder("C:\\Users\\me\\Start Menu\\Programs\\Lumiset Samples"));
  EXPECT_TRUE(fs_.HasFolder("C:\\Users\\me\\Start Menu\\Programs"));
  EXPECT_FALSE(fs_.HasFile(kDesktopLink));
  EXPECT_TRUE(fs_.HasFolder("C:\\Users\\me\\Desktop"));
  EXPECT_FALSE(fs_.HasRegistryKey(kUser, kRecordKey));
  EXPECT_FALSE(fs_.HasRegistryKey(kUser, kCompanyKey)) << "the company key it left empty goes";
  EXPECT_TRUE(fs_.HasRegistryKey(kUser, "SOFTWARE\\Other Company"));
  EXPECT_FALSE(fs_.HasRegistryKey(kMachine, kEntryKey));
  ASSERT_EQ(notices_.notices.size(), 1u);
  EXPECT_EQ(notices_.notices[0], (std::pair<Notice, int32_t>{Notice::kUninstalled, 2}));
}

// The record lies in the user's hive: any program of the user can add to
// it. Only what an installation of this screensaver can have written goes;
// every other entry is refused, logged, and dropped from the record.
TEST_F(Uninstall, ARecordEntryOutsideTheInstallationsFootprintIsRefused) {
  const std::string documents = "C:\\Users\\me\\Documents\\Taxes\\2025\\return.pdf";
  const std::string system_file = "C:\\windows\\Sysnative\\msxml3.dll";
  const std::string other_scr = "C:\\windows\\Sysnative\\aurora.scr";
  const std::string climbing = std::string(kFolder) + "\\..\\..\\..\\Windows\\win.ini";
  const std::string junction_link =
      "C:\\Users\\me\\Start Menu\\Programs\\Lumiset Samples\\Starfield Screensaver\\x.lnk";
  const std::string through_junction =
      "C:\\Users\\me\\Start Menu\\Programs\\Lumiset Samples\\Starfield Screensaver\\"
      "Starfield Screensaver.lnk";
  const std::string empty_folder_file = "C:\\Users\\me\\Videos\\missing.mp4";
  fs_.AddFolder("C:\\Users\\me\\Videos");
  fs_.AddFile("C:\\Windows\\win.ini", "[fonts]");
  fs_.AddFile(other_scr, "another screensaver");
  for (const std::string& f : {documents, system_file, junction_link}) fs_.AddFile(f, "keep");
  fs_.reparse_points.insert("c:\\users\\me\\start menu\\programs\\lumiset samples");
  const std::vector<std::string> recorded = {documents,     system_file,       other_scr,
                                             climbing,      junction_link,     through_junction,
                                             empty_folder_file};
  for (size_t i = 0; i < recorded.size(); ++i) {
    fs_.SetRegistry(kUser, kRecordKey, InstalledFileValueName(i), recorded[i]);
  }
  // An entry past a gap in the list is judged too.
  const std::string past_gap = "C:\\Users\\me\\Music\\song.mp3";
  fs_.AddFile(past_gap, "keep");
  fs_.SetRegistry(kUser, kRecordKey, InstalledFileValueName(12), past_gap);
  fs_.SetRegistry(kUser, kRecordKey, kRecordScreensaverValue, other_scr);
  ASSERT_TRUE(fs_.MakeFolder("C:\\logs"));
  ASSERT_TRUE(Log().Open(faulty_, "C:\\logs\\u.log"));
  EXPECT_TRUE(Run());
  Log().Close();

  for (const std::string& f : {documents, system_file, other_scr, junction_link, through_junction,
                               past_gap, std::string("C:\\Windows\\win.ini")}) {
    EXPECT_TRUE(fs_.HasFile(f)) << f;
  }
  EXPECT_TRUE(fs_.HasFolder("C:\\Users\\me\\Documents\\Taxes\\2025"));
  EXPECT_TRUE(fs_.HasFolder("C:\\Users\\me\\Videos")) << "no empty foreign folder goes either";
  EXPECT_FALSE(fs_.HasFile(kScr)) << "the package's own screensaver goes";
  EXPECT_FALSE(fs_.HasRegistryKey(kUser, kRecordKey)) << "the record is cleaned";
  const std::vector<uint8_t> bytes = fs_.FileBytes("C:\\logs\\u.log");
  const std::string log(bytes.begin(), bytes.end());
  EXPECT_NE(log.find("refused to delete " + documents +
                     " (File0000 of the record in HKEY_CURRENT_USER): no installation of this "
                     "screensaver writes there; the entry leaves the record"),
            std::string::npos)
      << log;
  EXPECT_NE(log.find("refused to delete " + through_junction +
                     " (File0005 of the record in HKEY_CURRENT_USER): a junction or symbolic "
                     "link lies on its way"),
            std::string::npos)
      << log;
  EXPECT_NE(log.find("refused to delete " + past_gap + " (File0012 of"), std::string::npos) << log;
}

// What the installation wrote goes; what another program keeps under the
// same keys stays, and with it the keys that hold it.
TEST_F(Uninstall, RemovesOnlyWhatTheInstallationWroteInTheRegistry) {
  struct Case {
    const char* name;
    std::function<void(FakePlatform&)> add;
    bool record_stays;
    bool entry_stays;
  };
  const std::string nested = std::string(kRecordKey) + "\\Settings";
  const Case cases[] = {
      {"nothing foreign", [](FakePlatform&) {}, false, false},
      {"a foreign value in the record",
       [](FakePlatform& fs) { fs.SetRegistry(kUser, kRecordKey, "Speed", "7"); }, true, false},
      {"a foreign subkey of the record",
       [&](FakePlatform& fs) { fs.SetRegistry(kUser, nested + "\\Deeper", "v", "1"); }, true,
       false},
      {"a foreign value in the entry",
       [](FakePlatform& fs) { fs.SetRegistry(kMachine, kEntryKey, "Comments", "mine"); }, false,
       true},
      {"an entry of another product under the same name",
       [](FakePlatform& fs) {
         fs.SetRegistry(kMachine, kEntryKey, kEntryDisplayName, "Starfield Screensaver Pro");
       },
       false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs_ = FakePlatform();
    fs_.AddFile(kScr, "screensaver");
    Record({std::string(kFolder) + "\\Uninstall.exe"});
    for (const char* value : kUninstallEntryValues) fs_.SetRegistry(kMachine, kEntryKey, value, "v");
    fs_.SetRegistry(kMachine, kEntryKey, kEntryDisplayName, "Starfield Screensaver");
    c.add(fs_);
    EXPECT_TRUE(Run());
    EXPECT_EQ(fs_.HasRegistryKey(kUser, kRecordKey), c.record_stays);
    EXPECT_EQ(fs_.HasRegistryKey(kMachine, kEntryKey), c.entry_stays);
  }
}

// While the screensaver file stays, nothing else changes: not the setting,
// not a file, not a key.
TEST_F(Uninstall, ALockedScreensaverChangesNothing) {
  Setting(kPublicScr, "");
  faulty_.fail_remove = [](const std::string& path) { return path == kScr; };
  EXPECT_FALSE(Run(PromptPolicy{true, false, false}));
  EXPECT_TRUE(fs_.HasFile(kScr));
  EXPECT_EQ(Value(kScreensaverPathValue), kPublicScr);
  EXPECT_EQ(Value(kScreenSaveActiveValue), "1");
  EXPECT_TRUE(fs_.HasFile(std::string(kFolder) + "\\Uninstall.exe"));
  EXPECT_TRUE(fs_.HasRegistryKey(kUser, kRecordKey));
  ASSERT_EQ(notices_.notices.size(), 1u) << "the failure is told even in a quiet run";
  EXPECT_EQ(notices_.notices[0].first, Notice::kUninstallFailed);
}

TEST_F(Uninstall, AReadOnlyScreensaverIsRemoved) {
  // The fake refuses to delete a file only when told; the platform's real
  // one clears attributes first, which this checks was asked for.
  bool cleared = false;
  faulty_.fail_remove = [&](const std::string& path) { return path == kScr && !cleared; };
  struct ClearingPlatform : ForwardingPlatform {
    ClearingPlatform(Platform& p, bool& flag) : ForwardingPlatform(p), flag_(flag) {}
    Status SetNormalAttributes(const std::string& path) override {
      if (path == kScr) flag_ = true;
      return ForwardingPlatform::SetNormalAttributes(path);
    }
    bool& flag_;
  } clearing(faulty_, cleared);
  Prompter prompter({}, notices_, clearing);
  EXPECT_TRUE(lumiset::Uninstall(target_, facts_, clearing, prompter));
  EXPECT_FALSE(fs_.HasFile(kScr));
}

TEST_F(Uninstall, QuietUninstallShowsNothing) {
  EXPECT_TRUE(Run(PromptPolicy{true, false, false}));
  EXPECT_TRUE(notices_.notices.empty());
}

// The setting goes back to what it was before the installation when that
// screensaver is still there; else it is switched off. Values that were not
// there before are removed rather than emptied, and system.ini is changed
// only where it names this screensaver.
TEST_F(Uninstall, TheScreensaverSettingGoesBackOrOff) {
  fs_.short_names["c:\\windows\\sysnative\\starfield.scr"] = "STARFI~1.SCR";
  fs_.AddFile("C:\\windows\\Sysnative\\aurora.scr", "still there");
  struct Case {
    const char* name;
    std::string setting;  // SCRNSAVE.EXE before the uninstallation
    std::string ini;      // system.ini's entry, "" for none
    std::function<void(FakePlatform&)> kept;  // the record's previous setting
    std::optional<std::string> path;          // SCRNSAVE.EXE afterwards
    std::optional<std::string> active;
    std::string ini_after;
  };
  auto previous = [](std::optional<std::string> path, std::optional<std::string> active) {
    return [=](FakePlatform& fs) {
      fs.SetRegistry(kUser, kRecordKey, kRecordPreviousPathPresentValue, path ? "1" : "0");
      if (path) fs.SetRegistry(kUser, kRecordKey, kRecordPreviousPathValue, *path);
      fs.SetRegistry(kUser, kRecordKey, kRecordPreviousActivePresentValue, active ? "1" : "0");
      if (active) fs.SetRegistry(kUser, kRecordKey, kRecordPreviousActiveValue, *active);
    };
  };
  const std::string aurora = "C:\\windows\\System32\\aurora.scr";
  const Case cases[] = {
      {"nothing kept: off, as always", kPublicScr, "", [](FakePlatform&) {}, "", "0", ""},
      {"Sysnative form, other case", "c:\\WINDOWS\\sysnative\\STARFIELD.SCR", "",
       [](FakePlatform&) {}, "", "0", ""},
      {"short form", "C:\\WINDOWS\\Sysnative\\STARFI~1.SCR", "", [](FakePlatform&) {}, "", "0",
       ""},
      {"the previous one comes back", kPublicScr, "", previous(aurora, "1"), aurora, "1", ""},
      {"the previous one is gone: off", kPublicScr, "",
       previous("C:\\windows\\System32\\gone.scr", "1"), "", "0", ""},
      {"there was none: the values go", kPublicScr, "", previous(std::nullopt, std::nullopt),
       std::nullopt, std::nullopt, ""},
      {"another one is active now: untouched", aurora, "", previous(std::nullopt, std::nullopt),
       aurora, "1", ""},
      {"system.ini names it", aurora, kPublicScr, [](FakePlatform&) {}, aurora, "1", ""},
      {"system.ini names another", kPublicScr, aurora, [](FakePlatform&) {}, "", "0", aurora},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs_.AddFile(kScr, "screensaver");
    Record({});
    Setting(c.setting, c.ini);
    c.kept(fs_);
    EXPECT_TRUE(Run());
    EXPECT_EQ(Value(kScreensaverPathValue), c.path);
    EXPECT_EQ(Value(kScreenSaveActiveValue), c.active);
    EXPECT_EQ(fs_.IniValue(kIni, "boot", "scrnsave.exe"), c.ini_after);
    fs_.WriteIniString(kIni, "boot", "scrnsave.exe", "").IgnoreError();
  }
  // Nothing named it anywhere: system.ini gets no entry it did not have.
  FakePlatform clean;
  clean.AddFile(kScr, "screensaver");
  Prompter prompter({}, notices_, clean);
  EXPECT_TRUE(lumiset::Uninstall(target_, facts_, clean, prompter));
  EXPECT_FALSE(clean.HasFile(kIni));
  EXPECT_FALSE(clean.Registry(kUser, kDesktopKey, kScreensaverPathValue));
}

// A record that is gone (another account's installation, say) still
// leaves nothing of the installation behind that is known by name.
TEST_F(Uninstall, WithoutARecordTheKnownFilesStillGo) {
  fs_ = FakePlatform();
  fs_.AddFile(kScr, "screensaver");
  fs_.AddFile(std::string(kFolder) + "\\Uninstall.exe", "x");
  fs_.AddFile(kDesktopLink, "x");
  fs_.SetRegistry(kMachine, kEntryKey, kEntryDisplayName, "Starfield Screensaver");
  EXPECT_TRUE(Run());
  EXPECT_FALSE(fs_.HasFile(kScr));
  EXPECT_FALSE(fs_.HasFile(kDesktopLink));
  EXPECT_FALSE(fs_.HasFolder("C:\\Program Files (x86)\\Lumiset Samples"));
  EXPECT_FALSE(fs_.HasRegistryKey(kMachine, kEntryKey));
}

TEST_F(Uninstall, AnInstallationForAllUsersIsFoundInTheMachinesRecord) {
  fs_ = FakePlatform();
  facts_.common_desktop = "C:\\Users\\Public\\Desktop";
  fs_.AddFile(kScr, "screensaver");
  Record({"C:\\Users\\Public\\Desktop\\Starfield Screensaver.lnk"}, kMachine);
  fs_.AddFile(kDesktopLink, "the user's own copy of the link");
  EXPECT_TRUE(Run());
  EXPECT_FALSE(fs_.HasFile("C:\\Users\\Public\\Desktop\\Starfield Screensaver.lnk"));
  EXPECT_TRUE(fs_.HasFile(kDesktopLink)) << "only the scope that has a record";
  EXPECT_FALSE(fs_.HasRegistryKey(kMachine, kRecordKey));
}

TEST_F(Uninstall, AScreensaverAlreadyGoneIsNoError) {
  EXPECT_TRUE(fs_.RemoveFile(kScr));
  EXPECT_TRUE(Run());
  EXPECT_FALSE(fs_.HasFile(kDesktopLink));
}

TEST_F(Uninstall, WithoutTheScreensaversNameNoScreensaverIsDeleted) {
  target_.scr_file_name.clear();
  Setting(kPublicScr, "");
  EXPECT_TRUE(Run());
  EXPECT_TRUE(fs_.HasFile(kScr));
  EXPECT_EQ(Value(kScreensaverPathValue), kPublicScr);
  EXPECT_FALSE(fs_.HasFile(kDesktopLink));
}

TEST(Footprint, FolderClimbStopsAtTheTrustedFolderAndAtWhatStays) {
  struct Case {
    const char* name;
    std::vector<std::string> extra;  // files beside the one removed
    std::vector<std::string> gone;
    std::vector<std::string> kept;
  };
  const std::string root = "C:\\Users\\me\\Start Menu\\Programs";
  const std::string link = root + "\\Co\\T Screensaver\\T Screensaver.lnk";
  const Case cases[] = {
      {"empties up to the trusted folder", {}, {root + "\\Co"}, {root}},
      {"stops at a folder that is not empty", {root + "\\Co\\Other\\x.lnk"},
       {root + "\\Co\\T Screensaver"}, {root + "\\Co", root + "\\Co\\Other\\x.lnk"}},
      {"a folder with desktop.ini stays", {root + "\\Co\\T Screensaver\\desktop.ini"}, {},
       {root + "\\Co\\T Screensaver"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakePlatform fs;
    fs.AddFile(link);
    for (const std::string& f : c.extra) fs.AddFile(f);
    EXPECT_TRUE(RemoveFootprintFile(fs, {link, root}));
    EXPECT_FALSE(fs.HasFile(link));
    for (const std::string& g : c.gone) EXPECT_FALSE(fs.HasFile(g) || fs.HasFolder(g)) << g;
    for (const std::string& k : c.kept) EXPECT_TRUE(fs.HasFile(k) || fs.HasFolder(k)) << k;
  }
}

TEST(Footprint, PathsAreComparedResolved) {
  FakePlatform fs;
  MachineFacts facts;
  facts.system_dir = "C:\\windows\\Sysnative";
  facts.program_files = "C:\\Program Files (x86)";
  facts.programs = "C:\\Users\\me\\Start Menu\\Programs";
  facts.desktop = "C:\\Users\\me\\Desktop";
  fs.AddFolder("C:\\Program Files (x86)\\Co\\T");
  fs.short_names["c:\\program files (x86)"] = "PROGRA~2";
  const InstallFootprint footprint("Co", "T", "t", facts);
  const std::pair<std::string, bool> cases[] = {
      {"C:\\Program Files (x86)\\Co\\T\\Uninstall.exe", true},
      {"c:\\PROGRAM FILES (X86)\\co\\t\\uninstall.EXE", true},
      {"C:\\PROGRA~2\\Co\\T\\Uninstall.exe", true},
      {"C:\\Program Files (x86)\\Co\\T\\.\\x\\..\\Uninstall.exe", true},
      {"C:\\Program Files (x86)\\\\Co\\T\\Uninstall.ini", true},
      {"C:\\Users\\me\\Desktop\\T Bildschirmschoner.lnk", true},
      {"C:\\windows\\Sysnative\\t.scr", true},
      {"C:\\windows\\Sysnative\\other.scr", false},
      {"C:\\Program Files (x86)\\Co\\T\\..\\Uninstall.exe", false},
      {"C:\\Program Files (x86)\\Co\\T\\Uninstall.exe.bak", false},
      {"C:\\Users\\me\\Desktop\\T Screensaver.txt", false},
      {"relative\\Uninstall.exe", false},
  };
  for (const auto& [path, matches] : cases) {
    std::string refusal;
    EXPECT_EQ(footprint.Match(fs, path, &refusal).has_value(), matches) << path << ": " << refusal;
  }
}

}  // namespace
}  // namespace lumiset
