#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "range_reader.h"

namespace lumipack {

// One section header: where its bytes lie in the file and in memory.
struct PeSection {
  uint32_t virtual_address = 0;
  uint32_t virtual_size = 0;
  uint32_t raw_size = 0;
  uint32_t raw_offset = 0;
};

// A data directory entry: an RVA and a size.
struct PeDirectory {
  uint32_t rva = 0;
  uint32_t size = 0;
};

// Data directory indexes this reader follows.
inline constexpr size_t kImportDirectory = 1;
inline constexpr size_t kResourceDirectoryIndex = 2;
inline constexpr size_t kDelayImportDirectory = 13;
inline constexpr size_t kClrDirectory = 14;

// Subsystems of the optional header.
inline constexpr uint16_t kSubsystemWindowsGui = 2;
inline constexpr uint16_t kSubsystemWindowsConsole = 3;

// What a PE image's headers say about how Windows maps and starts it.
struct PeHeaders {
  uint16_t machine = 0;
  bool is_64bit = false;
  uint16_t subsystem = 0;
  uint64_t image_base = 0;
  uint32_t size_of_headers = 0;
  std::vector<PeDirectory> directories;  // as many as the header holds, at most 16
  std::vector<PeSection> sections;

  // The directory at `index`, or an empty one when the header has none there.
  PeDirectory Directory(size_t index) const;

  // The file range holding the bytes mapped at `rva`: its offset, and as
  // many bytes (at most `limit`) as the same section (or the headers) keeps
  // in the file from there. nullopt when no bytes of the file are mapped
  // there.
  std::optional<ByteRange> FileRangeAt(uint32_t rva, uint32_t limit) const;
};

// How many bytes from a file's start hold the headers of any PE image this
// reader takes: the PE header at most 64 KiB in, the largest optional
// header and 96 section headers.
inline constexpr uint32_t kPeHeadersWindow = 136u << 10;

// The headers of a PE image from its first kPeHeadersWindow bytes (or the
// whole file, when shorter); nullopt when they are not a PE image's.
std::optional<PeHeaders> ParsePeHeaders(std::span<const uint8_t> prefix);

// Limits for a hostile image: no real program imports from more DLLs, and
// Windows takes no longer names.
inline constexpr size_t kMaxImportedDlls = 1024;
inline constexpr uint32_t kMaxDllNameBytes = 256;

// What a PE image needs from the system to start.
struct PeDependencies {
  PeHeaders headers;
  // The DLLs it imports from, and those it loads on first use (delay-load),
  // each once (letter case ignored), in the order of the tables, bytes
  // outside printable ASCII shown as '?'.
  std::vector<std::string> imports;
  std::vector<std::string> delay_imports;
  // A CLR header: the image is a .NET program.
  bool has_clr = false;
  // The version string of its metadata ("v4.0.30319"); empty when unreadable.
  std::string clr_version;
  // Why the tables could not all be read; empty when they could.
  std::string problem;
};

// Reads the headers, the import and delay-load tables, the DLL names and the
// CLR header with its metadata version, in three batches of bounded reads.
// nullopt when the file is not a PE image or cannot be read.
std::optional<PeDependencies> ReadPeDependencies(RangeReader& reader);

}  // namespace lumipack
