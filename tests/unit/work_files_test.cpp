#include "setup/work_files.h"

#include <gtest/gtest.h>

#include "support/fake_platform.h"

namespace lumiset {
namespace {

using testing::FakePlatform;

TEST(WildcardMatch, WindowsRules) {
  const std::tuple<const char*, const char*, bool> cases[] = {
      {"*.*", "name", true},          {"*.*", "a.b", true},        {"vrtl*.*", "VRTL0001.tmp", true},
      {"vrtl*.*", "vrtl", true},      {"vrtl*.*", "xvrtl1.tmp", false}, {"a?c", "abc", true},
      {"a?c", "ac", false},           {"exact.txt", "EXACT.TXT", true}, {"*.txt", "a.tmp", false},
  };
  for (auto [pattern, name, match] : cases) {
    EXPECT_EQ(testing::WildcardMatch(pattern, name), match) << pattern << " " << name;
  }
}

TEST(WorkFolder, LocalAppDataFirstWithItsSubfolder) {
  FakePlatform fs;
  EXPECT_EQ(ChooseWorkFolder(fs), "C:\\Users\\me\\AppData\\Local\\Tolvane\\");
  EXPECT_TRUE(fs.HasFolder("C:\\Users\\me\\AppData\\Local\\Tolvane"));
  EXPECT_TRUE(fs.List("C:\\Users\\me\\AppData\\Local\\Tolvane").empty()) << "probe removed";
}

TEST(WorkFolder, FallsBackThroughTheCandidates) {
  FakePlatform fs;
  fs.AddFolder("C:\\Users\\me\\AppData\\Local\\Tolvane");
  fs.unwritable_folders.insert("c:\\users\\me\\appdata\\local\\tolvane");
  EXPECT_EQ(ChooseWorkFolder(fs), "C:\\Users\\me\\Temp\\") << "temp, no subfolder";

  fs.unwritable_folders.insert("c:\\users\\me\\temp");
  EXPECT_EQ(ChooseWorkFolder(fs), "C:\\Users\\me\\AppData\\Roaming\\Tolvane\\");

  fs.unwritable_folders.insert("c:\\users\\me\\appdata\\roaming\\tolvane");
  fs.AddFolder("C:\\Users\\me\\AppData\\Roaming\\Tolvane");
  EXPECT_EQ(ChooseWorkFolder(fs), std::nullopt);
  EXPECT_EQ(PrepareWorkFolder(fs), "C:\\Temp\\");
  EXPECT_TRUE(fs.HasFolder("C:\\Temp"));
}

TEST(WorkFolder, ShellFoldersKeyStandsInForTheShell) {
  FakePlatform fs;
  fs.special_folders.erase(SpecialFolder::kLocalAppData);
  fs.temp_folder.reset();
  fs.SetRegistry(RegistryRoot::kCurrentUser,
                 "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
                 "Local AppData", "C:\\Profiles\\me\\Local\\");
  EXPECT_EQ(ChooseWorkFolder(fs), "C:\\Profiles\\me\\Local\\Tolvane\\");
}

TEST(WorkFiles, NamesTakeTheFirstFreeNumber) {
  FakePlatform fs;
  std::string work = "C:\\W\\";
  fs.AddFolder("C:\\W");
  EXPECT_EQ(MakeWorkFileName(fs, work, "TMP"), "C:\\W\\vrtl0001.tmp");
  fs.AddFile("C:\\W\\vrtl0001.tmp");
  fs.AddFile("C:\\W\\vrtl0002.tmp");
  EXPECT_EQ(MakeWorkFileName(fs, work, "tmp"), "C:\\W\\vrtl0003.tmp");
  EXPECT_TRUE(fs.RemoveFile("C:\\W\\vrtl0001.tmp"));
  EXPECT_EQ(MakeWorkFileName(fs, work, "tmp"), "C:\\W\\vrtl0001.tmp");
  EXPECT_EQ(MakeWorkFileName(fs, work, "exe", "C:\\Other", "pre"), "C:\\Other\\pre0001.exe");
  EXPECT_EQ(MakeWorkFileName(fs, work, "tmp", "C:\\" + std::string(260, 'x')), "");
}

TEST(WorkFiles, AnEmptyWorkFolderIsChosenFirst) {
  FakePlatform fs;
  std::string work;
  EXPECT_EQ(MakeWorkFileName(fs, work, "tmp"),
            "C:\\Users\\me\\AppData\\Local\\Tolvane\\vrtl0001.tmp");
  EXPECT_EQ(work, "C:\\Users\\me\\AppData\\Local\\Tolvane\\");
}

TEST(WorkFiles, NoFreeNumberGivesAnEmptyName) {
  FakePlatform fs;
  std::string work = "C:\\W\\";
  for (int n = 1; n <= kMaxWorkFileNumber; ++n) {
    char name[32];
    std::snprintf(name, sizeof name, "C:\\W\\vrtl%04d.tmp", n);
    fs.AddFile(name);
  }
  EXPECT_EQ(MakeWorkFileName(fs, work, "tmp"), "");
}

TEST(WorkFiles, CleanUpRemovesOnlyPrefixedFiles) {
  FakePlatform fs;
  fs.AddFile("C:\\W\\vrtl0001.tmp");
  fs.AddFile("C:\\W\\VRTL0007.exe");
  fs.AddFile("C:\\W\\vrtlnodot");
  fs.AddFile("C:\\W\\keep.tmp");
  fs.AddFile("C:\\W\\dialog.bmp");
  fs.AddFolder("C:\\W\\vrtlfolder");
  EXPECT_TRUE(DeleteWorkFiles(fs, "C:\\W\\"));
  EXPECT_EQ(fs.List("C:\\W"), (std::vector<std::string>{"dialog.bmp", "keep.tmp", "vrtlfolder"}));
}

TEST(WorkFiles, CleanUpStopsAtAFileItCannotDelete) {
  class Stubborn : public ForwardingPlatform {
   public:
    using ForwardingPlatform::ForwardingPlatform;
    Status RemoveFile(const std::string& path) override {
      if (path.ends_with("0002.tmp")) return Status::Failure("delete", path, 5);
      return ForwardingPlatform::RemoveFile(path);
    }
  };
  FakePlatform fs;
  for (const char* n : {"C:\\W\\vrtl0001.tmp", "C:\\W\\vrtl0002.tmp", "C:\\W\\vrtl0003.tmp"}) {
    fs.AddFile(n);
  }
  Stubborn stubborn(fs);
  EXPECT_FALSE(DeleteWorkFiles(stubborn, "C:\\W\\"));
  EXPECT_EQ(fs.List("C:\\W"), (std::vector<std::string>{"vrtl0002.tmp", "vrtl0003.tmp"}));
}

}  // namespace
}  // namespace lumiset
