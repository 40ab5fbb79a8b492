#include "manifest_keys.h"

#include <algorithm>

namespace lumipack {
namespace {

using M = Manifest;

const ManifestKey kKeys[] = {
    {keys::kTitle, KeyType::kText, &M::title,
     "The screensaver's title; also names the installer, {title}Setup.exe"},
    {keys::kCompany, KeyType::kText, &M::company, "The company or author that makes it"},
    {keys::kCopyright, KeyType::kText, &M::copyright, "The copyright line the installer shows"},
    {keys::kCopyrightRest, KeyType::kText, &M::copyright_rest,
     "Stored after a \"|\" behind the copyright line"},
    {keys::kLanguage, KeyType::kLanguage, &M::language,
     "The installer's language: a name, or an integer stored as is"},
    {keys::kScreensaver, KeyType::kPath, &M::screensaver,
     "The screensaver file (.scr): a 32- or 64-bit PE image"},
    {keys::kFileName, KeyType::kText, &M::file_name,
     "The installed screensaver's file name (.scr is added when missing)"},
    {keys::kVersion, KeyType::kText, &M::version,
     "The version shown in the list of installed programs (at most 64 bytes)"},
    {keys::kUrl, KeyType::kText, &M::url,
     "The screensaver's web page (http:// or https://), shown in the list of installed programs"},
    {keys::kLicence, KeyType::kPath, &M::licence, "The licence text (UTF-8, may hold #if blocks)"},
    {keys::kInfo, KeyType::kPath, &M::info, "The information page's text (UTF-8)"},
    {keys::kPicture, KeyType::kPath, &M::picture, "The header picture: BMP, JPEG or PNG"},
    {keys::kUninstaller, KeyType::kUninstaller, &M::uninstaller,
     "The uninstaller: a program's path, true for the default one, false for none"},
    {keys::kCompanion, KeyType::kPath, &M::companion, "A companion program, stored as is"},
    {keys::kStub, KeyType::kPath, &M::stub,
     "The installer program the package is appended to (default: the one beside lumipack)"},
    {keys::kIcon, KeyType::kPath, &M::icon,
     "The installer's icon (.ico, every size it holds), in place of the stub's"},
    {keys::kArch, KeyType::kArch, &M::arch,
     "The installer's architecture: x86, x64, or auto (the screensaver's own)"},
    {keys::kCompression, KeyType::kCompression, &M::fast,
     "best (zlib level 9) or fast (zlib level 1)"},
    {"version_info.product_name", KeyType::kText, &M::vi_product_name,
     "ProductName in the installer's version information (default: the title)"},
    {"version_info.product_version", KeyType::kText, &M::vi_product_version,
     "ProductVersion (default: version)"},
    {"version_info.file_version", KeyType::kText, &M::vi_file_version,
     "FileVersion (default: version); its first four numbers also make the numeric version"},
    {"version_info.company", KeyType::kText, &M::vi_company,
     "CompanyName (default: company)"},
    {"version_info.description", KeyType::kText, &M::vi_description,
     "FileDescription (default: \"{title} Setup\")"},
    {"version_info.copyright", KeyType::kText, &M::vi_copyright,
     "LegalCopyright (default: copyright)"},
    {"options.setup_options", KeyType::kFlag, &M::show_setup_options, "Show the setup options"},
    {"options.open_display_properties", KeyType::kFlag, &M::open_display_properties,
     "Open the display properties when done"},
    {"options.start_menu_entry", KeyType::kFlag, &M::create_start_menu_entry,
     "Create a Start menu entry"},
    {"options.desktop_icon", KeyType::kFlag, &M::create_desktop_icon, "Create a desktop icon"},
    {"options.detect_existing", KeyType::kFlag, &M::detect_existing, "Detect an installed copy"},
    {"options.info_page", KeyType::kFlag, &M::show_info_page, "Show the information page"},
    {"header.show_text", KeyType::kFlag, &M::show_header_text,
     "Draw the title over the header picture"},
    {"header.text_color", KeyType::kColour, &M::header_text_color, "The header text's colour"},
    {"header.accent_color", KeyType::kColour, &M::accent_color, "The accent colour"},
    {keys::kSignTimestamp, KeyType::kText, &M::sign_timestamp,
     "An RFC 3161 timestamp server (http:// or https://) that countersigns the signature"},
    {keys::kSignDescription, KeyType::kText, &M::sign_description,
     "The program's name in the signature (default: the title)"},
    {keys::kSignUrl, KeyType::kText, &M::sign_url, "The web page named in the signature"},
    {keys::kSignCommand, KeyType::kText, &M::sign_command,
     "A command that signs {file} in place (cloud or hardware keys), instead of --sign-with"},
    {"signing.screensaver", KeyType::kFlag, &M::sign_screensaver,
     "Sign the screensaver too, before it is packed"},
    {"signing.companion", KeyType::kFlag, &M::sign_companion,
     "Sign the companion program too, before it is packed"},
    {"signing.uninstaller", KeyType::kFlag, &M::sign_uninstaller,
     "Sign the author's own uninstaller too (the default one always is)"},
    {keys::kWingetId, KeyType::kText, &M::winget_id,
     "The package's winget identifier, Publisher.Name (two to eight parts)"},
    {keys::kWingetUrl, KeyType::kVersionText, &M::winget_url,
     "Where winget downloads the installer (http:// or https://); ${version} stands for the "
     "package's version"},
    {keys::kWingetLicence, KeyType::kText, &M::winget_licence,
     "The licence's name for winget: MIT, Freeware, Proprietary, ..."},
    {keys::kWingetLicenceUrl, KeyType::kText, &M::winget_licence_url, "The licence's web page"},
    {keys::kWingetShortDescription, KeyType::kText, &M::winget_short_description,
     "One line that says what the screensaver is (3 to 256 characters)"},
    {keys::kWingetMoniker, KeyType::kText, &M::winget_moniker,
     "The short name winget users type (at most 40 characters)"},
    {keys::kWingetTags, KeyType::kTextList, &M::winget_tags,
     "Search terms (at most 16, each at most 40 characters)"},
    {keys::kWingetLocale, KeyType::kText, &M::winget_locale,
     "The locale of these texts, such as en-US (default: from the package's language)"},
    {"reserved.pair", KeyType::kPair, &M::reserved_pair,
     "The record's reserved pair; an extension follows unless either half is 0xFFFFFFFF"},
    {"reserved.numbers", KeyType::kNumbers, &M::extension_numbers, "The extension's numbers"},
    {keys::kExtensionTexts, KeyType::kTexts, &M::extension_texts, "The extension's texts"},
    {"reserved.field", KeyType::kNumber16, &M::reserved_field,
     "The record's reserved field after the colours"},
    {"reserved.picture_format", KeyType::kNumber16, &M::picture_format,
     "The picture format field, stored only when there is no picture"},
};

struct TableRow {
  std::string_view name;
  std::string_view description;
};

const TableRow kTables[] = {
    {"version_info", "The installer's version information, as Windows shows it in its properties"},
    {"options", "What the installer offers, as defaults for the user"},
    {"header", "The header over the installer's pages"},
    {"signing", "How the installer and the programs it carries are signed, when they are"},
    {"winget", "What lumipack winget writes into the winget manifests; the installer gives the rest"},
    {"reserved", "Record fields the installer does not use, kept through extraction"},
};

}  // namespace

std::string_view TableDescription(std::string_view table) {
  for (const TableRow& row : kTables) {
    if (row.name == table) return row.description;
  }
  return {};
}

std::span<const ManifestKey> ManifestKeys() { return kKeys; }

const ManifestKey* FindManifestKey(std::string_view name) {
  for (const ManifestKey& key : kKeys) {
    if (key.name == name) return &key;
  }
  return nullptr;
}

std::vector<std::string_view> ManifestTables() {
  std::vector<std::string_view> tables;
  for (const ManifestKey& key : kKeys) {
    const std::string_view table = TableOf(key.name);
    if (!table.empty() && std::find(tables.begin(), tables.end(), table) == tables.end()) {
      tables.push_back(table);
    }
  }
  return tables;
}

std::string_view TableOf(std::string_view name) {
  const size_t dot = name.find('.');
  return dot == std::string_view::npos ? std::string_view() : name.substr(0, dot);
}

std::string_view LeafOf(std::string_view name) {
  const size_t dot = name.find('.');
  return dot == std::string_view::npos ? name : name.substr(dot + 1);
}

}  // namespace lumipack
