// Decoded setup records from hostile packages, their names through the
// check every installer makes of them, and their texts through the
// language filter and placeholder expansion as the loader does.
#include <cstddef>
#include <cstdint>

#include "package/language_filter.h"
#include "setup/placeholders.h"
#include "package/setup_record.h"
#include "package/install_names.h"

using namespace lumiset;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  StatusOr<SetupRecord> record = ParseSetupRecord({data, size});
  if (!record) return 0;
  PackageNamesProblem(record->company, record->title, record->scr_file_name, record->language);
  PlaceholderValues values;
  values.title = record->title;
  values.company = record->company;
  values.dest_folder = "C:\\windows\\Sysnative";
  values.installed_scr_path = values.dest_folder + "\\" + record->scr_file_name + ".scr";
  for (std::string* text : {&record->licence_text, &record->info_text}) {
    FilterLanguageBlocks(*text, record->language);
    ExpandPlaceholders(*text, values);
  }
  AccentHue(record->accent_color);
  return 0;
}
