#include "base/text.h"

namespace lumiset {

std::string AsciiLower(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to) {
  std::string out;
  size_t i = 0;
  while (true) {
    const size_t hit = from.empty() ? std::string_view::npos : text.find(from, i);
    if (hit == std::string_view::npos) break;
    out.append(text.substr(i, hit - i));
    out.append(to);
    i = hit + from.size();
  }
  out.append(text.substr(i));
  return out;
}

std::optional<char32_t> NextCodePoint(std::string_view s, size_t* at) {
  size_t i = *at;
  const auto byte = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
  const unsigned char lead = byte(i);
  if (lead < 0x80) {
    *at = i + 1;
    return lead;
  }
  size_t extra = 0;
  char32_t c = 0;
  char32_t least = 0;
  if ((lead & 0xE0) == 0xC0) {
    extra = 1, c = lead & 0x1F, least = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    extra = 2, c = lead & 0x0F, least = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    extra = 3, c = lead & 0x07, least = 0x10000;
  } else {
    return std::nullopt;
  }
  if (s.size() - i <= extra) return std::nullopt;
  for (size_t k = 1; k <= extra; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) return std::nullopt;
    c = (c << 6) | (byte(i + k) & 0x3F);
  }
  if (c < least || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return std::nullopt;
  *at = i + extra + 1;
  return c;
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

size_t Utf16Length(std::string_view utf8) {
  size_t units = 0;
  for (size_t i = 0; i < utf8.size();) {
    const std::optional<char32_t> c = NextCodePoint(utf8, &i);
    if (!c) {
      ++i;
      ++units;
      continue;
    }
    units += *c >= 0x10000 ? 2 : 1;
  }
  return units;
}

namespace {

char32_t FoldCodePoint(char32_t c) {
  if (c >= U'A' && c <= U'Z') return c + 0x20;
  if ((c >= 0xC0 && c <= 0xDE && c != 0xD7)) return c + 0x20;       // Latin-1
  if (c == 0x178) return 0xFF;  // Ÿ
  if (c >= 0x100 && c <= 0x17F && c != 0x130 && c != 0x131 && c != 0x138 && c != 0x149 &&
      c != 0x17F) {
    // Latin Extended-A pairs letters upper/lower, shifting parity after the
    // gaps at U+0138 and U+0149.
    const bool odd_upper = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
    if (odd_upper ? (c % 2 == 1) : (c % 2 == 0)) return c + 1;
    return c;
  }
  if (c >= 0x391 && c <= 0x3AB && c != 0x3A2) return c + 0x20;  // Greek
  if (c >= 0x410 && c <= 0x42F) return c + 0x20;                // Cyrillic А-Я
  if (c >= 0x400 && c <= 0x40F) return c + 0x50;                // Cyrillic Ѐ-Џ
  return c;
}

}  // namespace

std::string FoldPathCase(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  for (size_t i = 0; i < utf8.size();) {
    const size_t start = i;
    const std::optional<char32_t> c = NextCodePoint(utf8, &i);
    if (!c) {
      out += utf8[start];
      i = start + 1;
      continue;
    }
    AppendUtf8(out, FoldCodePoint(*c));
  }
  return out;
}

std::string WithBackslash(std::string path) {
  if (path.empty() || path.back() != '\\') path += '\\';
  return path;
}

}  // namespace lumiset
