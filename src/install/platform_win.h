#pragma once

#include "install/platform.h"

namespace lumiset {

// The real platform: thin wrappers over the ANSI Win32 functions.
class Win32Platform final : public Platform {
 public:
  std::optional<std::string> ReadRegistryString(RegistryRoot root, const std::string& subkey,
                                                const std::string& name) override;
  bool WriteRegistryString(RegistryRoot root, const std::string& subkey, const std::string& name,
                           const std::string& text) override;
  bool IsWow64() override;
  std::optional<PathKind> QueryPath(const std::string& path) override;
  std::vector<FindEntry> FindFiles(const std::string& pattern) override;
  bool MakeFolder(const std::string& path) override;
  bool RemoveFolder(const std::string& path) override;
  bool RemoveFile(const std::string& path) override;
  bool SetNormalAttributes(const std::string& path) override;
  std::unique_ptr<ReadableFile> OpenForRead(const std::string& path, bool share_write) override;
  std::unique_ptr<WritableFile> CreateForWrite(const std::string& path, bool create_new) override;
  std::optional<std::string> SpecialFolderPath(SpecialFolder folder) override;
  std::optional<std::string> TempFolderPath() override;
  std::string SystemDirectory() override;
  std::string ModulePath() override;
  uint16_t UserDefaultLangId() override;
  bool IsLeadByte(uint8_t byte) override;
};

}  // namespace lumiset
