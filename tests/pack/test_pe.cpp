#include "test_pe.h"

#include <cstring>

#include "base/byte_io.h"
#include "pe_resources.h"

namespace lumipack::testing {
namespace {

using lumiset::StoreU16;
using lumiset::StoreU32;

constexpr uint32_t kLfanew = 0x80;
constexpr uint32_t kFileAlignment = 0x200;

// The section's content, laid out as it is built; RVAs are known at once.
class Section {
 public:
  uint32_t Rva() const { return kTestPeSectionRva + static_cast<uint32_t>(bytes_.size()); }
  uint32_t Reserve(size_t n) {
    const uint32_t rva = Rva();
    bytes_.resize(bytes_.size() + n, 0);
    return rva;
  }
  uint32_t Text(const std::string& text) {
    const uint32_t rva = Reserve(text.size() + 1);
    std::memcpy(At(rva), text.data(), text.size());
    return rva;
  }
  uint8_t* At(uint32_t rva) { return &bytes_[rva - kTestPeSectionRva]; }
  std::vector<uint8_t>& bytes() { return bytes_; }

 private:
  std::vector<uint8_t> bytes_;
};

}  // namespace

std::vector<uint8_t> MakeTestPe(const TestPe& spec) {
  Section s;
  s.Reserve(spec.lead);
  // A zero thunk that every descriptor's address table points at.
  const uint32_t thunk = s.Reserve(8);
  const uint32_t imports = s.Reserve((spec.imports.size() + 1) * 20);
  const uint32_t delays = s.Reserve((spec.delay_imports.size() + 1) * 32);
  for (size_t i = 0; i < spec.imports.size(); ++i) {
    const uint32_t name = s.Text(spec.imports[i]);
    uint8_t* d = s.At(imports + static_cast<uint32_t>(i * 20));
    StoreU32(d + 12, name);
    StoreU32(d + 16, thunk);
  }
  for (size_t i = 0; i < spec.delay_imports.size(); ++i) {
    const uint32_t name = s.Text(spec.delay_imports[i]);
    uint8_t* d = s.At(delays + static_cast<uint32_t>(i * 32));
    StoreU32(d, 1);  // RVA-based
    StoreU32(d + 4, name);
    StoreU32(d + 8, thunk);
    StoreU32(d + 12, thunk);
  }
  uint32_t clr = 0;
  if (spec.clr_version) {
    clr = s.Reserve(72);
    std::string version = *spec.clr_version;
    version.resize((version.size() + 4) & ~size_t{3}, '\0');  // zero-ended, padded to 4
    const uint32_t root = s.Reserve(16 + version.size());
    uint8_t* r = s.At(root);
    std::memcpy(r, "BSJB", 4);
    StoreU16(r + 4, 1);
    StoreU16(r + 6, 1);
    StoreU32(r + 12, static_cast<uint32_t>(version.size()));
    std::memcpy(r + 16, version.data(), version.size());
    uint8_t* h = s.At(clr);
    StoreU32(h, 72);
    StoreU16(h + 4, 2);
    StoreU16(h + 6, 5);
    StoreU32(h + 8, root);
    StoreU32(h + 12, static_cast<uint32_t>(16 + version.size()));
    StoreU32(h + 16, 1);  // IL only
  }
  uint32_t state = 0x2545F491;
  for (size_t i = 0; i < spec.tail; ++i) {
    state = state * 1664525 + 1013904223;
    s.bytes().push_back(static_cast<uint8_t>(state >> 24));
  }
  std::vector<uint8_t>& content = s.bytes();
  content.resize((content.size() + kFileAlignment - 1) / kFileAlignment * kFileAlignment, 0);
  // The resources in a last section of their own, as a linker puts them
  // and as the installer's resource rewriter wants them.
  const uint32_t resources =
      kTestPeSectionRva + (static_cast<uint32_t>(content.size()) + 0xFFF) / 0x1000 * 0x1000;
  std::vector<uint8_t> rsrc;
  if (spec.app_manifest) {
    ResourceEntry entry;
    entry.type.id = 24;
    entry.name.id = 1;
    entry.language = 0x409;
    entry.data.assign(spec.app_manifest->begin(), spec.app_manifest->end());
    rsrc = BuildResourceSection({entry}, resources);
  }
  const uint32_t rsrc_size = static_cast<uint32_t>(rsrc.size());
  rsrc.resize((rsrc.size() + kFileAlignment - 1) / kFileAlignment * kFileAlignment, 0);

  const uint16_t optional_size = spec.is_64bit ? 240 : 224;
  std::vector<uint8_t> image(kTestPeSectionRaw, 0);
  image[0] = 'M';
  image[1] = 'Z';
  StoreU32(&image[0x3C], kLfanew);
  uint8_t* pe = &image[kLfanew];
  std::memcpy(pe, "PE\0\0", 4);
  StoreU16(pe + 4, spec.is_64bit ? 0x8664 : 0x14C);
  StoreU16(pe + 6, rsrc.empty() ? 1 : 2);
  StoreU16(pe + 20, optional_size);
  StoreU16(pe + 22, spec.is_64bit ? 0x22 : 0x102);
  uint8_t* opt = &image[kTestPeOptionalHeader];
  StoreU16(opt, spec.is_64bit ? 0x20B : 0x10B);
  StoreU32(opt + (spec.is_64bit ? 24 : 28), 0x400000);  // ImageBase
  StoreU32(opt + 32, 0x1000);                           // SectionAlignment
  StoreU32(opt + 36, kFileAlignment);
  StoreU32(opt + 56, resources + (rsrc_size + 0xFFF) / 0x1000 * 0x1000);  // SizeOfImage
  StoreU32(opt + 60, kTestPeSectionRaw);                                         // SizeOfHeaders
  StoreU16(opt + 68, spec.subsystem);
  const uint32_t directories = spec.is_64bit ? 112 : 96;
  StoreU32(opt + directories - 4, 16);
  auto directory = [&](int index, uint32_t rva, uint32_t size) {
    StoreU32(opt + directories + index * 8, rva);
    StoreU32(opt + directories + index * 8 + 4, size);
  };
  if (!spec.imports.empty()) {
    directory(1, imports, static_cast<uint32_t>((spec.imports.size() + 1) * 20));
  }
  if (!spec.delay_imports.empty()) {
    directory(13, delays, static_cast<uint32_t>((spec.delay_imports.size() + 1) * 32));
  }
  if (clr != 0) directory(14, clr, 72);
  if (!rsrc.empty()) directory(2, resources, rsrc_size);
  uint8_t* section = opt + optional_size;
  std::memcpy(section, ".rdata", 6);
  StoreU32(section + 8, static_cast<uint32_t>(content.size()));
  StoreU32(section + 12, kTestPeSectionRva);
  StoreU32(section + 16, static_cast<uint32_t>(content.size()));
  StoreU32(section + 20, kTestPeSectionRaw);
  if (!rsrc.empty()) {
    uint8_t* second = section + 40;
    std::memcpy(second, ".rsrc", 5);
    StoreU32(second + 8, rsrc_size);
    StoreU32(second + 12, resources);
    StoreU32(second + 16, static_cast<uint32_t>(rsrc.size()));
    StoreU32(second + 20, kTestPeSectionRaw + static_cast<uint32_t>(content.size()));
  }
  image.insert(image.end(), content.begin(), content.end());
  image.insert(image.end(), rsrc.begin(), rsrc.end());
  return image;
}

}  // namespace lumipack::testing
