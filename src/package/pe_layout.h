#pragma once

#include <cstdint>

// Where the fields of a PE image's headers lie, for the readers and writers
// of installer images. Offsets within a structure count from its start.
namespace lumiset::pe {

// The MS-DOS header: "MZ", and at 0x3C the file offset of the PE signature.
inline constexpr uint32_t kDosLfanew = 0x3C;

// "PE\0\0", followed by the COFF file header.
inline constexpr uint32_t kSignatureSize = 4;

// The COFF file header.
inline constexpr uint32_t kCoffHeaderSize = 20;
inline constexpr uint32_t kCoffMachine = 0;
inline constexpr uint32_t kCoffNumberOfSections = 2;
inline constexpr uint32_t kCoffSizeOfOptionalHeader = 16;

// The optional header: its magic says PE32 or PE32+, which moves the data
// directory; the fields used here lie at the same offsets in both.
inline constexpr uint16_t kPe32Magic = 0x10B;
inline constexpr uint16_t kPe32PlusMagic = 0x20B;
inline constexpr uint32_t kOptMagic = 0;
inline constexpr uint32_t kOptSizeOfInitializedData = 8;
inline constexpr uint32_t kOptSectionAlignment = 32;
inline constexpr uint32_t kOptFileAlignment = 36;
inline constexpr uint32_t kOptSizeOfImage = 56;
inline constexpr uint32_t kOptSizeOfHeaders = 60;
inline constexpr uint32_t kOptCheckSum = 64;
// The data directory (NumberOfRvaAndSizes is the 4 bytes before it).
inline constexpr uint32_t kPe32DirectoryStart = 96;
inline constexpr uint32_t kPe32PlusDirectoryStart = 112;
inline constexpr uint32_t kDirectoryEntrySize = 8;
inline constexpr uint32_t kResourceDirectory = 2;
inline constexpr uint32_t kCertificateDirectory = 4;  // a file offset, not an RVA

// One section header.
inline constexpr uint32_t kSectionHeaderSize = 40;
inline constexpr uint32_t kSectionVirtualSize = 8;
inline constexpr uint32_t kSectionVirtualAddress = 12;
inline constexpr uint32_t kSectionSizeOfRawData = 16;
inline constexpr uint32_t kSectionPointerToRawData = 20;

}  // namespace lumiset::pe
