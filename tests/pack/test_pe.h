#pragma once

// Small PE images for the tests of what lumipack reads from a program's
// tables, laid out as a linker lays them out: headers up to 0x200, then one
// section that holds the import tables, the DLL names and the CLR header
// with its metadata root.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace lumipack::testing {

struct TestPe {
  bool is_64bit = false;
  uint16_t subsystem = 2;  // Windows GUI
  std::vector<std::string> imports;
  std::vector<std::string> delay_imports;
  // A CLR header whose metadata carries this version string.
  std::optional<std::string> clr_version;
  // Zero bytes at the section's start, before the tables.
  size_t lead = 0;
  // Bytes at the section's end after the tables (incompressible).
  size_t tail = 0;
  // An application manifest (resource type 24, id 1) in a resource
  // directory after the tables.
  std::optional<std::string> app_manifest;
};

// The image `spec` describes.
std::vector<uint8_t> MakeTestPe(const TestPe& spec);

// Offsets in MakeTestPe's images, for tests that damage them.
inline constexpr uint32_t kTestPeOptionalHeader = 0x80 + 4 + 20;
inline constexpr uint32_t kTestPeSectionRaw = 0x200;
inline constexpr uint32_t kTestPeSectionRva = 0x1000;

}  // namespace lumipack::testing
