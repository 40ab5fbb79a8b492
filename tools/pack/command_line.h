#pragma once

#include <string>
#include <vector>

#include "console.h"

namespace lumipack {

// Exit codes: success, bad input (a file, a value or an installer), and a
// command line that does not parse.
inline constexpr int kExitOk = 0;
inline constexpr int kExitBadInput = 1;
inline constexpr int kExitUsage = 2;

// Runs `lumipack` with UTF-8 arguments (the program name first) and returns
// the exit code.
int RunLumipack(const std::vector<std::string>& args, Console& console);

}  // namespace lumipack
