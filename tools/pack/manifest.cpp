#include "manifest.h"

#include <toml++/toml.h>

#include <cstdio>
#include <functional>
#include <vector>

#include "file_io.h"
#include "host.h"
#include "language.h"

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
  ManifestReader(const std::string& name, const std::filesystem::path& folder, Manifest& out)
      : name_(name), folder_(folder), out_(out) {}

  Status ReadTable(const toml::table& table, const std::string& prefix);

 private:
  using Handler = std::function<Status(const toml::node&, const std::string& key)>;

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

  Status String(const toml::node& v, const std::string& key, std::optional<std::string>& field);
  Status Path(const toml::node& v, const std::string& key,
              std::optional<std::filesystem::path>& field);
  Status Flag(const toml::node& v, const std::string& key, std::optional<uint16_t>& field);
  Status Colour(const toml::node& v, const std::string& key, std::optional<uint32_t>& field);
  Status Integer(const toml::node& v, const std::string& key, int64_t max, int64_t* value);
  Handler HandlerFor(const std::string& key);

  const std::string& name_;
  const std::filesystem::path& folder_;
  Manifest& out_;
};

Status ManifestReader::String(const toml::node& v, const std::string& key,
                              std::optional<std::string>& field) {
  if (!v.is_string()) return WrongType(v, key, "a string");
  field = v.as_string()->get();
  Note(v, key);
  return {};
}

Status ManifestReader::Path(const toml::node& v, const std::string& key,
                            std::optional<std::filesystem::path>& field) {
  if (!v.is_string()) return WrongType(v, key, "a string (a file path)");
  const std::string& text = v.as_string()->get();
  if (text.empty()) return Fail(v, key, "is an empty path");
  field = folder_ / PathFromUtf8(text);
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
    std::optional<uint32_t> colour = ParseColour(v.as_string()->get());
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

ManifestReader::Handler ManifestReader::HandlerFor(const std::string& key) {
  auto string = [this](std::optional<std::string>& field) {
    return
        [this, &field](const toml::node& v, const std::string& k) { return String(v, k, field); };
  };
  auto path = [this](std::optional<std::filesystem::path>& field) {
    return [this, &field](const toml::node& v, const std::string& k) { return Path(v, k, field); };
  };
  auto flag = [this](std::optional<uint16_t>& field) {
    return [this, &field](const toml::node& v, const std::string& k) { return Flag(v, k, field); };
  };
  auto colour = [this](std::optional<uint32_t>& field) {
    return
        [this, &field](const toml::node& v, const std::string& k) { return Colour(v, k, field); };
  };
  Manifest& m = out_;
  if (key == keys::kTitle) return string(m.title);
  if (key == keys::kCompany) return string(m.company);
  if (key == keys::kCopyright) return string(m.copyright);
  if (key == keys::kCopyrightRest) return string(m.copyright_rest);
  if (key == keys::kFileName) return string(m.file_name);
  if (key == keys::kScreensaver) return path(m.screensaver);
  if (key == keys::kLicence) return path(m.licence);
  if (key == keys::kInfo) return path(m.info);
  if (key == keys::kPicture) return path(m.picture);
  if (key == keys::kVersion) return string(m.version);
  if (key == keys::kUrl) return string(m.url);
  if (key == keys::kUninstaller) {
    return [this](const toml::node& v, const std::string& k) -> Status {
      if (v.is_boolean()) {
        out_.use_uninstaller = v.as_boolean()->get();
        out_.uninstaller.reset();
        Note(v, k);
        return {};
      }
      if (!v.is_string()) return WrongType(v, k, "a file path, true or false");
      out_.use_uninstaller.reset();
      return Path(v, k, out_.uninstaller);
    };
  }
  if (key == keys::kCompanion) return path(m.companion);
  if (key == keys::kStub) return path(m.stub);
  if (key == "options.setup_options") return flag(m.show_setup_options);
  if (key == "options.open_display_properties") return flag(m.open_display_properties);
  if (key == "options.start_menu_entry") return flag(m.create_start_menu_entry);
  if (key == "options.desktop_icon") return flag(m.create_desktop_icon);
  if (key == "options.detect_existing") return flag(m.detect_existing);
  if (key == "options.info_page") return flag(m.show_info_page);
  if (key == "header.show_text") return flag(m.show_header_text);
  if (key == "header.text_color") return colour(m.header_text_color);
  if (key == "header.accent_color") return colour(m.accent_color);
  if (key == keys::kLanguage) {
    return [this](const toml::node& v, const std::string& k) -> Status {
      if (v.is_integer()) {
        int64_t value = 0;
        if (Status s = Integer(v, k, UINT16_MAX, &value); !s) return s;
        out_.language = static_cast<uint16_t>(value);
      } else if (v.is_string()) {
        std::optional<uint16_t> language = LanguageFromName(v.as_string()->get());
        if (!language) {
          return Fail(v, k,
                      "must be auto, english, french, german, spanish, italian, dutch, "
                      "portuguese or russian");
        }
        out_.language = language;
      } else {
        return WrongType(v, k, "a language name");
      }
      Note(v, k);
      return {};
    };
  }
  if (key == keys::kArch) {
    return [this](const toml::node& v, const std::string& k) -> Status {
      if (!v.is_string()) return WrongType(v, k, "\"x86\", \"x64\" or \"auto\"");
      const std::string& name = v.as_string()->get();
      if (name == "auto") {
        out_.arch.reset();
      } else if (std::optional<Arch> arch = ArchFromName(name)) {
        out_.arch = arch;
      } else {
        return Fail(v, k, "must be \"x86\", \"x64\" or \"auto\"");
      }
      Note(v, k);
      return {};
    };
  }
  if (key == keys::kCompression) {
    return [this](const toml::node& v, const std::string& k) -> Status {
      if (!v.is_string()) return WrongType(v, k, "\"best\" or \"fast\"");
      const std::string& mode = v.as_string()->get();
      if (mode != "best" && mode != "fast") return Fail(v, k, "must be \"best\" or \"fast\"");
      out_.fast = mode == "fast";
      Note(v, k);
      return {};
    };
  }
  if (key == "reserved.pair") {
    return [this](const toml::node& v, const std::string& k) -> Status {
      const toml::array* a = v.as_array();
      if (a == nullptr || a->size() != 2) return WrongType(v, k, "an array of two integers");
      std::array<uint32_t, 2> pair{};
      for (size_t i = 0; i < 2; ++i) {
        int64_t value = 0;
        if (Status s = Integer((*a)[i], k, UINT32_MAX, &value); !s) return s;
        pair[i] = static_cast<uint32_t>(value);
      }
      out_.reserved_pair = pair;
      Note(v, k);
      return {};
    };
  }
  if (key == "reserved.numbers") {
    return [this](const toml::node& v, const std::string& k) -> Status {
      const toml::array* a = v.as_array();
      if (a == nullptr || a->size() != 4) return WrongType(v, k, "an array of four integers");
      std::array<uint16_t, 4> numbers{};
      for (size_t i = 0; i < 4; ++i) {
        int64_t value = 0;
        if (Status s = Integer((*a)[i], k, UINT16_MAX, &value); !s) return s;
        numbers[i] = static_cast<uint16_t>(value);
      }
      out_.extension_numbers = numbers;
      Note(v, k);
      return {};
    };
  }
  if (key == keys::kExtensionTexts) {
    return [this](const toml::node& v, const std::string& k) -> Status {
      const toml::array* a = v.as_array();
      if (a == nullptr || a->size() != 4) return WrongType(v, k, "an array of four strings");
      std::array<std::string, 4> texts;
      for (size_t i = 0; i < 4; ++i) {
        if (!(*a)[i].is_string()) return WrongType((*a)[i], k, "an array of four strings");
        texts[i] = (*a)[i].as_string()->get();
      }
      out_.extension_texts = texts;
      Note(v, k);
      return {};
    };
  }
  if (key == "reserved.field" || key == "reserved.picture_format") {
    std::optional<uint16_t>& field =
        key == "reserved.field" ? out_.reserved_field : out_.picture_format;
    return [this, &field](const toml::node& v, const std::string& k) -> Status {
      int64_t value = 0;
      if (Status s = Integer(v, k, UINT16_MAX, &value); !s) return s;
      field = static_cast<uint16_t>(value);
      Note(v, k);
      return {};
    };
  }
  return {};
}

Status ManifestReader::ReadTable(const toml::table& table, const std::string& prefix) {
  static const char* const kTables[] = {"options", "header", "reserved"};
  for (const auto& [k, v] : table) {
    const std::string key = prefix + std::string(k.str());
    if (prefix.empty() && v.is_table()) {
      bool known = false;
      for (const char* name : kTables) known = known || key == name;
      if (known) {
        if (Status s = ReadTable(*v.as_table(), key + "."); !s) return s;
        continue;
      }
    }
    Handler handler = HandlerFor(key);
    if (!handler) {
      bool is_table_name = false;
      for (const char* name : kTables) is_table_name = is_table_name || key == name;
      if (is_table_name) return WrongType(v, key, "a table");
      return Status::Failure(Where(k.source()) + ": unknown key '" + key + "'",
                             PlaceOf(k.source(), key));
    }
    if (Status s = handler(v, key); !s) return s;
  }
  return {};
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
                               const std::filesystem::path& folder) {
  toml::table table;
  try {
    table = toml::parse(text, name);
  } catch (const toml::parse_error& e) {
    return Status::Failure(name + ":" + std::to_string(e.source().begin.line) + ":" +
                               std::to_string(e.source().begin.column) + ": " +
                               std::string(e.description()),
                           Place{name, e.source().begin.line, e.source().begin.column, {}});
  }
  Manifest manifest;
  ManifestReader reader(name, folder, manifest);
  if (Status s = reader.ReadTable(table, ""); !s) return s;
  return manifest;
}

Result<Manifest> LoadManifest(const std::filesystem::path& path) {
  Result<std::vector<uint8_t>> bytes = ReadFileBytes(path, kMaxManifestBytes);
  if (!bytes) return bytes.status();
  const std::string text(bytes->begin(), bytes->end());
  return ParseManifest(text, Utf8FromPath(path), path.parent_path());
}

Result<Manifest> LoadManifestFromStandardInput() {
  Result<std::string> text = ReadStandardInput(kMaxManifestBytes);
  if (!text) return text.status();
  return ParseManifest(*text, kStandardInputName, std::filesystem::path());
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
