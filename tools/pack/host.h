#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

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

uint32_t ProcessId();

// How many threads can run at once; at least 1.
unsigned ProcessorCount();

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
