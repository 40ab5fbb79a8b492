#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "icon_file.h"
#include "pe_resources.h"
#include "result.h"

namespace lumipack {

// The stub's main icon group (its frame's resource id) and the version
// resource's id.
inline constexpr uint16_t kMainIconGroupId = 128;
inline constexpr uint16_t kVersionResourceId = 1;
inline constexpr uint16_t kVersionResourceType = 16;  // RT_VERSION

// Replaces the main icon group and every RT_ICON image it names (unless
// another group shares it) with the icon's images, keeping the group's
// language. Fails when the entries hold no main icon group.
Status ReplaceMainIcon(std::vector<ResourceEntry>& entries, const IconFile& icon);

// Replaces every VS_VERSIONINFO (RT_VERSION id 1) with `version`, written
// in `language`.
void ReplaceVersion(std::vector<ResourceEntry>& entries, std::vector<uint8_t> version,
                    uint16_t language);

// The end of RewriteResources' message for an image with no resource
// section at all.
inline constexpr std::string_view kNoResourcesReason = "the stub has no resources";

// A copy of the PE image `image` whose resource section is rebuilt from the
// section's entries after `edit`: the section's sizes, any sections after
// it (only a base relocation section can move safely; anything else is
// refused), SizeOfImage, SizeOfInitializedData, the resource and relocation
// data directories and the checksum follow. PE32 and PE32+; the image must
// carry no certificate table.
Result<std::vector<uint8_t>> RewriteResources(
    std::span<const uint8_t> image, const std::function<Status(std::vector<ResourceEntry>&)>& edit);

// The entries of the PE image's resource section, read as RewriteResources
// reads them (and refused for the same reasons).
Result<std::vector<ResourceEntry>> ReadResources(std::span<const uint8_t> image);

// The PE checksum of `file`, whose checksum field lies at `checksum_at`.
uint32_t PeChecksum(std::span<const uint8_t> file, size_t checksum_at);

// Writes into the headers of `file` (an image, or a whole installer with its
// package) the PE checksum of all its bytes; a file too short for the
// headers is left as it is.
void SetPeChecksum(std::vector<uint8_t>& file);

}  // namespace lumipack
