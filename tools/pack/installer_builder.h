#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>

#include "console.h"
#include "manifest.h"
#include "result.h"
#include "signer.h"

namespace lumipack {

// Size limits on the inputs, checked before they are read. The picture,
// uninstaller and companion limits are the installer's own.
inline constexpr uint64_t kMaxStubBytes = 64u << 20;
inline constexpr uint64_t kMaxScreensaverBytes = 1u << 30;
inline constexpr uint64_t kMaxTextFileBytes = 1u << 20;

// Compression levels: the default packs smallest, --fast packs quickest.
inline constexpr int kBestLevel = 9;
inline constexpr int kFastLevel = 1;

// Below this size a screensaver compresses too quickly for a progress bar.
inline constexpr uint64_t kProgressMinimumBytes = 4u << 20;

// The name an installer gets when none is given: the title and this.
inline constexpr const char* kDefaultOutputSuffix = "Setup.exe";

// Defaults for settings neither the manifest nor the command line gives.
inline constexpr uint16_t kDefaultShowSetupOptions = 1;
inline constexpr uint16_t kDefaultOpenDisplayProperties = 1;
inline constexpr uint16_t kDefaultCreateStartMenuEntry = 1;
inline constexpr uint16_t kDefaultCreateDesktopIcon = 0;
inline constexpr uint16_t kDefaultDetectExisting = 1;
inline constexpr uint16_t kDefaultShowInfoPage = 1;
inline constexpr uint16_t kDefaultShowHeaderText = 1;
inline constexpr uint32_t kDefaultHeaderTextColor = 0x00FFFFFF;  // white
inline constexpr uint32_t kDefaultAccentColor = 0x00A05A1E;      // #1E5AA0

// The stub file names in the packer's folder, by architecture.
inline constexpr const char* kStubNameX86 = "lumiset.exe";
inline constexpr const char* kStubNameX64 = "lumiset64.exe";

struct BuildRequest {
  Manifest settings;
  // Where the manifest came from, so that the output never replaces it.
  std::optional<std::filesystem::path> manifest_path;
  bool manifest_from_standard_input = false;
  // The installer to write; unset: the title and kDefaultOutputSuffix in
  // `output_folder` (empty: the working folder).
  std::optional<std::filesystem::path> output;
  std::filesystem::path output_folder;
  // Check every input and the output as a build would, but compress and
  // write nothing.
  bool check_only = false;
  // Fail, writing nothing, when anything gave a warning.
  bool warnings_are_errors = false;
  unsigned threads = 1;
  // Where the stubs are when the settings name none: the packer's own
  // folder, holding lumiset.exe (x86) and lumiset64.exe (x64).
  std::optional<std::filesystem::path> stub_folder;
  // How to sign the installer; unset: it is not signed.
  std::optional<Signing> signing;
};

// What a build wrote, or a check found it would write.
struct BuildOutcome {
  std::filesystem::path output;
  uint64_t size = 0;  // 0 for a check
  bool is_signed = false;
};

// Checks every input, builds the installer and writes it under a scratch
// name beside the output, signing it when asked, then moves it into place;
// on any failure nothing is left at or beside the output. An output that is
// a symbolic link is written through; one that is not a regular file or is
// read-only is refused; a replaced file's permissions are kept. Reports what
// it did on console.out (unless quiet) and warnings through the console.
Result<BuildOutcome> BuildInstallerFile(const BuildRequest& request, Console& console);

}  // namespace lumipack
