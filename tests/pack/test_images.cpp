#include "test_images.h"

#include "base/byte_io.h"
#include "package/package_format.h"
#include "pe_image.h"

namespace lumipack::testing {

using lumiset::StoreU16;
using lumiset::StoreU32;

namespace {

constexpr uint32_t kFileAlign = 0x200;
constexpr uint32_t kSectionAlign = 0x1000;
constexpr uint32_t kRelocRva = 0x3000;

}  // namespace

std::vector<ResourceEntry> IconAndDialogResources() {
  ResourceEntry icon1{{3, {}}, {1, {}}, 0x0409, 0, std::vector<uint8_t>(300, 0xA1)};
  ResourceEntry icon2{{3, {}}, {2, {}}, 0x0409, 0, std::vector<uint8_t>(700, 0xA2)};
  std::vector<uint8_t> group(6 + 2 * 14, 0);
  StoreU16(group, 2, 1);
  StoreU16(group, 4, 2);
  StoreU16(group, 6 + 12, 1);
  StoreU16(group, 6 + 14 + 12, 2);
  ResourceEntry main_group{{14, {}}, {128, {}}, 0x0409, 0, group};
  ResourceEntry dialog{{5, {}}, {100, {}}, 0x0409, 0, std::vector<uint8_t>(40, 0xD0)};
  return {icon1, icon2, main_group, dialog};
}

TestImage MakeImage(bool pe32_plus, const std::vector<ResourceEntry>& resources) {
  const uint32_t kRsrcRva = kTestRsrcRva;
  const auto rsrc = BuildResourceSection(resources, kRsrcRva);
  TestImage image;
  image.rsrc_size = rsrc.size();
  const size_t lfanew = 0x40;
  const uint16_t optional_size = pe32_plus ? 240 : 224;
  image.optional = lfanew + 24;
  image.sections = image.optional + optional_size;
  const uint32_t rsrc_raw = static_cast<uint32_t>((rsrc.size() + kFileAlign - 1) / kFileAlign * kFileAlign);
  image.bytes.assign(0x400 + rsrc_raw + kFileAlign, 0);
  auto& b = image.bytes;
  b[0] = 'M';
  b[1] = 'Z';
  StoreU32(b, 0x3C, lfanew);
  StoreU32(b, lfanew, 0x00004550);
  StoreU16(b, lfanew + 4, pe32_plus ? lumiset::kMachineX64 : lumiset::kMachineX86);
  StoreU16(b, lfanew + 6, 3);
  StoreU16(b, lfanew + 20, optional_size);
  StoreU16(b, image.optional, pe32_plus ? 0x20B : 0x10B);
  StoreU32(b, image.optional + 8, 0x400 + rsrc_raw);  // initialized data
  StoreU32(b, image.optional + 32, kSectionAlign);
  StoreU32(b, image.optional + 36, kFileAlign);
  StoreU32(b, image.optional + 56, 0x4000);
  StoreU32(b, image.optional + 60, 0x200);
  const size_t directory = image.optional + (pe32_plus ? 112 : 96);
  StoreU32(b, directory - 4, 16);
  StoreU32(b, directory + 2 * 8, kRsrcRva);
  StoreU32(b, directory + 2 * 8 + 4, static_cast<uint32_t>(rsrc.size()));
  StoreU32(b, directory + 5 * 8, kRelocRva);
  StoreU32(b, directory + 5 * 8 + 4, 12);
  const struct {
    const char* name;
    uint32_t va, vsize, raw, raw_size;
  } sections[] = {{".text", 0x1000, 0x10, 0x200, 0x200},
                  {".rsrc", kRsrcRva, static_cast<uint32_t>(rsrc.size()), 0x400, rsrc_raw},
                  {".reloc", kRelocRva, 12, 0x400 + rsrc_raw, kFileAlign}};
  for (size_t i = 0; i < 3; ++i) {
    const size_t s = image.sections + i * 40;
    for (size_t c = 0; sections[i].name[c] != 0; ++c) b[s + c] = static_cast<uint8_t>(sections[i].name[c]);
    StoreU32(b, s + 8, sections[i].vsize);
    StoreU32(b, s + 12, sections[i].va);
    StoreU32(b, s + 16, sections[i].raw_size);
    StoreU32(b, s + 20, sections[i].raw);
  }
  std::copy(rsrc.begin(), rsrc.end(), b.begin() + 0x400);
  for (size_t i = 0; i < 12; ++i) b[0x400 + rsrc_raw + i] = static_cast<uint8_t>(0xE0 + i);
  return image;
}


std::vector<uint8_t> StubImage(bool x64, std::string_view app_manifest) {
  std::vector<ResourceEntry> resources{
      ResourceEntry{{10, {}}, {0, u"DIALOGS"}, 0, 0, std::vector<uint8_t>(64, 0x44)},
      ResourceEntry{{10, {}}, {0, u"HELPDOCS"}, 0, 0, std::vector<uint8_t>(32, 0x48)}};
  if (!app_manifest.empty()) {
    constexpr uint16_t kManifestType = 24;
    resources.push_back(ResourceEntry{{kManifestType, {}}, {1, {}}, 0x0409, 0,
                                      std::vector<uint8_t>(app_manifest.begin(), app_manifest.end())});
  }
  return MakeImage(x64, resources).bytes;
}

}  // namespace lumipack::testing
