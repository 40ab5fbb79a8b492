#include "win32/platform_win.h"

#include <objidl.h>
#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>

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

// Why `what` failed on `path`. The default code is taken at the failing
// call, before anything else can change the thread's error code.
Status Fail(const char* what, const std::string& path, DWORD code = GetLastError()) {
  return Status::Failure(what, path, code);
}

// Ok when `path` fits the system's limit.
Status CheckLength(const std::string& path) {
  if (path.size() <= kMaxPathChars) return Status::Ok();
  return Fail("use a path longer than 259 characters:", path, ERROR_FILENAME_EXCED_RANGE);
}

bool TooLong(const std::string& path) { return path.size() > kMaxPathChars; }

// Ok for a call that succeeded, else why it failed.
Status Check(BOOL succeeded, const char* what, const std::string& path) {
  return succeeded ? Status::Ok() : Fail(what, path);
}

std::string RootName(RegistryRoot root) {
  return root == RegistryRoot::kLocalMachine ? "HKEY_LOCAL_MACHINE" : "HKEY_CURRENT_USER";
}

HKEY RootKey(RegistryRoot root) {
  return root == RegistryRoot::kLocalMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
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

class Win32WritableFile final : public WritableFile {
 public:
  Win32WritableFile(ScopedFile file, std::string path)
      : file_(std::move(file)), path_(std::move(path)) {}
  Status Write(const void* src, size_t n) override {
    const auto* in = static_cast<const uint8_t*>(src);
    while (n != 0) {
      DWORD put = 0;
      const DWORD want = static_cast<DWORD>(std::min(n, kIoPiece));
      if (!WriteFile(file_.get(), in, want, &put, nullptr)) return Fail("write", path_);
      if (put != want) return Fail("write", path_, ERROR_DISK_FULL);
      in += put;
      n -= put;
    }
    return Status::Ok();
  }
  Status Seek(uint64_t offset) override {
    LARGE_INTEGER at{};
    at.QuadPart = static_cast<LONGLONG>(offset);
    return Check(SetFilePointerEx(file_.get(), at, nullptr, FILE_BEGIN), "write", path_);
  }
  Status Close() override {
    if (!file_) return Fail("close", path_, ERROR_INVALID_HANDLE);
    return Check(CloseHandle(file_.Release()), "close", path_);
  }

 private:
  ScopedFile file_;
  std::string path_;
};

int CsidlOf(SpecialFolder folder) {
  switch (folder) {
    case SpecialFolder::kLocalAppData: return CSIDL_LOCAL_APPDATA;
    case SpecialFolder::kRoamingAppData: return CSIDL_APPDATA;
    case SpecialFolder::kPrograms: return CSIDL_PROGRAMS;
    case SpecialFolder::kDesktop: return CSIDL_DESKTOPDIRECTORY;
    case SpecialFolder::kProgramFiles: return CSIDL_PROGRAM_FILES;
  }
  return CSIDL_DESKTOPDIRECTORY;
}

}  // namespace

std::optional<std::string> Win32Platform::ReadRegistryString(RegistryRoot root,
                                                             const std::string& subkey,
                                                             const std::string& name) {
  HKEY raw = nullptr;
  if (RegOpenKeyExA(RootKey(root), subkey.c_str(), 0, KEY_QUERY_VALUE, &raw) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  ScopedRegKey key(raw);
  // Room for 259 characters with or without a stored zero: this installer
  // stores none, but other writers (and Wine) do.
  char buffer[kPathBuffer + 1] = {};
  DWORD type = REG_SZ;
  DWORD size = kPathBuffer;
  if (RegQueryValueExA(key.get(), name.c_str(), nullptr, &type,
                       reinterpret_cast<BYTE*>(buffer), &size) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  buffer[std::min<DWORD>(size, kPathBuffer)] = '\0';
  std::string text(buffer);
  if (text.size() > kMaxPathChars) return std::nullopt;
  return text;
}

Status Win32Platform::WriteRegistryString(RegistryRoot root, const std::string& subkey,
                                        const std::string& name, const std::string& text) {
  HKEY raw = nullptr;
  const std::string where = RootName(root) + "\\" + subkey;
  if (LONG code = RegCreateKeyExA(RootKey(root), subkey.c_str(), 0, nullptr,
                                  REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &raw, nullptr);
      code != ERROR_SUCCESS) {
    return Fail("create the key", where, static_cast<DWORD>(code));
  }
  ScopedRegKey key(raw);
  if (text.size() > UINT32_MAX) return Fail("write", where + "\\" + name, ERROR_INVALID_DATA);
  const LONG code = RegSetValueExA(key.get(), name.c_str(), 0, REG_SZ,
                                   reinterpret_cast<const BYTE*>(text.c_str()),
                                   static_cast<DWORD>(text.size()));
  if (code != ERROR_SUCCESS) return Fail("write", where + "\\" + name, static_cast<DWORD>(code));
  return Status::Ok();
}

Status Win32Platform::WriteRegistryDword(RegistryRoot root, const std::string& subkey,
                                         const std::string& name, uint32_t value) {
  HKEY raw = nullptr;
  const std::string where = RootName(root) + "\\" + subkey;
  if (LONG code = RegCreateKeyExA(RootKey(root), subkey.c_str(), 0, nullptr,
                                  REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr, &raw, nullptr);
      code != ERROR_SUCCESS) {
    return Fail("create the key", where, static_cast<DWORD>(code));
  }
  ScopedRegKey key(raw);
  const DWORD data = value;
  const LONG code = RegSetValueExA(key.get(), name.c_str(), 0, REG_DWORD,
                                   reinterpret_cast<const BYTE*>(&data), sizeof data);
  if (code != ERROR_SUCCESS) return Fail("write", where + "\\" + name, static_cast<DWORD>(code));
  return Status::Ok();
}

Status Win32Platform::DeleteRegistryValue(RegistryRoot root, const std::string& subkey,
                                          const std::string& name) {
  HKEY raw = nullptr;
  const std::string where = RootName(root) + "\\" + subkey;
  if (LONG code = RegOpenKeyExA(RootKey(root), subkey.c_str(), 0, KEY_SET_VALUE, &raw);
      code != ERROR_SUCCESS) {
    return Fail("open the key", where, static_cast<DWORD>(code));
  }
  ScopedRegKey key(raw);
  const LONG code = RegDeleteValueA(key.get(), name.c_str());
  if (code != ERROR_SUCCESS) return Fail("delete", where + "\\" + name, static_cast<DWORD>(code));
  return Status::Ok();
}

bool Win32Platform::RegistryKeyIsEmpty(RegistryRoot root, const std::string& path) {
  HKEY raw = nullptr;
  if (RegOpenKeyExA(RootKey(root), path.c_str(), 0, KEY_QUERY_VALUE, &raw) != ERROR_SUCCESS) {
    return false;
  }
  ScopedRegKey key(raw);
  DWORD subkeys = 0;
  DWORD values = 0;
  if (RegQueryInfoKeyA(key.get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values,
                       nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
    return false;
  }
  return subkeys == 0 && values == 0;
}

bool Win32Platform::IsWow64() {
  using IsWow64ProcessFn = BOOL(WINAPI*)(HANDLE, PBOOL);
  // Looked up by name: systems before XP SP2 lack the function.
  static const auto is_wow64_process = reinterpret_cast<IsWow64ProcessFn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32"), "IsWow64Process")));
  if (!is_wow64_process) return false;
  BOOL wow64 = FALSE;
  return is_wow64_process(GetCurrentProcess(), &wow64) && wow64;
}

std::optional<Platform::PathKind> Win32Platform::QueryPath(const std::string& path) {
  if (TooLong(path)) return std::nullopt;
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return std::nullopt;
  return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? PathKind::kFolder : PathKind::kFile;
}

std::vector<FindEntry> Win32Platform::FindFiles(const std::string& pattern) {
  std::vector<FindEntry> out;
  if (TooLong(pattern)) return out;
  WIN32_FIND_DATAA data{};
  ScopedFind find(FindFirstFileA(pattern.c_str(), &data));
  if (!find) return out;
  do {
    out.push_back({data.cFileName, (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0,
                   data.cAlternateFileName});
  } while (out.size() < kMaxFindEntries && FindNextFileA(find.get(), &data));
  return out;
}

Status Win32Platform::MakeFolder(const std::string& path) {
  if (Status length = CheckLength(path); !length) return length;
  return Check(CreateDirectoryA(path.c_str(), nullptr), "create the folder", path);
}

Status Win32Platform::RemoveFolder(const std::string& path) {
  if (Status length = CheckLength(path); !length) return length;
  return Check(RemoveDirectoryA(path.c_str()), "remove the folder", path);
}

Status Win32Platform::RemoveFile(const std::string& path) {
  if (Status length = CheckLength(path); !length) return length;
  return Check(DeleteFileA(path.c_str()), "delete", path);
}

Status Win32Platform::SetNormalAttributes(const std::string& path) {
  if (Status length = CheckLength(path); !length) return length;
  return Check(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL), "clear the attributes of",
               path);
}

StatusOr<std::unique_ptr<ReadableFile>> Win32Platform::OpenForRead(const std::string& path,
                                                                   bool share_write) {
  if (Status length = CheckLength(path); !length) return length;
  const DWORD share = FILE_SHARE_READ | (share_write ? FILE_SHARE_WRITE : 0);
  ScopedFile file(CreateFileA(path.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return Fail("open", path);
  return std::unique_ptr<ReadableFile>(std::make_unique<Win32ReadableFile>(std::move(file), path));
}

StatusOr<std::unique_ptr<WritableFile>> Win32Platform::CreateForWrite(const std::string& path,
                                                                      bool create_new) {
  if (Status length = CheckLength(path); !length) return length;
  ScopedFile file(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr,
                              create_new ? CREATE_NEW : CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                              nullptr));
  if (!file) return Fail("create", path);
  return std::unique_ptr<WritableFile>(std::make_unique<Win32WritableFile>(std::move(file), path));
}

std::optional<std::string> Win32Platform::SpecialFolderPath(SpecialFolder folder) {
  LPITEMIDLIST list = nullptr;
  if (FAILED(SHGetSpecialFolderLocation(nullptr, CsidlOf(folder), &list)) || !list) {
    return std::nullopt;
  }
  char buffer[kPathBuffer] = {};
  const BOOL ok = SHGetPathFromIDListA(list, buffer);
  CoTaskMemFree(list);
  if (!ok || buffer[0] == '\0') return std::nullopt;
  return std::string(buffer);
}

std::optional<std::string> Win32Platform::TempFolderPath() {
  char buffer[kPathBuffer] = {};
  const DWORD n = GetTempPathA(kPathBuffer, buffer);
  if (n == 0 || n >= kPathBuffer) return std::nullopt;
  return std::string(buffer, n);
}

std::string Win32Platform::SystemDirectory() {
  char buffer[256] = {};
  const UINT n = GetSystemDirectoryA(buffer, sizeof buffer);
  if (n == 0 || n >= sizeof buffer) return {};
  return std::string(buffer, n);
}

std::string Win32Platform::ModulePath() {
  char buffer[kPathBuffer] = {};
  const DWORD n = GetModuleFileNameA(nullptr, buffer, kPathBuffer);
  // A full buffer means the path was cut: no usable path.
  if (n == 0 || n >= kPathBuffer) return {};
  return std::string(buffer, n);
}

uint16_t Win32Platform::UserDefaultLangId() { return GetUserDefaultLangID(); }

bool Win32Platform::IsLeadByte(uint8_t byte) { return IsDBCSLeadByte(byte) != 0; }

std::string Win32Platform::WindowsDirectory() {
  char buffer[256] = {};
  const UINT n = GetWindowsDirectoryA(buffer, sizeof buffer);
  if (n == 0 || n >= sizeof buffer) return {};
  return std::string(buffer, n);
}

Status Win32Platform::RenameFile(const std::string& from, const std::string& to) {
  if (Status length = CheckLength(from); !length) return length;
  if (Status length = CheckLength(to); !length) return length;
  return Check(MoveFileA(from.c_str(), to.c_str()), "rename", from + " to " + to);
}

std::optional<std::string> Win32Platform::ShortPathName(const std::string& path) {
  if (TooLong(path)) return std::nullopt;
  char buffer[kPathBuffer] = {};
  const DWORD n = GetShortPathNameA(path.c_str(), buffer, kPathBuffer);
  if (n == 0 || n >= kPathBuffer) return std::nullopt;
  return std::string(buffer, n);
}

Status Win32Platform::SetCurrentFolder(const std::string& path) {
  if (Status length = CheckLength(path); !length) return length;
  return Check(SetCurrentDirectoryA(path.c_str()), "change to the folder", path);
}

CalendarDate Win32Platform::LocalDate() {
  SYSTEMTIME now{};
  GetLocalTime(&now);
  return {now.wYear, now.wMonth, now.wDay};
}

std::string Win32Platform::ReadIniString(const std::string& file, const std::string& section,
                                         const std::string& key) {
  if (TooLong(file)) return {};
  char buffer[256] = {};
  const DWORD n = GetPrivateProfileStringA(section.c_str(), key.c_str(), "", buffer,
                                           sizeof buffer, file.c_str());
  return std::string(buffer, std::min<DWORD>(n, sizeof buffer - 1));
}

Status Win32Platform::WriteIniString(const std::string& file, const std::string& section,
                                     const std::string& key, const std::string& value) {
  if (Status length = CheckLength(file); !length) return length;
  return Check(
      WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(), file.c_str()),
      "write", file + " [" + section + "] " + key);
}

Status Win32Platform::DeleteRegistryKey(RegistryRoot root, const std::string& path) {
  const LONG code = RegDeleteKeyA(RootKey(root), path.c_str());
  if (code != ERROR_SUCCESS) {
    return Fail("delete the key", RootName(root) + "\\" + path, static_cast<DWORD>(code));
  }
  return Status::Ok();
}

Status Win32Platform::RunAndWait(const std::string& command_line) {
  std::vector<char> line(command_line.begin(), command_line.end());
  line.push_back('\0');
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &process)) {
    return Fail("start", command_line);
  }
  ScopedKernelHandle process_handle(process.hProcess);
  ScopedKernelHandle thread_handle(process.hThread);
  WaitForSingleObject(process_handle.get(), INFINITE);
  return Status::Ok();
}

Status Win32Platform::ShellOpen(const std::string& program, const std::string& parameters) {
  const auto result = reinterpret_cast<INT_PTR>(
      ShellExecuteA(nullptr, "open", program.c_str(), parameters.c_str(), nullptr, SW_SHOWNORMAL));
  // ShellExecute reports errors as values up to 32, most of them error codes.
  if (result <= 32) return Fail("open", program, static_cast<DWORD>(result));
  return Status::Ok();
}

Status Win32Platform::CreateShellLink(const std::string& link_path, const std::string& target,
                                      const std::string& description,
                                      const std::string& working_folder) {
  if (Status length = CheckLength(link_path); !length) return length;
  IShellLinkA* link = nullptr;
  if (HRESULT hr = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                    IID_IShellLinkA, reinterpret_cast<void**>(&link));
      FAILED(hr)) {
    return Fail("create the shell link", link_path, static_cast<DWORD>(hr));
  }
  IPersistFile* file = nullptr;
  if (HRESULT hr = link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file));
      FAILED(hr)) {
    link->Release();
    return Fail("create the shell link", link_path, static_cast<DWORD>(hr));
  }
  link->SetPath(target.c_str());
  link->SetWorkingDirectory(working_folder.c_str());
  link->SetDescription(description.c_str());
  wchar_t wide[kPathBuffer] = {};
  Status saved = Status::Ok();
  if (MultiByteToWideChar(CP_ACP, 0, link_path.c_str(), -1, wide, kPathBuffer) <= 0) {
    saved = Fail("save the shell link", link_path);
  } else if (HRESULT hr = file->Save(wide, TRUE); FAILED(hr)) {
    saved = Fail("save the shell link", link_path, static_cast<DWORD>(hr));
  }
  file->Release();
  link->Release();
  return saved;
}

void Win32Platform::NotifyScreensaverActive(bool active) {
  SystemParametersInfoA(SPI_SETSCREENSAVEACTIVE, active ? TRUE : FALSE, nullptr,
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
  MessageBoxA(nullptr, text.c_str(), caption.c_str(), MB_OK | IconStyle(icon));
}

void Win32Platform::ShowLocalizedMessage(int string_id, const std::string& caption,
                                         MessageIcon icon) {
  // Read as UTF-16 so a Russian message shows on a Western system.
  const wchar_t* text = nullptr;
  const int n = LoadStringW(GetModuleHandleW(nullptr), static_cast<UINT>(string_id),
                            reinterpret_cast<LPWSTR>(&text), 0);
  const std::wstring message = n > 0 ? std::wstring(text, static_cast<size_t>(n)) : std::wstring();
  MessageBoxW(nullptr, message.c_str(), AnsiToWide(caption).c_str(), MB_OK | IconStyle(icon));
}

void Win32Platform::Beep(MessageIcon kind) {
  MessageBeep(kind == MessageIcon::kStop ? MB_ICONHAND : 0xFFFFFFFF);
}

void Win32Platform::SleepMs(uint32_t milliseconds) { Sleep(milliseconds); }


std::string Win32Platform::SystemMessage(uint32_t system_code) {
  char* text = nullptr;
  const DWORD n = FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, system_code, 0, reinterpret_cast<char*>(&text), 0, nullptr);
  std::string message = n != 0 && text ? std::string(text, n) : std::string();
  if (text) LocalFree(text);
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r' ||
                              message.back() == ' ' || message.back() == '.')) {
    message.pop_back();
  }
  return message;
}

std::string Win32Platform::ToUtf8(const std::string& ansi) {
  if (ansi.empty() || ansi.size() > INT32_MAX / 2) return ansi;
  const std::wstring wide = AnsiToWide(ansi);
  if (wide.empty()) return ansi;
  const int wide_count = static_cast<int>(wide.size());
  const int utf8_count =
      WideCharToMultiByte(CP_UTF8, 0, wide.data(), wide_count, nullptr, 0, nullptr, nullptr);
  if (utf8_count <= 0) return ansi;
  std::string utf8(static_cast<size_t>(utf8_count), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), wide_count, utf8.data(), utf8_count, nullptr,
                      nullptr);
  return utf8;
}

std::string Win32Platform::LocalTimeText() {
  SYSTEMTIME t{};
  GetLocalTime(&t);
  char text[32];
  wsprintfA(text, "%04u-%02u-%02u %02u:%02u:%02u.%03u", t.wYear, t.wMonth, t.wDay, t.wHour,
            t.wMinute, t.wSecond, t.wMilliseconds);
  return text;
}

}  // namespace lumiset
