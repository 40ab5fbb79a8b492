#include "names.h"

#include "base/text.h"
#include "utf8.h"

namespace lumipack {
namespace {

bool IsControl(char32_t c) { return c < 0x20 || c == 0x7F || (c >= 0x80 && c < 0xA0); }

}  // namespace

bool EndsWithScrExtension(std::string_view name) {
  if (name.size() <= kScrExtension.size()) return false;
  return lumiset::AsciiLower(name.substr(name.size() - kScrExtension.size())) == kScrExtension;
}

std::optional<std::string> CopyrightLineProblem(std::string_view line) {
  const std::optional<std::u32string> chars = DecodeUtf8(line);
  if (!chars) return "it is not valid UTF-8";
  for (char32_t c : *chars) {
    if (IsControl(c)) return "it holds the control character " + DescribeChar(c);
    if (c == U'|') return "it holds '|', which would end the line in the record";
  }
  return std::nullopt;
}

}  // namespace lumipack
