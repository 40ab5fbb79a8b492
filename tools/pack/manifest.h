#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "defines.h"
#include "pe_image.h"
#include "result.h"

namespace lumipack {

// Where a value came from: a line of a manifest, or a command-line option.
struct Origin {
  std::string file;  // the manifest, as messages name it
  uint32_t line = 0;
  uint32_t column = 0;
  std::string option;  // "--title" when the command line gave the value
};

// The settings for one installer as the manifest and the command line give
// them; anything unset takes its default when the installer is built. Texts
// are UTF-8; paths are absolute or relative to the working folder.
struct Manifest {
  std::optional<std::string> title;
  std::optional<std::string> company;
  std::optional<std::string> copyright;       // the line the installer shows
  std::optional<std::string> copyright_rest;  // stored after a "|" when set
  std::optional<uint16_t> language;
  std::optional<std::string> file_name;
  std::optional<std::filesystem::path> screensaver;
  std::optional<std::filesystem::path> licence;
  std::optional<std::filesystem::path> info;
  std::optional<std::filesystem::path> picture;
  std::optional<std::filesystem::path> uninstaller;  // the author's own
  // Without a path of its own: false for none, true for the default
  // uninstaller, which must then be found; unset for the default where found.
  std::optional<bool> use_uninstaller;
  std::optional<std::string> version;  // shown in the installed-programs list
  std::optional<std::string> url;      // the screensaver's web page, shown there
  std::optional<std::filesystem::path> companion;
  std::optional<std::filesystem::path> stub;
  // The installer's own icon (.ico), replacing the stub's.
  std::optional<std::filesystem::path> icon;
  // The installer's version information; each unset text has a default.
  std::optional<std::string> vi_product_name;
  std::optional<std::string> vi_product_version;
  std::optional<std::string> vi_file_version;
  std::optional<std::string> vi_company;
  std::optional<std::string> vi_description;
  std::optional<std::string> vi_copyright;
  std::optional<Arch> arch;  // unset: the screensaver's own architecture
  std::optional<bool> fast;  // unset or false: the best compression

  // The signature's parts that are not secret; they apply when signing.
  std::optional<std::string> sign_timestamp;  // an RFC 3161 server's URL
  std::optional<std::string> sign_description;
  std::optional<std::string> sign_url;
  // A command that signs a file in place, for keys lumipack cannot reach.
  std::optional<std::string> sign_command;
  // Which embedded programs are signed too (the default uninstaller always
  // is): the screensaver, the companion, the author's own uninstaller.
  std::optional<uint16_t> sign_screensaver;
  std::optional<uint16_t> sign_companion;
  std::optional<uint16_t> sign_uninstaller;

  // What `lumipack winget` writes into the winget manifests beside what it
  // reads from the installer.
  std::optional<std::string> winget_id;
  std::optional<std::string> winget_url;  // "${version}" stands for the package's version
  std::optional<std::string> winget_licence;
  std::optional<std::string> winget_licence_url;
  std::optional<std::string> winget_short_description;
  std::optional<std::string> winget_moniker;
  std::optional<std::vector<std::string>> winget_tags;
  std::optional<std::string> winget_locale;

  std::optional<uint16_t> show_setup_options;
  std::optional<uint16_t> open_display_properties;
  std::optional<uint16_t> create_start_menu_entry;
  std::optional<uint16_t> create_desktop_icon;
  std::optional<uint16_t> detect_existing;
  std::optional<uint16_t> show_info_page;

  std::optional<uint16_t> show_header_text;
  std::optional<uint32_t> header_text_color;  // 0x00BBGGRR
  std::optional<uint32_t> accent_color;       // 0x00BBGGRR

  std::optional<std::array<uint32_t, 2>> reserved_pair;
  std::optional<std::array<uint16_t, 4>> extension_numbers;
  std::optional<std::array<std::string, 4>> extension_texts;
  std::optional<uint16_t> reserved_field;
  std::optional<uint16_t> picture_format;  // only without a picture

  // Where each value came from, by key, so messages about a value can
  // point at it.
  std::map<std::string, Origin> origins;

  // How messages name a value's place: "lumipack.toml:3: title", "--title",
  // or the bare key when nothing set it.
  std::string OriginOf(const std::string& key) const;
  // The same as a Place, for JSON readers.
  Place PlaceOf(const std::string& key) const;
};

// The manifest keys, dotted for those inside a table.
namespace keys {
inline constexpr const char* kTitle = "title";
inline constexpr const char* kCompany = "company";
inline constexpr const char* kCopyright = "copyright";
inline constexpr const char* kCopyrightRest = "copyright_rest";
inline constexpr const char* kLanguage = "language";
inline constexpr const char* kFileName = "file_name";
inline constexpr const char* kScreensaver = "screensaver";
inline constexpr const char* kLicence = "licence";
inline constexpr const char* kInfo = "info";
inline constexpr const char* kPicture = "picture";
inline constexpr const char* kUninstaller = "uninstaller";
inline constexpr const char* kCompanion = "companion";
inline constexpr const char* kStub = "stub";
inline constexpr const char* kIcon = "icon";
inline constexpr const char* kArch = "arch";
inline constexpr const char* kCompression = "compression";
inline constexpr const char* kExtensionTexts = "reserved.texts";
inline constexpr const char* kVersion = "version";
inline constexpr const char* kUrl = "url";
inline constexpr const char* kSignTimestamp = "signing.timestamp";
inline constexpr const char* kSignDescription = "signing.description";
inline constexpr const char* kSignUrl = "signing.url";
inline constexpr const char* kSignCommand = "signing.command";
inline constexpr const char* kWingetId = "winget.id";
inline constexpr const char* kWingetUrl = "winget.url";
inline constexpr const char* kWingetLicence = "winget.licence";
inline constexpr const char* kWingetLicenceUrl = "winget.licence_url";
inline constexpr const char* kWingetShortDescription = "winget.short_description";
inline constexpr const char* kWingetMoniker = "winget.moniker";
inline constexpr const char* kWingetTags = "winget.tags";
inline constexpr const char* kWingetLocale = "winget.locale";
}  // namespace keys

// A manifest is small; anything larger is not one.
inline constexpr uint64_t kMaxManifestBytes = 1u << 20;

// Reads a manifest file. Relative paths in it are taken from the manifest's
// folder. A failure names the file, the line and the key.
// ${NAME} and ${env:NAME} in its strings are replaced from `defines`.
Result<Manifest> LoadManifest(const std::filesystem::path& path, const Defines& defines = {});

// How messages name a manifest read from standard input; relative paths in
// it are taken from the working folder.
inline constexpr const char* kStandardInputName = "<stdin>";
Result<Manifest> LoadManifestFromStandardInput(const Defines& defines = {});

// Parses manifest text; `name` is the file name for messages and `folder`
// the folder that relative paths start from.
Result<Manifest> ParseManifest(std::string_view text, const std::string& name,
                               const std::filesystem::path& folder, const Defines& defines = {});

// "#RRGGBB" (letter case ignored) as 0x00BBGGRR.
std::optional<uint32_t> ParseColour(std::string_view text);
// 0x00BBGGRR as "#RRGGBB"; the top byte is not shown.
std::string FormatColour(uint32_t colour);

}  // namespace lumipack
