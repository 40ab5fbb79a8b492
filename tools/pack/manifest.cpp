#include "manifest.h"

// toml++ 3.3 checks some of its parser's assumptions with assert(), and a
// malformed manifest can break them ("[ = 1" aborts the program); with
// NDEBUG they become optimiser assumptions, undefined behaviour on such
// input. Here each check throws instead, whatever NDEBUG says, and the
// manifest is refused like any other that does not parse.
namespace lumipack {
struct TomlParserFault {};
}  // namespace lumipack
// In toml++'s noexcept functions a failed check ends the program, which
// is still defined, unlike an assumption that does not hold.
#pragma push_macro("NDEBUG")
#undef NDEBUG
#define TOML_ASSERT(expr) ((expr) ? static_cast<void>(0) : throw ::lumipack::TomlParserFault{})
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wterminate"
#endif
#include <toml++/toml.h>
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif
#pragma pop_macro("NDEBUG")

#include <cstdio>
#include <algorithm>
#include <limits>
#include <vector>

#include "file_io.h"
#include "host.h"
#include "language.h"
#include "manifest_keys.h"

namespace lumipack {
namespace {

std::string TypeName(const toml::node& v) {
  switch (v.type()) {
    case toml::node_type::string:
      return "a string";
    case toml::node_type::integer:
      return "an integer";
    case toml::node_type::floating_point:
      return "a number";
    case toml::node_type::boolean:
      return "a boolean";
    case toml::node_type::array:
      return "an array";
    case toml::node_type::table:
      return "a table";
    default:
      return "a date or time";
  }
}

// Turns the manifest's nodes into Manifest fields, stopping at the first
// problem with a message that points at its line.
class ManifestReader {
 public:
  ManifestReader(const std::string& name, const std::filesystem::path& folder,
                 const Defines& defines, Manifest& out)
      : name_(name), folder_(folder), defines_(defines), out_(out) {}

  Status ReadTable(const toml::table& table, const std::string& prefix);

 private:
  std::string Where(const toml::source_region& region) const {
    return name_ + ":" + std::to_string(region.begin.line);
  }
  Place PlaceOf(const toml::source_region& region, const std::string& key) const {
    return Place{name_, region.begin.line, region.begin.column, key};
  }
  Status Fail(const toml::node& v, const std::string& key, const std::string& problem) const {
    return Status::Failure(Where(v.source()) + ": '" + key + "' " + problem,
                           PlaceOf(v.source(), key));
  }
  Status WrongType(const toml::node& v, const std::string& key, const std::string& wanted) const {
    return Fail(v, key, "must be " + wanted + ", not " + TypeName(v));
  }
  void Note(const toml::node& v, const std::string& key) {
    out_.origins[key] = Origin{name_, v.source().begin.line, v.source().begin.column, {}};
  }

  // A string node's value with its variables replaced.
  Result<std::string> Text(const toml::node& v, const std::string& key) const {
    Result<std::string> text = ExpandDefines(v.as_string()->get(), defines_);
    if (!text) return Fail(v, key, text.message());
    return text;
  }

  Status String(const toml::node& v, const std::string& key, std::optional<std::string>& field);
  Status Path(const toml::node& v, const std::string& key,
              std::optional<std::filesystem::path>& field);
  Status Flag(const toml::node& v, const std::string& key, std::optional<uint16_t>& field);
  Status Colour(const toml::node& v, const std::string& key, std::optional<uint32_t>& field);
  Status Integer(const toml::node& v, const std::string& key, int64_t max, int64_t* value);
  Status Uninstaller(const toml::node& v, const std::string& key);
  Status Language(const toml::node& v, const std::string& key, std::optional<uint16_t>& field);
  Status ArchValue(const toml::node& v, const std::string& key, std::optional<Arch>& field);
  Status Compression(const toml::node& v, const std::string& key, std::optional<bool>& fast);
  template <typename T, size_t N>
  Status Numbers(const toml::node& v, const std::string& key, const char* wanted,
                 std::optional<std::array<T, N>>& field);
  Status Texts(const toml::node& v, const std::string& key,
               std::optional<std::array<std::string, 4>>& field);
  Status Number16(const toml::node& v, const std::string& key, std::optional<uint16_t>& field);
  Status TextList(const toml::node& v, const std::string& key,
                  std::optional<std::vector<std::string>>& field);
  Status VersionText(const toml::node& v, const std::string& key,
                     std::optional<std::string>& field);
  // The field `row` names; its target must hold a std::optional<T> member.
  template <typename T>
  std::optional<T>& FieldOf(const ManifestKey& row) {
    return out_.*std::get<std::optional<T> Manifest::*>(row.target);
  }
  // Reads `v` into the field of `row`.
  Status Read(const ManifestKey& row, const toml::node& v, const std::string& key);

  const std::string& name_;
  const std::filesystem::path& folder_;
  const Defines& defines_;
  Manifest& out_;
};

Status ManifestReader::String(const toml::node& v, const std::string& key,
                              std::optional<std::string>& field) {
  if (!v.is_string()) return WrongType(v, key, "a string");
  Result<std::string> text = Text(v, key);
  if (!text) return text.status();
  field = std::move(*text);
  Note(v, key);
  return {};
}

Status ManifestReader::Path(const toml::node& v, const std::string& key,
                            std::optional<std::filesystem::path>& field) {
  if (!v.is_string()) return WrongType(v, key, "a string (a file path)");
  Result<std::string> text = Text(v, key);
  if (!text) return text.status();
  if (text->empty()) return Fail(v, key, "is an empty path");
  field = folder_ / PathFromUtf8(*text);
  Note(v, key);
  return {};
}

Status ManifestReader::Integer(const toml::node& v, const std::string& key, int64_t max,
                               int64_t* value) {
  if (!v.is_integer()) return WrongType(v, key, "an integer");
  *value = v.as_integer()->get();
  if (*value < 0 || *value > max) {
    return Fail(v, key, "must lie between 0 and " + std::to_string(max));
  }
  return {};
}

Status ManifestReader::Flag(const toml::node& v, const std::string& key,
                            std::optional<uint16_t>& field) {
  if (v.is_boolean()) {
    field = v.as_boolean()->get() ? 1 : 0;
  } else if (v.is_integer()) {
    int64_t value = 0;
    if (Status s = Integer(v, key, UINT16_MAX, &value); !s) return s;
    field = static_cast<uint16_t>(value);
  } else {
    return WrongType(v, key, "true or false");
  }
  Note(v, key);
  return {};
}

Status ManifestReader::Colour(const toml::node& v, const std::string& key,
                              std::optional<uint32_t>& field) {
  if (v.is_string()) {
    Result<std::string> text = Text(v, key);
    if (!text) return text.status();
    std::optional<uint32_t> colour = ParseColour(*text);
    if (!colour) return Fail(v, key, "must be a colour written #RRGGBB");
    field = colour;
  } else if (v.is_integer()) {
    int64_t value = 0;
    if (Status s = Integer(v, key, UINT32_MAX, &value); !s) return s;
    field = static_cast<uint32_t>(value);
  } else {
    return WrongType(v, key, "a colour written \"#RRGGBB\"");
  }
  Note(v, key);
  return {};
}

Status ManifestReader::Uninstaller(const toml::node& v, const std::string& key) {
  if (v.is_boolean()) {
    out_.use_uninstaller = v.as_boolean()->get();
    out_.uninstaller.reset();
    Note(v, key);
    return {};
  }
  if (!v.is_string()) return WrongType(v, key, "a file path, true or false");
  out_.use_uninstaller.reset();
  return Path(v, key, out_.uninstaller);
}

Status ManifestReader::Language(const toml::node& v, const std::string& key,
                                std::optional<uint16_t>& field) {
  if (v.is_integer()) {
    int64_t value = 0;
    if (Status s = Integer(v, key, UINT16_MAX, &value); !s) return s;
    field = static_cast<uint16_t>(value);
  } else if (v.is_string()) {
    Result<std::string> text = Text(v, key);
    if (!text) return text.status();
    std::optional<uint16_t> language = LanguageFromName(*text);
    if (!language) {
      return Fail(v, key,
                  "must be auto, english, french, german, spanish, italian, dutch, "
                  "portuguese or russian");
    }
    field = language;
  } else {
    return WrongType(v, key, "a language name");
  }
  Note(v, key);
  return {};
}

Status ManifestReader::ArchValue(const toml::node& v, const std::string& key,
                                 std::optional<Arch>& field) {
  if (!v.is_string()) return WrongType(v, key, "\"x86\", \"x64\" or \"auto\"");
  Result<std::string> text = Text(v, key);
  if (!text) return text.status();
  const std::string& name = *text;
  if (name == "auto") {
    field.reset();
  } else if (std::optional<Arch> arch = ArchFromName(name)) {
    field = arch;
  } else {
    return Fail(v, key, "must be \"x86\", \"x64\" or \"auto\"");
  }
  Note(v, key);
  return {};
}

Status ManifestReader::Compression(const toml::node& v, const std::string& key,
                                   std::optional<bool>& fast) {
  if (!v.is_string()) return WrongType(v, key, "\"best\" or \"fast\"");
  Result<std::string> text = Text(v, key);
  if (!text) return text.status();
  const std::string& mode = *text;
  if (mode != "best" && mode != "fast") return Fail(v, key, "must be \"best\" or \"fast\"");
  fast = mode == "fast";
  Note(v, key);
  return {};
}

template <typename T, size_t N>
Status ManifestReader::Numbers(const toml::node& v, const std::string& key, const char* wanted,
                               std::optional<std::array<T, N>>& field) {
  const toml::array* a = v.as_array();
  if (a == nullptr || a->size() != N) return WrongType(v, key, wanted);
  std::array<T, N> numbers{};
  for (size_t i = 0; i < N; ++i) {
    int64_t value = 0;
    if (Status s = Integer((*a)[i], key, std::numeric_limits<T>::max(), &value); !s) return s;
    numbers[i] = static_cast<T>(value);
  }
  field = numbers;
  Note(v, key);
  return {};
}

Status ManifestReader::Texts(const toml::node& v, const std::string& key,
                             std::optional<std::array<std::string, 4>>& field) {
  const toml::array* a = v.as_array();
  if (a == nullptr || a->size() != 4) return WrongType(v, key, "an array of four strings");
  std::array<std::string, 4> texts;
  for (size_t i = 0; i < 4; ++i) {
    if (!(*a)[i].is_string()) return WrongType((*a)[i], key, "an array of four strings");
    Result<std::string> text = Text((*a)[i], key);
    if (!text) return text.status();
    texts[i] = std::move(*text);
  }
  field = texts;
  Note(v, key);
  return {};
}

Status ManifestReader::Number16(const toml::node& v, const std::string& key,
                                std::optional<uint16_t>& field) {
  int64_t value = 0;
  if (Status s = Integer(v, key, UINT16_MAX, &value); !s) return s;
  field = static_cast<uint16_t>(value);
  Note(v, key);
  return {};
}

Status ManifestReader::TextList(const toml::node& v, const std::string& key,
                                std::optional<std::vector<std::string>>& field) {
  const toml::array* a = v.as_array();
  if (a == nullptr) return WrongType(v, key, "an array of strings");
  std::vector<std::string> texts;
  for (const toml::node& item : *a) {
    if (!item.is_string()) return WrongType(item, key, "an array of strings");
    Result<std::string> text = Text(item, key);
    if (!text) return text.status();
    texts.push_back(std::move(*text));
  }
  field = std::move(texts);
  Note(v, key);
  return {};
}

Status ManifestReader::VersionText(const toml::node& v, const std::string& key,
                                   std::optional<std::string>& field) {
  if (!v.is_string()) return WrongType(v, key, "a string");
  // ${version} is left in place for the command that knows the version.
  Defines defines = defines_;
  defines.values["version"] = "${version}";
  Result<std::string> text = ExpandDefines(v.as_string()->get(), defines);
  if (!text) return Fail(v, key, text.message());
  field = std::move(*text);
  Note(v, key);
  return {};
}

Status ManifestReader::Read(const ManifestKey& row, const toml::node& v, const std::string& key) {
  switch (row.type) {
    case KeyType::kText:
      return String(v, key, FieldOf<std::string>(row));
    case KeyType::kPath:
      return Path(v, key, FieldOf<std::filesystem::path>(row));
    case KeyType::kFlag:
      return Flag(v, key, FieldOf<uint16_t>(row));
    case KeyType::kColour:
      return Colour(v, key, FieldOf<uint32_t>(row));
    case KeyType::kLanguage:
      return Language(v, key, FieldOf<uint16_t>(row));
    case KeyType::kArch:
      return ArchValue(v, key, FieldOf<Arch>(row));
    case KeyType::kCompression:
      return Compression(v, key, FieldOf<bool>(row));
    case KeyType::kUninstaller:
      return Uninstaller(v, key);
    case KeyType::kNumber16:
      return Number16(v, key, FieldOf<uint16_t>(row));
    case KeyType::kPair:
      return Numbers(v, key, "an array of two integers",
                     FieldOf<std::array<uint32_t, 2>>(row));
    case KeyType::kNumbers:
      return Numbers(v, key, "an array of four integers",
                     FieldOf<std::array<uint16_t, 4>>(row));
    case KeyType::kTexts:
      return Texts(v, key, FieldOf<std::array<std::string, 4>>(row));
    case KeyType::kTextList:
      return TextList(v, key, FieldOf<std::vector<std::string>>(row));
    case KeyType::kVersionText:
      return VersionText(v, key, FieldOf<std::string>(row));
  }
  return {};
}

Status ManifestReader::ReadTable(const toml::table& table, const std::string& prefix) {
  const std::vector<std::string_view> tables = ManifestTables();
  for (const auto& [k, v] : table) {
    const std::string key = prefix + std::string(k.str());
    const bool is_table_name =
        prefix.empty() && std::find(tables.begin(), tables.end(), key) != tables.end();
    if (is_table_name && v.is_table()) {
      if (Status s = ReadTable(*v.as_table(), key + "."); !s) return s;
      continue;
    }
    const ManifestKey* row = FindManifestKey(key);
    if (row == nullptr) {
      if (is_table_name) return WrongType(v, key, "a table");
      return Status::Failure(Where(k.source()) + ": unknown key '" + key + "'",
                             PlaceOf(k.source(), key));
    }
    if (Status s = Read(*row, v, key); !s) return s;
  }
  return {};
}

// The line of the first byte outside ASCII that stands outside a string and
// a comment, or 0. TOML allows such bytes only inside those, and toml++ 3.3
// reaches an unreachable point (undefined behaviour) on some of them where
// it expects whitespace ("title = \u00e9"), so they are refused first.
uint32_t LineOfStrayNonAscii(std::string_view text) {
  uint32_t line = 1;
  size_t i = 0;
  auto skip_string = [&](char quote) {
    const bool escapes = quote == '"';
    const std::string_view triple(quote == '"' ? "\"\"\"" : "'''");
    const bool multi_line = text.substr(i).starts_with(triple);
    i += multi_line ? 3 : 1;
    while (i < text.size()) {
      const char c = text[i];
      if (multi_line && text.substr(i).starts_with(triple)) {
        i += 3;
        // Up to two quotes of the content may stand just before the closing three.
        for (int extra = 0; extra < 2 && i < text.size() && text[i] == quote; ++extra) ++i;
        return;
      }
      if (!multi_line && (c == quote || c == '\n')) {
        if (c == quote) ++i;
        return;
      }
      if (c == '\n') ++line;
      i += escapes && c == '\\' && i + 1 < text.size() && text[i + 1] != '\n' ? 2 : 1;
    }
  };
  // A quote opens a string only where TOML has one: a key at the start of a
  // line or after '.', '[', '{' or ',', or a value after '='. After anything
  // else (a bad number such as "0x2x\"") it is a stray character, and the
  // parser's error path reads on past it outside any string.
  char before = '\n';  // the last character that is not a space or a tab
  while (i < text.size()) {
    const char c = text[i];
    if (c == '#') {
      while (i < text.size() && text[i] != '\n') ++i;
    } else if ((c == '"' || c == '\'') && std::string_view("\n=.[{,").find(before) != std::string_view::npos) {
      skip_string(c);
      before = c;
    } else {
      if (c != ' ' && c != '\t' && c != '\r') before = c;
      if (static_cast<unsigned char>(c) >= 0x80) return line;
      if (c == '\n') ++line;
      ++i;
    }
  }
  return 0;
}

// The line of the first control character TOML allows nowhere (anything
// below 0x20 but tab, line feed and carriage return, and DEL), or 0.
// Inside a string toml++ 3.3 ends the string there and can then reach the
// same unreachable point on a later byte outside ASCII.
uint32_t LineOfControlCharacter(std::string_view text) {
  uint32_t line = 1;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte == '\n') ++line;
    if ((byte < 0x20 && byte != '\t' && byte != '\n' && byte != '\r') || byte == 0x7F) return line;
  }
  return 0;
}

}  // namespace

std::string Manifest::OriginOf(const std::string& key) const {
  auto it = origins.find(key);
  if (it == origins.end()) return key;
  // A command-line option names itself; a manifest line needs the key.
  if (!it->second.option.empty()) return it->second.option;
  return it->second.file + ":" + std::to_string(it->second.line) + ": " + key;
}

Place Manifest::PlaceOf(const std::string& key) const {
  auto it = origins.find(key);
  if (it == origins.end() || !it->second.option.empty()) return Place{{}, 0, 0, key};
  return Place{it->second.file, it->second.line, it->second.column, key};
}

Result<Manifest> ParseManifest(std::string_view text, const std::string& name,
                               const std::filesystem::path& folder, const Defines& defines) {
  // Editors on Windows (Notepad among them) start UTF-8 files with a
  // byte-order mark, which TOML does not know; it carries no content.
  constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
  if (text.starts_with(kByteOrderMark)) text.remove_prefix(kByteOrderMark.size());
  if (uint32_t line = LineOfControlCharacter(text); line != 0) {
    return Status::Failure(name + ":" + std::to_string(line) +
                               ": a control character stands in the text; a manifest is text",
                           Place{name, line, 0, {}});
  }
  if (uint32_t line = LineOfStrayNonAscii(text); line != 0) {
    return Status::Failure(
        name + ":" + std::to_string(line) +
            ": a letter outside ASCII stands outside a string; put it in quotes",
        Place{name, line, 0, {}});
  }
  toml::table table;
  try {
    table = toml::parse(text, name);
  } catch (const toml::parse_error& e) {
    return Status::Failure(name + ":" + std::to_string(e.source().begin.line) + ":" +
                               std::to_string(e.source().begin.column) + ": " +
                               std::string(e.description()),
                           Place{name, e.source().begin.line, e.source().begin.column, {}});
  } catch (const TomlParserFault&) {
    return Status::Failure(name + ": is not a TOML document the reader can follow",
                           Place{name, 0, 0, {}});
  }
  Manifest manifest;
  ManifestReader reader(name, folder, defines, manifest);
  if (Status s = reader.ReadTable(table, ""); !s) return s;
  return manifest;
}

Result<Manifest> LoadManifest(const std::filesystem::path& path, const Defines& defines) {
  Result<std::vector<uint8_t>> bytes = ReadFileBytes(path, kMaxManifestBytes);
  if (!bytes) return bytes.status();
  const std::string text(bytes->begin(), bytes->end());
  return ParseManifest(text, Utf8FromPath(path), path.parent_path(), defines);
}

Result<Manifest> LoadManifestFromStandardInput(const Defines& defines) {
  Result<std::string> text = ReadStandardInput(kMaxManifestBytes);
  if (!text) return text.status();
  return ParseManifest(*text, kStandardInputName, std::filesystem::path(), defines);
}

std::optional<uint32_t> ParseColour(std::string_view text) {
  if (text.size() != 7 || text[0] != '#') return std::nullopt;
  uint32_t rgb = 0;
  for (char c : text.substr(1)) {
    uint32_t digit = 0;
    if (c >= '0' && c <= '9') {
      digit = static_cast<uint32_t>(c - '0');
    } else if (c >= 'a' && c <= 'f') {
      digit = static_cast<uint32_t>(c - 'a' + 10);
    } else if (c >= 'A' && c <= 'F') {
      digit = static_cast<uint32_t>(c - 'A' + 10);
    } else {
      return std::nullopt;
    }
    rgb = rgb << 4 | digit;
  }
  const uint32_t r = rgb >> 16;
  const uint32_t g = (rgb >> 8) & 0xFF;
  const uint32_t b = rgb & 0xFF;
  return b << 16 | g << 8 | r;
}

std::string FormatColour(uint32_t colour) {
  char text[8];
  std::snprintf(text, sizeof text, "#%02X%02X%02X", colour & 0xFF, (colour >> 8) & 0xFF,
                (colour >> 16) & 0xFF);
  return text;
}

}  // namespace lumipack
