#include "host.h"

#include <windows.h>  // lean and without min/max: see CMakeLists.txt

#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "file_io.h"
#include "interrupt.h"

namespace lumipack {
namespace {

std::string Utf8FromWide(const wchar_t* text, int length) {
  if (length == 0) return {};
  const int bytes = WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
  if (bytes <= 0) return {};
  std::string out(static_cast<size_t>(bytes), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, length, out.data(), bytes, nullptr, nullptr);
  return out;
}

std::wstring WideFromUtf8(const std::string& text) {
  if (text.empty()) return {};
  const int length = static_cast<int>(text.size());
  const int chars = MultiByteToWideChar(CP_UTF8, 0, text.data(), length, nullptr, 0);
  if (chars <= 0) return {};
  std::wstring out(static_cast<size_t>(chars), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), length, out.data(), chars);
  return out;
}

// Quotes one argument so that the C runtime's command-line parser gives it
// back unchanged: backslashes double only where they precede a quote.
void AppendQuoted(std::wstring& line, const std::wstring& arg) {
  if (!arg.empty() && arg.find_first_of(L" \t\n\v\"") == std::wstring::npos) {
    line += arg;
    return;
  }
  line += L'"';
  size_t backslashes = 0;
  for (wchar_t c : arg) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    line.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    backslashes = 0;
    line += c;
  }
  line.append(backslashes * 2, L'\\');
  line += L'"';
}

class Handle {
 public:
  explicit Handle(HANDLE h = nullptr) : h_(h) {}
  ~Handle() {
    if (h_ != nullptr && h_ != INVALID_HANDLE_VALUE) CloseHandle(h_);
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  HANDLE get() const { return h_; }
  HANDLE* out() { return &h_; }
  void Reset() {
    if (h_ != nullptr && h_ != INVALID_HANDLE_VALUE) CloseHandle(h_);
    h_ = nullptr;
  }

 private:
  HANDLE h_;
};

}  // namespace

std::vector<std::string> Utf8Arguments(int argc, char** argv) {
  int count = 0;
  LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (wide == nullptr) return std::vector<std::string>(argv, argv + argc);
  std::vector<std::string> args;
  for (int i = 0; i < count; ++i) args.push_back(Utf8FromWide(wide[i], lstrlenW(wide[i])));
  LocalFree(wide);
  return args;
}

void PrepareConsole() { SetConsoleOutputCP(CP_UTF8); }

std::optional<std::filesystem::path> ExecutablePath() {
  std::wstring buffer(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0) return std::nullopt;
    if (n < buffer.size()) return std::filesystem::path(buffer.substr(0, n));
    if (buffer.size() >= 32768) return std::nullopt;
    buffer.resize(buffer.size() * 2);
  }
}

bool StderrIsTerminal() { return _isatty(_fileno(stderr)) != 0; }

unsigned TerminalColumns() {
  CONSOLE_SCREEN_BUFFER_INFO info;
  if (GetConsoleScreenBufferInfo(GetStdHandle(STD_ERROR_HANDLE), &info)) {
    const int width = info.srWindow.Right - info.srWindow.Left + 1;
    if (width > 0) return static_cast<unsigned>(width);
  }
  if (const char* columns = std::getenv("COLUMNS")) {
    unsigned value = 0;
    const char* end = columns + std::strlen(columns);
    if (std::from_chars(columns, end, value).ptr == end) return value;
  }
  return 0;
}

Result<std::string> ReadStandardInput(uint64_t max_size) {
  // Bytes as they are: no CR LF translation and no end at Ctrl-Z.
  _setmode(_fileno(stdin), _O_BINARY);
  std::string text;
  char buffer[64 << 10];
  for (;;) {
    const size_t got = std::fread(buffer, 1, sizeof buffer, stdin);
    if (got > max_size - text.size()) {
      return Status::Failure("standard input holds more than the " + std::to_string(max_size) +
                             " bytes allowed");
    }
    text.append(buffer, got);
    if (got < sizeof buffer) {
      if (std::ferror(stdin)) return Status::Failure("standard input cannot be read");
      return text;
    }
  }
}

namespace {

class WinNewFile final : public NewFile {
 public:
  explicit WinNewFile(HANDLE file) : file_(file) {}
  ~WinNewFile() override {
    if (file_ != INVALID_HANDLE_VALUE) CloseHandle(file_);
  }
  WinNewFile(const WinNewFile&) = delete;
  WinNewFile& operator=(const WinNewFile&) = delete;

  bool Write(std::span<const uint8_t> bytes) override {
    while (!bytes.empty()) {
      // After Ctrl-C the write fails, so the caller unwinds and removes
      // the file before the console handler gives up waiting.
      if (InterruptRequested()) return false;
      const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size(), 1u << 30));
      DWORD written = 0;
      if (!WriteFile(file_, bytes.data(), chunk, &written, nullptr) || written == 0) return false;
      bytes = bytes.subspan(written);
    }
    return true;
  }

  bool Close() override {
    const HANDLE file = file_;
    file_ = INVALID_HANDLE_VALUE;
    return CloseHandle(file) != 0;
  }

 private:
  HANDLE file_;
};

}  // namespace

Result<std::unique_ptr<NewFile>> NewFile::Create(const std::filesystem::path& path,
                                                 std::optional<std::filesystem::perms> mode) {
  // FILE_SHARE_DELETE lets the console handler remove the file while it is
  // open. Windows has no mode bits; read-only outputs are refused before.
  (void)mode;
  const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                  nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    return Status::Failure(Utf8FromPath(path) + ": cannot be created (error " +
                           std::to_string(GetLastError()) + ")");
  }
  return std::unique_ptr<NewFile>(new WinNewFile(file));
}

std::optional<std::string> EnvironmentVariable(const std::string& name) {
  // The wide form: the ANSI one would lose what the code page cannot hold.
  const wchar_t* value = _wgetenv(WideFromUtf8(name).c_str());
  if (value == nullptr) return std::nullopt;
  return Utf8FromWide(value, lstrlenW(value));
}

uint32_t ProcessId() { return GetCurrentProcessId(); }

unsigned ProcessorCount() {
  SYSTEM_INFO info;
  GetSystemInfo(&info);
  return info.dwNumberOfProcessors == 0 ? 1 : info.dwNumberOfProcessors;
}

bool MoveFileOver(const std::filesystem::path& from, const std::filesystem::path& to) {
  return MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
}

ProgramRun RunProgram(const std::vector<std::string>& args) {
  ProgramRun run;
  if (args.empty()) return run;
  std::wstring line;
  for (const std::string& arg : args) {
    if (!line.empty()) line += L' ';
    AppendQuoted(line, WideFromUtf8(arg));
  }

  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  Handle read_end;
  Handle write_end;
  if (!CreatePipe(read_end.out(), write_end.out(), &inherit, 0)) return run;
  SetHandleInformation(read_end.get(), HANDLE_FLAG_INHERIT, 0);
  Handle null_input(CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                                OPEN_EXISTING, 0, nullptr));

  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = null_input.get();
  startup.hStdOutput = write_end.get();
  startup.hStdError = write_end.get();
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                      nullptr, &startup, &process)) {
    return run;
  }
  Handle process_handle(process.hProcess);
  Handle thread_handle(process.hThread);
  write_end.Reset();
  SetInterruptChild(reinterpret_cast<intptr_t>(process_handle.get()));

  char buffer[4096];
  DWORD got = 0;
  while (ReadFile(read_end.get(), buffer, sizeof buffer, &got, nullptr) && got != 0) {
    run.output.append(buffer, got);
    if (run.output.size() > kMaxProgramOutput) {
      run.output.erase(0, run.output.size() - kMaxProgramOutput);
    }
  }
  WaitForSingleObject(process_handle.get(), INFINITE);
  SetInterruptChild(0);
  DWORD code = 0;
  if (!GetExitCodeProcess(process_handle.get(), &code)) return run;
  run.started = true;
  run.exit_code = static_cast<int>(code);
  return run;
}

}  // namespace lumipack
