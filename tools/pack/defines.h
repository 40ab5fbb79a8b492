#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "result.h"

namespace lumipack {

// What ${NAME} and ${env:NAME} stand for in manifest strings: the values of
// -D NAME=VALUE, and the environment, which is read only through "env:".
struct Defines {
  std::map<std::string, std::string> values;
  // Looks an environment variable up; unset means none is ever set.
  std::function<std::optional<std::string>(const std::string&)> environment;
};

// Limits that keep a hostile command line or manifest from growing a value
// without bound: a name's length, and a string's length after substitution.
inline constexpr size_t kMaxDefineNameBytes = 128;
inline constexpr size_t kMaxExpandedBytes = 64 * 1024;

// "NAME=VALUE" as a define; a failure says what is wrong with it.
Result<std::pair<std::string, std::string>> ParseDefine(std::string_view text);

// The defines of -D NAME=VALUE arguments (the last of a name wins), with
// `environment` for ${env:NAME}; a failure says what is wrong with one.
Result<Defines> DefinesFrom(
    const std::vector<std::string>& texts,
    std::function<std::optional<std::string>(const std::string&)> environment);

// Whether `name` may be defined: a letter or "_", then letters, digits, "_",
// "." or "-", at most kMaxDefineNameBytes.
bool IsDefineName(std::string_view name);

// `text` with each ${NAME} and ${env:NAME} replaced by its value and each
// "$${" by a literal "${"; any other "$" stands for itself. Values are
// inserted as they are, never expanded again. A failure names the problem:
// an undefined name, an unset variable, an unclosed or malformed ${...}, or
// a result over kMaxExpandedBytes.
Result<std::string> ExpandDefines(std::string_view text, const Defines& defines);

}  // namespace lumipack
