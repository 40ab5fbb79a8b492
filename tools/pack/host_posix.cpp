#include "host.h"

#include <fcntl.h>
#include <signal.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <system_error>
#include <thread>

#include "file_io.h"
#include "interrupt.h"

namespace lumipack {

std::vector<std::string> Utf8Arguments(int argc, char** argv) {
  return std::vector<std::string>(argv, argv + argc);
}

void PrepareConsole() {}

std::optional<std::filesystem::path> ExecutablePath() {
  std::error_code ec;
  std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec) return std::nullopt;
  return self;
}

bool StderrIsTerminal() { return isatty(fileno(stderr)) == 1; }

unsigned TerminalColumns() {
  winsize size{};
  if (ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col != 0) return size.ws_col;
  if (const char* columns = std::getenv("COLUMNS")) {
    unsigned value = 0;
    const char* end = columns + std::strlen(columns);
    if (std::from_chars(columns, end, value).ptr == end) return value;
  }
  return 0;
}

Result<std::string> ReadStandardInput(uint64_t max_size) {
  std::string text;
  char buffer[64 << 10];
  for (;;) {
    const ssize_t got = read(STDIN_FILENO, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return Status::Failure("standard input cannot be read");
    if (got == 0) return text;
    if (static_cast<uint64_t>(got) > max_size - text.size()) {
      return Status::Failure("standard input holds more than the " + std::to_string(max_size) +
                             " bytes allowed");
    }
    text.append(buffer, static_cast<size_t>(got));
  }
}

namespace {

class PosixNewFile final : public NewFile {
 public:
  explicit PosixNewFile(int fd) : fd_(fd) {}
  ~PosixNewFile() override {
    if (fd_ >= 0) close(fd_);
  }
  PosixNewFile(const PosixNewFile&) = delete;
  PosixNewFile& operator=(const PosixNewFile&) = delete;

  bool Write(std::span<const uint8_t> bytes) override {
    while (!bytes.empty()) {
      const ssize_t n = write(fd_, bytes.data(), bytes.size());
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return Failed(n < 0 ? errno : ENOSPC);
      bytes = bytes.subspan(static_cast<size_t>(n));
    }
    return true;
  }

  bool WriteAt(uint64_t offset, std::span<const uint8_t> bytes) override {
    while (!bytes.empty()) {
      const ssize_t n = pwrite(fd_, bytes.data(), bytes.size(), static_cast<off_t>(offset));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return Failed(n < 0 ? errno : ENOSPC);
      bytes = bytes.subspan(static_cast<size_t>(n));
      offset += static_cast<uint64_t>(n);
    }
    return true;
  }

  bool Close() override {
    const int fd = fd_;
    fd_ = -1;
    return close(fd) == 0 || Failed(errno);
  }

  std::string Failure() const override { return failure_; }

 private:
  bool Failed(int error) {
    failure_ = std::generic_category().message(error);
    return false;
  }

  int fd_;
  std::string failure_;
};

}  // namespace

Result<std::unique_ptr<NewFile>> NewFile::Create(const std::filesystem::path& path,
                                                 std::optional<std::filesystem::perms> mode) {
  const mode_t bits = mode ? static_cast<mode_t>(*mode & std::filesystem::perms::mask) : 0666;
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, bits);
  if (fd < 0) {
    return Status::Failure(Utf8FromPath(path) + ": cannot be created (" +
                           std::generic_category().message(errno) + ")");
  }
  // The umask narrows the mode open() sets; a mode asked for is set whole.
  if (mode && fchmod(fd, bits) != 0) {
    close(fd);
    unlink(path.c_str());
    return Status::Failure(Utf8FromPath(path) + ": its permissions cannot be set");
  }
  return std::unique_ptr<NewFile>(new PosixNewFile(fd));
}

std::optional<std::string> EnvironmentVariable(const std::string& name) {
  const char* value = std::getenv(name.c_str());
  if (value == nullptr) return std::nullopt;
  return std::string(value);
}

uint32_t ProcessId() { return static_cast<uint32_t>(getpid()); }

bool ProcessIsRunning(uint32_t pid) {
  if (pid == 0 || pid > static_cast<uint32_t>(INT32_MAX)) return false;
  return kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}

namespace {

std::optional<FileIdentity> IdentityOf(const struct stat& st) {
  if (!S_ISREG(st.st_mode)) return std::nullopt;
  return FileIdentity{static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
}

}  // namespace

std::optional<FileIdentity> IdentityOfFile(const std::filesystem::path& path) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) return std::nullopt;
  return IdentityOf(st);
}

std::optional<FileIdentity> IdentityOfStandardInput() {
  struct stat st {};
  if (fstat(STDIN_FILENO, &st) != 0) return std::nullopt;
  return IdentityOf(st);
}

unsigned ProcessorCount() {
  const unsigned n = std::thread::hardware_concurrency();
  return n == 0 ? 1 : n;
}

bool MoveFileOver(const std::filesystem::path& from, const std::filesystem::path& to) {
  return std::rename(from.c_str(), to.c_str()) == 0;
}

namespace {

using Clock = std::chrono::steady_clock;

// Closes a descriptor once.
struct Descriptor {
  int fd = -1;
  ~Descriptor() { Close(); }
  void Close() {
    if (fd >= 0) close(fd);
    fd = -1;
  }
};

}  // namespace

ProgramRun RunProgram(const std::vector<std::string>& args, const ProgramOptions& options) {
  ProgramRun run;
  if (args.empty() || options.input.size() > kMaxProgramInput) return run;
  // The input fits the pipe's buffer, so it is written whole before the
  // program starts and never reaches a file.
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) return run;
  Descriptor input_read{fds[0]};
  Descriptor input_write{fds[1]};
  if (!options.input.empty() &&
      write(input_write.fd, options.input.data(), options.input.size()) !=
          static_cast<ssize_t>(options.input.size())) {
    return run;
  }
  input_write.Close();
  if (pipe2(fds, O_CLOEXEC) != 0) return run;
  Descriptor output_read{fds[0]};
  Descriptor output_write{fds[1]};

  std::vector<std::string> arguments = args;
  for (std::string& arg : arguments) {
    if (arg == kProgramInputArgument) arg = "/dev/stdin";
  }
  std::vector<char*> argv;
  for (std::string& arg : arguments) argv.push_back(arg.data());
  argv.push_back(nullptr);
  const pid_t parent = getpid();
  const pid_t pid = fork();
  if (pid < 0) return run;
  if (pid == 0) {
    // Only async-signal-safe calls from here to exec. The program dies with
    // lumipack, so a killed build leaves no signer running on.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent) _exit(127);
    if (dup2(input_read.fd, STDIN_FILENO) < 0 || dup2(output_write.fd, STDOUT_FILENO) < 0 ||
        dup2(output_write.fd, STDERR_FILENO) < 0) {
      _exit(127);
    }
    execvp(argv[0], argv.data());
    _exit(127);
  }
  input_read.Close();
  output_write.Close();
  SetInterruptChild(pid);

  const Clock::time_point deadline = Clock::now() + std::chrono::seconds(options.timeout_seconds);
  char buffer[4096];
  for (;;) {
    int wait_ms = -1;
    if (options.timeout_seconds != 0) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
      if (left.count() <= 0) {
        run.timed_out = true;
        kill(pid, SIGKILL);
        break;
      }
      wait_ms = static_cast<int>(std::min<int64_t>(left.count(), 1000));
    }
    pollfd ready{output_read.fd, POLLIN, 0};
    const int polled = poll(&ready, 1, wait_ms);
    if (polled < 0 && errno == EINTR) continue;
    if (polled < 0) break;
    if (polled == 0) continue;
    const ssize_t got = read(output_read.fd, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    run.output.append(buffer, static_cast<size_t>(got));
    if (run.output.size() > kMaxProgramOutput) {
      run.output.erase(0, run.output.size() - kMaxProgramOutput);
    }
  }
  output_read.Close();

  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) {
      SetInterruptChild(0);
      return run;
    }
  }
  SetInterruptChild(0);
  // exec failing leaves exit code 127 and no output: the program is not there.
  if (WIFEXITED(status) && WEXITSTATUS(status) == 127 && run.output.empty()) return run;
  run.started = true;
  run.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return run;
}

}  // namespace lumipack
