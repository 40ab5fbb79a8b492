#include "package/package_format.h"

// The writing half of the package format, kept in its own object so that the
// installer, which only reads, links no compressor.

#include <zlib.h>

#include "base/byte_io.h"
#include "base/memory_file.h"

namespace lumiset {

std::vector<uint8_t> CompressZlib(std::span<const uint8_t> content, int level) {
  uLongf bound = compressBound(static_cast<uLong>(content.size()));
  std::vector<uint8_t> out(bound);
  if (compress2(out.data(), &bound, content.data(), static_cast<uLong>(content.size()), level) !=
      Z_OK) {
    return {};
  }
  out.resize(bound);
  return out;
}

std::vector<uint8_t> WrapBlock(uint32_t content_size, std::span<const uint8_t> zlib_stream) {
  ByteWriter w;
  w.Bytes(kBlockMagic);
  w.U32(content_size);
  w.Bytes(zlib_stream);
  return w.Take();
}

std::vector<uint8_t> EncodeBlock(std::span<const uint8_t> content, int level) {
  return WrapBlock(static_cast<uint32_t>(content.size()), CompressZlib(content, level));
}

std::vector<uint8_t> EncodeRecordItem(std::span<const uint8_t> record, int level) {
  ByteWriter w;
  w.U32(static_cast<uint32_t>(record.size()));
  w.Bytes(CompressZlib(record, level));
  return w.Take();
}

bool AppendPackage(std::vector<uint8_t>& image, const PackageContents& contents) {
  {
    MemoryFile file(image);
    StatusOr<PeFacts> pe = ReadPeFacts(file);
    if (pe && pe->cert_offset != 0) return false;
  }
  const uint64_t package_offset = image.size();
  const std::vector<uint8_t>* items[] = {&contents.record_item, &contents.picture_block,
                                         &contents.uninstaller_block, &contents.companion_program};
  uint64_t total = package_offset + contents.screensaver_block.size() + kTrailerSize +
                   kSignatureAlignment;
  for (const auto* item : items) total += 4 + item->size();
  if (total > UINT32_MAX) return false;

  ByteWriter w;
  w.buffer() = std::move(image);
  for (const auto* item : items) {
    w.U32(static_cast<uint32_t>(item->size()));
    w.Bytes(*item);
  }
  w.Bytes(contents.screensaver_block);
  while ((w.buffer().size() + kTrailerSize) % kSignatureAlignment != 0) w.buffer().push_back(0);
  w.U32(static_cast<uint32_t>(package_offset));
  image = w.Take();
  return true;
}

}  // namespace lumiset
