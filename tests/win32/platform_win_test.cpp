// Win32Platform against Wine's real registry and file system. Runs in a
// 64-bit prefix, so this 32-bit process is under WOW64.
#include "win32/platform_win.h"

#include <gtest/gtest.h>

#include "setup/startup.h"
#include "base/platform_helpers.h"
#include "base/text.h"
#include "win32/scoped_handle_win.h"
#include "win32/windows_win.h"

#include <shellapi.h>

namespace lumiset {
namespace {

constexpr char kTestKey[] = "Software\\Lumiset Tests";

bool IsFolder(Platform& p, const std::string& path) {
  return p.QueryPath(path) == Platform::PathKind::kFolder;
}

class Win32PlatformTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char temp[MAX_PATH];
    ASSERT_NE(GetTempPathA(MAX_PATH, temp), 0u);
    root_ = std::string(temp) + "lumiset-" + ::testing::UnitTest::GetInstance()->current_test_info()->name();
    RemoveTree(root_);
    ASSERT_TRUE(CreateDirectoryA(root_.c_str(), nullptr));
  }
  void TearDown() override {
    RemoveTree(root_);
    RegDeleteTreeA(HKEY_CURRENT_USER, kTestKey);
  }
  static void RemoveTree(const std::string& path) {
    std::string double_zero = path + '\0';
    SHFILEOPSTRUCTA op{};
    op.wFunc = FO_DELETE;
    op.pFrom = double_zero.c_str();
    op.fFlags = FOF_NO_UI;
    SHFileOperationA(&op);
  }
  static void WriteFile(const std::string& path, std::string_view text) {
    ScopedFile f(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    ASSERT_TRUE(f);
    DWORD put = 0;
    ::WriteFile(f.get(), text.data(), static_cast<DWORD>(text.size()), &put, nullptr);
  }

  Win32Platform p_;
  std::string root_;
};

TEST_F(Win32PlatformTest, RegistryStringsAreStoredWithoutTheirZeroAndReadBackTerminated) {
  ASSERT_TRUE(p_.WriteRegistryString(RegistryRoot::kCurrentUser, std::string(kTestKey) + "\\Deep\\er",
                                     "Name", "Starfield"));
  EXPECT_EQ(p_.ReadRegistryString(RegistryRoot::kCurrentUser, std::string(kTestKey) + "\\Deep\\er",
                                  "Name"),
            "Starfield");
  // Another writer's value with its terminating zero reads back the same.
  ASSERT_EQ(RegSetKeyValueA(HKEY_CURRENT_USER, kTestKey, "Zeroed", REG_SZ, "Nova", 5),
            ERROR_SUCCESS);
  EXPECT_EQ(p_.ReadRegistryString(RegistryRoot::kCurrentUser, kTestKey, "Zeroed"), "Nova");
}

TEST_F(Win32PlatformTest, RegistryReadLimitsAndMissingValues) {
  const std::string longest(259, 'x');
  ASSERT_TRUE(p_.WriteRegistryString(RegistryRoot::kCurrentUser, kTestKey, "Longest", longest));
  EXPECT_EQ(p_.ReadRegistryString(RegistryRoot::kCurrentUser, kTestKey, "Longest"), longest);
  ASSERT_TRUE(p_.WriteRegistryString(RegistryRoot::kCurrentUser, kTestKey, "TooLong",
                                     std::string(260, 'y')));
  EXPECT_EQ(p_.ReadRegistryString(RegistryRoot::kCurrentUser, kTestKey, "TooLong"), std::nullopt);
  EXPECT_EQ(p_.ReadRegistryString(RegistryRoot::kCurrentUser, kTestKey, "Missing"), std::nullopt);
  EXPECT_EQ(p_.ReadRegistryString(RegistryRoot::kCurrentUser, "Software\\No Such Key", "x"),
            std::nullopt);
  ASSERT_TRUE(p_.WriteRegistryString(RegistryRoot::kLocalMachine, kTestKey, "Machine", "wide"));
  EXPECT_EQ(p_.ReadRegistryString(RegistryRoot::kLocalMachine, kTestKey, "Machine"), "wide");
  RegDeleteTreeA(HKEY_LOCAL_MACHINE, kTestKey);
}

TEST_F(Win32PlatformTest, DwordValuesValueDeletionAndEmptyKeys) {
  const std::string key = std::string(kTestKey) + "\\Entry";
  ASSERT_TRUE(p_.WriteRegistryDword(RegistryRoot::kCurrentUser, key, "NoModify", 1));
  ASSERT_TRUE(p_.WriteRegistryDword(RegistryRoot::kCurrentUser, key, "Size", 0xFFFFFFFFu));
  DWORD type = 0;
  DWORD data = 0;
  DWORD size = sizeof data;
  ASSERT_EQ(RegGetValueA(HKEY_CURRENT_USER, key.c_str(), "Size", RRF_RT_ANY, &type, &data, &size),
            ERROR_SUCCESS);
  EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
  EXPECT_EQ(data, 0xFFFFFFFFu);
  EXPECT_EQ(size, 4u);

  EXPECT_FALSE(p_.RegistryKeyIsEmpty(RegistryRoot::kCurrentUser, key));
  EXPECT_TRUE(p_.DeleteRegistryValue(RegistryRoot::kCurrentUser, key, "NoModify"));
  EXPECT_FALSE(p_.DeleteRegistryValue(RegistryRoot::kCurrentUser, key, "NoModify"))
      << "a missing value cannot be deleted";
  EXPECT_TRUE(p_.DeleteRegistryValue(RegistryRoot::kCurrentUser, key, "Size"));
  EXPECT_TRUE(p_.RegistryKeyIsEmpty(RegistryRoot::kCurrentUser, key));

  // A subkey alone makes a key not empty; a missing key is not empty either.
  ASSERT_TRUE(p_.WriteRegistryString(RegistryRoot::kCurrentUser, key + "\\Sub", "x", "1"));
  EXPECT_FALSE(p_.RegistryKeyIsEmpty(RegistryRoot::kCurrentUser, key));
  EXPECT_FALSE(p_.RegistryKeyIsEmpty(RegistryRoot::kCurrentUser, key + "\\Missing"));
  EXPECT_FALSE(p_.DeleteRegistryValue(RegistryRoot::kCurrentUser, key + "\\Missing", "x"));
}

TEST_F(Win32PlatformTest, Wow64AndTheSystemFolderNames) {
  const std::string system_dir = FormSystemDir(p_.SystemDirectory(), p_.IsWow64());
  if constexpr (sizeof(void*) == 4) {
    EXPECT_TRUE(p_.IsWow64()) << "a 64-bit prefix runs this 32-bit test under WOW64";
    EXPECT_EQ(system_dir, "C:\\windows\\Sysnative");
    EXPECT_TRUE(IsFolder(p_, system_dir)) << "the alias reaches the 64-bit folder";
    EXPECT_EQ(ToNativeSystemPath(p_, system_dir + "\\a.scr"), "C:\\windows\\System32\\a.scr");
  } else {
    // A native 64-bit process sees the real folder under its own name.
    EXPECT_FALSE(p_.IsWow64());
    EXPECT_EQ(AsciiLower(system_dir), "c:\\windows\\system32");
    EXPECT_TRUE(IsFolder(p_, system_dir));
    EXPECT_EQ(ToNativeSystemPath(p_, system_dir + "\\a.scr"), system_dir + "\\a.scr");
    EXPECT_EQ(ToSysnativePath(p_, system_dir + "\\a.scr"), system_dir + "\\a.scr");
  }
}

TEST_F(Win32PlatformTest, FilesFoldersAndSearches) {
  WriteFile(root_ + "\\file.txt", "hello");
  WriteFile(root_ + "\\vrtlnodot", "x");
  EXPECT_TRUE(PathIsFile(p_, root_ + "\\file.txt"));
  EXPECT_TRUE(FileExists(p_, root_ + "\\FILE.TXT"));
  EXPECT_FALSE(FileExists(p_, root_)) << "a folder is no file";
  EXPECT_TRUE(IsFolder(p_, root_));
  EXPECT_FALSE(PathIsFile(p_, root_ + "\\missing"));
  const std::vector<FindEntry> found = p_.FindFiles(root_ + "\\vrtl*.*");
  ASSERT_EQ(found.size(), 1u) << "*.* matches a name without a dot";
  EXPECT_EQ(found[0].name, "vrtlnodot");

  EXPECT_TRUE(EnsureFolderTree(p_, root_ + "\\A\\B\\"));
  EXPECT_TRUE(IsFolder(p_, root_ + "\\A\\B"));
  EXPECT_FALSE(EnsureFolderTree(p_, root_ + "\\file.txt\\C"));
  EXPECT_TRUE(EnsureFolderTree(p_, root_ + "\\A\\B")) << "existing";
  EXPECT_TRUE(p_.RemoveFolder(root_ + "\\A\\B"));
  EXPECT_TRUE(p_.RemoveFile(root_ + "\\file.txt"));
  EXPECT_FALSE(p_.RemoveFile(root_ + "\\file.txt"));
}

TEST_F(Win32PlatformTest, ReadAndWriteFiles) {
  const std::string path = root_ + "\\data.bin";
  {
    StatusOr<std::unique_ptr<WritableFile>> w = p_.CreateForWrite(path, /*create_new=*/true);
    ASSERT_TRUE(w);
    EXPECT_TRUE(w.value()->Write("0123456789", 10));
    EXPECT_TRUE(w.value()->Close());
  }
  EXPECT_FALSE(p_.CreateForWrite(path, /*create_new=*/true)) << "the name is taken";
  StatusOr<std::unique_ptr<ReadableFile>> r = p_.OpenForRead(path, /*share_write=*/true);
  ASSERT_TRUE(r);
  EXPECT_EQ(r.value()->Size(), 10u);
  char buf[4] = {};
  EXPECT_TRUE(r.value()->ReadAt(6, buf, 4));
  EXPECT_EQ(std::string(buf, 4), "6789");
  const Status short_read = r.value()->ReadAt(8, buf, 4);
  EXPECT_FALSE(short_read);
  EXPECT_EQ(short_read.ToString(), "read " + path + ": error 38") << "ERROR_HANDLE_EOF";
  EXPECT_FALSE(p_.OpenForRead(root_ + "\\missing", false));
}

// Each failure keeps its cause: the step, the path or key, the system's code.
TEST_F(Win32PlatformTest, FailuresSayWhatFailedWhereAndWhy) {
  const std::string missing = root_ + "\\missing";
  const std::string over = root_ + "\\" + std::string(kMaxPathChars, 'x');
  const std::string key = std::string(kTestKey) + "\\Absent";
  ASSERT_TRUE(p_.WriteRegistryString(RegistryRoot::kCurrentUser, kTestKey, "present", "1"));
  struct Case {
    const char* name;
    Status status;
    std::string what;
    std::string path;
    uint32_t code;
  };
  const Case cases[] = {
      {"open", p_.OpenForRead(missing, false).status(), "open", missing, ERROR_FILE_NOT_FOUND},
      {"delete", p_.RemoveFile(missing), "delete", missing, ERROR_FILE_NOT_FOUND},
      {"remove folder", p_.RemoveFolder(missing), "remove the folder", missing,
       ERROR_FILE_NOT_FOUND},
      {"make folder twice", p_.MakeFolder(root_), "create the folder", root_, ERROR_ALREADY_EXISTS},
      {"rename", p_.RenameFile(missing, missing + "2"), "rename", missing + " to " + missing + "2",
       ERROR_FILE_NOT_FOUND},
      {"overlong", p_.RemoveFile(over), "use a path longer than 259 characters:", over,
       ERROR_FILENAME_EXCED_RANGE},
      {"registry value", p_.DeleteRegistryValue(RegistryRoot::kCurrentUser, kTestKey, "none"),
       "delete", std::string("HKEY_CURRENT_USER\\") + kTestKey + "\\none", ERROR_FILE_NOT_FOUND},
      {"registry key", p_.DeleteRegistryKey(RegistryRoot::kCurrentUser, key), "delete the key",
       "HKEY_CURRENT_USER\\" + key, ERROR_FILE_NOT_FOUND},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_FALSE(c.status.ok());
    EXPECT_EQ(c.status.what(), c.what);
    EXPECT_EQ(c.status.path(), c.path);
    EXPECT_EQ(c.status.system_code(), c.code);
  }
}

TEST_F(Win32PlatformTest, OverlongPathsAreRefusedNotCut) {
  const std::string dir = root_ + "\\" + std::string(200, 'd');
  ASSERT_TRUE(CreateDirectoryA(dir.c_str(), nullptr) || dir.size() > 247);
  const std::string over = dir + "\\" + std::string(80, 'f');
  ASSERT_GT(over.size(), kMaxPathChars);
  EXPECT_EQ(p_.CreateForWrite(over, false).status().system_code(), ERROR_FILENAME_EXCED_RANGE);
  EXPECT_FALSE(p_.MakeFolder(over));
  EXPECT_FALSE(p_.QueryPath(over));
  EXPECT_TRUE(p_.FindFiles(dir + "\\*").empty() || p_.FindFiles(dir + "\\*").size() <= 2)
      << "nothing was created under a shortened name";
}

TEST_F(Win32PlatformTest, MachineFacts) {
  EXPECT_FALSE(p_.ModulePath().empty());
  EXPECT_TRUE(p_.ModulePath().ends_with(".exe"));
  EXPECT_TRUE(p_.SpecialFolderPath(SpecialFolder::kLocalAppData));
  EXPECT_TRUE(p_.SpecialFolderPath(SpecialFolder::kPrograms));
  EXPECT_TRUE(p_.TempFolderPath().has_value());
  EXPECT_NE(p_.UserDefaultLangId(), 0);
}

}  // namespace
}  // namespace lumiset
