// The work folder and work files on Wine's real file system.
#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "base/platform_helpers.h"
#include "win32/platform_win.h"
#include "setup/work_files.h"
#include "setup/work_files_win.h"
#include "package/package_format.h"

namespace lumiset {
namespace {

bool WriteBytes(Platform& p, const std::string& path, std::string_view text) {
  StatusOr<std::unique_ptr<WritableFile>> file = p.CreateForWrite(path, /*create_new=*/false);
  return file && file.value()->Write(text.data(), text.size()) && file.value()->Close();
}

std::optional<std::vector<uint8_t>> ReadBytes(Platform& p, const std::string& path) {
  StatusOr<std::unique_ptr<ReadableFile>> opened = p.OpenForRead(path, /*share_write=*/false);
  if (!opened) return std::nullopt;
  ReadableFile& file = *opened.value();
  std::vector<uint8_t> bytes(static_cast<size_t>(file.Size()));
  if (!bytes.empty() && !file.ReadAt(0, bytes.data(), bytes.size())) return std::nullopt;
  return bytes;
}

TEST(WorkFilesWin, WorkFolderIsTheLocalAppDataSubfolderAndIsCleaned) {
  Win32Platform p;
  std::optional<std::string> local = p.SpecialFolderPath(SpecialFolder::kLocalAppData);
  ASSERT_TRUE(local);
  const std::string expected = *local + "\\Tolvane\\";
  std::string stale = expected + "vrtl0042.tmp";
  EnsureFolderTree(p, expected);
  ASSERT_TRUE(WriteBytes(p, stale, "x"));
  ASSERT_TRUE(WriteBytes(p, expected + "keep.txt", "x"));

  EXPECT_EQ(PrepareWorkFolder(p), expected);
  EXPECT_FALSE(FileExists(p, stale));
  EXPECT_TRUE(FileExists(p, expected + "keep.txt"));
  EXPECT_TRUE(p.RemoveFile(expected + "keep.txt"));
}

TEST(WorkFilesWin, ResourcesAreExtractedWholeInPieces) {
  Win32Platform p;
  std::string work = PrepareWorkFolder(p);
  std::string path;
  ASSERT_TRUE(ExtractResourceToWorkFile(p, work, "TESTDATA", "BIG", &path));
  EXPECT_EQ(path, work + "vrtl0001.tmp");
  std::optional<std::vector<uint8_t>> bytes = ReadBytes(p, path);
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
