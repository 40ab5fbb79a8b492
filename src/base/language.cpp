#include "base/language.h"

namespace lumiset {

int LocalizedId(int base_id, int32_t language_index) {
  constexpr int kLanguageIdStride = 100;
  if (language_index >= kFrench && language_index <= kRussian) {
    return base_id + kLanguageIdStride * (language_index - 1);
  }
  return base_id;
}

}  // namespace lumiset
