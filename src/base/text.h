#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace lumiset {

// ASCII letters in lower case, other bytes unchanged: package texts are in
// an ANSI code page, where a locale's rules could change the bytes of a
// double-byte character.
std::string AsciiLower(std::string_view text);

// Every non-overlapping occurrence of `from` replaced by `to`, left to right.
std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to);

// One code point of UTF-8 at `*at`, moving `*at` past it; nullopt (and
// `*at` unmoved) for bytes that are not UTF-8: overlong forms, surrogates,
// values beyond U+10FFFF, a sequence cut short.
std::optional<char32_t> NextCodePoint(std::string_view utf8, size_t* at);

// `c` appended to `out` in UTF-8.
void AppendUtf8(std::string& out, char32_t c);

// UTF-16 code units of a UTF-8 text, as Windows counts a path's length
// (each invalid byte counts one).
size_t Utf16Length(std::string_view utf8);

// A path folded for comparison the way the file system ignores letter case:
// ASCII, Latin-1, Latin Extended-A, Greek and Cyrillic letters in lower
// case; other bytes unchanged.
std::string FoldPathCase(std::string_view utf8);

// The path with one trailing backslash: unchanged when it ends with one,
// "\" when empty.
std::string WithBackslash(std::string path);

}  // namespace lumiset
