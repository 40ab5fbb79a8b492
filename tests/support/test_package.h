#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "package/setup_record.h"

namespace lumiset::testing {

// The smallest PE32 image the package reader accepts: headers up to 0x200
// and one section of `section_bytes` raw bytes; a Windows GUI program that
// imports nothing.
std::vector<uint8_t> MinimalPeImage(size_t section_bytes = 512);
// Offset of the certificate-table entry in MinimalPeImage().
inline constexpr uint32_t kMinimalPeCertEntry = 0x80 + 4 + 20 + 96 + 4 * 8;

// A record with every field set to something recognisable.
SetupRecord SampleRecord();

// Everything that goes into a test installer; contents are given decoded.
struct TestPackage {
  // The program the package is appended to; empty: MinimalPeImage().
  std::vector<uint8_t> stub;
  SetupRecord record = SampleRecord();
  std::vector<uint8_t> picture;      // BMP/JPEG/PNG file bytes, or empty
  std::vector<uint8_t> uninstaller;  // or empty
  std::vector<uint8_t> companion;    // or empty
  std::vector<uint8_t> screensaver = std::vector<uint8_t>(4096, 0x5A);
  // Added to the screensaver block's length as the record states it, for a
  // record that disagrees with its package.
  int32_t block_length_skew = 0;
  std::optional<uint32_t> stated_block_length;  // replaces it outright
  // Zero bytes between the screensaver block and the trailer.
  size_t padding = 0;
};

// A complete unsigned installer: the stub with the package appended.
std::vector<uint8_t> BuildInstaller(const TestPackage& package);

// Appends a stand-in certificate table of `cert_size` bytes and points the
// PE header's certificate entry at it, as code signing does.
// `cert_entry` is the offset of the image's certificate-table entry.
void AttachFakeSignature(std::vector<uint8_t>& image, uint32_t cert_size = 1024,
                         uint32_t cert_entry = kMinimalPeCertEntry);

// A bottom-up BMP file: 40-byte header, `colors` palette entries (BGR0),
// `pixel_rows` as given (already padded), the pixel offset set.
std::vector<uint8_t> MakeBmp(int32_t width, int32_t height, uint16_t bits, uint32_t compression,
                             const std::vector<uint32_t>& palette,
                             const std::vector<uint8_t>& pixel_data);

}  // namespace lumiset::testing
