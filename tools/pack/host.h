#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "result.h"

namespace lumipack {

// What the packer asks of the operating system beyond the C++ library. Every
// string is UTF-8; every path comes from PathFromUtf8 or the library.

// The program's arguments as UTF-8, the program name first. On Windows they
// are read again from the wide command line, so names outside the ANSI code
// page survive.
std::vector<std::string> Utf8Arguments(int argc, char** argv);

// Lets the console show UTF-8 output where it needs telling.
void PrepareConsole();

// The running program's own file, when the system says.
std::optional<std::filesystem::path> ExecutablePath();

bool StderrIsTerminal();

// The width of the terminal that standard error shows in, in characters:
// what the terminal says, else the COLUMNS variable, else 0 (unknown).
unsigned TerminalColumns();

// All of standard input, read as bytes; a failure when it holds more than
// `max_size` bytes or cannot be read.
Result<std::string> ReadStandardInput(uint64_t max_size);

uint32_t ProcessId();
// Whether a process of this id exists (a zombie counts; so does one this
// user may not signal).
bool ProcessIsRunning(uint32_t pid);

// An environment variable's value as UTF-8; nullopt when it is not set.
std::optional<std::string> EnvironmentVariable(const std::string& name);

// What tells one file from every other on this machine, however it is
// reached (another name, a symbolic or hard link, "../"): the device and the
// file's number on it.
struct FileIdentity {
  uint64_t device = 0;
  uint64_t file = 0;
  bool operator==(const FileIdentity&) const = default;
};

// The identity of the file a path names, following links; nullopt when it
// does not exist or cannot be opened.
std::optional<FileIdentity> IdentityOfFile(const std::filesystem::path& path);
// The identity of the file standard input reads, when it is a file (not a
// terminal or a pipe).
std::optional<FileIdentity> IdentityOfStandardInput();

// How many threads can run at once; at least 1.
unsigned ProcessorCount();

// A file this program creates and writes. Creating fails when the name is
// taken, so a file or link planted under the name is never written through.
// Until the file is closed it can be removed by name, also from another
// thread (on Windows other programs can read and delete it too).
class NewFile {
 public:
  // `mode` sets the permissions where the system has them (POSIX mode
  // bits); without it the system's default for new files applies.
  static Result<std::unique_ptr<NewFile>> Create(const std::filesystem::path& path,
                                                 std::optional<std::filesystem::perms> mode);
  virtual ~NewFile() = default;
  [[nodiscard]] virtual bool Write(std::span<const uint8_t> bytes) = 0;
  // Writes over bytes already written at `offset`; later writes continue
  // where they would have.
  [[nodiscard]] virtual bool WriteAt(uint64_t offset, std::span<const uint8_t> bytes) = 0;
  // Flushes and closes; false when anything written did not reach the file.
  [[nodiscard]] virtual bool Close() = 0;
  // Why the last write or close failed, in the system's words ("No space
  // left on device"); empty while none has.
  virtual std::string Failure() const = 0;
};

// Moves `from` over `to`, replacing a file already there, in one step where
// the file system allows it. Both lie in the same folder.
bool MoveFileOver(const std::filesystem::path& from, const std::filesystem::path& to);

// The outcome of running another program.
struct ProgramRun {
  bool started = false;  // false when the program is not installed or cannot start
  int exit_code = -1;
  bool timed_out = false;
  std::string output;  // its standard output and error, the last kMaxProgramOutput bytes
};
inline constexpr size_t kMaxProgramOutput = 16u << 10;

struct ProgramOptions {
  // Served to the program, at most kMaxProgramInput bytes, through a pipe
  // it opens by the name that RunProgram puts in place of an argument equal
  // to kProgramInputArgument ("/dev/stdin" on POSIX, a named pipe that
  // serves this run only on Windows), so it never lies in a file.
  std::string input;
  // The program is ended after this many seconds and the run reports
  // `timed_out`; 0: no limit.
  unsigned timeout_seconds = 0;
};
inline constexpr size_t kMaxProgramInput = 4096;
inline constexpr std::string_view kProgramInputArgument = "{input}";

// Runs a program found through PATH with the given arguments (args[0] is its
// name) and waits for it; no shell is involved, so arguments need no quoting.
// The program ends with lumipack if lumipack is killed.
ProgramRun RunProgram(const std::vector<std::string>& args, const ProgramOptions& options = {});

}  // namespace lumipack
