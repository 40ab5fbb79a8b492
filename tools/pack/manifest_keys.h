#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "manifest.h"

namespace lumipack {

// How a key's value is written in the manifest and checked. The reader, the
// JSON schema and the documentation all follow this one list.
enum class KeyType {
  kText,         // a string
  kPath,         // a string naming a file, taken from the manifest's folder
  kFlag,         // true or false, or an integer 0 to 65535 stored as is
  kColour,       // "#RRGGBB", or an integer 0x00BBGGRR stored as is
  kLanguage,     // a language name, or an integer 0 to 65535
  kArch,         // "x86", "x64" or "auto"
  kCompression,  // "best" or "fast"
  kUninstaller,  // a file path, true (the default one) or false (none)
  kNumber16,     // an integer 0 to 65535
  kPair,         // an array of two integers 0 to 0xFFFFFFFF
  kNumbers,      // an array of four integers 0 to 65535
  kTexts,        // an array of four strings
  kTextList,     // an array of strings
  kVersionText,  // a string in which ${version} stands for the package's version
};

// The Manifest field a key's value goes into; its type must be the one the
// key's KeyType reads into (a test checks every row).
using KeyTarget = std::variant<std::optional<std::string> Manifest::*,
                               std::optional<std::filesystem::path> Manifest::*,
                               std::optional<uint16_t> Manifest::*,
                               std::optional<uint32_t> Manifest::*,
                               std::optional<bool> Manifest::*,
                               std::optional<Arch> Manifest::*,
                               std::optional<std::array<uint32_t, 2>> Manifest::*,
                               std::optional<std::array<uint16_t, 4>> Manifest::*,
                               std::optional<std::array<std::string, 4>> Manifest::*,
                               std::optional<std::vector<std::string>> Manifest::*>;

struct ManifestKey {
  // The key, dotted for one inside a table ("options.info_page"). Any table
  // named here is a table the manifest may have.
  std::string_view name;
  KeyType type;
  KeyTarget target;
  // One line for people: the schema's description and the editor's hint.
  std::string_view description;
};

// Every key the manifest reader accepts, in the order the documentation
// shows them.
std::span<const ManifestKey> ManifestKeys();

// The row of `name` (dotted), or null when the manifest has no such key.
const ManifestKey* FindManifestKey(std::string_view name);

// The tables keys live in ("options", "header", ...), in first-use order.
std::vector<std::string_view> ManifestTables();

// One line about a table for the schema; empty when there is none.
std::string_view TableDescription(std::string_view table);

// The table part of a dotted name ("" for a top-level key) and the rest.
std::string_view TableOf(std::string_view name);
std::string_view LeafOf(std::string_view name);

}  // namespace lumipack
