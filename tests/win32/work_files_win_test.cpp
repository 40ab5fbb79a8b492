// The work folder and work files on Wine's real file system.
#include <gtest/gtest.h>

#include "base/platform_helpers.h"
#include "win32/platform_win.h"
#include "setup/work_files.h"
#include "setup/work_files_win.h"
#include "package/package_format.h"

namespace lumiset {
namespace {

TEST(WorkFilesWin, WorkFolderIsTheLocalAppDataSubfolderAndIsCleaned) {
  Win32Platform p;
  std::optional<std::string> local = p.SpecialFolderPath(SpecialFolder::kLocalAppData);
  ASSERT_TRUE(local);
  const std::string expected = *local + "\\Tolvane\\";
  std::string stale = expected + "vrtl0042.tmp";
  CreateFolderPath(p, expected);
  ASSERT_TRUE(WriteBufferToFile(p, std::vector<uint8_t>{1}, stale));
  ASSERT_TRUE(WriteBufferToFile(p, std::vector<uint8_t>{1}, expected + "keep.txt"));

  EXPECT_EQ(PrepareWorkFolder(p), expected);
  EXPECT_FALSE(FileExists(p, stale));
  EXPECT_TRUE(FileExists(p, expected + "keep.txt"));
  p.RemoveFile(expected + "keep.txt");
}

TEST(WorkFilesWin, ResourcesAreExtractedWholeInPieces) {
  Win32Platform p;
  std::string work = PrepareWorkFolder(p);
  std::string path;
  ASSERT_TRUE(ExtractResourceToWorkFile(p, work, "TESTDATA", "BIG", &path));
  EXPECT_EQ(path, work + "vrtl0001.tmp");
  std::optional<std::vector<uint8_t>> bytes = ReadWholeFile(p, path, 1u << 20);
  ASSERT_TRUE(bytes);
  ASSERT_EQ(bytes->size(), 100000u);
  EXPECT_EQ(std::string(bytes->begin() + 99984, bytes->end()), "0123456789abcdef");

  std::string empty_path;
  ASSERT_TRUE(ExtractResourceToWorkFile(p, work, "TESTDATA", "EMPTY", &empty_path));
  EXPECT_EQ(empty_path, work + "vrtl0002.tmp");
  EXPECT_TRUE(PathIsFile(p, empty_path));

  std::string none;
  EXPECT_FALSE(ExtractResourceToWorkFile(p, work, "TESTDATA", "MISSING", &none));
  EXPECT_TRUE(none.empty());
  EXPECT_TRUE(DeleteWorkFiles(p, work));
  EXPECT_FALSE(FileExists(p, path));
}

}  // namespace
}  // namespace lumiset
