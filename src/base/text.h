#pragma once

#include <string>
#include <string_view>

namespace lumiset {

// ASCII letters in lower case, other bytes unchanged: package texts are in
// an ANSI code page, where a locale's rules could change the bytes of a
// double-byte character.
std::string AsciiLower(std::string_view text);

// Every non-overlapping occurrence of `from` replaced by `to`, left to right.
std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to);

// The path with one trailing backslash: unchanged when it ends with one,
// "\" when empty.
std::string WithBackslash(std::string path);

}  // namespace lumiset
