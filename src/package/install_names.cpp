#include "package/install_names.h"

#include <array>
#include <vector>

#include "base/text.h"

namespace lumiset {
namespace {

std::optional<std::u32string> Decode(std::string_view s) {
  std::u32string out;
  for (size_t i = 0; i < s.size();) {
    const std::optional<char32_t> c = NextCodePoint(s, &i);
    if (!c) return std::nullopt;
    out += *c;
  }
  return out;
}

std::string Describe(char32_t c) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string hex;
  for (char32_t v = c; hex.size() < 4 || v != 0; v >>= 4) hex.insert(hex.begin(), kHex[v & 0xF]);
  if (c >= 0x20 && c < 0x7F) return "'" + std::string(1, static_cast<char>(c)) + "'";
  return "U+" + hex;
}

bool IsControl(char32_t c) { return c < 0x20 || c == 0x7F || (c >= 0x80 && c < 0xA0); }

// Windows opens a device for these names whatever extension follows, and
// blanks before the extension do not change that. COM and LPT take the
// digits 0 to 9 and the superscripts 1, 2 and 3.
bool IsDeviceName(std::u32string_view name) {
  std::u32string_view stem = name.substr(0, name.find(U'.'));
  while (!stem.empty() && stem.back() == U' ') stem.remove_suffix(1);
  std::u32string upper;
  for (char32_t c : stem) upper += (c >= U'a' && c <= U'z') ? c - U'a' + U'A' : c;
  for (std::u32string_view device : {U"CON", U"PRN", U"AUX", U"NUL", U"CONIN$", U"CONOUT$"}) {
    if (upper == device) return true;
  }
  if (upper.size() != 4) return false;
  const std::u32string_view port = std::u32string_view(upper).substr(0, 3);
  const char32_t digit = upper[3];
  return (port == U"COM" || port == U"LPT") &&
         ((digit >= U'0' && digit <= U'9') || digit == U'\u00B9' || digit == U'\u00B2' ||
          digit == U'\u00B3');
}

struct LocalizedNames {
  std::string_view screensaver;  // "%" stands for the title
  std::string_view uninstall;
  std::string_view caption;
};

// Indexed by language - 1.
constexpr std::array<LocalizedNames, 8> kNames = {{
    {"% Screensaver", "Uninstall % Screensaver", "Installation"},
    {"Économiseur d'écran %", "Désinstaller l'économiseur d'écran %", "Installation"},
    {"% Bildschirmschoner", "% Bildschirmschoner deinstallieren", "Installation"},
    {"Protector de pantalla %", "Desinstalar el protector de pantalla %", "Instalación"},
    {"Screensaver %", "Disinstalla lo screensaver %", "Installazione"},
    {"Screensaver %", "Screensaver % verwijderen", "Installatie"},
    {"Protetor de tela %", "Desinstalar o protetor de tela %", "Instalação"},
    {"Экранная заставка %", "Удалить экранную заставку %", "Установка"},
}};

const LocalizedNames& NamesOf(int32_t language) {
  return kNames[language >= 1 && language <= 8 ? static_cast<size_t>(language - 1) : 0];
}

std::string Fill(std::string_view pattern, std::string_view title) {
  const size_t at = pattern.find('%');
  return std::string(pattern.substr(0, at)) + std::string(title) +
         std::string(pattern.substr(at + 1));
}

}  // namespace

std::optional<std::string> NameProblem(std::string_view name) {
  const std::optional<std::u32string> chars = Decode(name);
  if (!chars) return "it is not valid UTF-8";
  if (chars->empty()) return "it is empty";
  if (chars->size() > kMaxNameChars) {
    return "it has " + std::to_string(chars->size()) + " characters, more than " +
           std::to_string(kMaxNameChars);
  }
  for (char32_t c : *chars) {
    if (IsControl(c)) return "it holds the control character " + Describe(c);
    if (std::u32string_view(U"\\/:*?\"<>|").find(c) != std::u32string_view::npos) {
      return "it holds " + Describe(c) + ", which Windows does not allow in names";
    }
  }
  if (chars->back() == U'.' || chars->back() == U' ') {
    return "it ends with a " + std::string(chars->back() == U'.' ? "dot" : "space") +
           ", which Windows drops from names";
  }
  if (IsDeviceName(*chars)) return "it is a name Windows reserves for a device";
  return std::nullopt;
}

std::string LocalizedScreensaverName(std::string_view title, int32_t language) {
  return Fill(NamesOf(language).screensaver, title);
}

std::string LocalizedUninstallName(std::string_view title, int32_t language) {
  return Fill(NamesOf(language).uninstall, title);
}

std::string_view LocalizedCaption(int32_t language) { return NamesOf(language).caption; }

std::string CompanyKeyPath(std::string_view company) {
  return "SOFTWARE\\" + std::string(company);
}

std::string RecordKeyPath(std::string_view company, std::string_view title) {
  return CompanyKeyPath(company) + "\\" + std::string(title);
}

std::string UninstallEntryKeyName(std::string_view title) {
  return std::string(title) + " Screensaver";
}

std::string UninstallEntryKeyPath(std::string_view title) {
  return "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" +
         UninstallEntryKeyName(title);
}

std::optional<std::string> InstallPathsProblem(std::string_view company, std::string_view title,
                                               std::string_view scr_file_name, int32_t language) {
  struct Path {
    std::string what;
    size_t base;  // the assumed folder it lies in
    std::string rest;
    size_t limit;
  };
  const std::string c(company);
  const std::string t(title);
  std::vector<Path> paths = {
      {"the uninstaller", kAssumedProgramFilesChars, "\\" + c + "\\" + t + "\\Uninstall.exe",
       kMaxInstallPathChars},
      {"the screensaver", kAssumedSystemChars, "\\" + std::string(scr_file_name) + ".scr",
       kMaxInstallPathChars},
      {"the record of installed files", 0, RecordKeyPath(c, t), kMaxInstallKeyChars},
      {"the installed-programs entry", 0, UninstallEntryKeyPath(t), kMaxInstallKeyChars},
  };
  for (int32_t l = 1; l <= 8; ++l) {
    if (language >= 1 && language <= 8 && l != language) continue;
    const std::string name = LocalizedScreensaverName(title, l);
    const std::string folder = "\\" + c + "\\" + name;
    paths.push_back({"the Start-menu link", kAssumedProgramsChars, folder + "\\" + name + ".lnk",
                     kMaxInstallPathChars});
    paths.push_back({"the uninstaller's Start-menu link", kAssumedProgramsChars,
                     folder + "\\" + LocalizedUninstallName(title, l) + ".lnk",
                     kMaxInstallPathChars});
    paths.push_back({"the desktop link", kAssumedDesktopChars, "\\" + name + ".lnk",
                     kMaxInstallPathChars});
  }
  for (const Path& path : paths) {
    const size_t length = path.base + Utf16Length(path.rest);
    if (length > path.limit) {
      return path.what + " would have a path of " + std::to_string(length) +
             " characters (the longest Windows takes is " + std::to_string(path.limit) +
             (path.base ? ", counting " + std::to_string(path.base) + " for its folder" : "") +
             "): " + (path.base ? "<folder>" : "") + path.rest;
    }
  }
  return std::nullopt;
}

std::optional<std::string> PackageNamesProblem(std::string_view company, std::string_view title,
                                               std::string_view scr_file_name, int32_t language) {
  const std::pair<const char*, std::string_view> names[] = {
      {"the company", company}, {"the title", title}, {"the screensaver's file name", scr_file_name}};
  for (const auto& [what, name] : names) {
    if (std::optional<std::string> problem = NameProblem(name)) {
      return std::string(what) + " \"" + std::string(name) + "\" cannot be used: " + *problem;
    }
  }
  return InstallPathsProblem(company, title, scr_file_name, language);
}

}  // namespace lumiset
