#include "package/language_filter.h"

#include <cstdint>
#include <optional>

namespace lumiset {
namespace {

// The block language a directive line sets (0 for "#endif"), or nullopt when
// the line is text.
std::optional<int32_t> DirectiveLanguage(std::string_view line) {
  if (line.empty() || line[0] != '#') return std::nullopt;
  std::string word;
  for (char c : line) {
    if (c == ' ') continue;
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    word += c;
    if (word.size() > 32) return std::nullopt;  // longer than any directive
  }
  static constexpr std::string_view kLanguages[] = {
      "english", "french", "german", "spanish", "italian", "dutch", "portuguese", "russian"};
  if (word == "#endif") return 0;
  std::string_view rest = word;
  if (rest.starts_with("#ifdef")) {
    rest.remove_prefix(6);
  } else if (rest.starts_with("#if")) {
    rest.remove_prefix(3);
  } else {
    return std::nullopt;
  }
  for (int32_t i = 0; i < 8; ++i) {
    if (rest == kLanguages[i]) return i + 1;
  }
  return std::nullopt;
}

}  // namespace

std::vector<std::string_view> SplitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  size_t start = 0;
  size_t i = 0;
  while (i < text.size()) {
    if (text[i] == '\r' || text[i] == '\n') {
      lines.push_back(text.substr(start, i - start));
      i += (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ? 2 : 1;
      start = i;
    } else {
      ++i;
    }
  }
  lines.push_back(text.substr(start));
  return lines;
}

void FilterLanguageBlocks(std::string& text, int32_t language) {
  const std::vector<std::string_view> lines = SplitLines(text);
  std::string result;
  result.reserve(text.size());
  int32_t block = 0;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (std::optional<int32_t> directive = DirectiveLanguage(lines[i])) {
      block = *directive;
      continue;
    }
    if (block != 0 && block != language) continue;
    result += lines[i];
    if (i + 1 != lines.size()) result += "\r\n";
  }
  text = std::move(result);
}

}  // namespace lumiset
