#include "manifest_writer.h"

#include <cstdio>
#include <initializer_list>

#include "language.h"
#include "utf8.h"

namespace lumipack {
namespace {

// A value as the reader will give it back: each "${" becomes "$${", which
// the reader turns into a literal "${" rather than a variable.
std::string ValueString(std::string_view utf8) {
  std::string escaped;
  for (size_t i = 0; i < utf8.size(); ++i) {
    if (utf8.substr(i).starts_with("${")) escaped += '$';
    escaped += utf8[i];
  }
  return TomlString(escaped);
}

std::string Hex(uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", value);
  return text;
}

std::string Array(std::initializer_list<std::string> values) {
  std::string out(1, '[');
  for (const std::string& value : values) {
    if (out.size() > 1) out += ", ";
    out += value;
  }
  return out + "]";
}

std::string FlagValue(uint16_t value) {
  return value <= 1 ? (value != 0 ? "true" : "false") : std::to_string(value);
}

std::string ColourValue(uint32_t colour) {
  return (colour >> 24) == 0 ? TomlString(FormatColour(colour)) : Hex(colour);
}

class Writer {
 public:
  explicit Writer(const std::filesystem::path& folder) : folder_(folder) {}

  void Line(std::string_view key, const std::string& value) {
    text_ += std::string(key) + " = " + value + "\n";
  }
  void Blank() { text_ += "\n"; }
  void Table(std::string_view name) { text_ += "\n[" + std::string(name) + "]\n"; }
  void Text(std::string_view key, const std::optional<std::string>& value) {
    if (value) Line(key, ValueString(*value));
  }
  void Path(std::string_view key, const std::optional<std::filesystem::path>& value) {
    if (!value) return;
    std::filesystem::path relative = value->lexically_relative(folder_);
    if (relative.empty()) relative = *value;
    const std::u8string generic = relative.generic_u8string();
    Line(key, ValueString(std::string(generic.begin(), generic.end())));
  }
  void Flag(std::string_view key, const std::optional<uint16_t>& value) {
    if (value) Line(key, FlagValue(*value));
  }
  void Colour(std::string_view key, const std::optional<uint32_t>& value) {
    if (value) Line(key, ColourValue(*value));
  }
  void Comment(std::string_view comment) {
    size_t start = 0;
    while (start <= comment.size()) {
      const size_t end = std::min(comment.find('\n', start), comment.size());
      text_ += "# " + std::string(comment.substr(start, end - start)) + "\n";
      start = end + 1;
    }
  }
  std::string Take() { return std::move(text_); }

 private:
  const std::filesystem::path& folder_;
  std::string text_;
};

}  // namespace

std::string TomlString(std::string_view utf8) {
  std::string out = "\"";
  for (char ch : utf8) {
    const auto c = static_cast<unsigned char>(ch);
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      default:
        if (c < 0x20 || c == 0x7F) {
          char escape[8];
          std::snprintf(escape, sizeof escape, "\\u%04X", c);
          out += escape;
        } else {
          out += ch;
        }
    }
  }
  return out + "\"";
}

std::string WriteManifest(const Manifest& m, const std::filesystem::path& folder,
                          std::string_view comment) {
  Writer w(folder);
  if (!comment.empty()) {
    w.Comment(comment);
    w.Blank();
  }
  w.Text(keys::kTitle, m.title);
  w.Text(keys::kCompany, m.company);
  w.Text(keys::kCopyright, m.copyright);
  w.Text(keys::kCopyrightRest, m.copyright_rest);
  if (m.language) {
    const std::string_view name = LanguageName(*m.language);
    w.Line(keys::kLanguage,
           name.empty() ? std::to_string(*m.language) : TomlString(std::string(name)));
  }
  w.Text(keys::kFileName, m.file_name);
  w.Text(keys::kVersion, m.version);
  w.Text(keys::kUrl, m.url);
  w.Path(keys::kScreensaver, m.screensaver);
  w.Path(keys::kLicence, m.licence);
  w.Path(keys::kInfo, m.info);
  w.Path(keys::kPicture, m.picture);
  w.Path(keys::kUninstaller, m.uninstaller);
  if (!m.uninstaller && m.use_uninstaller) {
    w.Line(keys::kUninstaller, *m.use_uninstaller ? "true" : "false");
  }
  w.Path(keys::kCompanion, m.companion);
  w.Path(keys::kStub, m.stub);
  if (m.fast) w.Line(keys::kCompression, TomlString(*m.fast ? "fast" : "best"));

  if (m.vi_product_name || m.vi_product_version || m.vi_file_version || m.vi_company ||
      m.vi_description || m.vi_copyright) {
    w.Table("version_info");
    w.Text("product_name", m.vi_product_name);
    w.Text("product_version", m.vi_product_version);
    w.Text("file_version", m.vi_file_version);
    w.Text("company", m.vi_company);
    w.Text("description", m.vi_description);
    w.Text("copyright", m.vi_copyright);
  }

  w.Table("options");
  w.Flag("setup_options", m.show_setup_options);
  w.Flag("open_display_properties", m.open_display_properties);
  w.Flag("start_menu_entry", m.create_start_menu_entry);
  w.Flag("desktop_icon", m.create_desktop_icon);
  w.Flag("detect_existing", m.detect_existing);
  w.Flag("info_page", m.show_info_page);

  w.Table("header");
  w.Flag("show_text", m.show_header_text);
  w.Colour("text_color", m.header_text_color);
  w.Colour("accent_color", m.accent_color);

  if (m.reserved_pair || m.extension_numbers || m.extension_texts || m.reserved_field ||
      m.picture_format) {
    w.Table("reserved");
    if (m.reserved_pair) {
      w.Line("pair", Array({Hex((*m.reserved_pair)[0]), Hex((*m.reserved_pair)[1])}));
    }
    if (m.extension_numbers) {
      const auto& n = *m.extension_numbers;
      w.Line("numbers", Array({std::to_string(n[0]), std::to_string(n[1]), std::to_string(n[2]),
                               std::to_string(n[3])}));
    }
    if (m.extension_texts) {
      const auto& t = *m.extension_texts;
      w.Line("texts",
             Array({ValueString(t[0]), ValueString(t[1]), ValueString(t[2]), ValueString(t[3])}));
    }
    if (m.reserved_field) w.Line("field", std::to_string(*m.reserved_field));
    if (m.picture_format) w.Line("picture_format", std::to_string(*m.picture_format));
  }
  return w.Take();
}

}  // namespace lumipack
