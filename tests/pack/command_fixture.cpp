#include "command_fixture.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <spawn.h>
#include <sys/inotify.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>

#include "base/byte_io.h"
#include "package/package_format.h"
#include "support/test_package.h"
#include "test_images.h"

extern char** environ;

namespace lumipack::testing {

namespace fs = std::filesystem;

// How long a started lumipack may take before a test gives up on it.
constexpr int kRunLimitMs = 120000;

std::vector<uint8_t> Bytes(std::string_view s) { return {s.begin(), s.end()}; }

std::vector<uint8_t> SixtyFourBitPe() {
  std::vector<uint8_t> image = lumiset::testing::MinimalPeImage(2048);
  lumiset::StoreU16(&image[0x80 + 4], lumiset::kMachineX64);
  uint8_t* optional = &image[0x80 + 4 + 20];
  lumiset::StoreU16(optional, 0x20B);
  lumiset::StoreU32(optional + 108, 16);  // NumberOfRvaAndSizes in a PE32+ header
  return image;
}

std::vector<uint8_t> IncompressiblePe(size_t size) {
  std::vector<uint8_t> image = lumiset::testing::MinimalPeImage(size);
  uint64_t state = 0x9E3779B97F4A7C15u;
  for (size_t i = 0x200; i < image.size(); ++i) {
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    image[i] = static_cast<uint8_t>(state);
  }
  return image;
}

bool HaveProgram(const std::string& name) {
  return std::system(("command -v " + name + " >/dev/null 2>&1").c_str()) == 0;
}

void LumipackCommand::SetUp() {
  std::string pattern = (fs::temp_directory_path() / "lumipack-test-XXXXXX").string();
  ASSERT_NE(mkdtemp(pattern.data()), nullptr);
  dir_ = pattern;
  Write("stub.exe", StubImage());
  Write("starfield.scr", lumiset::testing::MinimalPeImage(8192));
  Write("m.toml", kBaseManifest);
}

void LumipackCommand::TearDown() {
  std::error_code ec;
  fs::remove_all(dir_, ec);
}

void LumipackCommand::Write(const std::string& name, std::span<const uint8_t> bytes) const {
  fs::create_directories(Path(name).parent_path());
  std::ofstream out(Path(name), std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

std::vector<uint8_t> LumipackCommand::Read(const std::string& name) const {
  std::ifstream in(Path(name), std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string LumipackCommand::ReadText(const std::string& name) const {
  const std::vector<uint8_t> bytes = Read(name);
  return {bytes.begin(), bytes.end()};
}

std::string LumipackCommand::Program() {
  const char* other = std::getenv("LUMIPACK_UNDER_TEST");
  return other != nullptr && *other != '\0' ? other : LUMIPACK_EXE;
}

Outcome LumipackCommand::Lumipack(const std::string& args, const std::string& env,
                                  const std::string& program) const {
  const std::string command = "cd '" + dir_.string() + "' && " + env + " '" +
                              (program.empty() ? Program() : program) + "' " + args +
                              " >.stdout 2>.stderr";
  const int status = std::system(command.c_str());
  Outcome run;
  run.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  run.out = ReadText(".stdout");
  run.err = ReadText(".stderr");
  fs::remove(Path(".stdout"));
  fs::remove(Path(".stderr"));
  return run;
}

Outcome LumipackCommand::LumipackFed(const std::string& args, const std::string& input) const {
  Write(".stdin", input);
  Outcome run = Lumipack(args + " <.stdin");
  fs::remove(Path(".stdin"));
  return run;
}

nlohmann::json LumipackCommand::Inspect(const std::string& installer) const {
  const Outcome run = Lumipack("inspect --json " + installer);
  EXPECT_EQ(run.code, 0) << run.err;
  return nlohmann::json::parse(run.out, nullptr, false);
}

std::set<std::string> LumipackCommand::Listing() const {
  std::set<std::string> names;
  for (const auto& entry : fs::recursive_directory_iterator(dir_)) {
    // Lexically: fs::relative would resolve a link to its target's name.
    names.insert(entry.path().lexically_relative(dir_).string());
  }
  return names;
}

namespace {

std::vector<char*> Argv(const std::string& program, const std::vector<std::string>& args) {
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  return argv;
}

Ending EndingOf(int status) {
  if (WIFSIGNALED(status)) return {true, WTERMSIG(status)};
  return {false, WIFEXITED(status) ? WEXITSTATUS(status) : -1};
}

}  // namespace

Ending LumipackCommand::InterruptWhenScratchAppears(const std::vector<std::string>& args,
                                                    int signal_number, int scratch_files,
                                                    const fs::path& path_folder) const {
  const int watch = inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
  EXPECT_GE(watch, 0);
  if (watch < 0) return {};
  EXPECT_GE(inotify_add_watch(watch, dir_.c_str(), IN_CREATE), 0);

  const std::string program = Program();
  std::vector<char*> argv = Argv(program, args);
  std::vector<std::string> env_strings;
  for (char** e = environ; *e != nullptr; ++e) {
    if (!path_folder.empty() && std::string_view(*e).starts_with("PATH=")) {
      env_strings.push_back("PATH=" + path_folder.string() + ":" + std::string(*e + 5));
    } else {
      env_strings.push_back(*e);
    }
  }
  std::vector<char*> envp;
  for (std::string& e : env_strings) envp.push_back(e.data());
  envp.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addchdir_np(&actions, dir_.c_str());
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  pid_t pid = 0;
  const int spawned =
      posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  EXPECT_EQ(spawned, 0);
  if (spawned != 0) {
    close(watch);
    return {};
  }

  int seen = 0;
  int status = 0;
  bool ended = false;
  for (int waited = 0; !ended && seen < scratch_files && waited < kRunLimitMs;) {
    pollfd ready{watch, POLLIN, 0};
    if (poll(&ready, 1, 10) == 0) {
      waited += 10;
      ended = waitpid(pid, &status, WNOHANG) == pid;
      continue;
    }
    alignas(inotify_event) char buffer[4096];
    const ssize_t got = read(watch, buffer, sizeof buffer);
    for (ssize_t at = 0; at < got;) {
      const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
      if (event->len != 0 && std::string_view(event->name).ends_with(".partial")) ++seen;
      at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
    }
  }
  close(watch);
  if (ended) {
    ADD_FAILURE() << "lumipack ended before its scratch files appeared";
    return EndingOf(status);
  }
  kill(pid, signal_number);
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return EndingOf(status);
}

Outcome LumipackCommand::OnTerminal(const std::vector<std::string>& args, unsigned columns) const {
  winsize size{};
  size.ws_row = 24;
  size.ws_col = static_cast<unsigned short>(columns);
  const std::string program = Program();
  std::vector<char*> argv = Argv(program, args);
  int terminal = -1;
  const pid_t pid = forkpty(&terminal, nullptr, nullptr, &size);
  if (pid == 0) {
    // The child: only calls that are safe after fork in a threaded program.
    if (chdir(dir_.c_str()) != 0) _exit(127);
    execv(program.c_str(), argv.data());
    _exit(127);
  }
  Outcome run;
  EXPECT_GT(pid, 0);
  if (pid < 0) return run;
  char buffer[4096];
  for (;;) {
    const ssize_t got = read(terminal, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;  // EIO once the child has closed the terminal
    run.out.append(buffer, static_cast<size_t>(got));
  }
  close(terminal);
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  run.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

}  // namespace lumipack::testing
