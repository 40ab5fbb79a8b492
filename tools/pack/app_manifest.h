#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "range_reader.h"
#include "result.h"

namespace lumipack {

// The largest resource section read to find a program's manifest; the
// stub's is a few hundred KiB.
inline constexpr uint32_t kMaxResourceSectionBytes = 16u << 20;

// The application manifest Windows applies when it starts the program
// (resource type 24, id 1), as text: UTF-8 without a byte-order mark, or
// UTF-16 turned into its ASCII letters. nullopt when the program carries
// none. A failure says why its resources cannot be read.
Result<std::optional<std::string>> ReadApplicationManifest(RangeReader& program);

// The `level` that a manifest's requestedExecutionLevel element asks for
// ("asInvoker", "highestAvailable", "requireAdministrator"); nullopt when
// the manifest asks for none. Comments are skipped; the element may carry a
// namespace prefix.
std::optional<std::string> RequestedExecutionLevel(std::string_view manifest);

}  // namespace lumipack
