// Decoded setup records from hostile packages, and their texts run through
// the language filter and placeholder expansion as the loader does.
#include <cstddef>
#include <cstdint>

#include "package/language_filter.h"
#include "setup/placeholders.h"
#include "package/setup_record.h"
#include "setup/setup_state.h"

using namespace lumiset;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::optional<SetupRecord> record = ParseSetupRecord({data, size});
  if (!record) return 0;
  SetupState state;
  state.ScreenSaverTitle = record->title;
  state.CompanyName = record->company;
  state.SystemDir = "C:\\windows\\Sysnative";
  state.InstalledScrPath = state.SystemDir + "\\" + record->scr_file_name + ".scr";
  for (std::string* text : {&record->licence_text, &record->info_text}) {
    FilterLanguageBlocks(*text, record->language);
    ExpandPlaceholders(*text, state);
  }
  AccentHue(record->accent_color);
  return 0;
}
