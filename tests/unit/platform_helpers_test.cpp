#include "base/platform_helpers.h"

#include <gtest/gtest.h>

#include "support/fake_platform.h"

namespace lumiset {
namespace {

using testing::FakePlatform;

TEST(SystemPathMapping, ExactCaseSensitiveReplacement) {
  struct Case {
    const char* in;
    bool wow64;
    const char* native;
    const char* sysnative;
  };
  const Case cases[] = {
      {"C:\\windows\\Sysnative\\a.scr", true, "C:\\windows\\System32\\a.scr",
       "C:\\windows\\Sysnative\\a.scr"},
      {"C:\\windows\\sysnative\\a.scr", true, "C:\\windows\\System32\\a.scr",
       "C:\\windows\\sysnative\\a.scr"},
      {"C:\\windows\\SYSNATIVE\\a.scr", true, "C:\\windows\\SYSNATIVE\\a.scr",
       "C:\\windows\\SYSNATIVE\\a.scr"},
      {"C:\\windows\\system32\\control.exe", true, "C:\\windows\\system32\\control.exe",
       "C:\\windows\\Sysnative\\control.exe"},
      {"C:\\windows\\System32\\x", true, "C:\\windows\\System32\\x", "C:\\windows\\Sysnative\\x"},
      {"C:\\windows\\Sysnative\\a.scr", false, "C:\\windows\\Sysnative\\a.scr",
       "C:\\windows\\Sysnative\\a.scr"},
      {"C:\\windows\\system32\\a", false, "C:\\windows\\system32\\a", "C:\\windows\\system32\\a"},
      {"system32system32", true, "system32system32", "SysnativeSysnative"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ToNativeSystemPath(c.in, c.wow64), c.native) << c.in;
    EXPECT_EQ(ToSysnativePath(c.in, c.wow64), c.sysnative) << c.in;
  }
}

TEST(PathTests, FilesFoldersAndMissingPaths) {
  FakePlatform fs;
  fs.AddFile("C:\\data\\file.txt", "x");
  EXPECT_TRUE(PathIsFile(fs, "C:\\data\\file.txt"));
  EXPECT_TRUE(FileExists(fs, "C:\\DATA\\FILE.TXT"));
  EXPECT_FALSE(FileExists(fs, "C:\\data")) << "a folder is no file";
  EXPECT_FALSE(PathIsFile(fs, "C:\\data\\missing"));
  EXPECT_FALSE(FileExists(fs, "C:\\data\\missing"));
  EXPECT_FALSE(PathIsFile(fs, ""));
  EXPECT_FALSE(FileExists(fs, ""));
}

TEST(EnsureFolderTree, CreatesEachMissingComponent) {
  FakePlatform fs;
  EXPECT_FALSE(EnsureFolderTree(fs, "C:"));
  EXPECT_TRUE(EnsureFolderTree(fs, "C:\\"));
  EXPECT_TRUE(EnsureFolderTree(fs, "C:\\A\\B\\"));
  EXPECT_TRUE(fs.HasFolder("C:\\A"));
  EXPECT_TRUE(fs.HasFolder("C:\\A\\B"));
  EXPECT_TRUE(EnsureFolderTree(fs, "C:\\A\\B\\C"));
  EXPECT_TRUE(fs.HasFolder("C:\\A\\B\\C"));
}

TEST(EnsureFolderTree, StopsAtAComponentThatIsAFile) {
  FakePlatform fs;
  fs.AddFile("C:\\A\\file");
  EXPECT_FALSE(EnsureFolderTree(fs, "C:\\A\\file\\B"));
  EXPECT_FALSE(fs.HasFolder("C:\\A\\file\\B"));
}

TEST(EnsureFolderTree, RefusesOverlongPathsAndReportsRefusedCreations) {
  FakePlatform fs;
  EXPECT_FALSE(EnsureFolderTree(fs, "C:\\" + std::string(300, 'a')));
  EXPECT_FALSE(fs.HasFolder("C:\\" + std::string(255, 'a')));
  fs.unwritable_folders.insert("c:\\locked");
  fs.AddFolder("C:\\locked");
  EXPECT_FALSE(EnsureFolderTree(fs, "C:\\locked\\sub\\deeper"));
}

TEST(EnsureFolderTree, NetworkPathsCreateWhatTheyCan) {
  FakePlatform fs;
  EXPECT_TRUE(EnsureFolderTree(fs, "\\\\server\\share\\dir"));
}

TEST(EnsureFolderTree, AnExistingTreeIsEnoughAndAMissingDriveIsNot) {
  FakePlatform fs;
  EXPECT_FALSE(EnsureFolderTree(fs, ""));
  EXPECT_TRUE(EnsureFolderTree(fs, "C:\\X\\Y\\"));
  EXPECT_TRUE(EnsureFolderTree(fs, "C:\\X\\Y\\")) << "existing";
  EXPECT_TRUE(fs.HasFolder("C:\\X\\Y"));
  EXPECT_FALSE(EnsureFolderTree(fs, "Q:\\new\\")) << "no such drive";
  EXPECT_FALSE(EnsureFolderTree(fs, "relative\\"));
}

}  // namespace
}  // namespace lumiset
