#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace lumipack {

// The two Windows ANSI code pages the installer's languages use.
enum class CodePage { kWindows1252, kWindows1251 };

std::string_view CodePageName(CodePage code_page);

// Every byte decodes: bytes the code page leaves undefined stand for the C1
// control character of the same value, as Windows maps them, so any stored
// text survives a trip to UTF-8 and back.
char32_t DecodeAnsiByte(uint8_t byte, CodePage code_page);
std::optional<uint8_t> EncodeAnsiChar(char32_t c, CodePage code_page);

// Stored ANSI bytes as UTF-8.
std::string DecodeAnsi(std::string_view bytes, CodePage code_page);

bool IsCyrillic(char32_t c);

}  // namespace lumipack
