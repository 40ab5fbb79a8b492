#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "manifest.h"

namespace lumipack {

// A manifest file that LoadManifest reads back into the same settings. Every
// set value is written, so the result does not depend on defaults; paths are
// written relative to `folder`, where the manifest will lie. `comment` opens
// the file as a TOML comment.
std::string WriteManifest(const Manifest& manifest, const std::filesystem::path& folder,
                          std::string_view comment);

// A TOML basic string holding `utf8`, quotes included.
std::string TomlString(std::string_view utf8);

}  // namespace lumipack
