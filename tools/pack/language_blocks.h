#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace lumipack {

// The installer shows a licence or information text in the user's language
// by keeping the lines outside language blocks and those inside the blocks of
// that language. These read blocks exactly as it does, on UTF-8 and on stored
// ANSI text alike: line ends and directives are ASCII in both.

// What a line is to the installer: 0 for "#endif", 1 to 8 for a directive
// opening a block of that language, nullopt for a line of text. Asks the
// installer's own filter, so the two never disagree.
std::optional<int32_t> DirectiveOf(std::string_view line);

// A line of a text with its line end, and the block it lies in: 0 outside
// blocks (directive lines included), else the block's language.
struct TextLine {
  std::string_view text;
  int32_t language = 0;
  size_t number = 1;  // counted from 1
};

// The lines of a text in order; together they are the text. A CR LF, a
// lone CR or a lone LF ends a line.
std::vector<TextLine> SplitByLanguage(std::string_view text);

}  // namespace lumipack
