#include "test_package.h"

#include <cstring>

#include "base/byte_io.h"
#include "package/package_format.h"

namespace lumiset::testing {

std::vector<uint8_t> MinimalPeImage(size_t section_bytes) {
  constexpr uint32_t kLfanew = 0x80;
  constexpr uint32_t kHeaders = 0x200;
  std::vector<uint8_t> image(kHeaders + section_bytes, 0);
  image[0] = 'M';
  image[1] = 'Z';
  StoreU32(&image[0x3C], kLfanew);
  uint8_t* pe = &image[kLfanew];
  pe[0] = 'P';
  pe[1] = 'E';
  StoreU16(pe + 4, 0x14C);   // i386
  StoreU16(pe + 6, 1);       // one section
  StoreU16(pe + 20, 224);    // optional header size
  StoreU16(pe + 22, 0x102);  // executable, 32-bit
  uint8_t* opt = pe + 24;
  StoreU16(opt, 0x10B);
  StoreU32(opt + 60, kHeaders);  // SizeOfHeaders
  StoreU16(opt + 68, 2);         // Subsystem: Windows GUI, as a screensaver's is
  StoreU32(opt + 92, 16);        // NumberOfRvaAndSizes
  uint8_t* section = opt + 224;
  std::memcpy(section, ".text", 5);
  StoreU32(section + 16, static_cast<uint32_t>(section_bytes));
  StoreU32(section + 20, kHeaders);
  for (size_t i = 0; i < section_bytes; ++i) image[kHeaders + i] = static_cast<uint8_t>(i * 7);
  return image;
}

SetupRecord SampleRecord() {
  SetupRecord r;
  r.title = "Starfield";
  r.copyright = "(c) 2026 Lumiset Samples|unused";
  r.company = "Lumiset Samples";
  r.licence_text = "Licence for {ScrName}.";
  r.language = 1;
  r.scr_file_name = "starfield";
  r.picture_format = kPictureBmp;
  r.show_header_text = 1;
  r.header_text_color = 0x00FFFFFF;
  r.accent_color = 0x00FF0000;
  r.show_setup_options = 1;
  r.open_display_properties = 1;
  r.create_start_menu_entry = 1;
  r.create_desktop_icon = 0;
  r.detect_existing = 1;
  r.show_info_page = 1;
  r.info_text = "Installs into {DestFolder}.";
  return r;
}

std::vector<uint8_t> BuildInstaller(const TestPackage& package) {
  PackageContents contents;
  contents.screensaver_block = EncodeBlock(package.screensaver, 6);
  SetupRecord record = package.record;
  record.screensaver_block_length = static_cast<uint32_t>(
      static_cast<int64_t>(contents.screensaver_block.size()) + package.block_length_skew);
  if (package.stated_block_length) record.screensaver_block_length = *package.stated_block_length;
  contents.record_item = EncodeRecordItem(EncodeSetupRecord(record), 6);
  if (!package.picture.empty()) contents.picture_block = EncodeBlock(package.picture, 6);
  if (!package.uninstaller.empty()) contents.uninstaller_block = EncodeBlock(package.uninstaller, 6);
  contents.companion_program = package.companion;
  contents.screensaver_block.resize(contents.screensaver_block.size() + package.padding, 0);
  std::vector<uint8_t> image = package.stub.empty() ? MinimalPeImage() : package.stub;
  AppendPackage(image, contents);
  return image;
}

void AttachFakeSignature(std::vector<uint8_t>& image, uint32_t cert_size, uint32_t cert_entry) {
  const uint32_t offset = static_cast<uint32_t>(image.size());
  StoreU32(&image[cert_entry], offset);
  StoreU32(&image[cert_entry + 4], cert_size);
  for (uint32_t i = 0; i < cert_size; ++i) image.push_back(static_cast<uint8_t>(0xC0 + i % 31));
}

std::vector<uint8_t> MakeBmp(int32_t width, int32_t height, uint16_t bits, uint32_t compression,
                             const std::vector<uint32_t>& palette,
                             const std::vector<uint8_t>& pixel_data) {
  ByteWriter w;
  const uint32_t offset = 14 + 40 + static_cast<uint32_t>(palette.size()) * 4;
  w.Text("BM");
  w.U32(offset + static_cast<uint32_t>(pixel_data.size()));
  w.U32(0);
  w.U32(offset);
  w.U32(40);
  w.U32(static_cast<uint32_t>(width));
  w.U32(static_cast<uint32_t>(height));
  w.U16(1);
  w.U16(bits);
  w.U32(compression);
  w.U32(compression == 0 ? 0 : static_cast<uint32_t>(pixel_data.size()));
  w.U32(2835);
  w.U32(2835);
  w.U32(static_cast<uint32_t>(palette.size()));
  w.U32(0);
  for (uint32_t c : palette) w.U32(c);
  w.Bytes(pixel_data);
  return w.Take();
}

}  // namespace lumiset::testing
