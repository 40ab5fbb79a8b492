#include "names.h"

#include <cctype>

#include "base/text.h"
#include "utf8.h"

namespace lumipack {
namespace {

bool IsControl(char32_t c) { return c < 0x20 || c == 0x7F || (c >= 0x80 && c < 0xA0); }

bool IsReservedDeviceName(std::u32string_view name) {
  const std::u32string_view stem = name.substr(0, name.find(U'.'));
  std::string upper;
  for (char32_t c : stem) {
    if (c >= 0x80) return false;
    upper += static_cast<char>(std::toupper(static_cast<int>(c)));
  }
  while (!upper.empty() && upper.back() == ' ') upper.pop_back();
  for (const char* reserved : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"}) {
    if (upper == reserved) return true;
  }
  return upper.size() == 4 && (upper.starts_with("COM") || upper.starts_with("LPT")) &&
         upper[3] >= '1' && upper[3] <= '9';
}

}  // namespace

std::optional<std::string> NameProblem(std::string_view name) {
  const std::optional<std::u32string> chars = DecodeUtf8(name);
  if (!chars) return "it is not valid UTF-8";
  if (chars->empty()) return "it is empty";
  if (chars->size() > kMaxNameChars) {
    return "it has " + std::to_string(chars->size()) + " characters, more than " +
           std::to_string(kMaxNameChars);
  }
  for (char32_t c : *chars) {
    if (IsControl(c)) return "it holds the control character " + DescribeChar(c);
    if (std::u32string_view(U"\\/:*?\"<>|").find(c) != std::u32string_view::npos) {
      return "it holds " + DescribeChar(c) + ", which Windows does not allow in names";
    }
  }
  if (chars->back() == U'.' || chars->back() == U' ') {
    return "it ends with a " + std::string(chars->back() == U'.' ? "dot" : "space") +
           ", which Windows drops from names";
  }
  if (IsReservedDeviceName(*chars)) return "it is a name Windows reserves for a device";
  return std::nullopt;
}

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
