#pragma once

#include <cstdint>

namespace lumiset {

// User-interface languages, numbered as the package stores them. 0 in a
// package means "choose from the user's settings" and never stays here.
enum LanguageIndexValue : int32_t {
  kEnglish = 1,
  kFrench = 2,
  kGerman = 3,
  kSpanish = 4,
  kItalian = 5,
  kDutch = 6,
  kPortuguese = 7,
  kRussian = 8,
};

// The id of a localized resource in the current language: languages 2 to 8
// sit at base + 100 * (language - 1); English and any unknown value use base.
int LocalizedId(int base_id, int32_t language_index);

}  // namespace lumiset
