#include "ansi_text.h"

#include <optional>

#include "language.h"
#include "language_blocks.h"
#include "utf8.h"

namespace lumipack {
namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// A stretch of a text that one code page covers: a line inside a language
// block, a line outside, or a whole single-line value.
struct Piece {
  size_t text = 0;  // index of the text it belongs to
  std::u32string chars;
  int32_t block = 0;  // 0 outside language blocks
  size_t line = 1;
};

std::string NormaliseLineEnds(std::string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 32);
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\r' || c == '\n') {
      out += "\r\n";
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else {
      out += c;
    }
  }
  return out;
}

std::string Where(const TextInput& input, size_t line, size_t column) {
  if (!input.from_file) return input.origin;
  return input.origin + ":" + std::to_string(line) + ":" + std::to_string(column);
}

Place PlaceOf(const TextInput& input, size_t line, size_t column) {
  Place place = input.place;
  if (input.from_file) {
    place.line = static_cast<uint32_t>(line);
    place.column = static_cast<uint32_t>(column);
  }
  return place;
}

Status Failure(const TextInput& input, size_t line, size_t column, const std::string& problem) {
  return Status::Failure(Where(input, line, column) + ": " + problem, PlaceOf(input, line, column));
}

CodePage BlockCodePage(int32_t block, CodePage outside) {
  return FixedCodePage(static_cast<uint16_t>(block)).value_or(outside);
}

std::string CodePageReason(int32_t block, uint16_t language, CodePage code_page,
                           const std::optional<std::string>& first_cyrillic) {
  if (block != 0) return "the code page of #if" + std::string(LanguageName(block)) + " blocks";
  if (FixedCodePage(language)) return "the code page of the installer's language";
  if (code_page == CodePage::kWindows1252) {
    return "chosen for automatic language because the texts outside language blocks hold no "
           "Cyrillic";
  }
  return "chosen for automatic language because the texts outside language blocks hold "
         "Cyrillic (the first at " +
         first_cyrillic.value_or("?") + ")";
}

}  // namespace

Result<AnsiTexts> ConvertToAnsi(std::span<const TextInput> texts, uint16_t language) {
  std::vector<Piece> pieces;
  std::optional<std::string> first_cyrillic;
  for (size_t t = 0; t < texts.size(); ++t) {
    const TextInput& input = texts[t];
    TextPosition bad;
    if (!DecodeUtf8(input.utf8, &bad))
      return Failure(input, bad.line, bad.column, "not valid UTF-8");
    std::vector<TextLine> lines;
    std::string normalised;
    if (input.from_file) {
      std::string_view text = input.utf8;
      if (text.starts_with(kByteOrderMark)) text.remove_prefix(kByteOrderMark.size());
      normalised = NormaliseLineEnds(text);
      lines = SplitByLanguage(normalised);
    } else {
      lines.push_back({input.utf8, 0, 1});
    }
    // Lines split at ASCII bytes, so each is valid UTF-8 on its own.
    for (const TextLine& line : lines) {
      Piece piece{t, DecodeUtf8(line.text).value_or(std::u32string()), line.language, line.number};
      for (size_t i = 0; i < piece.chars.size(); ++i) {
        if (piece.chars[i] == 0) {
          return Failure(input, piece.line, i + 1,
                         "U+0000 cannot be stored; it would end the text there");
        }
        if (piece.block == 0 && !first_cyrillic && IsCyrillic(piece.chars[i])) {
          first_cyrillic = Where(input, piece.line, i + 1);
        }
      }
      pieces.push_back(std::move(piece));
    }
  }

  AnsiTexts out;
  const std::optional<CodePage> fixed = FixedCodePage(language);
  out.code_page = fixed ? *fixed : first_cyrillic ? CodePage::kWindows1251 : CodePage::kWindows1252;
  out.texts.resize(texts.size());
  for (const Piece& piece : pieces) {
    const CodePage code_page = BlockCodePage(piece.block, out.code_page);
    std::string& bytes = out.texts[piece.text];
    for (size_t i = 0; i < piece.chars.size(); ++i) {
      const std::optional<uint8_t> byte = EncodeAnsiChar(piece.chars[i], code_page);
      if (!byte) {
        return Failure(texts[piece.text], piece.line, i + 1,
                       DescribeChar(piece.chars[i]) + " is not in " +
                           std::string(CodePageName(code_page)) + ", " +
                           CodePageReason(piece.block, language, code_page, first_cyrillic));
      }
      bytes += static_cast<char>(*byte);
    }
  }
  return out;
}

CodePage ReadingCodePage(std::span<const StoredText> stored, uint16_t language) {
  if (std::optional<CodePage> fixed = FixedCodePage(language)) return *fixed;
  // Bytes 0xC0 to 0xFF (and 0xA8, 0xB8) are Cyrillic letters in
  // Windows-1251 and mostly accented Latin ones in Windows-1252. Russian
  // words are runs of them; Western words hold one here and there between
  // ASCII letters. So pairs of them side by side outnumbering their pairs
  // with ASCII letters means Russian, however much English surrounds it.
  auto high = [](uint8_t b) { return b >= 0xC0 || b == 0xA8 || b == 0xB8; };
  auto ascii_letter = [](uint8_t b) { return (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z'); };
  uint64_t high_pairs = 0;
  uint64_t mixed_pairs = 0;
  for (const StoredText& text : stored) {
    std::vector<TextLine> lines;
    if (text.has_blocks) {
      lines = SplitByLanguage(text.bytes);
    } else {
      lines.push_back({text.bytes, 0, 1});
    }
    for (const TextLine& line : lines) {
      if (line.language != 0) continue;
      for (size_t i = 1; i < line.text.size(); ++i) {
        const auto a = static_cast<uint8_t>(line.text[i - 1]);
        const auto b = static_cast<uint8_t>(line.text[i]);
        if (high(a) && high(b)) {
          ++high_pairs;
        } else if ((high(a) && ascii_letter(b)) || (ascii_letter(a) && high(b))) {
          ++mixed_pairs;
        }
      }
    }
  }
  return high_pairs > mixed_pairs ? CodePage::kWindows1251 : CodePage::kWindows1252;
}

std::string DecodeStoredText(const StoredText& text, CodePage code_page) {
  if (!text.has_blocks) return DecodeAnsi(text.bytes, code_page);
  std::string out;
  for (const TextLine& line : SplitByLanguage(text.bytes)) {
    out += DecodeAnsi(line.text, BlockCodePage(line.language, code_page));
  }
  return out;
}

}  // namespace lumipack
