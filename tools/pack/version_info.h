#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "result.h"

namespace lumipack {

// What the installer's version resource says, as UTF-8 texts. An empty text
// is left out of the resource.
struct VersionInfo {
  std::string product_name;
  std::string product_version;
  std::string file_version;
  std::string company;
  std::string description;
  std::string copyright;
  std::string original_filename;  // also written as InternalName
  uint16_t langid = 0;            // Windows LANGID of the string table
};

// The four numbers of a version text: "1.2.3" gives 1.2.3.0. A part that is
// not a plain number ("beta", "3-rc1") or is above 65535 counts as 0, and
// parts after the fourth are ignored, so any text gives some version.
std::array<uint16_t, 4> ParseVersionNumbers(const std::string& text);

// The Windows LANGID for the record's language value (0 = follow the user:
// language neutral).
uint16_t LangIdOfLanguage(uint16_t language);

// The bytes of a VS_VERSIONINFO resource: the fixed part with the numeric
// file and product versions, a StringFileInfo table in `info.langid` with
// code page 1200 (UTF-16), and VarFileInfo\Translation naming the same
// pair. Fails, naming the field, on a text that is not UTF-8 or is longer
// than kMaxVersionText characters.
inline constexpr size_t kMaxVersionText = 1024;
Result<std::vector<uint8_t>> BuildVersionResource(const VersionInfo& info);

// The texts of a VS_VERSIONINFO resource's first string table, by key, as
// UTF-8; nullopt when the bytes are not such a resource. Reads what any
// resource compiler writes, bounded by the bytes given.
std::optional<std::map<std::string, std::string>> ReadVersionStrings(
    std::span<const uint8_t> resource);

}  // namespace lumipack
