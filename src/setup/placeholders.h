#pragma once

#include <string>

#include "setup/machine_facts.h"
#include "setup/package_info.h"

namespace lumiset {

// Longest placeholder name; a longer one can be no known name.
inline constexpr size_t kMaxPlaceholderName = 255;
// Longest expanded text. A text whose expansion would be longer stays as it
// was, so hostile names cannot multiply memory.
inline constexpr size_t kMaxExpandedText = 4u << 20;

// What the placeholders stand for.
struct PlaceholderValues {
  std::string company;             // {CompanyName}
  std::string title;               // {ScrName}, {ScreenSaverTitle}
  std::string dest_folder;         // {DestFolder}: the system folder
  std::string installed_scr_path;  // {InstalledScrFileName}
};

PlaceholderValues PlaceholderValuesOf(const PackageInfo& package, const MachineFacts& facts);

// Replaces {CompanyName}, {ScrName}, {ScreenSaverTitle}, {DestFolder} and
// {InstalledScrFileName} by their values; any other name, the empty one
// included, becomes "##UNKNOWN##". A name runs from "{" to the next "}" or
// the end of the text. Values are inserted as they stand and never scanned
// again.
void ExpandPlaceholders(std::string& text, const PlaceholderValues& values);

}  // namespace lumiset
