#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "base/language.h"
#include "base/rect.h"

namespace lumiset {

// The most files the record of an installation lists.
inline constexpr size_t kInstalledFileSlots = 20;

// The process exit codes a script or a deployment tool reads.
inline constexpr int32_t kExitSucceeded = 0;  // installed, or nothing to do
inline constexpr int32_t kExitFailed = 1;     // the installation failed or was stopped
inline constexpr int32_t kExitDamaged = 2;    // the installer's package cannot be read

// The one process-wide record of run options, package values, paths and
// results: start-up fills it, the installation and the wizard read it and
// write their results into it. The layers below (base, win32, package) never
// see it; they take what they need as arguments. Scratch of a single step
// stays local to that step. Flags are 32-bit integers, 0 off and anything
// else on. Texts and paths are bytes in the Windows ANSI code page.
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
  // No person answers: every prompt is answered by the installer itself.
  int32_t NoInteraction = 0;
  // Where /log= asked for a log; empty for none.
  std::string LogPath;
  int32_t LanguageIndex = 0;

  // What the installation came to, for the wizard and the exit code.
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
  std::string DisplayVersion;  // the screensaver's version; empty when the package has none
  std::string AboutUrl;        // its web page; empty when the package has none
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
  // The screensaver block's length as the record states it, checked against
  // the file: the installation copies exactly these bytes.
  uint64_t ScreensaverBlockLength = 0;

  // Paths.
  std::string SystemDir;
  std::string InstalledScrPath;
  std::string ModulePath;
  std::string PackageSourcePath;
  std::string WorkFolder;  // ends with a backslash once chosen
  std::vector<std::string> CreatedFiles;
  std::string UninstallFolder;
  std::string UninstallerPath;

  // Machine facts settled before the first window.
  Rect PlacementRect;
  int32_t ScreenDpiY = 96;
  int32_t WindowsVistaOrLater = 0;
};

}  // namespace lumiset
