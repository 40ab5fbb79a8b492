#include "language.h"

#include "base/text.h"

namespace lumipack {
namespace {

constexpr std::string_view kNames[] = {"auto",    "english", "french",     "german", "spanish",
                                       "italian", "dutch",   "portuguese", "russian"};
constexpr uint16_t kRussian = 8;

}  // namespace

std::optional<uint16_t> LanguageFromName(std::string_view name) {
  const std::string lower = lumiset::AsciiLower(name);
  for (uint16_t i = 0; i <= kLastLanguage; ++i) {
    if (lower == kNames[i]) return i;
  }
  return std::nullopt;
}

std::string_view LanguageName(uint16_t language) {
  return language <= kLastLanguage ? kNames[language] : std::string_view();
}

std::optional<CodePage> FixedCodePage(uint16_t language) {
  if (language == kAutoLanguage || language > kLastLanguage) return std::nullopt;
  return language == kRussian ? CodePage::kWindows1251 : CodePage::kWindows1252;
}

}  // namespace lumipack
