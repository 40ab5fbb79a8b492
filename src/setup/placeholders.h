#pragma once

#include <string>

#include "setup/setup_state.h"


namespace lumiset {

// Longest placeholder name; a longer one can be no known name.
inline constexpr size_t kMaxPlaceholderName = 255;
// Longest expanded text. A text whose expansion would be longer stays as it
// was, so hostile names cannot multiply memory.
inline constexpr size_t kMaxExpandedText = 4u << 20;

// Replaces {CompanyName}, {ScrName}, {ScreenSaverTitle}, {DestFolder} and
// {InstalledScrFileName} by their values in `state`; any other name, the
// empty one included, becomes "##UNKNOWN##". A name runs from "{" to the
// next "}" or the end of the text. Values are inserted as they stand and
// never scanned again.
void ExpandPlaceholders(std::string& text, const SetupState& state);

}  // namespace lumiset
