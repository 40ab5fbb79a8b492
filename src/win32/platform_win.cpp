#include "win32/platform_win.h"

#include <objidl.h>
#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>
#include <vector>

#include "base/text.h"
#include "win32/private_file_win.h"
#include "win32/scoped_handle_win.h"
#include "win32/text_win.h"

namespace lumiset {
namespace {

constexpr DWORD kPathBuffer = MAX_PATH;  // 260: 259 characters and the zero
// A folder with more matches than this is not one the installer made; the
// cap keeps a flooded folder from exhausting memory.
constexpr size_t kMaxFindEntries = 100000;
// WriteFile and ReadFile take 32-bit counts; stay well inside them.
constexpr size_t kIoPiece = 1u << 20;
// Names tried for a staged file before giving up.
constexpr int kStagedNameAttempts = 16;

// Why `what` failed on `path`. The default code is taken at the failing
// call, before anything else can change the thread's error code.
Status Fail(const char* what, const std::string& path, DWORD code = GetLastError()) {
  return Status::Failure(what, path, code);
}

bool TooLong(const std::string& path) { return Utf16Length(path) > kMaxPathChars; }

// Ok when `path` fits the system's limit.
Status CheckLength(const std::string& path) {
  if (!TooLong(path)) return Status::Ok();
  return Fail("use a path longer than 259 characters:", path, ERROR_FILENAME_EXCED_RANGE);
}

// Ok for a call that succeeded, else why it failed.
Status Check(BOOL succeeded, const char* what, const std::string& path) {
  return succeeded ? Status::Ok() : Fail(what, path);
}

std::wstring W(const std::string& text) { return Utf8ToWide(text); }

std::string RootName(RegistryRoot root) {
  return root == RegistryRoot::kLocalMachine ? "HKEY_LOCAL_MACHINE" : "HKEY_CURRENT_USER";
}

HKEY RootKey(RegistryRoot root) {
  return root == RegistryRoot::kLocalMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
}

std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('\\');
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

class Win32ReadableFile final : public ReadableFile {
 public:
  Win32ReadableFile(ScopedFile file, std::string path)
      : file_(std::move(file)), path_(std::move(path)) {}
  uint64_t Size() override {
    LARGE_INTEGER size{};
    return GetFileSizeEx(file_.get(), &size) ? static_cast<uint64_t>(size.QuadPart) : 0;
  }
  Status ReadAt(uint64_t offset, void* dst, size_t n) override {
    LARGE_INTEGER at{};
    at.QuadPart = static_cast<LONGLONG>(offset);
    if (!SetFilePointerEx(file_.get(), at, nullptr, FILE_BEGIN)) return Fail("read", path_);
    auto* out = static_cast<uint8_t*>(dst);
    while (n != 0) {
      DWORD got = 0;
      const DWORD want = static_cast<DWORD>(std::min(n, kIoPiece));
      if (!ReadFile(file_.get(), out, want, &got, nullptr)) return Fail("read", path_);
      if (got == 0) return Fail("read", path_, ERROR_HANDLE_EOF);
      out += got;
      n -= got;
    }
    return Status::Ok();
  }

 private:
  ScopedFile file_;
  std::string path_;
};

// Writes all of n bytes, in pieces the system takes.
Status WriteAll(HANDLE file, const std::string& path, const void* src, size_t n) {
  const auto* in = static_cast<const uint8_t*>(src);
  while (n != 0) {
    DWORD put = 0;
    const DWORD want = static_cast<DWORD>(std::min(n, kIoPiece));
    if (!WriteFile(file, in, want, &put, nullptr)) return Fail("write", path);
    if (put != want) return Fail("write", path, ERROR_DISK_FULL);
    in += put;
    n -= put;
  }
  return Status::Ok();
}

Status SeekTo(HANDLE file, const std::string& path, uint64_t offset) {
  LARGE_INTEGER at{};
  at.QuadPart = static_cast<LONGLONG>(offset);
  return Check(SetFilePointerEx(file, at, nullptr, FILE_BEGIN), "write", path);
}

class Win32WritableFile : public WritableFile {
 public:
  Win32WritableFile(ScopedFile file, std::string path)
      : file_(std::move(file)), path_(std::move(path)) {}
  Status Write(const void* src, size_t n) override { return WriteAll(file_.get(), path_, src, n); }
  Status Seek(uint64_t offset) override { return SeekTo(file_.get(), path_, offset); }
  Status Flush() override {
    return Check(FlushFileBuffers(file_.get()), "write through", path_);
  }
  Status Close() override {
    if (!file_) return Fail("close", path_, ERROR_INVALID_HANDLE);
    return Check(CloseHandle(file_.Release()), "close", path_);
  }

 protected:
  ScopedFile file_;
  std::string path_;
};

// Renames through its own handle, so that what takes the destination's
// place is exactly the file written: nobody can slip another file in
// between a close and a rename by name.
class Win32StagedFile final : public StagedFile {
 public:
  Win32StagedFile(ScopedFile file, std::string path, std::string destination)
      : file_(std::move(file)), path_(std::move(path)), destination_(std::move(destination)) {}
  ~Win32StagedFile() override {
    if (!file_) return;
    FILE_DISPOSITION_INFO dispose{TRUE};
    if (!SetFileInformationByHandle(file_.get(), FileDispositionInfo, &dispose, sizeof dispose)) {
      file_.Reset();
      DeleteFileW(W(path_).c_str());
    }
  }
  Status Write(const void* src, size_t n) override { return WriteAll(file_.get(), path_, src, n); }
  Status Seek(uint64_t offset) override { return SeekTo(file_.get(), path_, offset); }
  Status Flush() override { return Check(FlushFileBuffers(file_.get()), "write through", path_); }
  Status Close() override { return Commit(); }
  Status Commit() override {
    if (!file_) return Fail("replace", destination_, ERROR_INVALID_HANDLE);
    if (!FlushFileBuffers(file_.get())) return Fail("write through", path_);
    const std::wstring target = W(destination_);
    // FILE_RENAME_INFO ends in a flexible name array.
    std::vector<uint8_t> buffer(sizeof(FILE_RENAME_INFO) + (target.size() + 1) * sizeof(wchar_t));
    auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    rename->ReplaceIfExists = TRUE;
    rename->RootDirectory = nullptr;
    rename->FileNameLength = static_cast<DWORD>(target.size() * sizeof(wchar_t));
    std::copy(target.begin(), target.end(), rename->FileName);
    rename->FileName[target.size()] = L'\0';
    if (!SetFileInformationByHandle(file_.get(), FileRenameInfo, rename,
                                    static_cast<DWORD>(buffer.size()))) {
      return Fail("replace", destination_);
    }
    file_.Reset();
    return Status::Ok();
  }

 private:
  ScopedFile file_;
  std::string path_;
  std::string destination_;
};

int CsidlOf(SpecialFolder folder) {
  switch (folder) {
    case SpecialFolder::kLocalAppData: return CSIDL_LOCAL_APPDATA;
    case SpecialFolder::kRoamingAppData: return CSIDL_APPDATA;
    case SpecialFolder::kPrograms: return CSIDL_PROGRAMS;
    case SpecialFolder::kDesktop: return CSIDL_DESKTOPDIRECTORY;
    case SpecialFolder::kProgramFiles: return CSIDL_PROGRAM_FILES;
    case SpecialFolder::kCommonPrograms: return CSIDL_COMMON_PROGRAMS;
    case SpecialFolder::kCommonDesktop: return CSIDL_COMMON_DESKTOPDIRECTORY;
  }
  return CSIDL_DESKTOPDIRECTORY;
}

// A string of at most `capacity` UTF-16 units from a call that fills a
// buffer and returns the count (0 on failure, `capacity` or more when cut).
template <typename Call>
std::string FilledBuffer(DWORD capacity, Call call) {
  std::vector<wchar_t> buffer(capacity + 1, L'\0');
  const DWORD n = call(buffer.data(), capacity);
  if (n == 0 || n >= capacity) return {};
  return WideToUtf8(std::wstring_view(buffer.data(), n));
}

}  // namespace

std::optional<std::string> Win32Platform::ReadRegistryString(RegistryRoot root,
                                                             const std::string& subkey,
                                                             const std::string& name) {
  HKEY raw = nullptr;
  if (RegOpenKeyExW(RootKey(root), W(subkey).c_str(), 0, KEY_QUERY_VALUE, &raw) !=
      ERROR_SUCCESS) {
    return std::nullopt;
  }
  ScopedRegKey key(raw);
  // Room for 259 characters with or without a stored zero: this installer
  // stores none, but other writers (and Wine) do.
  wchar_t buffer[kPathBuffer + 1] = {};
  DWORD type = REG_SZ;
  DWORD size = kPathBuffer * sizeof(wchar_t);
  if (RegQueryValueExW(key.get(), W(name).c_str(), nullptr, &type,
                       reinterpret_cast<BYTE*>(buffer), &size) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  buffer[std::min<DWORD>(size / sizeof(wchar_t), kPathBuffer)] = L'\0';
  const std::wstring text(buffer);
  if (text.size() > kMaxPathChars) return std::nullopt;
  return WideToUtf8(text);
}

Status Win32Platform::WriteRegistryString(RegistryRoot root, const std::string& subkey,
                                          const std::string& name, const std::string& text) {
  HKEY raw = nullptr;
  const std::string where = RootName(root) + "\\" + subkey;
  if (LONG code = RegCreateKeyExW(RootKey(root), W(subkey).c_str(), 0, nullptr,
                                  REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr, &raw, nullptr);
      code != ERROR_SUCCESS) {
    return Fail("create the key", where, static_cast<DWORD>(code));
  }
  ScopedRegKey key(raw);
  const std::wstring wide = W(text);
  if (wide.size() > UINT32_MAX / 4) return Fail("write", where + "\\" + name, ERROR_INVALID_DATA);
  const LONG code = RegSetValueExW(key.get(), W(name).c_str(), 0, REG_SZ,
                                   reinterpret_cast<const BYTE*>(wide.c_str()),
                                   static_cast<DWORD>(wide.size() * sizeof(wchar_t)));
  if (code != ERROR_SUCCESS) return Fail("write", where + "\\" + name, static_cast<DWORD>(code));
  return Status::Ok();
}

Status Win32Platform::WriteRegistryDword(RegistryRoot root, const std::string& subkey,
                                         const std::string& name, uint32_t value) {
  HKEY raw = nullptr;
  const std::string where = RootName(root) + "\\" + subkey;
  if (LONG code = RegCreateKeyExW(RootKey(root), W(subkey).c_str(), 0, nullptr,
                                  REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr, &raw, nullptr);
      code != ERROR_SUCCESS) {
    return Fail("create the key", where, static_cast<DWORD>(code));
  }
  ScopedRegKey key(raw);
  const DWORD data = value;
  const LONG code = RegSetValueExW(key.get(), W(name).c_str(), 0, REG_DWORD,
                                   reinterpret_cast<const BYTE*>(&data), sizeof data);
  if (code != ERROR_SUCCESS) return Fail("write", where + "\\" + name, static_cast<DWORD>(code));
  return Status::Ok();
}

Status Win32Platform::DeleteRegistryValue(RegistryRoot root, const std::string& subkey,
                                          const std::string& name) {
  HKEY raw = nullptr;
  const std::string where = RootName(root) + "\\" + subkey;
  if (LONG code = RegOpenKeyExW(RootKey(root), W(subkey).c_str(), 0, KEY_SET_VALUE, &raw);
      code != ERROR_SUCCESS) {
    return Fail("open the key", where, static_cast<DWORD>(code));
  }
  ScopedRegKey key(raw);
  const LONG code = RegDeleteValueW(key.get(), W(name).c_str());
  if (code != ERROR_SUCCESS) return Fail("delete", where + "\\" + name, static_cast<DWORD>(code));
  return Status::Ok();
}

bool Win32Platform::RegistryKeyIsEmpty(RegistryRoot root, const std::string& path) {
  HKEY raw = nullptr;
  if (RegOpenKeyExW(RootKey(root), W(path).c_str(), 0, KEY_QUERY_VALUE, &raw) != ERROR_SUCCESS) {
    return false;
  }
  ScopedRegKey key(raw);
  DWORD subkeys = 0;
  DWORD values = 0;
  if (RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values,
                       nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
    return false;
  }
  return subkeys == 0 && values == 0;
}

bool Win32Platform::IsWow64() {
  using IsWow64ProcessFn = BOOL(WINAPI*)(HANDLE, PBOOL);
  // Looked up by name: systems before XP SP2 lack the function.
  static const auto is_wow64_process = reinterpret_cast<IsWow64ProcessFn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32"), "IsWow64Process")));
  if (!is_wow64_process) return false;
  BOOL wow64 = FALSE;
  return is_wow64_process(GetCurrentProcess(), &wow64) && wow64;
}

std::optional<Platform::PathKind> Win32Platform::QueryPath(const std::string& path) {
  if (TooLong(path)) return std::nullopt;
  const DWORD attributes = GetFileAttributesW(W(path).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return std::nullopt;
  return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? PathKind::kFolder : PathKind::kFile;
}

bool Win32Platform::IsReparsePoint(const std::string& path) {
  if (TooLong(path)) return false;
  const DWORD attributes = GetFileAttributesW(W(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

std::optional<std::string> Win32Platform::CanonicalPath(const std::string& path) {
  if (TooLong(path)) return std::nullopt;
  const std::wstring wide = W(path);
  wchar_t full[kPathBuffer] = {};
  const DWORD n = GetFullPathNameW(wide.c_str(), kPathBuffer, full, nullptr);
  if (n == 0 || n >= kPathBuffer) return std::nullopt;
  std::wstring result(full, n);
  // Short names are expanded for the longest part that exists; the rest
  // (a file already deleted, say) is kept as written.
  std::wstring existing = result;
  std::wstring rest;
  while (!existing.empty()) {
    wchar_t long_name[kPathBuffer] = {};
    const DWORD m = GetLongPathNameW(existing.c_str(), long_name, kPathBuffer);
    if (m != 0 && m < kPathBuffer) {
      result = std::wstring(long_name, m) + rest;
      break;
    }
    const size_t slash = existing.rfind(L'\\');
    if (slash == std::wstring::npos || slash < 3) break;
    rest = existing.substr(slash) + rest;
    existing.resize(slash);
  }
  return WideToUtf8(result);
}

std::vector<FindEntry> Win32Platform::FindFiles(const std::string& pattern) {
  std::vector<FindEntry> out;
  if (TooLong(pattern)) return out;
  WIN32_FIND_DATAW data{};
  ScopedFind find(FindFirstFileW(W(pattern).c_str(), &data));
  if (!find) return out;
  do {
    out.push_back({WideToUtf8(data.cFileName),
                   (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0,
                   WideToUtf8(data.cAlternateFileName)});
  } while (out.size() < kMaxFindEntries && FindNextFileW(find.get(), &data));
  return out;
}

Status Win32Platform::MakeFolder(const std::string& path) {
  if (Status length = CheckLength(path); !length) return length;
  return Check(CreateDirectoryW(W(path).c_str(), nullptr), "create the folder", path);
}

Status Win32Platform::RemoveFolder(const std::string& path) {
  if (Status length = CheckLength(path); !length) return length;
  return Check(RemoveDirectoryW(W(path).c_str()), "remove the folder", path);
}

Status Win32Platform::RemoveFile(const std::string& path) {
  if (Status length = CheckLength(path); !length) return length;
  return Check(DeleteFileW(W(path).c_str()), "delete", path);
}

Status Win32Platform::SetNormalAttributes(const std::string& path) {
  if (Status length = CheckLength(path); !length) return length;
  return Check(SetFileAttributesW(W(path).c_str(), FILE_ATTRIBUTE_NORMAL),
               "clear the attributes of", path);
}

StatusOr<std::unique_ptr<ReadableFile>> Win32Platform::OpenForRead(const std::string& path,
                                                                   bool share_write) {
  if (Status length = CheckLength(path); !length) return length;
  const DWORD share = FILE_SHARE_READ | (share_write ? FILE_SHARE_WRITE | FILE_SHARE_DELETE : 0);
  ScopedFile file(CreateFileW(W(path).c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return Fail("open", path);
  return std::unique_ptr<ReadableFile>(std::make_unique<Win32ReadableFile>(std::move(file), path));
}

StatusOr<std::unique_ptr<WritableFile>> Win32Platform::CreateForWrite(const std::string& path,
                                                                      bool create_new) {
  if (Status length = CheckLength(path); !length) return length;
  ScopedFile file(CreateFileW(W(path).c_str(), GENERIC_WRITE, 0, nullptr,
                              create_new ? CREATE_NEW : CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                              nullptr));
  if (!file) return Fail("create", path);
  return std::unique_ptr<WritableFile>(std::make_unique<Win32WritableFile>(std::move(file), path));
}

StatusOr<std::unique_ptr<WritableFile>> Win32Platform::OpenForAppend(const std::string& path) {
  if (Status length = CheckLength(path); !length) return length;
  // Others may read a log while it grows.
  ScopedFile file(CreateFileW(W(path).c_str(), FILE_APPEND_DATA | SYNCHRONIZE, FILE_SHARE_READ,
                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return Fail("open", path);
  return std::unique_ptr<WritableFile>(std::make_unique<Win32WritableFile>(std::move(file), path));
}

StatusOr<std::unique_ptr<StagedFile>> Win32Platform::CreateStagedFile(
    const std::string& destination) {
  if (Status length = CheckLength(destination); !length) return length;
  const std::string folder = FolderOf(destination);
  std::string path;
  for (int attempt = 0; attempt < kStagedNameAttempts; ++attempt) {
    path = folder + "\\" + kStagedFilePrefix + WideToUtf8(RandomNamePart()) + ".tmp";
    if (Status length = CheckLength(path); !length) return length;
    // DELETE access: the rename in Commit, and the deletion of an
    // abandoned file, go through this handle.
    ScopedFile file(CreateFileW(W(path).c_str(), GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file) {
      return std::unique_ptr<StagedFile>(
          std::make_unique<Win32StagedFile>(std::move(file), path, destination));
    }
    if (GetLastError() != ERROR_FILE_EXISTS) return Fail("create", path);
  }
  return Fail("create", path);
}

std::optional<std::string> Win32Platform::SpecialFolderPath(SpecialFolder folder) {
  LPITEMIDLIST list = nullptr;
  if (FAILED(SHGetSpecialFolderLocation(nullptr, CsidlOf(folder), &list)) || !list) {
    return std::nullopt;
  }
  wchar_t buffer[kPathBuffer] = {};
  const BOOL ok = SHGetPathFromIDListW(list, buffer);
  CoTaskMemFree(list);
  if (!ok || buffer[0] == L'\0') return std::nullopt;
  return WideToUtf8(buffer);
}

std::optional<std::string> Win32Platform::TempFolderPath() {
  std::string path = FilledBuffer(kPathBuffer, [](wchar_t* b, DWORD n) {
    return GetTempPathW(n, b);
  });
  if (path.empty()) return std::nullopt;
  return path;
}

std::string Win32Platform::SystemDirectory() {
  return FilledBuffer(kPathBuffer, [](wchar_t* b, DWORD n) { return GetSystemDirectoryW(b, n); });
}

std::string Win32Platform::ModulePath() {
  // A full buffer means the path was cut: no usable path.
  return FilledBuffer(kPathBuffer,
                      [](wchar_t* b, DWORD n) { return GetModuleFileNameW(nullptr, b, n); });
}

uint16_t Win32Platform::UserDefaultLangId() { return GetUserDefaultLangID(); }

bool Win32Platform::RunsAsSystemAccount() {
  HANDLE raw = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &raw)) return false;
  ScopedKernelHandle token(raw);
  uint8_t buffer[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE] = {};
  DWORD size = 0;
  if (!GetTokenInformation(token.get(), TokenUser, buffer, sizeof buffer, &size)) return false;
  const auto* user = reinterpret_cast<const TOKEN_USER*>(buffer);
  return IsWellKnownSid(user->User.Sid, WinLocalSystemSid) != FALSE;
}

std::string Win32Platform::WindowsDirectory() {
  return FilledBuffer(kPathBuffer, [](wchar_t* b, DWORD n) { return GetWindowsDirectoryW(b, n); });
}

Status Win32Platform::RenameFile(const std::string& from, const std::string& to) {
  if (Status length = CheckLength(from); !length) return length;
  if (Status length = CheckLength(to); !length) return length;
  return Check(MoveFileW(W(from).c_str(), W(to).c_str()), "rename", from + " to " + to);
}

std::optional<std::string> Win32Platform::ShortPathName(const std::string& path) {
  if (TooLong(path)) return std::nullopt;
  const std::wstring wide = W(path);
  std::string short_path = FilledBuffer(kPathBuffer, [&](wchar_t* b, DWORD n) {
    return GetShortPathNameW(wide.c_str(), b, n);
  });
  if (short_path.empty()) return std::nullopt;
  return short_path;
}

Status Win32Platform::SetCurrentFolder(const std::string& path) {
  if (Status length = CheckLength(path); !length) return length;
  return Check(SetCurrentDirectoryW(W(path).c_str()), "change to the folder", path);
}

CalendarDate Win32Platform::LocalDate() {
  SYSTEMTIME now{};
  GetLocalTime(&now);
  return {now.wYear, now.wMonth, now.wDay};
}

std::string Win32Platform::ReadIniString(const std::string& file, const std::string& section,
                                         const std::string& key) {
  if (TooLong(file)) return {};
  wchar_t buffer[256] = {};
  const DWORD n = GetPrivateProfileStringW(W(section).c_str(), W(key).c_str(), L"", buffer,
                                           static_cast<DWORD>(std::size(buffer)), W(file).c_str());
  return WideToUtf8(std::wstring_view(buffer, std::min<DWORD>(n, std::size(buffer) - 1)));
}

Status Win32Platform::WriteIniString(const std::string& file, const std::string& section,
                                     const std::string& key, const std::string& value) {
  if (Status length = CheckLength(file); !length) return length;
  return Check(WritePrivateProfileStringW(W(section).c_str(), W(key).c_str(), W(value).c_str(),
                                          W(file).c_str()),
               "write", file + " [" + section + "] " + key);
}

Status Win32Platform::DeleteRegistryKey(RegistryRoot root, const std::string& path) {
  const LONG code = RegDeleteKeyW(RootKey(root), W(path).c_str());
  if (code != ERROR_SUCCESS) {
    return Fail("delete the key", RootName(root) + "\\" + path, static_cast<DWORD>(code));
  }
  return Status::Ok();
}

Status Win32Platform::RunPrivateProgram(std::span<const uint8_t> program,
                                        const std::string& arguments) {
  StatusOr<HeldProgram> staged = StagePrivateProgram(program, /*inheritable=*/false);
  if (!staged) return staged.status();
  const HeldProgram& held = staged.value();
  std::wstring line = L"\"" + held.path + L"\"";
  if (!arguments.empty()) line += L" " + W(arguments);
  line.push_back(L'\0');
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(held.path.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process)) {
    return Fail("start", WideToUtf8(held.path));
  }
  ScopedKernelHandle process_handle(process.hProcess);
  ScopedKernelHandle thread_handle(process.hThread);
  WaitForSingleObject(process_handle.get(), INFINITE);
  return Status::Ok();
}

Status Win32Platform::ShellOpen(const std::string& program, const std::string& parameters) {
  const auto result = reinterpret_cast<INT_PTR>(ShellExecuteW(
      nullptr, L"open", W(program).c_str(), W(parameters).c_str(), nullptr, SW_SHOWNORMAL));
  // ShellExecute reports errors as values up to 32, most of them error codes.
  if (result <= 32) return Fail("open", program, static_cast<DWORD>(result));
  return Status::Ok();
}

Status Win32Platform::CreateShellLink(const std::string& link_path, const std::string& target,
                                      const std::string& arguments,
                                      const std::string& description,
                                      const std::string& working_folder) {
  if (Status length = CheckLength(link_path); !length) return length;
  // The shell link object works in the multithreaded apartment, which needs
  // no window; a thread already in another apartment keeps it.
  struct ComScope {
    bool initialised = SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED));
    ~ComScope() {
      if (initialised) CoUninitialize();
    }
  } com;
  IShellLinkW* link = nullptr;
  if (HRESULT hr = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                    IID_IShellLinkW, reinterpret_cast<void**>(&link));
      FAILED(hr)) {
    return Fail("create the shell link", link_path, static_cast<DWORD>(hr));
  }
  IPersistFile* file = nullptr;
  if (HRESULT hr = link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file));
      FAILED(hr)) {
    link->Release();
    return Fail("create the shell link", link_path, static_cast<DWORD>(hr));
  }
  link->SetPath(W(target).c_str());
  link->SetArguments(W(arguments).c_str());
  link->SetWorkingDirectory(W(working_folder).c_str());
  link->SetDescription(W(description).c_str());
  Status saved = Status::Ok();
  if (HRESULT hr = file->Save(W(link_path).c_str(), TRUE); FAILED(hr)) {
    saved = Fail("save the shell link", link_path, static_cast<DWORD>(hr));
  }
  file->Release();
  link->Release();
  return saved;
}

void Win32Platform::NotifyScreensaverActive(bool active) {
  SystemParametersInfoW(SPI_SETSCREENSAVEACTIVE, active ? TRUE : FALSE, nullptr,
                        SPIF_SENDWININICHANGE);
}

namespace {

UINT IconStyle(MessageIcon icon) {
  switch (icon) {
    case MessageIcon::kError: return MB_ICONERROR;
    case MessageIcon::kInformation: return MB_ICONINFORMATION;
    case MessageIcon::kStop: return MB_ICONHAND;
  }
  return MB_ICONINFORMATION;
}

}  // namespace

void Win32Platform::ShowMessage(const std::string& text, const std::string& caption,
                                MessageIcon icon) {
  MessageBoxW(nullptr, W(text).c_str(), W(caption).c_str(), MB_OK | IconStyle(icon));
}

void Win32Platform::ShowLocalizedMessage(int string_id, const std::string& caption,
                                         MessageIcon icon) {
  const wchar_t* text = nullptr;
  const int n = LoadStringW(GetModuleHandleW(nullptr), static_cast<UINT>(string_id),
                            reinterpret_cast<LPWSTR>(&text), 0);
  const std::wstring message = n > 0 ? std::wstring(text, static_cast<size_t>(n)) : std::wstring();
  MessageBoxW(nullptr, message.c_str(), W(caption).c_str(), MB_OK | IconStyle(icon));
}

void Win32Platform::Beep(MessageIcon kind) {
  MessageBeep(kind == MessageIcon::kStop ? MB_ICONHAND : 0xFFFFFFFF);
}

void Win32Platform::SleepMs(uint32_t milliseconds) { Sleep(milliseconds); }

std::string Win32Platform::SystemMessage(uint32_t system_code) {
  wchar_t* text = nullptr;
  const DWORD n = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, system_code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::string message = n != 0 && text ? WideToUtf8(std::wstring_view(text, n)) : std::string();
  if (text) LocalFree(text);
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r' ||
                              message.back() == ' ' || message.back() == '.')) {
    message.pop_back();
  }
  return message;
}

std::string Win32Platform::AnsiToUtf8(const std::string& ansi) {
  if (ansi.empty()) return ansi;
  const std::wstring wide = AnsiToWide(ansi);
  return wide.empty() ? ansi : WideToUtf8(wide);
}

std::string Win32Platform::LocalTimeText() {
  SYSTEMTIME t{};
  GetLocalTime(&t);
  wchar_t text[32];
  wsprintfW(text, L"%04u-%02u-%02u %02u:%02u:%02u.%03u", t.wYear, t.wMonth, t.wDay, t.wHour,
            t.wMinute, t.wSecond, t.wMilliseconds);
  return WideToUtf8(text);
}

}  // namespace lumiset
