#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>
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

// An environment variable's value as UTF-8; nullopt when it is not set.
std::optional<std::string> EnvironmentVariable(const std::string& name);

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
  // Flushes and closes; false when anything written did not reach the file.
  [[nodiscard]] virtual bool Close() = 0;
};

// Moves `from` over `to`, replacing a file already there, in one step where
// the file system allows it. Both lie in the same folder.
bool MoveFileOver(const std::filesystem::path& from, const std::filesystem::path& to);

// The outcome of running another program.
struct ProgramRun {
  bool started = false;  // false when the program is not installed or cannot start
  int exit_code = -1;
  std::string output;  // its standard output and error, the last kMaxProgramOutput bytes
};
inline constexpr size_t kMaxProgramOutput = 16u << 10;

// Runs a program found through PATH with the given arguments (args[0] is its
// name) and waits for it; no shell is involved, so arguments need no quoting.
ProgramRun RunProgram(const std::vector<std::string>& args);

}  // namespace lumipack
