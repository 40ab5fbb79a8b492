#pragma once

#include <filesystem>

#include "console.h"
#include "result.h"

namespace lumipack {

// The names extraction gives the files it writes; the record's own file name
// goes into the manifest only, so a hostile name cannot reach the disk.
inline constexpr const char* kExtractedManifest = "lumipack.toml";
inline constexpr const char* kExtractedStub = "stub.exe";
inline constexpr const char* kExtractedScreensaver = "screensaver.scr";
inline constexpr const char* kExtractedLicence = "licence.txt";
inline constexpr const char* kExtractedInfo = "info.txt";
inline constexpr const char* kExtractedPictureStem = "header";
inline constexpr const char* kExtractedUninstaller = "uninstaller.exe";
inline constexpr const char* kExtractedCompanion = "companion.exe";

// Writes an installer's parts into `folder` (which must not exist or be
// empty; its parent must exist): the stub as it was before the package was
// added (a signature's directory entry cleared), each item decoded, the
// texts as UTF-8 and a manifest naming them all, so that `lumipack build`
// on that manifest with the same options rebuilds the installer byte for
// byte. Nothing is written unless every item decodes, and a failure part
// way leaves no folder behind.
Status ExtractInstaller(const std::filesystem::path& installer, const std::filesystem::path& folder,
                        Console& console);

}  // namespace lumipack
