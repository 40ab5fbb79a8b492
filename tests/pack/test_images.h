#pragma once

// PE images for lumipack's tests, laid out as the real programs are.

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "pe_resources.h"

namespace lumipack::testing {

inline constexpr uint32_t kTestRsrcRva = 0x2000;

// A small image like the stubs: .text, then .rsrc holding `resources`, then
// .reloc. The optional header is PE32 (x86) or PE32+ (x64).
struct TestImage {
  std::vector<uint8_t> bytes;
  size_t optional = 0;
  size_t sections = 0;
  size_t rsrc_size = 0;
};
TestImage MakeImage(bool pe32_plus, const std::vector<ResourceEntry>& resources);

// An icon group of two images and a dialog, for tests of the resource
// rewriter.
std::vector<ResourceEntry> IconAndDialogResources();

// A stand-in for the installer stub: an image with the resources that tell
// a stub from other programs (its dialog pages and its help), and the
// application manifest `app_manifest` when it is not empty.
std::vector<uint8_t> StubImage(bool x64 = false, std::string_view app_manifest = {});
// Offset of the certificate-table entry in StubImage(false).
inline constexpr uint32_t kStubImageCertEntry = 0x40 + 24 + 96 + 4 * 8;

}  // namespace lumipack::testing
