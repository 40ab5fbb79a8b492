#pragma once

#include <filesystem>
#include <string_view>

#include "console.h"
#include "result.h"

namespace lumipack {

// The files `lumipack init` writes: a commented manifest that builds as it
// is once a screensaver is named, and a sample licence text it points at.
inline constexpr const char* kStarterManifestName = "lumipack.toml";
inline constexpr const char* kStarterLicenceName = "licence.txt";
std::string_view StarterManifest();
std::string_view StarterLicence();

// Writes the starter files into `folder`, creating it when missing. When
// either file is already there nothing is written. Tells on `console` what
// it wrote and the command to run next.
Status WriteStarter(const std::filesystem::path& folder, Console& console);

}  // namespace lumipack
