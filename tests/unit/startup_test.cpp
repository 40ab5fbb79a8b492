#include "setup/startup.h"

#include <gtest/gtest.h>

#include "package/package_format.h"
#include "setup/package_loader.h"
#include "install/engine.h"
#include "wizard/wizard_driver.h"
#include "base/language.h"
#include "support/fake_platform.h"
#include "support/test_package.h"

namespace lumiset {
namespace {

using testing::BuildInstaller;
using testing::FakePlatform;
using testing::MakeBmp;
using testing::TestPackage;

constexpr char kInstaller[] = "C:\\Downloads\\StarfieldSetup.exe";

class Startup : public ::testing::Test {
 protected:
  // One process start over the same machine.
  std::optional<RunMode> Run(const TestPackage& pkg, std::string_view command_line = "setup.exe") {
    fs_.AddFile(kInstaller, BuildInstaller(pkg));
    return Start(command_line);
  }
  std::optional<RunMode> Start(std::string_view command_line) {
    start_ = StartUp(fs_, command_line, /*vista_or_later=*/true);
    if (!start_) return std::nullopt;
    return start_->mode;
  }
  const PackageInfo& Package() const { return *start_->package; }

  FakePlatform fs_;
  std::optional<StartUpResult> start_;
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
  const PackageInfo& p = Package();
  EXPECT_EQ(start_->facts.system_dir, "C:\\windows\\Sysnative");
  EXPECT_EQ(start_->facts.module_path, kInstaller);
  EXPECT_EQ(p.language, kGerman);
  EXPECT_EQ(p.licence_text, "all\r\nnur deutsch\r\nfile C:\\windows\\Sysnative\\starfield.scr");
  EXPECT_EQ(p.info_text, "Installs into C:\\windows\\Sysnative.");
  EXPECT_EQ(p.title, "Starfield");
  EXPECT_EQ(p.scr_file_name, "starfield");
  EXPECT_EQ(p.copyright_line, "(c) 2026 Lumiset Samples");
  EXPECT_EQ(p.company, "Lumiset Samples");
  EXPECT_EQ(p.version, "1.4");
  EXPECT_EQ(p.about_url, "https://example.com/");
  EXPECT_TRUE(p.defaults.show_setup_options);
  EXPECT_TRUE(p.defaults.open_display_properties);
  EXPECT_TRUE(p.defaults.start_menu_entry);
  EXPECT_FALSE(p.defaults.desktop_icon);
  EXPECT_TRUE(p.defaults.detect_existing);
  EXPECT_TRUE(p.defaults.show_info_page);
  EXPECT_TRUE(p.show_header_text);
  EXPECT_EQ(p.header_text_color, 0x00FFFFFFu);
  EXPECT_NEAR(p.accent_hue, 2.0 / 3, 1e-12);
  EXPECT_FALSE(start_->options.themed_look);
  EXPECT_EQ(p.uninstaller, pkg.uninstaller) << "decoded once, at start";
  EXPECT_EQ(p.companion_program, pkg.companion);
  EXPECT_TRUE(start_->options.show_pages);
  EXPECT_TRUE(start_->options.choices.set_as_default);

  // The block's offset points at the screensaver block.
  const std::vector<uint8_t> file = fs_.FileBytes(kInstaller);
  ASSERT_LT(p.screensaver_block_offset + 8, file.size());
  EXPECT_EQ(std::string(file.begin() + static_cast<long>(p.screensaver_block_offset),
                        file.begin() + static_cast<long>(p.screensaver_block_offset) + 4),
            "TVZB");
}

TEST_F(Startup, SwitchesOverridePackageDefaults) {
  ASSERT_EQ(Run(TestPackage{}, "\"C:\\Downloads\\setup.exe\" /Q /P /M- /S /X"), RunMode::kInstall);
  const RunOptions& o = start_->options;
  EXPECT_TRUE(o.quiet);
  EXPECT_FALSE(o.show_pages);
  EXPECT_TRUE(o.choices.open_display_properties);
  EXPECT_FALSE(o.choices.start_menu_entry);
  EXPECT_TRUE(o.choices.desktop_icon);
  EXPECT_TRUE(o.themed_look);
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

TEST_F(Startup, BmpPictureBecomesThePackedBitmapWithoutAFile) {
  TestPackage pkg;
  pkg.picture = MakeBmp(1, 1, 24, 0, {}, {0x10, 0x20, 0x30, 0});
  const std::vector<std::string> before = fs_.List("C:\\");
  ASSERT_TRUE(Run(pkg));
  EXPECT_EQ(Package().header_picture.size(), 44u);
  std::vector<std::string> after = fs_.List("C:\\");
  std::erase(after, "Downloads\\StarfieldSetup.exe");
  EXPECT_EQ(after, before) << "nothing is written to read a package";
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
    ASSERT_TRUE(Run(pkg)) << c.name;
    EXPECT_TRUE(Package().header_picture.empty()) << c.name;
  }
}

TEST_F(Startup, ADamagedPictureStillLoads) {
  PackageContents contents;
  TestPackage pkg;
  std::vector<uint8_t> installer = BuildInstaller(pkg);
  // Rebuild with a picture block whose stream is garbage.
  SetupRecord record = pkg.record;
  contents.picture_block = WrapBlock(100, std::vector<uint8_t>(20, 0xEE));
  contents.screensaver_block = EncodeBlock(pkg.screensaver, 9);
  record.screensaver_block_length = static_cast<uint32_t>(contents.screensaver_block.size());
  contents.record_item = EncodeRecordItem(EncodeSetupRecord(record), 9);
  installer = testing::MinimalPeImage();
  ASSERT_TRUE(AppendPackage(installer, contents));
  fs_.AddFile(kInstaller, installer);
  ASSERT_EQ(Start("s.exe"), RunMode::kInstall);
  EXPECT_TRUE(Package().header_picture.empty());
}

// Whatever makes a package unreadable, start-up ends in kDamaged with no
// package and the reason; the switches are still read, since a quiet run
// must not show the message. Names are checked as the packer checks them.
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
  TestPackage device_name;
  device_name.record.scr_file_name = "NUL";
  TestPackage climbing_company;
  climbing_company.record.company = "..\\..\\windows";
  TestPackage registry_company;
  registry_company.record.company = "Microsoft\\Windows\\CurrentVersion";
  TestPackage drive_company;
  drive_company.record.company = "C:\\evil";
  TestPackage long_title;
  long_title.record.title = std::string(120, 't');
  TestPackage damaged_uninstaller;
  damaged_uninstaller.uninstaller = {1, 2, 3};
  std::vector<uint8_t> bad_uninstaller = BuildInstaller(damaged_uninstaller);
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
      {"device name", BuildInstaller(device_name)},
      {"company that climbs out", BuildInstaller(climbing_company)},
      {"company that is a registry path", BuildInstaller(registry_company)},
      {"company with a drive", BuildInstaller(drive_company)},
      {"title too long for its links", BuildInstaller(long_title)},
  };
  for (const Case& c : cases) {
    fs_.AddFile(kInstaller, c.file);
    EXPECT_EQ(Start("s.exe /q"), RunMode::kDamaged) << c.name;
    EXPECT_TRUE(start_->options.quiet) << c.name << ": the switches are read all the same";
    EXPECT_FALSE(start_->package) << c.name;
    EXPECT_FALSE(start_->damage.ok()) << c.name;
  }
  // A damaged uninstaller block is found before anything is installed.
  {
    const uint32_t p = static_cast<uint32_t>(bad_uninstaller[bad_uninstaller.size() - 4] |
                                             bad_uninstaller[bad_uninstaller.size() - 3] << 8);
    const uint32_t record_length = bad_uninstaller[p] | bad_uninstaller[p + 1] << 8;
    const uint32_t picture_length = bad_uninstaller[p + 4 + record_length];
    const size_t uninstaller_stream = p + 4 + record_length + 4 + picture_length + 4 + 8;
    bad_uninstaller[uninstaller_stream + 2] ^= 0x55;
    fs_.AddFile(kInstaller, bad_uninstaller);
    EXPECT_EQ(Start("s.exe /q"), RunMode::kDamaged) << "damaged uninstaller";
    EXPECT_EQ(start_->damage.code(), StatusCode::kCorrupt) << start_->damage.ToString();
  }
  EXPECT_TRUE(fs_.RemoveFile(kInstaller));
  EXPECT_EQ(Start("s.exe"), RunMode::kDamaged) << "installer missing";
}

TEST_F(Startup, UnknownSystemFolderEndsTheRun) {
  fs_.system_directory.clear();
  EXPECT_FALSE(Run(TestPackage{}));
}

}  // namespace
}  // namespace lumiset
