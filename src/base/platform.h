#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "base/status.h"

namespace lumiset {

// The longest path Windows' file functions accept without the long-path
// prefix, in UTF-16 units and without the zero.
inline constexpr size_t kMaxPathChars = 259;

enum class RegistryRoot { kCurrentUser, kLocalMachine };

// Shell folders the installer reads or writes into.
enum class SpecialFolder {
  kLocalAppData,
  kRoamingAppData,
  kPrograms,
  kDesktop,
  kProgramFiles,
  kCommonPrograms,  // the Start menu's programs of every user
  kCommonDesktop,   // the desktop every user sees
};

// One match of a wildcard search, as FindFirstFile reports it.
struct FindEntry {
  std::string name;  // the file name without its folder
  bool is_folder = false;
  std::string short_name;  // the 8.3 alternate name; empty when `name` is one
};

enum class MessageIcon { kError, kInformation, kStop };

// A day on the local calendar.
struct CalendarDate {
  int year = 0;   // e.g. 2026
  int month = 0;  // 1 to 12
  int day = 0;    // 1 to 31
};

// A file opened for reading at arbitrary offsets.
class ReadableFile {
 public:
  virtual ~ReadableFile() = default;
  // The file's length in bytes at the moment of the call.
  virtual uint64_t Size() = 0;
  // Reads exactly n bytes at offset into dst. A failure on any error or when
  // fewer than n bytes are there (the contents of dst are then unspecified).
  virtual Status ReadAt(uint64_t offset, void* dst, size_t n) = 0;
};

// A file opened for writing from its start.
class WritableFile {
 public:
  virtual ~WritableFile() = default;
  // Writes n bytes at the current position and moves past them. A failure
  // when not all of them could be written.
  virtual Status Write(const void* src, size_t n) = 0;
  // Moves the position, so a failed write can be repeated from its start.
  virtual Status Seek(uint64_t offset) = 0;
  // Writes what the system still holds for the file through to the disk.
  virtual Status Flush() = 0;
  // Closes; a failure when the data may not have reached the file.
  // Destroying an unclosed file closes it without reporting.
  virtual Status Close() = 0;
};

// A file written aside and then put in the place of its destination in one
// step, so that the destination is at every moment the old file or the new
// one, whole, and never a part.
class StagedFile : public WritableFile {
 public:
  // Writes the file through to the disk, puts it in the place of the
  // destination (replacing a file there) and closes it. On failure (the
  // destination is held by a running program, say) the file stays staged
  // and open, and Commit may be tried again. Close is Commit. Destroying a
  // file that was not committed deletes it.
  virtual Status Commit() = 0;
};

// Staged files are named "~lumiset-<random>.tmp"; one left behind by a run
// that was killed is removed by a later one.
inline constexpr char kStagedFilePrefix[] = "~lumiset-";
inline constexpr char kStagedFilePattern[] = "~lumiset-*.tmp";

// Everything the installer asks of the operating system. The real
// implementation wraps Win32; tests use an in-memory one and a fault-injecting
// wrapper. Unless a method says otherwise, it may be called from the
// user-interface thread and from the installation worker, keeps no state
// between calls, shows nothing and reports failure only through its result:
// a Status that names the step, the path or key and the system's error code.
// Every text crossing this interface (paths, registry names and values,
// initialization files, messages) is UTF-8; only AnsiToUtf8 takes the ANSI
// code page. Every path argument longer than kMaxPathChars UTF-16 units is
// refused as a failure.
class Platform {
 public:
  virtual ~Platform() = default;

  // The REG_SZ value `name` of `root`\`subkey`, terminated at its first zero
  // character; nullopt when the key cannot be opened or the value cannot be
  // read (missing, or longer than 259 characters).
  virtual std::optional<std::string> ReadRegistryString(RegistryRoot root,
                                                        const std::string& subkey,
                                                        const std::string& name) = 0;
  // Creates the key with any missing parents and stores `text` as REG_SZ
  // without its terminating zero. Ok exactly when the value was stored.
  virtual Status WriteRegistryString(RegistryRoot root, const std::string& subkey,
                                   const std::string& name, const std::string& text) = 0;
  // Creates the key with any missing parents and stores `value` as
  // REG_DWORD. Ok exactly when the value was stored.
  virtual Status WriteRegistryDword(RegistryRoot root, const std::string& subkey,
                                  const std::string& name, uint32_t value) = 0;
  // Deletes one value of any type. A failure when the key cannot be opened or
  // the value is missing or cannot be deleted.
  virtual Status DeleteRegistryValue(RegistryRoot root, const std::string& subkey,
                                   const std::string& name) = 0;
  // True when the key exists and holds neither a value nor a subkey; false
  // otherwise, also when it cannot be opened or queried.
  virtual bool RegistryKeyIsEmpty(RegistryRoot root, const std::string& path) = 0;

  // True when this 32-bit process runs on 64-bit Windows; false where the
  // system cannot tell (it predates the question).
  virtual bool IsWow64() = 0;

  // File attributes: nullopt when the path does not exist or cannot be
  // queried; otherwise whether it is a folder.
  enum class PathKind { kFile, kFolder };
  virtual std::optional<PathKind> QueryPath(const std::string& path) = 0;
  // True when the path exists and is a reparse point (a junction, a
  // symbolic link, a mount point), which a walk must not follow.
  virtual bool IsReparsePoint(const std::string& path) = 0;
  // The path made absolute, with "." and ".." resolved, doubled separators
  // folded and the short (8.3) names of its existing part expanded to their
  // long names; nullopt when it cannot be formed.
  virtual std::optional<std::string> CanonicalPath(const std::string& path) = 0;
  // The matches of a pattern whose last component may hold * and ?, with the
  // file system's rules (letter case ignored, "*.*" also matches names
  // without a dot), in the order the file system returns them. Empty when
  // nothing matches or the folder cannot be read.
  virtual std::vector<FindEntry> FindFiles(const std::string& pattern) = 0;
  // Creates one folder whose parent exists. A failure when it exists already or
  // cannot be created.
  virtual Status MakeFolder(const std::string& path) = 0;
  // Removes one empty folder.
  virtual Status RemoveFolder(const std::string& path) = 0;
  // Deletes one file.
  virtual Status RemoveFile(const std::string& path) = 0;
  // Clears read-only, hidden and system attributes.
  virtual Status SetNormalAttributes(const std::string& path) = 0;
  // Opens an existing file for reading; others may read and, when
  // share_write is set, write it meanwhile. Without share_write nobody can
  // write, rename or delete the file while it is open.
  virtual StatusOr<std::unique_ptr<ReadableFile>> OpenForRead(const std::string& path,
                                                    bool share_write) = 0;
  // Creates a file for writing, truncating an existing one, or with
  // create_new failing when the name is taken.
  virtual StatusOr<std::unique_ptr<WritableFile>> CreateForWrite(const std::string& path,
                                                       bool create_new) = 0;
  // Opens a file for writing at its end, creating it when missing.
  virtual StatusOr<std::unique_ptr<WritableFile>> OpenForAppend(const std::string& path) = 0;

  // A shell folder's path without a trailing backslash; nullopt when the
  // shell has none.
  virtual std::optional<std::string> SpecialFolderPath(SpecialFolder folder) = 0;
  // The user's temporary folder as the system reports it (normally with a
  // trailing backslash); nullopt on failure.
  virtual std::optional<std::string> TempFolderPath() = 0;
  // The system directory as the system reports it; empty on failure.
  virtual std::string SystemDirectory() = 0;
  // The full path of the running program; empty on failure.
  virtual std::string ModulePath() = 0;
  // The user's default language id (primary language in the low 10 bits).
  virtual uint16_t UserDefaultLangId() = 0;
  // True when this process runs as the system account (deployment tools
  // run installers so), whose own profile no person ever sees.
  virtual bool RunsAsSystemAccount() = 0;

  // The Windows directory as the system reports it; empty on failure.
  virtual std::string WindowsDirectory() = 0;
  // Renames a file; fails when `to` exists.
  virtual Status RenameFile(const std::string& from, const std::string& to) = 0;
  // A new file in the folder of `destination`, named after kStagedFilePrefix
  // with a random part and created only when that name is free, open for
  // writing and for Commit.
  virtual StatusOr<std::unique_ptr<StagedFile>> CreateStagedFile(
      const std::string& destination) = 0;
  // The short (8.3) form of an existing path; nullopt when there is none.
  virtual std::optional<std::string> ShortPathName(const std::string& path) = 0;
  // Makes a folder the process's current directory.
  virtual Status SetCurrentFolder(const std::string& path) = 0;
  // Today on the local clock.
  virtual CalendarDate LocalDate() = 0;

  // A key of an initialization file's section; empty when missing. At most
  // 255 bytes are returned.
  virtual std::string ReadIniString(const std::string& file, const std::string& section,
                                    const std::string& key) = 0;
  virtual Status WriteIniString(const std::string& file, const std::string& section,
                              const std::string& key, const std::string& value) = 0;

  // Deletes one key that has no subkeys.
  virtual Status DeleteRegistryKey(RegistryRoot root, const std::string& path) = 0;

  // Writes `program` into a new file with an unguessable name in a folder
  // only administrators can write, holds the file so that nobody can change
  // or replace it, starts it with the command line "<its path>" `arguments`
  // (no inherited handles, the installer's environment and folder), waits
  // for it to end and deletes it. A failure when it cannot be written or
  // started; the program's own exit code is not judged. Installation worker
  // thread only.
  virtual Status RunPrivateProgram(std::span<const uint8_t> program,
                                   const std::string& arguments) = 0;
  // Opens a program with parameters through the shell, shown normally.
  virtual Status ShellOpen(const std::string& program, const std::string& parameters) = 0;
  // Saves a shell link (target with its arguments, working folder,
  // description) at link_path, overwriting one of the same name. A failure
  // when the link could not be saved.
  virtual Status CreateShellLink(const std::string& link_path, const std::string& target,
                                 const std::string& arguments, const std::string& description,
                                 const std::string& working_folder) = 0;
  // Switches the system's screensaver on or off and tells running programs.
  virtual void NotifyScreensaverActive(bool active) = 0;

  // A message box without owner. The localized variant loads string
  // `string_id` of the program's resources (empty when missing).
  virtual void ShowMessage(const std::string& text, const std::string& caption,
                           MessageIcon icon) = 0;
  virtual void ShowLocalizedMessage(int string_id, const std::string& caption,
                                    MessageIcon icon) = 0;
  // The simple beep (MessageBeep(-1)) or the stop sound.
  virtual void Beep(MessageIcon kind) = 0;
  virtual void SleepMs(uint32_t milliseconds) = 0;

  // The system's own text for an error code, without a trailing line break;
  // empty when it has none.
  virtual std::string SystemMessage(uint32_t /*system_code*/) { return {}; }
  // Text in the system's ANSI code page (the package's texts) as UTF-8;
  // unchanged where the implementation has no code page.
  virtual std::string AnsiToUtf8(const std::string& ansi) { return ansi; }
  // The local date and time as "YYYY-MM-DD hh:mm:ss.mmm"; empty where the
  // implementation has no clock.
  virtual std::string LocalTimeText() { return {}; }
};

// Forwards every call to another platform; fault-injecting test doubles
// derive from it and override only what they break.
class ForwardingPlatform : public Platform {
 public:
  explicit ForwardingPlatform(Platform& target) : target_(target) {}

  std::optional<std::string> ReadRegistryString(RegistryRoot root, const std::string& subkey,
                                                const std::string& name) override {
    return target_.ReadRegistryString(root, subkey, name);
  }
  Status WriteRegistryString(RegistryRoot root, const std::string& subkey,
                           const std::string& name, const std::string& text) override {
    return target_.WriteRegistryString(root, subkey, name, text);
  }
  Status WriteRegistryDword(RegistryRoot root, const std::string& subkey, const std::string& name,
                          uint32_t value) override {
    return target_.WriteRegistryDword(root, subkey, name, value);
  }
  Status DeleteRegistryValue(RegistryRoot root, const std::string& subkey,
                           const std::string& name) override {
    return target_.DeleteRegistryValue(root, subkey, name);
  }
  bool RegistryKeyIsEmpty(RegistryRoot root, const std::string& path) override {
    return target_.RegistryKeyIsEmpty(root, path);
  }
  bool IsWow64() override { return target_.IsWow64(); }
  std::optional<PathKind> QueryPath(const std::string& path) override {
    return target_.QueryPath(path);
  }
  bool IsReparsePoint(const std::string& path) override { return target_.IsReparsePoint(path); }
  std::optional<std::string> CanonicalPath(const std::string& path) override {
    return target_.CanonicalPath(path);
  }
  std::vector<FindEntry> FindFiles(const std::string& pattern) override {
    return target_.FindFiles(pattern);
  }
  Status MakeFolder(const std::string& path) override { return target_.MakeFolder(path); }
  Status RemoveFolder(const std::string& path) override { return target_.RemoveFolder(path); }
  Status RemoveFile(const std::string& path) override { return target_.RemoveFile(path); }
  Status SetNormalAttributes(const std::string& path) override {
    return target_.SetNormalAttributes(path);
  }
  StatusOr<std::unique_ptr<ReadableFile>> OpenForRead(const std::string& path,
                                                      bool share_write) override {
    return target_.OpenForRead(path, share_write);
  }
  StatusOr<std::unique_ptr<WritableFile>> CreateForWrite(const std::string& path,
                                                         bool create_new) override {
    return target_.CreateForWrite(path, create_new);
  }
  StatusOr<std::unique_ptr<WritableFile>> OpenForAppend(const std::string& path) override {
    return target_.OpenForAppend(path);
  }
  std::optional<std::string> SpecialFolderPath(SpecialFolder folder) override {
    return target_.SpecialFolderPath(folder);
  }
  std::optional<std::string> TempFolderPath() override { return target_.TempFolderPath(); }
  std::string SystemDirectory() override { return target_.SystemDirectory(); }
  std::string ModulePath() override { return target_.ModulePath(); }
  uint16_t UserDefaultLangId() override { return target_.UserDefaultLangId(); }
  bool RunsAsSystemAccount() override { return target_.RunsAsSystemAccount(); }
  std::string WindowsDirectory() override { return target_.WindowsDirectory(); }
  Status RenameFile(const std::string& from, const std::string& to) override {
    return target_.RenameFile(from, to);
  }
  StatusOr<std::unique_ptr<StagedFile>> CreateStagedFile(const std::string& destination) override {
    return target_.CreateStagedFile(destination);
  }
  std::optional<std::string> ShortPathName(const std::string& path) override {
    return target_.ShortPathName(path);
  }
  Status SetCurrentFolder(const std::string& path) override {
    return target_.SetCurrentFolder(path);
  }
  CalendarDate LocalDate() override { return target_.LocalDate(); }
  std::string ReadIniString(const std::string& file, const std::string& section,
                            const std::string& key) override {
    return target_.ReadIniString(file, section, key);
  }
  Status WriteIniString(const std::string& file, const std::string& section, const std::string& key,
                      const std::string& value) override {
    return target_.WriteIniString(file, section, key, value);
  }
  Status DeleteRegistryKey(RegistryRoot root, const std::string& path) override {
    return target_.DeleteRegistryKey(root, path);
  }
  Status RunPrivateProgram(std::span<const uint8_t> program,
                           const std::string& arguments) override {
    return target_.RunPrivateProgram(program, arguments);
  }
  Status ShellOpen(const std::string& program, const std::string& parameters) override {
    return target_.ShellOpen(program, parameters);
  }
  Status CreateShellLink(const std::string& link_path, const std::string& target,
                         const std::string& arguments, const std::string& description,
                         const std::string& working_folder) override {
    return target_.CreateShellLink(link_path, target, arguments, description, working_folder);
  }
  void NotifyScreensaverActive(bool active) override { target_.NotifyScreensaverActive(active); }
  void ShowMessage(const std::string& text, const std::string& caption,
                   MessageIcon icon) override {
    target_.ShowMessage(text, caption, icon);
  }
  void ShowLocalizedMessage(int string_id, const std::string& caption, MessageIcon icon) override {
    target_.ShowLocalizedMessage(string_id, caption, icon);
  }
  void Beep(MessageIcon kind) override { target_.Beep(kind); }
  void SleepMs(uint32_t milliseconds) override { target_.SleepMs(milliseconds); }
  std::string SystemMessage(uint32_t system_code) override {
    return target_.SystemMessage(system_code);
  }
  std::string AnsiToUtf8(const std::string& ansi) override { return target_.AnsiToUtf8(ansi); }
  std::string LocalTimeText() override { return target_.LocalTimeText(); }

 protected:
  Platform& target() { return target_; }

 private:
  Platform& target_;
};

}  // namespace lumiset
