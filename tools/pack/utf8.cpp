#include "utf8.h"

#include <cstdio>

namespace lumipack {
namespace {

bool IsContinuation(unsigned char c) { return (c & 0xC0) == 0x80; }

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
  size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<unsigned char>(text[i]);
    size_t length = 0;
    char32_t c = 0;
    char32_t min = 0;
    if (lead < 0x80) {
      length = 1;
      c = lead;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2;
      c = lead & 0x1F;
      min = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3;
      c = lead & 0x0F;
      min = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4;
      c = lead & 0x07;
      min = 0x10000;
    }
    bool ok = length != 0 && text.size() - i >= length;
    for (size_t k = 1; ok && k < length; ++k) {
      const auto cont = static_cast<unsigned char>(text[i + k]);
      ok = IsContinuation(cont);
      c = (c << 6) | (cont & 0x3F);
    }
    ok = ok && c >= min && c <= 0x10FFFF && !(c >= 0xD800 && c <= 0xDFFF);
    if (!ok) {
      if (bad != nullptr) *bad = PositionOf(out, out.size());
      return std::nullopt;
    }
    out.push_back(c);
    i += length;
  }
  return out;
}

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
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
