#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace lumiset {

// Ids of the pages' buttons; a modal page returns one of them.
enum class PageResult : int32_t { Next = 1, Cancel = 2, Back = 3 };

// What the progress page hands back to the wizard driver.
enum class InstallOutcome : int32_t { Completed = 0, Failed = 1, Interrupted = 2 };

// User-interface languages, numbered as the package stores them. 0 in a
// package means "choose from the user's settings" and never stays here.
enum LanguageIndexValue : int32_t {
  kEnglish = 1,
  kFrench = 2,
  kGerman = 3,
  kSpanish = 4,
  kItalian = 5,
  kDutch = 6,
  kPortuguese = 7,
  kRussian = 8,
};

// A rectangle in screen pixels, edges as Windows gives them.
struct Rect {
  int32_t left = 0;
  int32_t top = 0;
  int32_t right = 0;
  int32_t bottom = 0;
  friend bool operator==(const Rect&, const Rect&) = default;
};

inline constexpr int kInstalledFileSlots = 20;

// The one process-wide record of run options, package values, paths and
// results. Plain fields: every subsystem reads and writes them directly.
// Flags are 32-bit integers, 0 off and anything else on. Texts and paths are
// bytes in the Windows ANSI code page.
struct SetupState {
  // Run options.
  int32_t QuietMode = 0;
  int32_t UninstallMode = 0;
  int32_t ShowScreens = 0;
  int32_t SetAsDefault = 1;
  int32_t OpenDisplayProperties = 0;
  int32_t CreateStartMenuEntry = 0;
  int32_t CreateDesktopIcon = 0;
  int32_t DetectExisting = 0;
  int32_t ShowInfoPage = 0;
  int32_t ShowSetupOptions = 0;
  int32_t XpLook = 0;
  int32_t ShowHelp = 0;
  int32_t LanguageIndex = 0;

  // Results handed back to the flow.
  int32_t InstallSucceeded = 0;
  int32_t ExitCode = 0;

  // Names, texts and blocks from the package.
  std::string CompanyName;
  std::string ScreenSaverTitle;
  std::string ScrFileName;
  std::string LicenceText;
  std::string InfoText;
  std::string CopyrightLine;
  std::vector<uint8_t> UninstallerBlock;  // still compressed; empty when absent
  std::vector<uint8_t> CompanionProgram;  // stored unchanged
  int32_t CompanionProgramPresent = 0;
  // The page picture as a packed bitmap (40-byte header, colour table, rows
  // bottom-up); empty when the package has none that can be shown.
  std::vector<uint8_t> HeaderPicture;
  int32_t ShowHeaderText = 0;
  uint32_t HeaderTextColor = 0;  // 0x00BBGGRR
  uint32_t AccentColor = 0;      // 0x00BBGGRR
  double AccentHue = 0.0;        // [0, 1)
  // While loading, the package start; afterwards the screensaver block's offset.
  uint64_t PackageDataOffset = 0;

  // Paths.
  std::string SystemDir;
  std::string InstalledScrPath;
  std::string ModulePath;
  std::string ModuleDir;
  std::string PackageSourcePath;
  std::string WorkFolder;  // ends with a backslash once chosen
  std::array<std::string, kInstalledFileSlots> InstalledFiles;
  std::vector<std::string> CreatedFiles;
  std::string UninstallFolder;
  std::string UninstallerPath;

  // Machine facts settled before the first window.
  Rect PlacementRect;
  int32_t ScreenDpiY = 96;
  int32_t WindowsVistaOrLater = 0;
};

// The id of a localized resource in the current language: languages 2 to 8
// sit at base + 100 * (language - 1); English and any unknown value use base.
int LocalizedId(int base_id, int32_t language_index);

}  // namespace lumiset
