#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "package/package_format.h"

namespace lumipack {

// What the PE headers of a file held in memory say; nullopt when the bytes
// are not a PE image.
std::optional<lumiset::PeFacts> ReadPeOf(std::span<const uint8_t> bytes);
// The same for an open file; nullopt when it is not a PE image.
std::optional<lumiset::PeFacts> PeFactsOf(lumiset::ReadableFile& file);

// Whether a PE image is a library (a DLL) rather than a program: the COFF
// header's IMAGE_FILE_DLL flag. False when the headers cannot be read.
bool IsLibrary(lumiset::ReadableFile& file);

// The Windows architectures there is a stub for.
enum class Arch { kX86, kX64 };

// The architecture a PE image is built for; nullopt for any other machine.
std::optional<Arch> ArchOf(const lumiset::PeFacts& facts);

// "x86" or "x64", as the manifest and --arch spell them.
std::string_view ArchName(Arch arch);
std::optional<Arch> ArchFromName(std::string_view name);

// "32-bit (x86)" or "64-bit (x64)": how messages name an architecture.
std::string_view ArchDescription(Arch arch);

// "32-bit PE image (x86)", "64-bit PE image (x64)", or for another machine
// e.g. "64-bit PE image (machine 0xAA64)".
std::string PeKindName(const lumiset::PeFacts& facts);

}  // namespace lumipack
