#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "code_page.h"

namespace lumipack {

// The record's language field: 0 lets the installer follow the user's
// settings, 1 to 8 fix one language.
inline constexpr uint16_t kAutoLanguage = 0;
inline constexpr uint16_t kLastLanguage = 8;

// "auto", "english" .. "russian" in any letter case.
std::optional<uint16_t> LanguageFromName(std::string_view name);
// The name of 0 to 8; empty for other values.
std::string_view LanguageName(uint16_t language);

// The code page of a fixed language's texts; nullopt for automatic language
// and for values no language has, whose texts follow the automatic rule.
std::optional<CodePage> FixedCodePage(uint16_t language);

}  // namespace lumipack
