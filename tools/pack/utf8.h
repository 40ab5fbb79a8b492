#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "base/text.h"

namespace lumipack {

// A place in a text, both counted from 1; columns count characters.
struct TextPosition {
  size_t line = 1;
  size_t column = 1;
};

// Decodes strict UTF-8: no overlong forms, no surrogates, nothing above
// U+10FFFF. On failure nullopt and *bad (when given) is the first bad byte's
// place.
std::optional<std::u32string> DecodeUtf8(std::string_view text, TextPosition* bad = nullptr);

using lumiset::AppendUtf8;
std::string EncodeUtf8(std::u32string_view text);

// Where text[index] lies. CR LF, a lone CR and a lone LF each end a line.
TextPosition PositionOf(std::u32string_view text, size_t index);

// "U+00E9 'é'", or only the code for characters that do not print.
std::string DescribeChar(char32_t c);

}  // namespace lumipack
