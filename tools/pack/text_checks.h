#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace lumipack {

// The installer's placeholders, expanded in the licence and information
// texts.
inline constexpr std::string_view kPlaceholders[] = {"CompanyName", "ScrName", "ScreenSaverTitle",
                                                     "DestFolder", "InstalledScrFileName"};

// Things in a licence or information text (UTF-8) that the installer will
// not treat as the author probably meant: a line that looks like a language
// directive but is none (it shows as text), a placeholder name the installer
// does not know (it shows as "##UNKNOWN##"), and a "{" not closed on its line
// (the installer replaces text up to the next "}", or all the rest). Each
// names origin:line:column.
std::vector<std::string> TextWarnings(std::string_view utf8, const std::string& origin);

}  // namespace lumipack
