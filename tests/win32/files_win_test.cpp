// What the installation's trust rests on, against Wine's real file system:
// staged files that take their destination's place in one step, programs
// run from a held private file, logs that are appended to, and paths in
// any script.
#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/platform_helpers.h"
#include "base/text.h"
#include "win32/platform_win.h"
#include "win32/private_file_win.h"
#include "win32/scoped_handle_win.h"
#include "win32/text_win.h"
#include "win32/windows_win.h"

namespace lumiset {
namespace {

std::optional<std::string> ReadText(Platform& p, const std::string& path) {
  StatusOr<std::unique_ptr<ReadableFile>> opened = p.OpenForRead(path, /*share_write=*/true);
  if (!opened) return std::nullopt;
  std::string text(static_cast<size_t>(opened.value()->Size()), '\0');
  if (!text.empty() && !opened.value()->ReadAt(0, text.data(), text.size())) return std::nullopt;
  return text;
}

bool WriteText(Platform& p, const std::string& path, std::string_view text) {
  StatusOr<std::unique_ptr<WritableFile>> file = p.CreateForWrite(path, /*create_new=*/false);
  return file && file.value()->Write(text.data(), text.size()) && file.value()->Close();
}

std::vector<std::string> Names(Platform& p, const std::string& pattern) {
  std::vector<std::string> names;
  for (const FindEntry& e : p.FindFiles(pattern)) names.push_back(e.name);
  return names;
}

class FilesWin : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = p_.TempFolderPath().value_or("C:\\") + "lumiset-files-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name();
    Clean();
    ASSERT_TRUE(EnsureFolderTree(p_, root_));
  }
  void TearDown() override { Clean(); }
  void Clean() {
    for (const FindEntry& e : p_.FindFiles(root_ + "\\*")) {
      if (!e.is_folder) p_.RemoveFile(root_ + "\\" + e.name).IgnoreError();
    }
    p_.RemoveFolder(root_).IgnoreError();
  }

  Win32Platform p_;
  std::string root_;
};

// Until Commit the destination is the old file, whole; afterwards the new
// one. A file dropped uncommitted leaves nothing.
TEST_F(FilesWin, AStagedFileTakesItsDestinationsPlaceInOneStep) {
  const std::string destination = root_ + "\\target.scr";
  ASSERT_TRUE(WriteText(p_, destination, "old"));
  {
    StatusOr<std::unique_ptr<StagedFile>> staged = p_.CreateStagedFile(destination);
    ASSERT_TRUE(staged) << staged.status().ToString();
    ASSERT_TRUE(staged.value()->Write("new, and longer", 15));
    EXPECT_EQ(ReadText(p_, destination), "old");
    EXPECT_EQ(Names(p_, root_ + "\\" + kStagedFilePattern).size(), 1u);
    ASSERT_TRUE(staged.value()->Commit());
  }
  EXPECT_EQ(ReadText(p_, destination), "new, and longer");
  EXPECT_TRUE(Names(p_, root_ + "\\" + kStagedFilePattern).empty());
  {
    StatusOr<std::unique_ptr<StagedFile>> dropped = p_.CreateStagedFile(destination);
    ASSERT_TRUE(dropped);
    ASSERT_TRUE(dropped.value()->Write("half", 4));
  }
  EXPECT_EQ(ReadText(p_, destination), "new, and longer");
  EXPECT_TRUE(Names(p_, root_ + "\\" + kStagedFilePattern).empty());
}

// A program that holds its file (the running screensaver) makes the
// commit fail; the staged file waits, and a later commit succeeds.
TEST_F(FilesWin, ACommitWaitsForAHeldDestination) {
  const std::string destination = root_ + "\\held.scr";
  ASSERT_TRUE(WriteText(p_, destination, "running"));
  StatusOr<std::unique_ptr<StagedFile>> staged = p_.CreateStagedFile(destination);
  ASSERT_TRUE(staged);
  ASSERT_TRUE(staged.value()->Write("update", 6));
  {
    ScopedFile held(CreateFileW(Utf8ToWide(destination).c_str(), GENERIC_READ, 0, nullptr,
                                OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(held);
    const Status refused = staged.value()->Commit();
    EXPECT_FALSE(refused);
    EXPECT_NE(refused.code(), StatusCode::kOk);
  }
  EXPECT_EQ(ReadText(p_, destination), "running");
  EXPECT_TRUE(staged.value()->Commit());
  EXPECT_EQ(ReadText(p_, destination), "update");
}

TEST_F(FilesWin, ALogIsAppendedToNeverCut) {
  const std::string log = root_ + "\\setup.log";
  ASSERT_TRUE(WriteText(p_, log, "before\r\n"));
  for (const char* line : {"one\r\n", "two\r\n"}) {
    StatusOr<std::unique_ptr<WritableFile>> file = p_.OpenForAppend(log);
    ASSERT_TRUE(file);
    ASSERT_TRUE(file.value()->Write(line, 5));
    ASSERT_TRUE(file.value()->Close());
  }
  EXPECT_EQ(ReadText(p_, log), "before\r\none\r\ntwo\r\n");
}

// Paths hold whatever the file system holds, whatever the ANSI code page.
TEST_F(FilesWin, PathsInAnyScript) {
  for (const char* name : {"\xD0\x97\xD0\xB0\xD0\xB3\xD1\x80\xD1\x83\xD0\xB7\xD0\xBA\xD0\xB8",
                           "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E", "Setup \xE2\x9C\xA8"}) {
    SCOPED_TRACE(name);
    const std::string folder = root_ + "\\" + name;
    ASSERT_TRUE(EnsureFolderTree(p_, folder));
    const std::string file = folder + "\\" + name + ".txt";
    ASSERT_TRUE(WriteText(p_, file, "x"));
    EXPECT_EQ(ReadText(p_, file), "x");
    EXPECT_EQ(Names(p_, folder + "\\*.txt"), std::vector<std::string>{std::string(name) + ".txt"});
    // A settings file in UTF-16, as the installation writes Uninstall.ini.
    std::string ini = "\xFF\xFE";
    for (wchar_t c : L"[s]\r\nk=" + Utf8ToWide(name) + L"\r\n") {
      ini += static_cast<char>(c & 0xFF);
      ini += static_cast<char>(c >> 8);
    }
    ASSERT_TRUE(WriteText(p_, folder + "\\a.ini", ini));
    EXPECT_EQ(p_.ReadIniString(folder + "\\a.ini", "s", "k"), name);
    EXPECT_TRUE(p_.RemoveFile(file));
    EXPECT_TRUE(p_.RemoveFile(folder + "\\a.ini"));
    EXPECT_TRUE(p_.RemoveFolder(folder));
  }
  constexpr char kKey[] = "Software\\Lumiset Tests\\\xD0\x9F\xD1\x91\xD1\x82\xD1\x80";
  ASSERT_TRUE(p_.WriteRegistryString(RegistryRoot::kCurrentUser, kKey, "v", "\xE2\x9C\xA8"));
  EXPECT_EQ(p_.ReadRegistryString(RegistryRoot::kCurrentUser, kKey, "v"), "\xE2\x9C\xA8");
  RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Lumiset Tests");
  // Limits count UTF-16 units, not bytes: a path of more than 259 bytes
  // fits when its characters are fewer.
  const std::string letters = [] {
    std::string s;
    for (int i = 0; i < 70; ++i) s += "\xD0\x96";
    return s;
  }();
  const std::string outer = root_ + "\\" + letters;
  const std::string inner = outer + "\\" + letters;
  ASSERT_GT(inner.size(), kMaxPathChars);
  ASSERT_TRUE(EnsureFolderTree(p_, inner)) << Utf16Length(inner);
  EXPECT_TRUE(p_.RemoveFolder(inner));
  EXPECT_TRUE(p_.RemoveFolder(outer));
}

TEST_F(FilesWin, CanonicalPathsResolveDotsAndShortNames) {
  const std::string folder = root_ + "\\A Long Folder Name";
  ASSERT_TRUE(p_.MakeFolder(folder));
  ASSERT_TRUE(WriteText(p_, folder + "\\file.txt", "x"));
  const std::optional<std::string> canonical = p_.CanonicalPath(folder + "\\file.txt");
  ASSERT_TRUE(canonical);
  EXPECT_EQ(p_.CanonicalPath(root_ + "\\x\\..\\.\\A Long Folder Name\\\\file.txt"), canonical);
  if (std::optional<std::string> short_path = p_.ShortPathName(folder + "\\file.txt")) {
    EXPECT_EQ(p_.CanonicalPath(*short_path), canonical);
  }
  // A file already gone keeps its name after the folder's resolved one.
  EXPECT_EQ(p_.CanonicalPath(folder + "\\gone.txt"),
            canonical->substr(0, canonical->rfind('\\')) + "\\gone.txt");
  EXPECT_TRUE(p_.RemoveFile(folder + "\\file.txt"));
  EXPECT_TRUE(p_.RemoveFolder(folder));
}

// The program runs from a private file that nobody can change while it is
// held, and the file is gone once it has run.
TEST_F(FilesWin, APrivateProgramRunsAndLeavesNothing) {
  const std::string system = p_.SystemDirectory();
  StatusOr<std::unique_ptr<ReadableFile>> cmd = p_.OpenForRead(system + "\\cmd.exe", true);
  ASSERT_TRUE(cmd);
  std::vector<uint8_t> program(static_cast<size_t>(cmd.value()->Size()));
  ASSERT_TRUE(cmd.value()->ReadAt(0, program.data(), program.size()));
  const std::string marker = root_ + "\\ran.txt";
  ASSERT_TRUE(p_.RunPrivateProgram(program, "/c echo ran> \"" + marker + "\""));
  EXPECT_TRUE(PathIsFile(p_, marker));
  EXPECT_TRUE(Names(p_, p_.WindowsDirectory() + "\\Temp\\lumiset-*.exe").empty());

  StatusOr<HeldProgram> held = StagePrivateProgram(program, /*inheritable=*/false);
  ASSERT_TRUE(held);
  const std::wstring path = held.value().path;
  // Nobody writes, renames or deletes it while it is held.
  EXPECT_FALSE(ScopedFile(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                      nullptr, OPEN_EXISTING, 0, nullptr)));
  EXPECT_FALSE(MoveFileW(path.c_str(), (path + L".other").c_str()));
  EXPECT_FALSE(DeleteFileW(path.c_str()));
  EXPECT_TRUE(FileHoldsExactly(held.value().hold.get(), program));
  held.value().hold.Reset();
  EXPECT_EQ(GetFileAttributesW(path.c_str()), INVALID_FILE_ATTRIBUTES) << "gone with its hold";
}

TEST_F(FilesWin, NamesWithARandomPartDiffer) {
  EXPECT_EQ(RandomNamePart().size(), 16u);
  EXPECT_NE(RandomNamePart(), RandomNamePart());
}

}  // namespace
}  // namespace lumiset
