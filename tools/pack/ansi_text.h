#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "code_page.h"
#include "result.h"

namespace lumipack {

// A text bound for the record, as UTF-8, and how messages name its place.
struct TextInput {
  std::string utf8;
  std::string origin;  // a file, or a value such as "lumipack.toml:3: title"
  // A licence or information text from a file: a leading byte-order mark is
  // dropped, every line end becomes CR LF, language blocks are honoured and
  // messages give line and column.
  bool from_file = false;
  // The same place for JSON readers: the value's manifest line and key, or
  // the file and its key (line and column are added).
  Place place;
};

struct AnsiTexts {
  // The code page of everything outside language blocks.
  CodePage code_page = CodePage::kWindows1252;
  std::vector<std::string> texts;  // in the order given
};

// Converts a record's texts to the Windows ANSI code pages the installer
// shows them in. A language block (#ifrussian ... #endif) is shown only to
// users of its language, so it is stored in that language's code page
// (Windows-1251 for Russian, Windows-1252 for the others). Everything else
// shares one code page: the installer language's, or with automatic
// language Windows-1251 when any of it holds a Cyrillic letter and
// Windows-1252 otherwise. A failure names the text, the place and the
// character.
Result<AnsiTexts> ConvertToAnsi(std::span<const TextInput> texts, uint16_t language);

// A text as the record stores it.
struct StoredText {
  std::string_view bytes;
  bool has_blocks = false;  // the licence and information texts
};

// The code page of the stored texts outside language blocks: the fixed
// language's, or with automatic language a guess from the letters. Either
// guess converts back to the same bytes under ConvertToAnsi's rule.
CodePage ReadingCodePage(std::span<const StoredText> stored, uint16_t language);

// A stored text as UTF-8: language blocks in their language's code page,
// the rest in `code_page`.
std::string DecodeStoredText(const StoredText& text, CodePage code_page);

}  // namespace lumipack
