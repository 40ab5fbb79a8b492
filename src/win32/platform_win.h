#pragma once

#include "base/platform.h"

namespace lumiset {

// The real platform: thin wrappers over the Win32 functions, in their wide
// (UTF-16) forms, converting the interface's UTF-8 at each call.
class Win32Platform final : public Platform {
 public:
  std::optional<std::string> ReadRegistryString(RegistryRoot root, const std::string& subkey,
                                                const std::string& name) override;
  Status WriteRegistryString(RegistryRoot root, const std::string& subkey, const std::string& name,
                           const std::string& text) override;
  Status WriteRegistryDword(RegistryRoot root, const std::string& subkey, const std::string& name,
                          uint32_t value) override;
  Status DeleteRegistryValue(RegistryRoot root, const std::string& subkey,
                           const std::string& name) override;
  bool RegistryKeyIsEmpty(RegistryRoot root, const std::string& path) override;
  bool IsWow64() override;
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
  std::optional<std::string> TempFolderPath() override;
  std::string SystemDirectory() override;
  std::string ModulePath() override;
  uint16_t UserDefaultLangId() override;
  bool RunsAsSystemAccount() override;
  std::string WindowsDirectory() override;
  Status RenameFile(const std::string& from, const std::string& to) override;
  std::optional<std::string> ShortPathName(const std::string& path) override;
  Status SetCurrentFolder(const std::string& path) override;
  CalendarDate LocalDate() override;
  std::string ReadIniString(const std::string& file, const std::string& section,
                            const std::string& key) override;
  Status WriteIniString(const std::string& file, const std::string& section, const std::string& key,
                      const std::string& value) override;
  Status DeleteRegistryKey(RegistryRoot root, const std::string& path) override;
  Status RunPrivateProgram(std::span<const uint8_t> program,
                           const std::string& arguments) override;
  Status ShellOpen(const std::string& program, const std::string& parameters) override;
  Status CreateShellLink(const std::string& link_path, const std::string& target,
                         const std::string& arguments, const std::string& description,
                         const std::string& working_folder) override;
  void NotifyScreensaverActive(bool active) override;
  void ShowMessage(const std::string& text, const std::string& caption,
                   MessageIcon icon) override;
  void ShowLocalizedMessage(int string_id, const std::string& caption, MessageIcon icon) override;
  void Beep(MessageIcon kind) override;
  void SleepMs(uint32_t milliseconds) override;
  std::string SystemMessage(uint32_t system_code) override;
  std::string AnsiToUtf8(const std::string& ansi) override;
  std::string LocalTimeText() override;
};

}  // namespace lumiset
