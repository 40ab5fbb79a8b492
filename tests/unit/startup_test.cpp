#include "setup/startup.h"

#include <gtest/gtest.h>

#include "package/package_format.h"
#include "setup/package_loader.h"
#include "setup/work_files.h"
#include "support/fake_platform.h"
#include "support/test_package.h"

namespace lumiset {
namespace {

using testing::BuildInstaller;
using testing::FakePlatform;
using testing::MakeBmp;
using testing::TestPackage;

constexpr char kInstaller[] = "C:\\Downloads\\StarfieldSetup.exe";
constexpr char kWork[] = "C:\\Users\\me\\AppData\\Local\\Tolvane\\";

class Startup : public ::testing::Test {
 protected:
  Startup() { state_.WorkFolder = PrepareWorkFolder(fs_); }

  // One process start: a fresh state over the same machine.
  std::optional<RunMode> Run(const TestPackage& pkg, std::string_view command_line = "setup.exe") {
    const std::string work_folder = state_.WorkFolder;
    state_ = SetupState{};
    state_.WorkFolder = work_folder;
    fs_.AddFile(kInstaller, BuildInstaller(pkg));
    return StartUp(fs_, state_, command_line);
  }

  FakePlatform fs_;
  SetupState state_;
};

TEST_F(Startup, LoadsEveryPackageValue) {
  TestPackage pkg;
  pkg.record.language = 0;
  pkg.record.licence_text = "all\r\n#ifgerman\r\nnur deutsch\r\n#endif\r\nfile {InstalledScrFileName}";
  pkg.record.version = "1.4";
  pkg.record.about_url = "https://example.com/";
  pkg.uninstaller = {1, 2, 3};
  pkg.companion = {4, 5};
  fs_.user_lang_id = 0x0407;
  ASSERT_EQ(Run(pkg), RunMode::kInstall);
  EXPECT_EQ(state_.SystemDir, "C:\\windows\\Sysnative");
  EXPECT_EQ(state_.InstalledScrPath, "C:\\windows\\Sysnative\\starfield.scr");
  EXPECT_EQ(state_.PackageSourcePath, kInstaller);
  EXPECT_EQ(state_.LanguageIndex, kGerman);
  EXPECT_EQ(state_.LicenceText,
            "all\r\nnur deutsch\r\nfile C:\\windows\\Sysnative\\starfield.scr");
  EXPECT_EQ(state_.InfoText, "Installs into C:\\windows\\Sysnative.");
  EXPECT_EQ(state_.ScreenSaverTitle, "Starfield");
  EXPECT_EQ(state_.CopyrightLine, "(c) 2026 Lumiset Samples");
  EXPECT_EQ(state_.CompanyName, "Lumiset Samples");
  EXPECT_EQ(state_.DisplayVersion, "1.4");
  EXPECT_EQ(state_.AboutUrl, "https://example.com/");
  EXPECT_EQ(state_.ShowSetupOptions, 1);
  EXPECT_EQ(state_.OpenDisplayProperties, 1);
  EXPECT_EQ(state_.CreateStartMenuEntry, 1);
  EXPECT_EQ(state_.CreateDesktopIcon, 0);
  EXPECT_EQ(state_.DetectExisting, 1);
  EXPECT_EQ(state_.ShowInfoPage, 1);
  EXPECT_EQ(state_.ShowHeaderText, 1);
  EXPECT_EQ(state_.HeaderTextColor, 0x00FFFFFFu);
  EXPECT_NEAR(state_.AccentHue, 2.0 / 3, 1e-12);
  EXPECT_EQ(state_.XpLook, 0);
  EXPECT_EQ(state_.UninstallerBlock.size() > 8, true);
  EXPECT_EQ(state_.CompanionProgram, pkg.companion);
  EXPECT_EQ(state_.CompanionProgramPresent, 1);
  EXPECT_EQ(state_.ShowScreens, 1);
  EXPECT_EQ(state_.SetAsDefault, 1);

  // The data offset points at the screensaver block.
  const std::vector<uint8_t> file = fs_.FileBytes(kInstaller);
  ASSERT_LT(state_.PackageDataOffset + 8, file.size());
  EXPECT_EQ(std::string(file.begin() + static_cast<long>(state_.PackageDataOffset),
                        file.begin() + static_cast<long>(state_.PackageDataOffset) + 4),
            "TVZB");
}

TEST_F(Startup, SwitchesOverridePackageDefaults) {
  ASSERT_EQ(Run(TestPackage{}, "\"C:\\Downloads\\setup.exe\" /Q /P /M- /S /X"), RunMode::kInstall);
  EXPECT_EQ(state_.QuietMode, 1);
  EXPECT_EQ(state_.ShowScreens, 0);
  EXPECT_EQ(state_.OpenDisplayProperties, 1);
  EXPECT_EQ(state_.CreateStartMenuEntry, 0);
  EXPECT_EQ(state_.CreateDesktopIcon, 1);
  EXPECT_EQ(state_.XpLook, 1);
}

TEST_F(Startup, RunModeDependsOnAnInstalledCopy) {
  EXPECT_EQ(Run(TestPackage{}, "s.exe /u"), RunMode::kClose);
  fs_.AddFile("C:\\WINDOWS\\Sysnative\\starfield.scr", "old");
  EXPECT_EQ(Run(TestPackage{}, "s.exe /u"), RunMode::kUninstall);
  EXPECT_EQ(Run(TestPackage{}, "s.exe"), RunMode::kAskExisting);
  EXPECT_EQ(Run(TestPackage{}, "s.exe /q"), RunMode::kInstall);
  EXPECT_EQ(Run(TestPackage{}, "s.exe /? /u"), RunMode::kHelp);
  TestPackage no_detect;
  no_detect.record.detect_existing = 0;
  EXPECT_EQ(Run(no_detect, "s.exe /u"), RunMode::kClose);
  EXPECT_EQ(Run(no_detect, "s.exe"), RunMode::kInstall);
}

TEST_F(Startup, BmpPictureBecomesThePackedBitmapAndLeavesNoFile) {
  TestPackage pkg;
  pkg.picture = MakeBmp(1, 1, 24, 0, {}, {0x10, 0x20, 0x30, 0});
  ASSERT_TRUE(Run(pkg));
  EXPECT_EQ(state_.HeaderPicture.size(), 44u);
  EXPECT_TRUE(fs_.List(kWork).empty());
}

TEST_F(Startup, PicturesThatCannotBeShownLoadWithoutOne) {
  struct Case {
    const char* name;
    uint16_t format;
    std::vector<uint8_t> picture;
  };
  const Case cases[] = {
      {"JPEG", kPictureJpeg, {0xFF, 0xD8, 0xFF, 0xE0}},
      {"PNG", kPicturePng, {0x89, 'P', 'N', 'G'}},
      {"unknown format", 7, {1, 2, 3}},
      {"RLE4 bitmap", kPictureBmp, MakeBmp(2, 1, 4, 2, std::vector<uint32_t>(16), {0, 1, 0, 0})},
      {"not a bitmap", kPictureBmp, {'n', 'o', 'p', 'e'}},
  };
  for (const Case& c : cases) {
    TestPackage pkg;
    pkg.record.picture_format = c.format;
    pkg.picture = c.picture;
    state_.HeaderPicture = {1};
    ASSERT_TRUE(Run(pkg)) << c.name;
    EXPECT_TRUE(state_.HeaderPicture.empty()) << c.name;
    EXPECT_TRUE(fs_.List(kWork).empty()) << c.name;
  }
}

TEST_F(Startup, ADamagedPictureStillLoads) {
  PackageContents contents;
  TestPackage pkg;
  std::vector<uint8_t> installer = BuildInstaller(pkg);
  // Rebuild with a picture block whose stream is garbage.
  SetupRecord record = pkg.record;
  contents.record_item = EncodeRecordItem(EncodeSetupRecord(record), 9);
  contents.picture_block = WrapBlock(100, std::vector<uint8_t>(20, 0xEE));
  contents.screensaver_block = EncodeBlock(pkg.screensaver, 9);
  installer = testing::MinimalPeImage();
  ASSERT_TRUE(AppendPackage(installer, contents));
  fs_.AddFile(kInstaller, installer);
  ASSERT_TRUE(StartUp(fs_, state_, "s.exe"));
  EXPECT_TRUE(state_.HeaderPicture.empty());
  EXPECT_TRUE(fs_.List(kWork).empty());
}

// Whatever makes a package unreadable, start-up ends in kDamaged with exit
// code 2 and leaves the package values alone; the switches are still read,
// since a quiet run must not show the message.
TEST_F(Startup, UnreadablePackagesEndAsDamagedWithoutTouchingThePackageValues) {
  struct Case {
    const char* name;
    std::vector<uint8_t> file;
  };
  std::vector<uint8_t> bad_record = BuildInstaller(TestPackage{});
  {
    // Replace the record stream's first byte: not a zlib header any more.
    const uint32_t p = static_cast<uint32_t>(bad_record[bad_record.size() - 4] |
                                             bad_record[bad_record.size() - 3] << 8);
    bad_record[p + 8] ^= 0xFF;
  }
  TestPackage bad_name;
  bad_name.record.scr_file_name = "..\\..\\evil";
  TestPackage empty_name;
  empty_name.record.scr_file_name = "";
  TestPackage long_name;
  long_name.record.scr_file_name = std::string(250, 'n');
  // The record's block length against the bytes that are there.
  TestPackage long_block;
  long_block.block_length_skew = 8;  // past any alignment padding
  TestPackage no_block;
  no_block.stated_block_length = 4;
  const Case cases[] = {
      {"empty file", {}},
      {"stub only", testing::MinimalPeImage()},
      {"damaged record", bad_record},
      {"file name with a path", BuildInstaller(bad_name)},
      {"empty file name", BuildInstaller(empty_name)},
      {"file name too long for a path", BuildInstaller(long_name)},
      {"block longer than the file holds", BuildInstaller(long_block)},
      {"block shorter than its header", BuildInstaller(no_block)},
  };
  for (const Case& c : cases) {
    SetupState fresh;
    fresh.WorkFolder = state_.WorkFolder;
    fs_.AddFile(kInstaller, c.file);
    EXPECT_EQ(StartUp(fs_, fresh, "s.exe /q"), RunMode::kDamaged) << c.name;
    EXPECT_EQ(fresh.ExitCode, kExitDamaged) << c.name;
    EXPECT_EQ(fresh.QuietMode, 1) << c.name << ": the switches are read all the same";
    EXPECT_TRUE(fresh.UninstallerBlock.empty()) << c.name;
    EXPECT_TRUE(fresh.CompanionProgram.empty()) << c.name;
    EXPECT_TRUE(fresh.ScreenSaverTitle.empty()) << c.name;
  }
  EXPECT_TRUE(fs_.RemoveFile(kInstaller));
  EXPECT_EQ(StartUp(fs_, state_, "s.exe"), RunMode::kDamaged) << "installer missing";
}

TEST_F(Startup, UnknownSystemFolderEndsAsAFailure) {
  fs_.system_directory.clear();
  EXPECT_FALSE(Run(TestPackage{}));
  EXPECT_EQ(state_.ExitCode, kExitFailed);
}

TEST(ScrFileName, Validity) {
  const std::pair<const char*, bool> cases[] = {
      {"starfield", true}, {"Star Field 2", true}, {"a.b", true}, {"", false},
      {"a\\b", false},     {"a/b", false},         {"c:x", false}, {"what?", false},
      {"dots.", false},    {"space ", false},      {"tab\t", false},
  };
  for (auto [name, ok] : cases) EXPECT_EQ(IsValidScrFileName(name), ok) << name;
}

}  // namespace
}  // namespace lumiset
