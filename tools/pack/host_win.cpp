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

// The system's text for an error code, without its line end.
std::string SystemMessage(DWORD error) {
  wchar_t* text = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::string message = length != 0 ? Utf8FromWide(text, static_cast<int>(length)) : std::string();
  if (text != nullptr) LocalFree(text);
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r' ||
                              message.back() == ' ' || message.back() == '.')) {
    message.pop_back();
  }
  return message.empty() ? "error " + std::to_string(error) : message;
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
      if (!WriteFile(file_, bytes.data(), chunk, &written, nullptr) || written == 0) {
        return Failed();
      }
      bytes = bytes.subspan(written);
    }
    return true;
  }

  bool WriteAt(uint64_t offset, std::span<const uint8_t> bytes) override {
    LARGE_INTEGER here{};
    LARGE_INTEGER at{};
    at.QuadPart = static_cast<LONGLONG>(offset);
    if (!SetFilePointerEx(file_, LARGE_INTEGER{}, &here, FILE_CURRENT) ||
        !SetFilePointerEx(file_, at, nullptr, FILE_BEGIN)) {
      return Failed();
    }
    const bool written = Write(bytes);
    return SetFilePointerEx(file_, here, nullptr, FILE_BEGIN) ? written : Failed();
  }

  bool Close() override {
    const HANDLE file = file_;
    file_ = INVALID_HANDLE_VALUE;
    return CloseHandle(file) != 0 || Failed();
  }

  std::string Failure() const override { return failure_; }

 private:
  bool Failed() {
    failure_ = SystemMessage(GetLastError());
    return false;
  }

  HANDLE file_;
  std::string failure_;
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
    return Status::Failure(Utf8FromPath(path) + ": cannot be created (" +
                           SystemMessage(GetLastError()) + ")");
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

bool ProcessIsRunning(uint32_t pid) {
  Handle process(OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid));
  if (process.get() == nullptr) return GetLastError() == ERROR_ACCESS_DENIED;
  return WaitForSingleObject(process.get(), 0) == WAIT_TIMEOUT;
}

namespace {

std::optional<FileIdentity> IdentityOfHandle(HANDLE file) {
  BY_HANDLE_FILE_INFORMATION info{};
  if (file == nullptr || file == INVALID_HANDLE_VALUE || GetFileType(file) != FILE_TYPE_DISK ||
      !GetFileInformationByHandle(file, &info)) {
    return std::nullopt;
  }
  return FileIdentity{info.dwVolumeSerialNumber,
                      uint64_t{info.nFileIndexHigh} << 32 | info.nFileIndexLow};
}

}  // namespace

std::optional<FileIdentity> IdentityOfFile(const std::filesystem::path& path) {
  // No access asked, so a file that others hold open still answers.
  Handle file(CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                          nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  return IdentityOfHandle(file.get());
}

std::optional<FileIdentity> IdentityOfStandardInput() {
  return IdentityOfHandle(GetStdHandle(STD_INPUT_HANDLE));
}

unsigned ProcessorCount() {
  SYSTEM_INFO info;
  GetSystemInfo(&info);
  return info.dwNumberOfProcessors == 0 ? 1 : info.dwNumberOfProcessors;
}

bool MoveFileOver(const std::filesystem::path& from, const std::filesystem::path& to) {
  return MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
}

ProgramRun RunProgram(const std::vector<std::string>& args, const ProgramOptions& options) {
  ProgramRun run;
  if (args.empty() || options.input.size() > kMaxProgramInput) return run;
  // The input goes through a named pipe of this run that the program opens
  // by name: one connection, then it is gone.
  static unsigned serial = 0;
  const std::wstring pipe_name = L"\\\\.\\pipe\\lumipack-" + std::to_wstring(GetCurrentProcessId()) +
                                 L"-" + std::to_wstring(++serial);
  std::wstring line;
  bool serves_input = false;
  for (const std::string& arg : args) {
    if (!line.empty()) line += L' ';
    if (arg == kProgramInputArgument) {
      serves_input = true;
      AppendQuoted(line, pipe_name);
    } else {
      AppendQuoted(line, WideFromUtf8(arg));
    }
  }
  Handle input_pipe;
  Handle connected(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  OVERLAPPED connect{};
  connect.hEvent = connected.get();
  bool input_pending = false;
  if (serves_input) {
    *input_pipe.out() = CreateNamedPipeW(
        pipe_name.c_str(), PIPE_ACCESS_OUTBOUND | FILE_FLAG_OVERLAPPED | FILE_FLAG_FIRST_PIPE_INSTANCE,
        PIPE_TYPE_BYTE | PIPE_REJECT_REMOTE_CLIENTS, 1, kMaxProgramInput, 0, 0, nullptr);
    if (input_pipe.get() == INVALID_HANDLE_VALUE || connected.get() == nullptr) return run;
    ConnectNamedPipe(input_pipe.get(), &connect);
    const DWORD error = GetLastError();
    if (error != ERROR_IO_PENDING && error != ERROR_PIPE_CONNECTED) return run;
    if (error == ERROR_PIPE_CONNECTED) SetEvent(connected.get());
    input_pending = true;
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
  // The program runs in a job that ends it when lumipack's handle to the
  // job closes, also when lumipack itself is killed: no signer is left
  // running on. It starts suspended so that it is in the job before it can
  // start programs of its own.
  Handle job(CreateJobObjectW(nullptr, nullptr));
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
  limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
  if (job.get() != nullptr) {
    SetInformationJobObject(job.get(), JobObjectExtendedLimitInformation, &limits, sizeof limits);
  }
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE,
                      CREATE_NO_WINDOW | CREATE_SUSPENDED, nullptr, nullptr, &startup, &process)) {
    if (input_pending) CancelIo(input_pipe.get());
    return run;
  }
  Handle process_handle(process.hProcess);
  Handle thread_handle(process.hThread);
  if (job.get() != nullptr) AssignProcessToJobObject(job.get(), process_handle.get());
  ResumeThread(thread_handle.get());
  write_end.Reset();
  SetInterruptChild(reinterpret_cast<intptr_t>(process_handle.get()));

  const ULONGLONG deadline = GetTickCount64() + ULONGLONG{options.timeout_seconds} * 1000;
  constexpr DWORD kPollMs = 20;
  char buffer[4096];
  for (bool exited = false;;) {
    if (input_pending && WaitForSingleObject(connected.get(), 0) == WAIT_OBJECT_0) {
      DWORD written = 0;
      OVERLAPPED write{};
      write.hEvent = connected.get();
      ResetEvent(connected.get());
      if (WriteFile(input_pipe.get(), options.input.data(), static_cast<DWORD>(options.input.size()),
                    &written, &write) ||
          GetLastError() == ERROR_IO_PENDING) {
        GetOverlappedResult(input_pipe.get(), &write, &written, TRUE);
      }
      FlushFileBuffers(input_pipe.get());
      input_pipe.Reset();
      input_pending = false;
    }
    DWORD available = 0;
    if (!PeekNamedPipe(read_end.get(), nullptr, 0, nullptr, &available, nullptr)) break;
    if (available != 0) {
      DWORD got = 0;
      if (!ReadFile(read_end.get(), buffer, sizeof buffer, &got, nullptr) || got == 0) break;
      run.output.append(buffer, got);
      if (run.output.size() > kMaxProgramOutput) {
        run.output.erase(0, run.output.size() - kMaxProgramOutput);
      }
      continue;
    }
    if (exited) break;
    if (options.timeout_seconds != 0 && GetTickCount64() >= deadline) {
      run.timed_out = true;
      TerminateProcess(process_handle.get(), 1);
      break;
    }
    exited = WaitForSingleObject(process_handle.get(), kPollMs) == WAIT_OBJECT_0;
  }
  if (input_pending) CancelIo(input_pipe.get());
  WaitForSingleObject(process_handle.get(), INFINITE);
  SetInterruptChild(0);
  DWORD code = 0;
  if (!GetExitCodeProcess(process_handle.get(), &code)) return run;
  run.started = true;
  run.exit_code = static_cast<int>(code);
  return run;
}

}  // namespace lumipack
