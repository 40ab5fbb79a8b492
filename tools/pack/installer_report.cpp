#include "installer_report.h"

#include <cstdio>
#include <nlohmann/json.hpp>

#include "language.h"
#include "manifest.h"
#include "package/default_uninstaller.h"
#include "package/install_names.h"
#include "package/language_filter.h"
#include "pe_image.h"

namespace lumipack {
namespace {

using nlohmann::json;

std::string Hex(uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", value);
  return text;
}

std::string LanguageText(uint16_t language) {
  const std::string_view name = LanguageName(language);
  return std::to_string(language) + " (" + (name.empty() ? "unknown" : std::string(name)) + ")";
}

std::string PeText(const std::optional<lumiset::PeFacts>& pe) {
  return pe ? std::string(PeKindName(*pe)) : "not a PE image";
}

// How `inspect` names what it knows of an item stored as is: its bytes
// were not checked, because nothing in the package could check them.
constexpr const char* kNotChecked = "stored, not checked";

std::string SizesText(const ItemCheck& item) {
  if (!item.present) return "none";
  std::string text = std::to_string(item.stored_size) + " bytes at " + std::to_string(item.offset);
  if (!item.compressed) {
    return text + ": " + kNotChecked + " (kept as is, without a check value)";
  }
  if (item.capacity) text += ", stated size " + std::to_string(*item.capacity);
  if (item.status == lumiset::DecodeStatus::kOk) {
    text += ", decodes to " + std::to_string(item.decoded_size) + " bytes";
  }
  return text + ": " + std::string(DecodeStatusName(item.status));
}

json ItemJson(const ItemCheck& item) {
  json j = {{"present", item.present}};
  if (!item.present) return j;
  j["offset"] = item.offset;
  j["stored_size"] = item.stored_size;
  j["compressed"] = item.compressed;
  j["capacity"] = item.capacity ? json(*item.capacity) : json(nullptr);
  j["decoded_size"] = item.decoded_size;
  j["checked"] = item.compressed;
  j["status"] = item.compressed ? std::string(DecodeStatusName(item.status)) : kNotChecked;
  j["ok"] = item.ok();
  return j;
}

json PeJson(const std::optional<lumiset::PeFacts>& pe) {
  if (!pe) return nullptr;
  return pe->is_64bit ? "64-bit" : "32-bit";
}

// "x86", "x64", or null for a file that is neither.
json ArchJson(const std::optional<lumiset::PeFacts>& pe) {
  if (!pe) return nullptr;
  const std::optional<Arch> arch = ArchOf(*pe);
  return arch ? json(ArchName(*arch)) : json(nullptr);
}

// Which uninstaller a package carries: "default" (Lumiset's, which honours
// /q), "author" (the package author's own) or "none".
std::string UninstallerKind(const InstallerContents& c) {
  if (!c.uninstaller.present) return "none";
  return c.uninstaller.ok() && lumiset::IsDefaultUninstaller(c.uninstaller_bytes) ? "default"
                                                                                  : "author";
}

void PrintText(std::ostream& out, const char* label, const std::string& utf8) {
  out << "  " << label;
  if (utf8.empty()) {
    out << " (empty)\n";
    return;
  }
  out << ":\n";
  for (std::string_view line : lumiset::SplitLines(utf8)) out << "    | " << line << "\n";
}

// "signed, intact (SHA-256)", "unsigned", ...: an embedded program's own
// signature.
std::string SignatureText(const SignatureCheck& check) {
  if (check.state == SignatureCheck::State::kUnsigned) return "unsigned";
  return "signed, " + std::string(SignatureStateName(check.state)) +
         (check.algorithm.empty() ? "" : " (" + check.algorithm + ")");
}

json SignatureJson(const SignatureCheck& check) {
  return {{"present", check.state != SignatureCheck::State::kUnsigned},
          {"digest", std::string(SignatureStateName(check.state))},
          {"digest_algorithm", check.algorithm.empty() ? json(nullptr) : json(check.algorithm)}};
}

// Where an installation of this package writes its registry keys, in
// either scope: what a deployment tool's detection rule looks for. A 32-bit
// stub's machine keys lie in the registry's 32-bit view.
struct InstallationKeys {
  std::string user_record;
  std::string machine_record;
  std::string entry;
  bool thirty_two_bit_view = false;
};

InstallationKeys KeysOf(const InstallerContents& c, const lumiset::SetupRecord& r) {
  const std::string record = lumiset::RecordKeyPath(c.Utf8(r.company), c.Utf8(r.title));
  const std::string entry = lumiset::UninstallEntryKeyPath(c.Utf8(r.title));
  return {"HKEY_CURRENT_USER\\" + record, "HKEY_LOCAL_MACHINE\\" + record,
          "HKEY_LOCAL_MACHINE\\" + entry, c.stub_pe && !c.stub_pe->is_64bit};
}

}  // namespace

void PrintInspection(const InstallerContents& c, std::ostream& out) {
  const lumiset::PeFacts& pe = c.where.pe;
  out << "installer      " << c.name << ", " << c.file_size << " bytes\n";
  out << "stub           " << c.where.package_offset << " bytes, " << PeText(c.stub_pe) << "\n";
  out << "package        at " << c.where.package_offset << ", trailer at " << c.where.trailer_offset
      << "\n";
  if (pe.cert_offset != 0) {
    out << "signature      present: certificate table at " << pe.cert_offset << ", " << pe.cert_size
        << " bytes; the package is found before it\n";
    out << "  digest       " << SignatureStateName(c.signature.state);
    if (!c.signature.algorithm.empty()) out << " (" << c.signature.algorithm << ")";
    out << "\n";
  } else {
    out << "signature      none\n";
  }
  out << "record         " << SizesText(c.record_item) << "\n";
  if (c.record) {
    const lumiset::SetupRecord& r = *c.record;
    auto text = [&](const std::string& ansi) { return c.Utf8(ansi); };
    auto flag = [](uint16_t v) { return std::to_string(v) + (v != 0 ? " (on)" : " (off)"); };
    auto colour = [](uint32_t v) { return FormatColour(v) + " (" + Hex(v) + ")"; };
    out << "  title                    " << text(r.title) << "\n";
    out << "  reserved pair            " << Hex(r.reserved_low) << " " << Hex(r.reserved_high)
        << (r.HasExtension() ? " (extension follows)" : " (no extension)") << "\n";
    if (r.HasExtension()) {
      out << "  extension numbers        " << r.extension.a << " " << r.extension.b << " "
          << r.extension.c << " " << r.extension.d << "\n";
      for (const std::string& t : r.extension.texts) {
        out << "  extension text           \"" << text(t) << "\"\n";
      }
    }
    out << "  copyright                " << text(r.copyright) << "\n";
    out << "  copyright line           " << text(lumiset::CopyrightLineOf(r.copyright)) << "\n";
    out << "  company                  " << text(r.company) << "\n";
    out << "  language                 " << LanguageText(r.language) << ", texts read as "
        << CodePageName(c.code_page) << " outside language blocks\n";
    out << "  screensaver file name    " << text(r.scr_file_name) << "\n";
    out << "  picture format           " << r.picture_format << " ("
        << PictureFormatName(r.picture_format) << ")\n";
    out << "  header text              " << flag(r.show_header_text) << "\n";
    out << "  header text colour       " << colour(r.header_text_color) << "\n";
    out << "  accent colour            " << colour(r.accent_color) << "\n";
    out << "  reserved field           " << r.reserved13 << "\n";
    out << "  setup options shown      " << flag(r.show_setup_options) << "\n";
    out << "  open display properties  " << flag(r.open_display_properties) << "\n";
    out << "  start menu entry         " << flag(r.create_start_menu_entry) << "\n";
    out << "  desktop icon             " << flag(r.create_desktop_icon) << "\n";
    out << "  detect installed copy    " << flag(r.detect_existing) << "\n";
    out << "  information page shown   " << flag(r.show_info_page) << "\n";
    out << "  version                  "
        << (r.version.empty() ? std::string("(none)") : text(r.version)) << "\n";
    out << "  web page                 "
        << (r.about_url.empty() ? std::string("(none)") : text(r.about_url)) << "\n";
    out << "  screensaver block length " << r.screensaver_block_length
        << (c.BlockLengthMatches() ? " (matches the block)" : " (differs from the block)") << "\n";
    PrintText(out, "licence text", c.Utf8(r.licence_text, true));
    PrintText(out, "information text", c.Utf8(r.info_text, true));
    const InstallationKeys keys = KeysOf(c, r);
    out << "installs for   the running user; every user with /allusers or when run as the "
           "system account\n";
    out << "  record                   " << keys.user_record << "\n";
    out << "  record for every user    " << keys.machine_record << "\n";
    out << "  installed-programs entry " << keys.entry << "\n";
    if (keys.thirty_two_bit_view) {
      out << "  (a 32-bit installer: on 64-bit Windows the HKEY_LOCAL_MACHINE keys lie under "
             "SOFTWARE\\WOW6432Node)\n";
    }
  }
  out << "picture        " << SizesText(c.picture);
  if (c.picture.present && c.picture.ok()) {
    if (c.picture_info) {
      out << ", " << PictureFormatName(c.picture_info->format);
      if (c.picture_info->width && c.picture_info->height) {
        out << " " << *c.picture_info->width << "x" << *c.picture_info->height;
      }
    }
    out << (c.picture_problem.empty() ? ", decodes whole" : ", " + c.picture_problem);
  }
  out << "\n";
  out << "uninstaller    " << SizesText(c.uninstaller);
  if (c.uninstaller.present && c.uninstaller.ok()) out << ", " << PeText(c.uninstaller_pe);
  if (const std::string kind = UninstallerKind(c); kind == "default") {
    out << ", Lumiset's default uninstaller";
  } else if (kind == "author") {
    out << ", the package author's own";
  }
  if (c.uninstaller_pe) out << ", " << SignatureText(c.uninstaller_signature);
  out << "\n";
  out << "companion      " << SizesText(c.companion);
  if (c.companion.present) out << ", " << PeText(c.companion_pe);
  if (c.companion_pe) out << ", " << SignatureText(c.companion_signature);
  out << "\n";
  out << "screensaver    " << SizesText(c.screensaver);
  if (c.screensaver.ok()) out << ", " << PeText(c.screensaver_pe);
  if (c.screensaver_pe) out << ", " << SignatureText(c.screensaver_signature);
  out << "\n";
  if (c.screensaver.ok()) {
    if (c.screensaver_findings.empty()) {
      out << "  lint         nothing found: a Windows GUI program that needs only what Windows "
             "ships\n";
    }
    for (const LintFinding& finding : c.screensaver_findings) {
      out << "  lint         warning: " << finding.message << "\n";
    }
  }
  const std::string problem = c.FirstProblem();
  out << "result         ";
  if (!problem.empty()) {
    out << "damaged: " << problem << "\n";
  } else if (c.companion.present) {
    out << "every compressed item decodes; the companion program is " << kNotChecked << "\n";
  } else {
    out << "every item decodes\n";
  }
}

std::string InspectionJson(const InstallerContents& c) {
  const lumiset::PeFacts& pe = c.where.pe;
  json j;
  j["file"] = c.name;
  j["file_size"] = c.file_size;
  j["ok"] = c.ok();
  j["problem"] = c.ok() ? json(nullptr) : json(c.FirstProblem());
  j["stub"] = {
      {"size", c.where.package_offset}, {"pe", PeJson(c.stub_pe)}, {"arch", ArchJson(c.stub_pe)}};
  j["package_offset"] = c.where.package_offset;
  j["trailer_offset"] = c.where.trailer_offset;
  j["signature"] = {{"present", pe.cert_offset != 0},
                    {"offset", pe.cert_offset},
                    {"size", pe.cert_size},
                    {"digest", std::string(SignatureStateName(c.signature.state))},
                    {"digest_algorithm", c.signature.algorithm.empty()
                                             ? json(nullptr)
                                             : json(c.signature.algorithm)}};
  j["code_page"] = std::string(CodePageName(c.code_page));  // outside language blocks

  json record = {{"item", ItemJson(c.record_item)}};
  if (c.record) {
    const lumiset::SetupRecord& r = *c.record;
    auto text = [&](const std::string& ansi) { return c.Utf8(ansi); };
    const std::string_view language = LanguageName(r.language);
    json f;
    f["title"] = text(r.title);
    f["reserved_pair"] = {r.reserved_low, r.reserved_high};
    if (r.HasExtension()) {
      json texts = json::array();
      for (const std::string& t : r.extension.texts) texts.push_back(text(t));
      f["extension"] = {{"numbers", {r.extension.a, r.extension.b, r.extension.c, r.extension.d}},
                        {"texts", texts}};
    } else {
      f["extension"] = nullptr;
    }
    f["copyright"] = text(r.copyright);
    f["copyright_line"] = text(lumiset::CopyrightLineOf(r.copyright));
    f["company"] = text(r.company);
    f["licence_text"] = c.Utf8(r.licence_text, true);
    f["language"] = r.language;
    f["language_name"] = language.empty() ? json(nullptr) : json(std::string(language));
    f["scr_file_name"] = text(r.scr_file_name);
    f["picture_format"] = r.picture_format;
    f["show_header_text"] = r.show_header_text;
    f["header_text_color"] = FormatColour(r.header_text_color);
    f["header_text_color_value"] = r.header_text_color;
    f["accent_color"] = FormatColour(r.accent_color);
    f["accent_color_value"] = r.accent_color;
    f["reserved_field"] = r.reserved13;
    f["show_setup_options"] = r.show_setup_options;
    f["open_display_properties"] = r.open_display_properties;
    f["create_start_menu_entry"] = r.create_start_menu_entry;
    f["create_desktop_icon"] = r.create_desktop_icon;
    f["detect_existing"] = r.detect_existing;
    f["show_info_page"] = r.show_info_page;
    f["screensaver_block_length"] = r.screensaver_block_length;
    f["info_text"] = c.Utf8(r.info_text, true);
    f["version"] = r.version.empty() ? json(nullptr) : json(text(r.version));
    f["url"] = r.about_url.empty() ? json(nullptr) : json(text(r.about_url));
    record["fields"] = f;
    const InstallationKeys keys = KeysOf(c, r);
    j["installation"] = {{"scope", "user"},
                         {"every_user_when", {"/allusers", "system account"}},
                         {"record_key", keys.user_record},
                         {"every_user_record_key", keys.machine_record},
                         {"uninstall_key", keys.entry},
                         {"registry_view", keys.thirty_two_bit_view ? "32-bit" : "64-bit"}};
  } else {
    record["fields"] = nullptr;
    j["installation"] = nullptr;
  }
  j["record"] = record;

  json picture = ItemJson(c.picture);
  if (c.picture.present && c.picture.ok()) {
    picture["problem"] = c.picture_problem.empty() ? json(nullptr) : json(c.picture_problem);
  }
  if (c.picture_info) {
    picture["format"] = std::string(PictureFormatName(c.picture_info->format));
    picture["width"] = c.picture_info->width ? json(*c.picture_info->width) : json(nullptr);
    picture["height"] = c.picture_info->height ? json(*c.picture_info->height) : json(nullptr);
  }
  json uninstaller = ItemJson(c.uninstaller);
  if (c.uninstaller.present) uninstaller["pe"] = PeJson(c.uninstaller_pe);
  uninstaller["kind"] = UninstallerKind(c);
  if (c.uninstaller_pe) uninstaller["signature"] = SignatureJson(c.uninstaller_signature);
  json companion = ItemJson(c.companion);
  if (c.companion.present) companion["pe"] = PeJson(c.companion_pe);
  if (c.companion_pe) companion["signature"] = SignatureJson(c.companion_signature);
  json screensaver = ItemJson(c.screensaver);
  screensaver["pe"] = PeJson(c.screensaver_pe);
  if (c.screensaver_pe) screensaver["signature"] = SignatureJson(c.screensaver_signature);
  screensaver["record_length_matches"] = c.BlockLengthMatches();
  // Warnings as build and check give them; null when it does not decode.
  json lint = c.screensaver.ok() ? json::array() : json(nullptr);
  for (const LintFinding& finding : c.screensaver_findings) {
    lint.push_back({{"rule", finding.rule}, {"message", finding.message}});
  }
  screensaver["lint"] = lint;
  j["items"] = {{"picture", picture},
                {"uninstaller", uninstaller},
                {"companion", companion},
                {"screensaver", screensaver}};
  return j.dump(2, ' ', false, json::error_handler_t::replace) + "\n";
}

std::string InspectionFailureJson(const std::string& file, const std::string& problem) {
  const json j = {{"file", file}, {"ok", false}, {"problem", problem}};
  return j.dump(2, ' ', false, json::error_handler_t::replace) + "\n";
}

}  // namespace lumipack
