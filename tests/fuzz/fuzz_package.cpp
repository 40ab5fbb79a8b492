// Hostile installer files: locating the package, reading its items and
// decoding every block must stay in bounds and in bounded memory.
#include <cstddef>
#include <cstdint>

#include "base/memory_file.h"
#include "package/package_format.h"
#include "package/setup_record.h"

using namespace lumiset;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  MemoryFile file({data, size});
  StatusOr<PackageLocation> where = LocatePackage(file);
  if (!where) return 0;
  StatusOr<PackageItems> items = ReadPackageItems(file, *where);
  if (!items) return 0;
  if (StatusOr<std::vector<uint8_t>> record = DecodeRecord(items->record_item)) {
    ParseSetupRecord(*record).status().IgnoreError();
  }
  CountingSink sink;
  DecodeBlock(items->picture_item, sink, kMaxPictureDecoded);
  DecodeBlock(items->uninstaller_item, sink, kMaxUninstallerDecoded);
  FileRegionSource source(file, items->data_offset + kBlockHeaderSize, items->data_end);
  if (items->data_end - items->data_offset >= kBlockHeaderSize) {
    InflateStream(source, sink, 64u << 20);
  }
  return 0;
}
