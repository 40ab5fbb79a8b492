#include "pe_image.h"

#include <cstdio>

#include "base/byte_io.h"
#include "base/memory_file.h"

namespace lumipack {

std::optional<lumiset::PeFacts> PeFactsOf(lumiset::ReadableFile& file) {
  lumiset::StatusOr<lumiset::PeFacts> pe = lumiset::ReadPeFacts(file);
  if (!pe) return std::nullopt;
  return *pe;
}

std::optional<lumiset::PeFacts> ReadPeOf(std::span<const uint8_t> bytes) {
  lumiset::MemoryFile file(bytes);
  return PeFactsOf(file);
}

bool IsLibrary(lumiset::ReadableFile& file) {
  constexpr uint64_t kLfanewAt = 0x3C;
  constexpr uint64_t kCharacteristicsInCoff = 4 + 18;  // after "PE\0\0"
  constexpr uint16_t kImageFileDll = 0x2000;
  uint8_t lfanew[4];
  uint8_t flags[2];
  if (!file.ReadAt(kLfanewAt, lfanew, sizeof lfanew).ok()) return false;
  const uint64_t at = lumiset::LoadU32(lfanew) + kCharacteristicsInCoff;
  if (!file.ReadAt(at, flags, sizeof flags).ok()) return false;
  return (lumiset::LoadU16(flags) & kImageFileDll) != 0;
}

std::optional<Arch> ArchOf(const lumiset::PeFacts& facts) {
  if (facts.machine == lumiset::kMachineX86 && !facts.is_64bit) return Arch::kX86;
  if (facts.machine == lumiset::kMachineX64 && facts.is_64bit) return Arch::kX64;
  return std::nullopt;
}

std::string_view ArchName(Arch arch) { return arch == Arch::kX64 ? "x64" : "x86"; }

std::optional<Arch> ArchFromName(std::string_view name) {
  if (name == "x86") return Arch::kX86;
  if (name == "x64") return Arch::kX64;
  return std::nullopt;
}

std::string_view ArchDescription(Arch arch) {
  return arch == Arch::kX64 ? "64-bit (x64)" : "32-bit (x86)";
}

std::string PeKindName(const lumiset::PeFacts& facts) {
  std::string text = facts.is_64bit ? "64-bit PE image" : "32-bit PE image";
  if (std::optional<Arch> arch = ArchOf(facts)) {
    return text + " (" + std::string(ArchName(*arch)) + ")";
  }
  char machine[32];
  std::snprintf(machine, sizeof machine, " (machine 0x%04X)", facts.machine);
  return text + machine;
}

}  // namespace lumipack
