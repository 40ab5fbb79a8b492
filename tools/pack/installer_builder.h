#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>

#include "console.h"
#include "manifest.h"
#include "result.h"

namespace lumipack {

// Size limits on the inputs, checked before they are read. The picture,
// uninstaller and companion limits are the installer's own.
inline constexpr uint64_t kMaxStubBytes = 64u << 20;
inline constexpr uint64_t kMaxScreensaverBytes = 1u << 30;
inline constexpr uint64_t kMaxTextFileBytes = 1u << 20;

// Compression levels: the default packs smallest, --fast packs quickest.
inline constexpr int kBestLevel = 9;
inline constexpr int kFastLevel = 1;

// Below this size a file compresses too quickly for a progress bar.
inline constexpr uint64_t kProgressMinimumBytes = 4u << 20;

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
  std::filesystem::path output;
  unsigned threads = 1;
  // Where the stubs are when the settings name none: the packer's own
  // folder, holding lumiset.exe (x86) and lumiset64.exe (x64).
  std::optional<std::filesystem::path> stub_folder;
  std::optional<std::filesystem::path> sign_certificate;  // both or neither
  std::optional<std::filesystem::path> sign_key;
};

// Checks every input, builds the installer and writes it under a scratch
// name beside `output`, signing it when asked, then moves it into place; on
// any failure nothing is left at or beside `output`. Reports what it did on
// console.out and warnings on console.err.
Status BuildInstallerFile(const BuildRequest& request, const Console& console);

}  // namespace lumipack
