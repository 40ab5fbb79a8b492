#include "utf8.h"

#include <cstdio>

namespace lumipack {
namespace {

void Advance(TextPosition& position, char32_t c, char32_t next) {
  if (c == U'\n' || (c == U'\r' && next != U'\n')) {
    ++position.line;
    position.column = 1;
  } else if (c != U'\r') {
    ++position.column;
  }
}

}  // namespace

std::optional<std::u32string> DecodeUtf8(std::string_view text, TextPosition* bad) {
  std::u32string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    const std::optional<char32_t> c = lumiset::NextCodePoint(text, &i);
    if (!c) {
      if (bad != nullptr) *bad = PositionOf(out, out.size());
      return std::nullopt;
    }
    out.push_back(*c);
  }
  return out;
}

std::string EncodeUtf8(std::u32string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char32_t c : text) AppendUtf8(out, c);
  return out;
}

TextPosition PositionOf(std::u32string_view text, size_t index) {
  TextPosition position;
  for (size_t i = 0; i < index && i < text.size(); ++i) {
    Advance(position, text[i], i + 1 < text.size() ? text[i + 1] : U'\0');
  }
  return position;
}

std::string DescribeChar(char32_t c) {
  char code[16];
  std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(c));
  std::string out = code;
  const bool prints = c >= 0x20 && c != 0x7F && !(c >= 0x80 && c < 0xA0);
  if (prints) {
    out += " '";
    AppendUtf8(out, c);
    out += "'";
  }
  return out;
}

}  // namespace lumipack
