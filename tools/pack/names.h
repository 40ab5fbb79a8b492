#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "package/install_names.h"

namespace lumipack {

// The check of the title, the company and the file name, and of the paths
// an installation builds from them, is the installer's own.
using lumiset::InstallPathsProblem;
using lumiset::kMaxNameChars;
using lumiset::NameProblem;

// The ending the installer gives the screensaver's file name.
inline constexpr std::string_view kScrExtension = ".scr";

// Whether `name` ends in ".scr" (letter case aside) after at least one
// other character.
bool EndsWithScrExtension(std::string_view name);

// Why a copyright line cannot be stored: it is one line, and the record
// keeps what follows a "|" apart from the line.
std::optional<std::string> CopyrightLineProblem(std::string_view line);

}  // namespace lumipack
