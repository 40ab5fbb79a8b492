#include "text_checks.h"

#include <algorithm>

#include "language.h"
#include "language_blocks.h"
#include "base/text.h"
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

// A directive in its plain spelling: "#endif", "#if<language>" or
// "#ifdef <language>", letter case aside.
std::string PlainSpelling(int32_t directive) {
  if (directive == 0) return "#endif";
  return "#if" + std::string(LanguageName(static_cast<uint16_t>(directive)));
}

bool IsPlainlySpelt(std::string_view line, int32_t directive) {
  const std::string lower = lumiset::AsciiLower(line);
  if (lower == PlainSpelling(directive)) return true;
  if (directive == 0) return false;
  const std::string_view language = LanguageName(static_cast<uint16_t>(directive));
  return lower == "#ifdef" + std::string(language) || lower == "#ifdef " + std::string(language);
}

}  // namespace

std::vector<TextWarning> TextWarnings(std::string_view utf8, const std::string& origin) {
  std::vector<TextWarning> warnings;
  auto warn = [&](size_t line, size_t column, const std::string& text) {
    warnings.push_back(
        {origin + ":" + std::to_string(line) + ":" + std::to_string(column) + ": " + text,
         static_cast<uint32_t>(line), static_cast<uint32_t>(column)});
  };
  const std::vector<std::string_view> lines = lumiset::SplitLines(utf8);
  int32_t open_block = 0;
  size_t opened_at = 0;
  for (size_t n = 0; n < lines.size(); ++n) {
    const std::string_view line = lines[n];
    const std::optional<int32_t> directive = DirectiveOf(line);
    if (directive) {
      if (!IsPlainlySpelt(line, *directive)) {
        warn(n + 1, 1,
             "'" + std::string(line) + "' is read as " + PlainSpelling(*directive) +
                 ": the installer drops the spaces in a directive; write " +
                 PlainSpelling(*directive));
      }
      open_block = *directive;
      opened_at = n;
    } else if (!line.empty() && line[0] == '#' && LooksLikeDirective(line)) {
      warn(n + 1, 1,
           "'" + std::string(line) +
               "' is not a language directive the installer knows; it shows as text");
    }
    for (size_t open = line.find('{'); open != std::string_view::npos;
         open = line.find('{', open + 1)) {
      const size_t close = line.find('}', open + 1);
      const size_t column = ColumnOf(line, open);
      if (close == std::string_view::npos) {
        const bool closed_later =
            std::any_of(lines.begin() + static_cast<std::ptrdiff_t>(n) + 1, lines.end(),
                        [](std::string_view l) { return l.find('}') != std::string_view::npos; });
        warn(n + 1, column,
             closed_later ? "'{' is not closed on its line; the installer shows ##UNKNOWN## "
                            "for everything up to the next '}'"
                          : "'{' is never closed; the installer drops the rest of the text");
        break;
      }
      const std::string_view name = line.substr(open + 1, close - open - 1);
      if (std::find(std::begin(kPlaceholders), std::end(kPlaceholders), name) ==
          std::end(kPlaceholders)) {
        warn(n + 1, column,
             "{" + std::string(name) +
                 "} is not a placeholder the installer knows; it shows as ##UNKNOWN##");
      }
      open = close;
    }
  }
  if (open_block != 0) {
    const std::string language(LanguageName(static_cast<uint16_t>(open_block)));
    warn(opened_at + 1, 1,
         "'" + std::string(lines[opened_at]) +
             "' opens a block that no #endif closes; everything after it shows only in " +
             static_cast<char>(language[0] - 'a' + 'A') + language.substr(1));
  }
  return warnings;
}

}  // namespace lumipack
