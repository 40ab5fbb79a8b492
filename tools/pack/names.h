#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace lumipack {

// The installer builds folder names, file names and registry keys from the
// title, the company and the screensaver's file name, so each must be a
// valid Windows file name on its own.
inline constexpr size_t kMaxNameChars = 200;

// Why a UTF-8 name cannot be used, or nullopt when it can: empty, too long,
// a character Windows refuses in names (\ / : * ? " < > | and control
// characters), a trailing dot or space, or a reserved device name such as
// CON or LPT1 (with or without an extension).
std::optional<std::string> NameProblem(std::string_view name);

// The ending the installer gives the screensaver's file name.
inline constexpr std::string_view kScrExtension = ".scr";

// Whether `name` ends in ".scr" (letter case aside) after at least one
// other character.
bool EndsWithScrExtension(std::string_view name);

// Why a copyright line cannot be stored: it is one line, and the record
// keeps what follows a "|" apart from the line.
std::optional<std::string> CopyrightLineProblem(std::string_view line);

}  // namespace lumipack
