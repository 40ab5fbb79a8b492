#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace lumipack {

// The installer's placeholders, expanded in the licence and information
// texts.
inline constexpr std::string_view kPlaceholders[] = {"CompanyName", "ScrName", "ScreenSaverTitle",
                                                     "DestFolder", "InstalledScrFileName"};

struct TextWarning {
  std::string message;  // begins with origin:line:column
  uint32_t line = 0;
  uint32_t column = 0;
};

// Things in a licence or information text (UTF-8) that the installer will
// not treat as the author probably meant: a line that looks like a language
// directive but is none (it shows as text); a directive written with spaces
// that the installer reads only because it drops them ("#if german" is
// #ifgerman, so it reads like a condition it is not); a block that no
// "#endif" closes (it runs to the end of the text); a placeholder name the
// installer does not know (it shows as "##UNKNOWN##"); and a "{" not closed on
// its line (the installer replaces text up to the next "}", or all the rest).
std::vector<TextWarning> TextWarnings(std::string_view utf8, const std::string& origin);

}  // namespace lumipack
