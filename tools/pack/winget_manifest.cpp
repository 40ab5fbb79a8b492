#include "winget_manifest.h"

#include <array>
#include <cstdio>
#include <set>

#include "base/text.h"
#include "manifest_keys.h"
#include "utf8.h"

namespace lumipack {
namespace {

// Field limits of winget's manifest schema, in characters.
constexpr size_t kMaxIdentifier = 128;
constexpr size_t kMaxIdentifierPart = 32;
constexpr size_t kMinIdentifierParts = 2;
constexpr size_t kMaxIdentifierParts = 8;
constexpr size_t kMaxVersion = 128;
constexpr size_t kMaxUrl = 2048;
constexpr size_t kMaxLocale = 20;
constexpr size_t kMinPublisher = 2, kMaxPublisher = 256;
constexpr size_t kMinPackageName = 2, kMaxPackageName = 256;
constexpr size_t kMinLicence = 3, kMaxLicence = 512;
constexpr size_t kMinCopyright = 3, kMaxCopyright = 512;
constexpr size_t kMinShortDescription = 3, kMaxShortDescription = 256;
constexpr size_t kMaxTag = 40;
constexpr size_t kMaxTags = 16;
constexpr size_t kMaxDisplayName = 256;
constexpr size_t kMaxDisplayVersion = 128;
constexpr size_t kMaxProductCode = 255;

// Characters winget refuses in identifiers and versions: those Windows
// refuses in file names, and control characters.
constexpr std::u32string_view kPathCharacters = U"\\/:*?\"<>|";

bool IsControl(char32_t c) { return c < 0x20 || c == 0x7F || (c >= 0x80 && c < 0xA0); }

// What the schema's \s matches beyond ASCII.
bool IsSpace(char32_t c) {
  return c == U' ' || (c >= 0x09 && c <= 0x0D) || c == 0xA0 || c == 0x1680 ||
         (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F ||
         c == 0x205F || c == 0x3000 || c == 0xFEFF;
}

std::string Count(size_t n, const char* what) {
  return std::to_string(n) + " " + what + (n == 1 ? "" : "s");
}

// The text's characters; a problem for text that is not UTF-8.
Result<std::u32string> CharactersOf(std::string_view text) {
  std::optional<std::u32string> chars = DecodeUtf8(text);
  if (!chars) return Status::Failure("is not UTF-8");
  return std::move(*chars);
}

std::optional<std::string> LengthProblem(size_t length, size_t min, size_t max) {
  if (length < min) return "has " + Count(length, "character") + "; winget wants at least " + std::to_string(min);
  if (length > max) return "has " + Count(length, "character") + "; winget takes at most " + std::to_string(max);
  return std::nullopt;
}

std::optional<std::string> ControlProblem(std::u32string_view chars) {
  for (char32_t c : chars) {
    if (IsControl(c)) return "holds the control character " + DescribeChar(c);
  }
  return std::nullopt;
}

// A failure about a value of the manifest or the command line.
Status SettingFailure(const Manifest& m, const char* key, const std::string& value,
                      const std::string& problem) {
  return Status::Failure(m.OriginOf(key) + ": \"" + value + "\" " + problem, m.PlaceOf(key));
}

// Where each listing value is set, for the message about a missing one.
struct Required {
  const char* key;
  const char* option;
  const std::optional<std::string>* value;
};

std::string Line(std::string_view key, std::string_view value) {
  return std::string(key) + ": " + std::string(value) + "\n";
}

std::string Header(std::string_view type) {
  return "# Created with lumipack " LUMIPACK_VERSION "\n"
         "# yaml-language-server: $schema=https://aka.ms/winget-manifest." +
         std::string(type) + "." + kWingetManifestVersion + ".schema.json\n\n";
}

std::string Footer(std::string_view type) {
  return Line("ManifestType", type) + Line("ManifestVersion", kWingetManifestVersion);
}

}  // namespace

std::string_view LocaleOfLanguage(uint16_t language) {
  static constexpr std::array<std::string_view, 9> kLocales = {
      "en-US", "en-US", "fr-FR", "de-DE", "es-ES", "it-IT", "nl-NL", "pt-BR", "ru-RU"};
  return language < kLocales.size() ? kLocales[language] : kLocales[0];
}

std::optional<std::string> TextProblem(std::string_view text, size_t min, size_t max) {
  Result<std::u32string> chars = CharactersOf(text);
  if (!chars) return chars.message();
  if (std::optional<std::string> p = ControlProblem(*chars)) return p;
  return LengthProblem(chars->size(), min, max);
}

std::optional<std::string> PackageIdentifierProblem(std::string_view text) {
  Result<std::u32string> chars = CharactersOf(text);
  if (!chars) return chars.message();
  if (chars->size() > kMaxIdentifier) return LengthProblem(chars->size(), 1, kMaxIdentifier);
  const std::string rule = "; a winget identifier is " + std::to_string(kMinIdentifierParts) +
                           " to " + std::to_string(kMaxIdentifierParts) +
                           " parts joined by dots, such as Publisher.Name, each of 1 to " +
                           std::to_string(kMaxIdentifierPart) +
                           " characters without blanks, control characters or \\ / : * ? \" < > |";
  size_t parts = 1;
  size_t part_length = 0;
  for (char32_t c : *chars) {
    if (c == U'.') {
      if (part_length == 0) return "has an empty part" + rule;
      ++parts;
      part_length = 0;
      continue;
    }
    if (IsSpace(c) || IsControl(c) || kPathCharacters.find(c) != std::u32string_view::npos) {
      return "holds " + DescribeChar(c) + rule;
    }
    if (++part_length > kMaxIdentifierPart) return "has a part longer than " + std::to_string(kMaxIdentifierPart) + " characters" + rule;
  }
  if (part_length == 0) return "has an empty part" + rule;
  if (parts < kMinIdentifierParts || parts > kMaxIdentifierParts) return "has " + Count(parts, "part") + rule;
  return std::nullopt;
}

std::optional<std::string> PackageVersionProblem(std::string_view text) {
  Result<std::u32string> chars = CharactersOf(text);
  if (!chars) return chars.message();
  for (char32_t c : *chars) {
    if (IsControl(c) || kPathCharacters.find(c) != std::u32string_view::npos) {
      return "holds " + DescribeChar(c) +
             ", which a winget version cannot hold (no control characters, no \\ / : * ? \" < > |)";
    }
  }
  return LengthProblem(chars->size(), 1, kMaxVersion);
}

std::optional<std::string> WingetUrlProblem(std::string_view text) {
  Result<std::u32string> chars = CharactersOf(text);
  if (!chars) return chars.message();
  const std::string lower = lumiset::AsciiLower(text);
  const size_t scheme = lower.starts_with("https://") ? 8 : lower.starts_with("http://") ? 7 : 0;
  if (scheme == 0 || text.size() == scheme) {
    return "is not a web address (http:// or https:// and more)";
  }
  for (char32_t c : *chars) {
    if (IsSpace(c) || IsControl(c)) return "holds " + DescribeChar(c) + ", which a web address cannot hold";
  }
  return LengthProblem(chars->size(), 1, kMaxUrl);
}

std::optional<std::string> LocaleProblem(std::string_view text) {
  // A language of 2 or 3 letters (or i-..., x-... tags), then -subtags of
  // 1 to 8 letters: en-US, de-DE, zh-Hant-TW.
  const std::string bad = "is not a locale such as en-US or de-DE";
  if (text.size() > kMaxLocale) return bad;
  std::vector<std::string_view> parts;
  for (size_t at = 0;;) {
    const size_t dash = text.find('-', at);
    parts.push_back(text.substr(at, dash == std::string_view::npos ? dash : dash - at));
    if (dash == std::string_view::npos) break;
    at = dash + 1;
  }
  auto letters = [](std::string_view part, size_t min, size_t max) {
    if (part.size() < min || part.size() > max) return false;
    for (char c : part) {
      if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'))) return false;
    }
    return true;
  };
  size_t first_subtag = 1;
  const std::string head = lumiset::AsciiLower(parts[0]);
  if ((head == "i" || head == "x") && parts.size() > 1) {
    if (!letters(parts[1], 1, head == "i" ? text.size() : 8)) return bad;
    first_subtag = 2;
  } else if (!letters(parts[0], 2, 3)) {
    return bad;
  }
  for (size_t i = first_subtag; i < parts.size(); ++i) {
    if (!letters(parts[i], 1, 8)) return bad;
  }
  return std::nullopt;
}

std::string YamlQuoted(std::string_view text) {
  std::string out = "\"";
  const std::u32string chars = DecodeUtf8(text).value_or(U"");
  for (char32_t c : chars) {
    char escape[16];
    if (c == U'"' || c == U'\\') {
      out.push_back('\\');
      out.push_back(static_cast<char>(c));
    } else if (c < 0x20 || c == 0x7F) {
      std::snprintf(escape, sizeof escape, "\\x%02X", static_cast<unsigned>(c));
      out += escape;
    } else if (IsControl(c) || c == 0x2028 || c == 0x2029 || c == 0xFEFF) {
      std::snprintf(escape, sizeof escape, "\\u%04X", static_cast<unsigned>(c));
      out += escape;
    } else {
      AppendUtf8(out, c);
    }
  }
  return out + "\"";
}

Result<std::vector<WingetFile>> MakeWingetManifests(const WingetPackage& p, const Manifest& m) {
  // What winget requires that only the author can say.
  const Required required[] = {
      {keys::kWingetId, "--id", &m.winget_id},
      {keys::kWingetUrl, "--url", &m.winget_url},
      {keys::kWingetLicence, "--licence", &m.winget_licence},
      {keys::kWingetShortDescription, "--short-description", &m.winget_short_description},
  };
  for (const Required& r : required) {
    if (!*r.value) {
      return Status::Failure(std::string("no ") + r.key + ", which winget requires: set '" +
                                 std::string(LeafOf(r.key)) +
                                 "' in the [winget] table of the manifest (--manifest) or pass " +
                                 r.option,
                             Place{{}, 0, 0, r.key});
    }
  }
  const std::string url = lumiset::ReplaceAll(*m.winget_url, "${version}", p.version);
  const std::string locale = m.winget_locale.value_or(std::string(LocaleOfLanguage(p.language)));
  struct Check {
    const char* key;
    std::string value;
    std::optional<std::string> problem;
  };
  std::vector<Check> checks = {
      {keys::kWingetId, *m.winget_id, PackageIdentifierProblem(*m.winget_id)},
      {keys::kWingetUrl, url, WingetUrlProblem(url)},
      {keys::kWingetLicence, *m.winget_licence,
       TextProblem(*m.winget_licence, kMinLicence, kMaxLicence)},
      {keys::kWingetShortDescription, *m.winget_short_description,
       TextProblem(*m.winget_short_description, kMinShortDescription, kMaxShortDescription)},
      {keys::kWingetLocale, locale, LocaleProblem(locale)},
  };
  if (m.winget_licence_url) {
    checks.push_back({keys::kWingetLicenceUrl, *m.winget_licence_url,
                      WingetUrlProblem(*m.winget_licence_url)});
  }
  if (m.winget_moniker) {
    checks.push_back({keys::kWingetMoniker, *m.winget_moniker, TextProblem(*m.winget_moniker, 1, kMaxTag)});
  }
  const std::vector<std::string> tags = m.winget_tags.value_or(std::vector<std::string>());
  std::set<std::string> seen;
  for (const std::string& tag : tags) {
    std::optional<std::string> problem = TextProblem(tag, 1, kMaxTag);
    if (!problem && !seen.insert(tag).second) problem = "is given twice";
    checks.push_back({keys::kWingetTags, tag, problem});
  }
  for (const Check& c : checks) {
    if (c.problem) return SettingFailure(m, c.key, c.value, *c.problem);
  }
  if (tags.size() > kMaxTags) {
    return Status::Failure(m.OriginOf(keys::kWingetTags) + ": " + Count(tags.size(), "tag") +
                               "; winget takes at most " + std::to_string(kMaxTags),
                           m.PlaceOf(keys::kWingetTags));
  }

  // What the installer holds, as winget's fields take it.
  const std::tuple<const char*, const char*, const std::string*, std::optional<std::string>>
      package_checks[] = {
          {"version", "PackageVersion", &p.version, PackageVersionProblem(p.version)},
          {"version", "DisplayVersion", &p.version, TextProblem(p.version, 1, kMaxDisplayVersion)},
          {"title", "PackageName", &p.title, TextProblem(p.title, kMinPackageName, kMaxPackageName)},
          {"company", "Publisher", &p.company,
           TextProblem(p.company, kMinPublisher, kMaxPublisher)},
          {"title", "DisplayName", &p.display_name, TextProblem(p.display_name, 1, kMaxDisplayName)},
          {"title", "ProductCode", &p.product_code, TextProblem(p.product_code, 1, kMaxProductCode)},
      };
  for (const auto& [setting, field, value, problem] : package_checks) {
    if (problem) {
      return Status::Failure(std::string("the installer's ") + setting + ": \"" + *value + "\" " +
                             *problem + " (winget's " + field + "); change '" + setting +
                             "' and build the installer again");
    }
  }

  const std::string& id = *m.winget_id;
  const std::string identity = Line("PackageIdentifier", YamlQuoted(id)) +
                               Line("PackageVersion", YamlQuoted(p.version));

  std::string version = Header("version") + identity + Line("DefaultLocale", YamlQuoted(locale)) +
                        Footer("version");

  std::string installer = Header("installer") + identity;
  installer += Line("InstallerType", "exe") + Line("Scope", "machine");
  installer += "InstallModes:\n- interactive\n- silent\n- silentWithProgress\n";
  installer += "InstallerSwitches:\n";
  installer += "  " + Line("Silent", YamlQuoted(kWingetSilent));
  installer += "  " + Line("SilentWithProgress", YamlQuoted(kWingetSilentWithProgress));
  installer += "  " + Line("Log", YamlQuoted(kWingetLog));
  // The installer always installs into the system folder.
  installer += "UnsupportedArguments:\n- location\n";
  installer += "ExpectedReturnCodes:\n";
  installer += "- " + Line("InstallerReturnCode", std::to_string(kDamagedInstallerExitCode));
  installer += "  " + Line("ReturnResponse", "contactSupport");
  if (!p.url.empty() && !WingetUrlProblem(p.url)) {
    installer += "  " + Line("ReturnResponseUrl", YamlQuoted(p.url));
  }
  // Over an installed copy the installer installs again, in place.
  installer += Line("UpgradeBehavior", "install");
  installer += "Installers:\n";
  installer += "- " + Line("Architecture", ArchName(p.arch));
  installer += "  " + Line("InstallerUrl", YamlQuoted(url));
  installer += "  " + Line("InstallerSha256", p.sha256);
  installer += "  " + Line("ElevationRequirement", p.elevation);
  installer += "  " + Line("ProductCode", YamlQuoted(p.product_code));
  installer += "  AppsAndFeaturesEntries:\n";
  installer += "  - " + Line("DisplayName", YamlQuoted(p.display_name));
  installer += "    " + Line("Publisher", YamlQuoted(p.company));
  installer += "    " + Line("DisplayVersion", YamlQuoted(p.version));
  installer += "    " + Line("ProductCode", YamlQuoted(p.product_code));
  installer += Footer("installer");

  std::string listing = Header("defaultLocale") + identity;
  listing += Line("PackageLocale", YamlQuoted(locale));
  listing += Line("Publisher", YamlQuoted(p.company));
  listing += Line("PackageName", YamlQuoted(p.title));
  if (!p.url.empty() && !WingetUrlProblem(p.url)) listing += Line("PackageUrl", YamlQuoted(p.url));
  listing += Line("License", YamlQuoted(*m.winget_licence));
  if (m.winget_licence_url) listing += Line("LicenseUrl", YamlQuoted(*m.winget_licence_url));
  if (!TextProblem(p.copyright, kMinCopyright, kMaxCopyright)) {
    listing += Line("Copyright", YamlQuoted(p.copyright));
  }
  listing += Line("ShortDescription", YamlQuoted(*m.winget_short_description));
  if (m.winget_moniker) listing += Line("Moniker", YamlQuoted(*m.winget_moniker));
  if (!tags.empty()) {
    listing += "Tags:\n";
    for (const std::string& tag : tags) listing += "- " + YamlQuoted(tag) + "\n";
  }
  listing += Footer("defaultLocale");

  return std::vector<WingetFile>{{id + ".yaml", std::move(version)},
                                 {id + ".installer.yaml", std::move(installer)},
                                 {id + ".locale." + locale + ".yaml", std::move(listing)}};
}

}  // namespace lumipack
