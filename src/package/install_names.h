#pragma once

// The names an installation builds its folders, files, links and registry
// keys from: the package's company, title and screensaver file name, and the
// localized names of what the installer creates. The packer and the
// installer both check a package's names here, so one never accepts what
// the other refuses. Texts are UTF-8.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace lumiset {

// The longest name the installer takes for the company, the title or the
// screensaver's file name.
inline constexpr size_t kMaxNameChars = 200;
// The longest path the installer creates or hands to the shell, in UTF-16
// units, without the terminating zero.
inline constexpr size_t kMaxInstallPathChars = 259;
// The longest registry key path the installer writes.
inline constexpr size_t kMaxInstallKeyChars = 255;

// Why a name cannot be one component of a Windows path, or nullopt when it
// can: not UTF-8, empty, longer than kMaxNameChars, a character Windows
// refuses in names (\ / : * ? " < > | and control characters), "." or "..",
// a trailing dot or blank (which Windows drops), or a device name (CON, PRN,
// AUX, NUL, COM0-9, LPT0-9, CONIN$, CONOUT$, with or without an extension).
std::optional<std::string> NameProblem(std::string_view name);

// The names the installer gives what it creates, in the installation's
// language (1 English .. 8 Russian; anything else English):
//   "<title> Screensaver": the Start-menu folder, the screensaver's links
//   and the installed-programs entry's DisplayName;
//   "Uninstall <title> Screensaver": the uninstaller's link;
//   "Installation": the caption of the installer's and uninstaller's boxes.
std::string LocalizedScreensaverName(std::string_view title, int32_t language);
std::string LocalizedUninstallName(std::string_view title, int32_t language);
std::string_view LocalizedCaption(int32_t language);

// The registry keys an installation writes, relative to their hive:
//   "SOFTWARE\<company>": the company's key, removed once emptied;
//   "SOFTWARE\<company>\<title>": the installed-files record, in the
//   user's hive (the machine's, for an installation for all users);
//   "SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\<title> Screensaver":
//   the installed-programs entry, in the machine's hive. Its key name is the
//   same in every language, so deployment tools can look for it.
std::string CompanyKeyPath(std::string_view company);
std::string RecordKeyPath(std::string_view company, std::string_view title);
std::string UninstallEntryKeyName(std::string_view title);
std::string UninstallEntryKeyPath(std::string_view title);

// The folders an installation writes into are not known before it runs;
// these are their longest usual lengths, with room for a long profile
// folder (a 20-character user name, a domain and a number: 40 characters).
inline constexpr size_t kAssumedProgramFilesChars = 22;  // C:\Program Files (x86)
inline constexpr size_t kAssumedProgramsChars = 103;     // C:\Users\<40>\AppData\...\Programs
inline constexpr size_t kAssumedDesktopChars = 57;       // C:\Users\<40>\Desktop
inline constexpr size_t kAssumedSystemChars = 19;        // C:\Windows\Sysnative

// Why an installation of a package with these names would write a path or
// a key longer than Windows takes, naming the path and its length; nullopt
// when every path fits. `language` 1..8 checks that language's names, 0
// (chosen on the user's machine) every language's.
std::optional<std::string> InstallPathsProblem(std::string_view company, std::string_view title,
                                               std::string_view scr_file_name, int32_t language);

// NameProblem of each name, then InstallPathsProblem: the first problem,
// prefixed with which name it concerns.
std::optional<std::string> PackageNamesProblem(std::string_view company, std::string_view title,
                                               std::string_view scr_file_name, int32_t language);

}  // namespace lumiset
