#include "language_blocks.h"

#include <string>

#include "language.h"
#include "package/language_filter.h"

namespace lumipack {

std::optional<int32_t> DirectiveOf(std::string_view line) {
  if (line.empty() || line[0] != '#') return std::nullopt;
  // A marker line after the candidate: the filter keeps a text line with the
  // marker, and after a directive keeps the marker alone for exactly the
  // languages the directive lets through.
  constexpr std::string_view kMarker = "@";
  const std::string probe = std::string(line) + "\n" + std::string(kMarker);
  std::optional<int32_t> shown_in;
  int shown = 0;
  for (int32_t language = 1; language <= kLastLanguage; ++language) {
    std::string filtered = probe;
    lumiset::FilterLanguageBlocks(filtered, language);
    if (filtered != kMarker && !filtered.empty()) return std::nullopt;
    if (filtered == kMarker) {
      shown_in = language;
      ++shown;
    }
  }
  if (shown == kLastLanguage) return 0;
  if (shown == 1) return shown_in;
  return std::nullopt;
}

std::vector<TextLine> SplitByLanguage(std::string_view text) {
  std::vector<TextLine> lines;
  int32_t block = 0;
  size_t start = 0;
  size_t number = 1;
  while (start < text.size() || lines.empty()) {
    size_t end = start;
    while (end < text.size() && text[end] != '\r' && text[end] != '\n') ++end;
    const std::string_view content = text.substr(start, end - start);
    if (end < text.size())
      end += (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') ? 2 : 1;
    const std::optional<int32_t> directive = DirectiveOf(content);
    lines.push_back({text.substr(start, end - start), directive ? 0 : block, number++});
    if (directive) block = *directive;
    start = end;
    if (start == text.size()) break;
  }
  return lines;
}

}  // namespace lumipack
