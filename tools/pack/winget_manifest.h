#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "manifest.h"
#include "pe_image.h"
#include "result.h"

namespace lumipack {

// The winget manifest format lumipack writes: the multi-file form (a
// version, an installer and a default-locale manifest).
inline constexpr const char* kWingetManifestVersion = "1.10.0";

// The installer's switches for winget. They ask nothing and never wait for
// a person: /q without pages, /f with the progress page only, /n so that a
// locked file fails the run after its retries instead of prompting.
inline constexpr const char* kWingetSilent = "/q /n";
inline constexpr const char* kWingetSilentWithProgress = "/q /f /n";
inline constexpr const char* kWingetLog = "/log=\"<LOGPATH>\"";
// The installer's exit code for a package it cannot read.
inline constexpr int kDamagedInstallerExitCode = 2;

// What an installation of the installer writes and what the installer file
// is, as read from it. Texts are UTF-8.
struct WingetPackage {
  std::string version;       // the package's version: PackageVersion and DisplayVersion
  std::string title;         // PackageName
  std::string company;       // Publisher
  std::string copyright;     // the copyright line; may be empty
  std::string url;           // the screensaver's web page; may be empty
  std::string display_name;  // the installed-programs entry's DisplayName
  std::string product_code;  // the installed-programs entry's key name
  uint16_t language = 0;     // the package's language field
  Arch arch = Arch::kX86;
  std::string sha256;        // of the installer file, upper-case hexadecimal
  // elevatesSelf, elevationRequired or elevationProhibited.
  std::string elevation;
};

// One file of the manifest: its name and its YAML text.
struct WingetFile {
  std::string name;
  std::string text;
};

// winget's locale for a package language (1 English .. 8 Russian); en-US
// for automatic and unknown languages, which install in English where the
// user's language is not one of the eight.
std::string_view LocaleOfLanguage(uint16_t language);

// The three manifest files for `package`, with the listing's texts from
// the [winget] settings of `m` (id, url with ${version} replaced, licence,
// short description, and optionally licence_url, moniker, tags, locale).
// Every value is checked against the rules winget's schema sets for its
// field; a failure names the setting (or the installer's value) and what
// the field takes.
Result<std::vector<WingetFile>> MakeWingetManifests(const WingetPackage& package,
                                                    const Manifest& m);

// Why `text` does not match winget's rules for the field, or nullopt:
// exported for the tests of each rule.
std::optional<std::string> PackageIdentifierProblem(std::string_view text);
std::optional<std::string> PackageVersionProblem(std::string_view text);
std::optional<std::string> WingetUrlProblem(std::string_view text);
std::optional<std::string> LocaleProblem(std::string_view text);
// A one-line text of `min` to `max` characters.
std::optional<std::string> TextProblem(std::string_view text, size_t min, size_t max);

// `text` as a YAML double-quoted scalar; `text` must be UTF-8.
std::string YamlQuoted(std::string_view text);

}  // namespace lumipack
