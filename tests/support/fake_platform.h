#pragma once

#include <functional>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "base/platform.h"

namespace lumiset::testing {

// Windows-style wildcard match, letter case ignored; a trailing ".*" also
// matches names without a dot.
bool WildcardMatch(std::string_view pattern, std::string_view name);

// An in-memory Windows: a registry map and a file tree on drive C:, paths
// compared without regard to letter case. Everything a test does not set
// has a plausible default (a 64-bit system with the 32-bit installer under
// WOW64, English user language).
class FakePlatform : public Platform {
 public:
  FakePlatform();

  // ---- set-up and inspection for tests --------------------------------------
  void AddFolder(const std::string& path);  // with its parents
  void AddFile(const std::string& path, std::vector<uint8_t> bytes = {});
  void AddFile(const std::string& path, std::string_view text);
  bool HasFile(const std::string& path) const;
  bool HasFolder(const std::string& path) const;
  std::vector<uint8_t> FileBytes(const std::string& path) const;
  // The names (as created) of every file and folder under a folder, sorted.
  std::vector<std::string> List(const std::string& folder) const;
  void SetRegistry(RegistryRoot root, const std::string& subkey, const std::string& name,
                   const std::string& value);
  // A key with no values (its parents exist through it).
  void AddRegistryKey(RegistryRoot root, const std::string& subkey);
  // A string value; nullopt when missing or of another type.
  std::optional<std::string> Registry(RegistryRoot root, const std::string& subkey,
                                      const std::string& name) const;
  // A REG_DWORD value; nullopt when missing or of another type.
  std::optional<uint32_t> RegistryDword(RegistryRoot root, const std::string& subkey,
                                        const std::string& name) const;
  // The names (lower-case) of a key's values of any type.
  std::vector<std::string> RegistryValueNames(RegistryRoot root, const std::string& subkey) const;
  // The names of a key's direct subkeys.
  std::vector<std::string> RegistrySubkeys(RegistryRoot root, const std::string& path) const;

  bool wow64 = true;
  std::string system_directory = "C:\\WINDOWS\\system32";
  std::string module_path = "C:\\Downloads\\StarfieldSetup.exe";
  uint16_t user_lang_id = 0x0409;
  std::map<SpecialFolder, std::string> special_folders;
  std::optional<std::string> temp_folder = std::string("C:\\Users\\me\\Temp\\");
  std::set<std::string> unwritable_folders;  // lower-case; creating files there fails
  std::string windows_directory = "C:\\WINDOWS";
  std::map<std::string, std::string> short_names;  // lower-case path -> 8.3 name
  std::string current_folder;
  CalendarDate local_date = {2026, 3, 7};
  bool process_starts = true;
  bool system_account = false;
  // RunPrivateProgram, in order: the arguments and the program's bytes.
  struct ProgramRun {
    std::string arguments;
    std::vector<uint8_t> program;
  };
  std::vector<ProgramRun> programs_run;
  std::function<void(const std::string& arguments)> on_run;  // what a started process does
  std::set<std::string> reparse_points;  // lower-case paths
  // Staged files committed, as "staged -> destination".
  std::vector<std::string> commits;
  std::vector<std::pair<std::string, std::string>> shell_opened;  // program, parameters
  std::vector<bool> screensaver_notifications;
  struct Message {
    int string_id;  // 0 for a literal text
    std::string text;
    MessageIcon icon;
  };
  std::vector<Message> messages;
  std::vector<MessageIcon> beeps;
  uint64_t slept_ms = 0;
  std::function<void()> on_sleep;  // lets a test act while the code under test waits
  std::set<std::string> undeletable_keys;  // lower-case key paths
  bool HasRegistryKey(RegistryRoot root, const std::string& path) const;
  std::string IniValue(const std::string& file, const std::string& section,
                       const std::string& key) const;

  // ---- Platform ---------------------------------------------------------------
  std::optional<std::string> ReadRegistryString(RegistryRoot root, const std::string& subkey,
                                                const std::string& name) override;
  Status WriteRegistryString(RegistryRoot root, const std::string& subkey, const std::string& name,
                           const std::string& text) override;
  Status WriteRegistryDword(RegistryRoot root, const std::string& subkey, const std::string& name,
                          uint32_t value) override;
  Status DeleteRegistryValue(RegistryRoot root, const std::string& subkey,
                           const std::string& name) override;
  bool RegistryKeyIsEmpty(RegistryRoot root, const std::string& path) override;
  bool IsWow64() override { return wow64; }
  std::optional<PathKind> QueryPath(const std::string& path) override;
  bool IsReparsePoint(const std::string& path) override;
  std::optional<std::string> CanonicalPath(const std::string& path) override;
  std::vector<FindEntry> FindFiles(const std::string& pattern) override;
  Status MakeFolder(const std::string& path) override;
  Status RemoveFolder(const std::string& path) override;
  Status RemoveFile(const std::string& path) override;
  Status SetNormalAttributes(const std::string& path) override;
  StatusOr<std::unique_ptr<ReadableFile>> OpenForRead(const std::string& path,
                                                      bool share_write) override;
  StatusOr<std::unique_ptr<WritableFile>> CreateForWrite(const std::string& path,
                                                         bool create_new) override;
  StatusOr<std::unique_ptr<WritableFile>> OpenForAppend(const std::string& path) override;
  StatusOr<std::unique_ptr<StagedFile>> CreateStagedFile(const std::string& destination) override;
  std::optional<std::string> SpecialFolderPath(SpecialFolder folder) override;
  std::optional<std::string> TempFolderPath() override { return temp_folder; }
  std::string SystemDirectory() override { return system_directory; }
  std::string ModulePath() override { return module_path; }
  uint16_t UserDefaultLangId() override { return user_lang_id; }
  bool RunsAsSystemAccount() override { return system_account; }
  std::string WindowsDirectory() override { return windows_directory; }
  Status RenameFile(const std::string& from, const std::string& to) override;
  std::optional<std::string> ShortPathName(const std::string& path) override;
  Status SetCurrentFolder(const std::string& path) override;
  CalendarDate LocalDate() override { return local_date; }
  std::string ReadIniString(const std::string& file, const std::string& section,
                            const std::string& key) override;
  Status WriteIniString(const std::string& file, const std::string& section, const std::string& key,
                      const std::string& value) override;
  Status DeleteRegistryKey(RegistryRoot root, const std::string& path) override;
  Status RunPrivateProgram(std::span<const uint8_t> program,
                           const std::string& arguments) override;
  Status ShellOpen(const std::string& program, const std::string& parameters) override;
  // A link is stored as the text "target|arguments|working folder|description".
  Status CreateShellLink(const std::string& link_path, const std::string& target,
                         const std::string& arguments, const std::string& description,
                         const std::string& working_folder) override;
  // Moves a file over another one (the commit of a staged file).
  Status MoveReplacing(const std::string& from, const std::string& to);
  void NotifyScreensaverActive(bool active) override { screensaver_notifications.push_back(active); }
  void ShowMessage(const std::string& text, const std::string&, MessageIcon icon) override {
    messages.push_back({0, text, icon});
  }
  void ShowLocalizedMessage(int string_id, const std::string&, MessageIcon icon) override {
    messages.push_back({string_id, {}, icon});
  }
  void Beep(MessageIcon kind) override { beeps.push_back(kind); }
  void SleepMs(uint32_t milliseconds) override {
    slept_ms += milliseconds;
    if (on_sleep) on_sleep();
  }

 private:
  struct Node {
    std::string path;  // as created
    bool folder = false;
    std::shared_ptr<std::vector<uint8_t>> data;
  };
  using RegistryKey = std::pair<RegistryRoot, std::string>;
  struct RegistryValue {
    std::string text;
    std::optional<uint32_t> dword;  // set for a REG_DWORD value
  };

  static std::string Key(std::string_view path);
  static std::string Parent(const std::string& key);
  const Node* Find(const std::string& path) const;

  std::map<std::string, Node> nodes_;  // by lower-case path without trailing "\"
  std::map<RegistryKey, std::map<std::string, RegistryValue>> registry_;
  std::map<std::string, std::string> ini_;  // "file|section|key", lower-case
  int staged_count_ = 0;
};

}  // namespace lumiset::testing
