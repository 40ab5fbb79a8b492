#include "text_checks.h"

#include <algorithm>

#include "language_blocks.h"
#include "package/language_filter.h"

namespace lumipack {
namespace {

bool LooksLikeDirective(std::string_view line) {
  std::string squeezed;
  for (char c : line) {
    if (c == ' ') continue;
    squeezed += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    if (squeezed.size() >= 6) break;
  }
  return squeezed.starts_with("#if") || squeezed.starts_with("#end");
}

// Columns count characters: UTF-8 continuation bytes do not start one.
size_t ColumnOf(std::string_view line, size_t byte) {
  size_t column = 1;
  for (size_t i = 0; i < byte && i < line.size(); ++i) {
    if ((static_cast<unsigned char>(line[i]) & 0xC0) != 0x80) ++column;
  }
  return column;
}

}  // namespace

std::vector<std::string> TextWarnings(std::string_view utf8, const std::string& origin) {
  std::vector<std::string> warnings;
  const std::vector<std::string_view> lines = lumiset::SplitLines(utf8);
  for (size_t n = 0; n < lines.size(); ++n) {
    const std::string_view line = lines[n];
    const std::string where = origin + ":" + std::to_string(n + 1) + ":";
    if (!line.empty() && line[0] == '#' && LooksLikeDirective(line) && !DirectiveOf(line)) {
      warnings.push_back(where + "1: '" + std::string(line) +
                         "' is not a language directive the installer knows; it shows as text");
    }
    for (size_t open = line.find('{'); open != std::string_view::npos;
         open = line.find('{', open + 1)) {
      const size_t close = line.find('}', open + 1);
      const std::string column = std::to_string(ColumnOf(line, open));
      if (close == std::string_view::npos) {
        const bool closed_later =
            std::any_of(lines.begin() + static_cast<std::ptrdiff_t>(n) + 1, lines.end(),
                        [](std::string_view l) { return l.find('}') != std::string_view::npos; });
        warnings.push_back(
            where + column +
            (closed_later ? ": '{' is not closed on its line; the installer shows ##UNKNOWN## "
                            "for everything up to the next '}'"
                          : ": '{' is never closed; the installer drops the rest of the text"));
        break;
      }
      const std::string_view name = line.substr(open + 1, close - open - 1);
      if (std::find(std::begin(kPlaceholders), std::end(kPlaceholders), name) ==
          std::end(kPlaceholders)) {
        warnings.push_back(where + column + ": {" + std::string(name) +
                           "} is not a placeholder the installer knows; it shows as ##UNKNOWN##");
      }
      open = close;
    }
  }
  return warnings;
}

}  // namespace lumipack
