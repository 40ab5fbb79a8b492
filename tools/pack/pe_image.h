#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "package/package_format.h"

namespace lumipack {

// What the PE headers of a file held in memory say; nullopt when the bytes
// are not a PE image.
std::optional<lumiset::PeFacts> ReadPeOf(std::span<const uint8_t> bytes);

// "32-bit PE image" or "64-bit PE image".
std::string_view PeKindName(const lumiset::PeFacts& facts);

}  // namespace lumipack
