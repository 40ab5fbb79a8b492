#include "package/package_format.h"

#include <gtest/gtest.h>

#include "base/byte_io.h"
#include "base/memory_file.h"
#include "support/fake_platform.h"
#include "support/test_package.h"

namespace lumiset {
namespace {

using testing::AttachFakeSignature;
using testing::BuildInstaller;
using testing::FakePlatform;
using testing::TestPackage;

std::vector<uint8_t> Bytes(std::string_view s) { return {s.begin(), s.end()}; }

std::vector<uint8_t> DecodeAll(std::span<const uint8_t> block, DecodeStatus* status,
                               uint32_t limit = UINT32_MAX) {
  VectorSink sink;
  *status = DecodeBlock(block, sink, limit);
  return std::move(sink.bytes());
}

StatusOr<PackageItems> ReadItems(const std::vector<uint8_t>& file_bytes) {
  MemoryFile file(file_bytes);
  StatusOr<PackageLocation> where = LocatePackage(file);
  if (!where) return where.status();
  return ReadPackageItems(file, *where);
}

TEST(PackageLayout, RoundTripsEveryItemAndPadsToEightBytes) {
  TestPackage pkg;
  pkg.picture = Bytes("picture bytes");
  pkg.uninstaller = Bytes("uninstaller program");
  pkg.companion = Bytes("companion, stored raw");
  pkg.screensaver = std::vector<uint8_t>(100000, 0x42);
  const std::vector<uint8_t> installer = BuildInstaller(pkg);
  EXPECT_EQ(installer.size() % 8, 0u);

  StatusOr<PackageItems> items = ReadItems(installer);
  ASSERT_TRUE(items);
  EXPECT_EQ(items->companion_item, pkg.companion);
  DecodeStatus status;
  EXPECT_EQ(DecodeAll(items->picture_item, &status), pkg.picture);
  EXPECT_EQ(DecodeAll(items->uninstaller_item, &status), pkg.uninstaller);
  const std::span<const uint8_t> block(installer.data() + items->data_offset,
                                       items->data_end - items->data_offset);
  EXPECT_EQ(DecodeAll(block, &status), pkg.screensaver);
  EXPECT_EQ(status, DecodeStatus::kOk);
}

TEST(PackageLayout, EmptyOptionalItemsPutTheDataRightAfterTheRecord) {
  const std::vector<uint8_t> installer = BuildInstaller(TestPackage{});
  MemoryFile file(installer);
  StatusOr<PackageLocation> where = LocatePackage(file);
  ASSERT_TRUE(where);
  StatusOr<PackageItems> items = ReadPackageItems(file, *where);
  ASSERT_TRUE(items);
  EXPECT_TRUE(items->picture_item.empty());
  EXPECT_TRUE(items->uninstaller_item.empty());
  EXPECT_TRUE(items->companion_item.empty());
  EXPECT_EQ(items->data_offset, where->package_offset + 16 + items->record_item.size());
}

TEST(PackageLayout, SignedInstallerFindsItsTrailerBeforeTheCertificateTable) {
  TestPackage pkg;
  pkg.screensaver = Bytes("the screensaver");
  std::vector<uint8_t> installer = BuildInstaller(pkg);
  const size_t unsigned_size = installer.size();
  AttachFakeSignature(installer);
  MemoryFile file(installer);
  StatusOr<PackageLocation> where = LocatePackage(file);
  ASSERT_TRUE(where);
  EXPECT_EQ(where->trailer_offset, unsigned_size - 4);
  StatusOr<PackageItems> items = ReadPackageItems(file, *where);
  ASSERT_TRUE(items);
  DecodeStatus status;
  const std::span<const uint8_t> block(installer.data() + items->data_offset,
                                       items->data_end - items->data_offset);
  EXPECT_EQ(DecodeAll(block, &status), pkg.screensaver);
}

TEST(PackageLayout, RefusesToAppendToASignedImage) {
  std::vector<uint8_t> image = testing::MinimalPeImage();
  AttachFakeSignature(image);
  EXPECT_FALSE(AppendPackage(image, PackageContents{}));
}

TEST(PackageLayout, PeFactsOfTheMinimalImage) {
  const std::vector<uint8_t> image = testing::MinimalPeImage(1000);
  MemoryFile file(image);
  StatusOr<PeFacts> pe = ReadPeFacts(file);
  ASSERT_TRUE(pe);
  EXPECT_EQ(pe->image_end, 0x200u + 1000);
  EXPECT_EQ(pe->cert_entry_offset, testing::kMinimalPeCertEntry);
  EXPECT_FALSE(pe->is_64bit);
}

// Corruption fixtures: every way a hostile or damaged file can lie about its
// layout must fail to locate or read the package, never read out of bounds,
// and say what is wrong (the log of a damaged installer shows it).
struct Corruption {
  const char* name;
  void (*mutate)(std::vector<uint8_t>&);
  const char* reason;
};

void SetTrailer(std::vector<uint8_t>& f, uint32_t p) { StoreU32(&f[f.size() - 4], p); }
uint32_t Trailer(const std::vector<uint8_t>& f) { return LoadU32(&f[f.size() - 4]); }
// Offset of the length field of item `index` (0 to 3).
uint32_t LengthField(const std::vector<uint8_t>& f, int index) {
  uint32_t at = Trailer(f);
  for (int i = 0; i < index; ++i) at += 4 + LoadU32(&f[at]);
  return at;
}

const Corruption kCorruptions[] = {
    {"trailer past the end", [](auto& f) { SetTrailer(f, static_cast<uint32_t>(f.size()) + 10); },
     "the trailer points outside the package"},
    {"trailer at the end", [](auto& f) { SetTrailer(f, static_cast<uint32_t>(f.size()) - 4); },
     "the trailer points outside the package"},
    {"trailer into the stub", [](auto& f) { SetTrailer(f, 0x100); },
     "the trailer points outside the package"},
    {"trailer zero", [](auto& f) { SetTrailer(f, 0); }, "the trailer points outside the package"},
    {"record length all ones", [](auto& f) { StoreU32(&f[LengthField(f, 0)], 0xFFFFFFFF); },
     "the setup record item is larger than any package holds"},
    {"picture length all ones", [](auto& f) { StoreU32(&f[LengthField(f, 1)], 0xFFFFFFFF); },
     "the picture item is larger than any package holds"},
    {"uninstaller length all ones",
     [](auto& f) { StoreU32(&f[LengthField(f, 2)], 0xFFFFFFFF); },
     "the uninstaller item is larger than any package holds"},
    {"companion length past the trailer",
     [](auto& f) { StoreU32(&f[LengthField(f, 3)], static_cast<uint32_t>(f.size())); },
     "the companion program item runs past the package"},
    {"companion ends exactly at the trailer",
     [](auto& f) {
       const uint32_t at = LengthField(f, 3);
       StoreU32(&f[at], static_cast<uint32_t>(f.size() - 4 - at - 4 + 1));
     },
     "the companion program item runs past the package"},
    {"not a PE image", [](auto& f) { f[0] = 'X'; }, "does not start with an MZ header"},
    {"certificate table past the end",
     [](auto& f) { StoreU32(&f[testing::kMinimalPeCertEntry], static_cast<uint32_t>(f.size() + 8)); },
     "the signature's table lies past the end of the file"},
    {"certificate table inside the image",
     [](auto& f) { StoreU32(&f[testing::kMinimalPeCertEntry], 0x100); },
     "no package follows the program"},
    {"e_lfanew past the end", [](auto& f) { StoreU32(&f[0x3C], 0x7FFFFFF0); },
     "the PE header lies too far into the file"},
    {"section past the end",
     [](auto& f) { StoreU32(&f[0x80 + 24 + 224 + 16], static_cast<uint32_t>(f.size())); },
     "sections run past the end of the file"},
};

TEST(PackageLayout, CorruptLayoutsFailCleanly) {
  TestPackage pkg;
  pkg.picture = Bytes("p");
  pkg.companion = Bytes("c");
  for (const Corruption& c : kCorruptions) {
    std::vector<uint8_t> installer = BuildInstaller(pkg);
    c.mutate(installer);
    StatusOr<PackageItems> items = ReadItems(installer);
    ASSERT_FALSE(items) << c.name;
    EXPECT_EQ(items.status().code(), StatusCode::kCorrupt) << c.name;
    EXPECT_NE(items.status().what().find(c.reason), std::string_view::npos)
        << c.name << ": " << items.status().ToString();
  }
}

TEST(PackageLayout, EveryTruncationFailsToLoad) {
  TestPackage pkg;
  pkg.uninstaller = Bytes("uninstaller");
  pkg.screensaver = std::vector<uint8_t>(300, 1);
  const std::vector<uint8_t> installer = BuildInstaller(pkg);
  for (size_t len = 0; len < installer.size(); ++len) {
    const std::vector<uint8_t> cut(installer.begin(), installer.begin() + static_cast<long>(len));
    StatusOr<PackageItems> items = ReadItems(cut);
    if (items) {
      // A cut that happens to leave a plausible trailer must still fail on
      // the record, which the loader decodes next.
      EXPECT_FALSE(DecodeRecord(items->record_item)) << "length " << len;
    }
  }
}

TEST(Blocks, MagicIsComparedWithoutLetterCase) {
  for (const char* magic : {"TVZB", "tvzb", "TvZb", "tVzB"}) {
    std::vector<uint8_t> block = EncodeBlock(Bytes("content"), 9);
    std::memcpy(block.data(), magic, 4);
    DecodeStatus status;
    EXPECT_EQ(DecodeAll(block, &status), Bytes("content")) << magic;
  }
}

TEST(Blocks, CapacityAndStreamRules) {
  const std::vector<uint8_t> content = Bytes("0123456789");
  const std::vector<uint8_t> stream = CompressZlib(content, 9);
  struct Case {
    const char* name;
    std::vector<uint8_t> block;
    DecodeStatus status;
    size_t decoded;
  };
  std::vector<uint8_t> trailing = WrapBlock(10, stream);
  trailing.insert(trailing.end(), {0, 0, 0, 0, 0xAB});
  std::vector<uint8_t> truncated = WrapBlock(10, stream);
  truncated.resize(truncated.size() - 3);
  std::vector<uint8_t> flipped = WrapBlock(10, stream);
  flipped[flipped.size() - 1] ^= 0x01;  // the Adler-32 check
  std::vector<uint8_t> wrong_magic = WrapBlock(10, stream);
  wrong_magic[0] = 'X';
  const Case cases[] = {
      {"exact capacity", WrapBlock(10, stream), DecodeStatus::kOk, 10},
      {"capacity larger than the content", WrapBlock(100, stream), DecodeStatus::kOk, 10},
      {"content larger than the capacity", WrapBlock(9, stream), DecodeStatus::kOverflow, 9},
      {"zero capacity", WrapBlock(0, stream), DecodeStatus::kOverflow, 0},
      {"bytes after the stream", trailing, DecodeStatus::kOk, 10},
      {"stream cut short", truncated, DecodeStatus::kCorrupt, 10},
      {"bad check value", flipped, DecodeStatus::kCorrupt, 10},
      {"no stream at all", WrapBlock(10, {}), DecodeStatus::kCorrupt, 0},
      {"header cut short", Bytes("TVZB\x01"), DecodeStatus::kBadHeader, 0},
      {"wrong magic", wrong_magic, DecodeStatus::kBadHeader, 0},
  };
  for (const Case& c : cases) {
    DecodeStatus status;
    const std::vector<uint8_t> out = DecodeAll(c.block, &status);
    EXPECT_EQ(status, c.status) << c.name;
    if (status == DecodeStatus::kOk) EXPECT_EQ(out.size(), c.decoded) << c.name;
    EXPECT_LE(out.size(), c.decoded) << c.name;
  }
}

TEST(Blocks, EmptyContentDecodesToNothing) {
  DecodeStatus status;
  EXPECT_TRUE(DecodeAll(EncodeBlock({}, 9), &status).empty());
  EXPECT_EQ(status, DecodeStatus::kOk);
}

TEST(Blocks, CapacityOverTheCallersLimitIsRefusedBeforeDecoding) {
  // A bomb: a few hundred bytes that claim and would produce 64 MiB.
  const std::vector<uint8_t> zeros(64u << 20, 0);
  const std::vector<uint8_t> bomb = EncodeBlock(zeros, 9);
  ASSERT_LT(bomb.size(), 100000u);
  DecodeStatus status;
  DecodeAll(bomb, &status, kMaxPictureDecoded);
  EXPECT_EQ(status, DecodeStatus::kTooLarge);
}

TEST(Blocks, WriteBlockToFileLeavesNoFileOrTheOldOneWhenTheBlockIsDamaged) {
  FakePlatform fs;
  std::vector<uint8_t> damaged = EncodeBlock(Bytes("new content"), 9);
  damaged[damaged.size() - 2] ^= 0xFF;
  EXPECT_FALSE(WriteBlockToFile(fs, damaged, "C:\\Downloads\\a.bin", UINT32_MAX));
  EXPECT_FALSE(fs.HasFile("C:\\Downloads\\a.bin"));

  fs.AddFile("C:\\Downloads\\b.bin", "old");
  EXPECT_FALSE(WriteBlockToFile(fs, damaged, "C:\\Downloads\\b.bin", UINT32_MAX));
  EXPECT_EQ(fs.FileBytes("C:\\Downloads\\b.bin"), Bytes("old"));

  EXPECT_TRUE(WriteBlockToFile(fs, EncodeBlock(Bytes("new"), 9), "C:\\Downloads\\b.bin", 100));
  EXPECT_EQ(fs.FileBytes("C:\\Downloads\\b.bin"), Bytes("new"));
  EXPECT_FALSE(WriteBlockToFile(fs, EncodeBlock(Bytes("x"), 9), "C:\\Nowhere\\c.bin", 100));
}

TEST(Blocks, StreamingDecodeMatchesForLargeInputsReadInPieces) {
  std::vector<uint8_t> content(3u << 20);
  uint32_t x = 12345;
  for (auto& b : content) {
    x = x * 1103515245 + 12345;
    b = static_cast<uint8_t>((x >> 16) % 7);  // compressible, not trivial
  }
  const std::vector<uint8_t> block = EncodeBlock(content, 6);
  MemoryFile file(block);
  FileRegionSource source(file, kBlockHeaderSize, block.size());
  VectorSink sink;
  EXPECT_EQ(InflateStream(source, sink, content.size()), DecodeStatus::kOk);
  EXPECT_EQ(sink.bytes(), content);
}

TEST(Records, DecodeRecordChecksItsCapacity) {
  const std::vector<uint8_t> record = Bytes("record bytes");
  StatusOr<std::vector<uint8_t>> decoded = DecodeRecord(EncodeRecordItem(record, 9));
  ASSERT_TRUE(decoded);
  EXPECT_EQ(*decoded, record);
  std::vector<uint8_t> item = EncodeRecordItem(record, 9);
  StoreU32(item.data(), kMaxRecordDecoded + 1);
  EXPECT_FALSE(DecodeRecord(item));
  StoreU32(item.data(), 3);
  EXPECT_FALSE(DecodeRecord(item)) << "decodes to more than its capacity";
  EXPECT_FALSE(DecodeRecord(Bytes("\x01\x00")));
}

}  // namespace
}  // namespace lumiset
