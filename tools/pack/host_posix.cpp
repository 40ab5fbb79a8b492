#include "host.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <system_error>
#include <thread>

#include "file_io.h"
#include "interrupt.h"

extern char** environ;

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
      if (n <= 0) return false;
      bytes = bytes.subspan(static_cast<size_t>(n));
    }
    return true;
  }

  bool Close() override {
    const int fd = fd_;
    fd_ = -1;
    return close(fd) == 0;
  }

 private:
  int fd_;
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

unsigned ProcessorCount() {
  const unsigned n = std::thread::hardware_concurrency();
  return n == 0 ? 1 : n;
}

bool MoveFileOver(const std::filesystem::path& from, const std::filesystem::path& to) {
  return std::rename(from.c_str(), to.c_str()) == 0;
}

ProgramRun RunProgram(const std::vector<std::string>& args) {
  ProgramRun run;
  if (args.empty()) return run;
  int pipe_fds[2];
  if (pipe2(pipe_fds, O_CLOEXEC) != 0) return run;

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipe_fds[1], STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, pipe_fds[1], STDERR_FILENO);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);

  std::vector<char*> argv;
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  pid_t pid = 0;
  const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(pipe_fds[1]);
  if (spawned != 0) {
    close(pipe_fds[0]);
    return run;
  }
  SetInterruptChild(pid);

  char buffer[4096];
  for (;;) {
    const ssize_t got = read(pipe_fds[0], buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    run.output.append(buffer, static_cast<size_t>(got));
    if (run.output.size() > kMaxProgramOutput) {
      run.output.erase(0, run.output.size() - kMaxProgramOutput);
    }
  }
  close(pipe_fds[0]);

  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) {
      SetInterruptChild(0);
      return run;
    }
  }
  SetInterruptChild(0);
  run.started = true;
  run.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return run;
}

}  // namespace lumipack
