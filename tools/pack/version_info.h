#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
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

// The numeric version Windows keeps beside a version text: up to four
// numbers of 0 to 65535 from the text's start ("2.1" gives 2.1.0.0), after an
// optional "v" ("v2.1"). Reading stops at the first character that does not
// continue a number or start the next one, so a suffix such as "-beta" or
// " (build 7)" is left out; `taken` is the part of the text read. A number
// above 65535, or a fifth one, cannot be held and is a failure; a text with
// no number at its start gives 0.0.0.0 with `taken` empty.
struct VersionNumbers {
  std::array<uint16_t, 4> numbers{};
  std::string_view taken;
  // "2.3.42.0"
  std::string Text() const;
};
Result<VersionNumbers> ParseVersionNumbers(std::string_view text);

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
