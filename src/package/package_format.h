#pragma once

// The package that the packer appends to the installer and the installer
// reads back. Packer and installer both use this one definition.
//
//   offset 0      +---------------------------------------------+
//                 | installer image (PE32), possibly with its   |
//                 | own overlay                                 |
//   P             +---------------------------------------------+
//                 | u32 L1 | record item  (u32 R + zlib stream)  |
//                 | u32 L2 | page picture block, or L2 = 0      |
//                 | u32 L3 | uninstaller block, or L3 = 0       |
//                 | u32 L4 | companion program (raw), or L4 = 0 |
//   D = P+16+L1+L2+L3+L4                                        |
//                 | screensaver block                          |
//                 | zero padding (readers ignore it)            |
//   T             | u32 trailer = P                             |
//   T + 4         +---------------------------------------------+
//                 | nothing, or the certificate table of a      |
//                 | signed file (T + 4 = its offset C)          |
//                 +---------------------------------------------+
//
// A compressed block is the magic "TVZB" (letter case ignored), a u32
// capacity R, then a zlib stream (RFC 1950) that decodes to at most R bytes;
// bytes after the stream's end are ignored. All integers are little-endian.
// C is read from the PE header's certificate-table directory entry; the
// packer pads so the file length is a multiple of 8, which code signing
// requires of the data before the certificate table.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "base/platform.h"

namespace lumiset {

inline constexpr uint8_t kBlockMagic[4] = {'T', 'V', 'Z', 'B'};
inline constexpr size_t kBlockHeaderSize = 8;     // magic + capacity
inline constexpr size_t kRecordHeaderSize = 4;    // capacity
inline constexpr size_t kPackageLengthFields = 4; // L1 to L4
inline constexpr size_t kTrailerSize = 4;
inline constexpr size_t kSignatureAlignment = 8;

// Plausibility limits applied before any allocation. Each is far above what a
// screensaver package holds and far below what would exhaust the machine.
inline constexpr uint32_t kMaxRecordItem = 4u << 20;
inline constexpr uint32_t kMaxRecordDecoded = 4u << 20;
inline constexpr uint32_t kMaxPictureItem = 16u << 20;
inline constexpr uint32_t kMaxPictureDecoded = 32u << 20;
inline constexpr uint32_t kMaxUninstallerItem = 64u << 20;
inline constexpr uint32_t kMaxUninstallerDecoded = 128u << 20;
inline constexpr uint32_t kMaxCompanionItem = 128u << 20;

// What the PE headers say about the file's layout.
struct PeFacts {
  uint64_t image_end = 0;       // first byte after the headers and sections
  uint32_t cert_offset = 0;     // certificate table, 0 when unsigned
  uint32_t cert_size = 0;
  uint32_t cert_entry_offset = 0;  // file offset of the directory entry
  uint16_t machine = 0;         // the COFF header's target machine
  bool is_64bit = false;        // PE32+ rather than PE32
};

// COFF machine values of the two architectures the installer is built for.
inline constexpr uint16_t kMachineX86 = 0x014C;
inline constexpr uint16_t kMachineX64 = 0x8664;

// Reads the PE headers; a kCorrupt failure saying what is wrong when the
// file is not a PE image.
StatusOr<PeFacts> ReadPeFacts(ReadableFile& file);

// Where the package lies in an installer file.
struct PackageLocation {
  uint64_t package_offset = 0;  // P
  uint64_t trailer_offset = 0;  // T; the screensaver block ends before it
  PeFacts pe;
};

// Finds the package through the trailer, signed or not. Fails when the file
// is not a PE image, the certificate table or the trailer points outside the
// file, or the package would start inside the image or after the trailer.
StatusOr<PackageLocation> LocatePackage(ReadableFile& file);

// The four header items as read, and where the screensaver block lies.
struct PackageItems {
  std::vector<uint8_t> record_item;
  std::vector<uint8_t> picture_item;
  std::vector<uint8_t> uninstaller_item;
  std::vector<uint8_t> companion_item;
  uint64_t data_offset = 0;      // D
  uint64_t data_end = 0;         // T: the block runs from D up to here
};

// Reads the four length-prefixed items. Each length is checked against the
// bytes left before the trailer and against its limit before any memory is
// taken for it; a failure names the item.
StatusOr<PackageItems> ReadPackageItems(ReadableFile& file, const PackageLocation& where);

// ---- compressed blocks -----------------------------------------------------

enum class DecodeStatus {
  kOk,
  kBadHeader,    // too short, or a wrong magic
  kTooLarge,     // the stated capacity is over the caller's limit
  kCorrupt,      // not a zlib stream, a bad check value, or cut short
  kOverflow,     // decodes to more than its capacity
  kReadFailed,   // the source could not deliver its bytes
  kWriteFailed,  // the sink refused bytes
};

// A pull source of compressed bytes.
class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // Fills up to max bytes; sets *got to the count, 0 at the end of the data.
  // False on a read error.
  virtual bool Read(uint8_t* dst, size_t max, size_t* got) = 0;
};

// A push sink for decoded bytes.
class ByteSink {
 public:
  virtual ~ByteSink() = default;
  virtual bool Write(const uint8_t* src, size_t n) = 0;
};

class SpanSource final : public ByteSource {
 public:
  explicit SpanSource(std::span<const uint8_t> bytes) : bytes_(bytes) {}
  bool Read(uint8_t* dst, size_t max, size_t* got) override;

 private:
  std::span<const uint8_t> bytes_;
  size_t pos_ = 0;
};

// Reads a file region [offset, end) in pieces.
class FileRegionSource final : public ByteSource {
 public:
  FileRegionSource(ReadableFile& file, uint64_t offset, uint64_t end)
      : file_(file), pos_(offset), end_(end) {}
  bool Read(uint8_t* dst, size_t max, size_t* got) override;
  // Why the last read failed; ok while none has.
  const Status& failure() const { return failure_; }

 private:
  ReadableFile& file_;
  Status failure_;
  uint64_t pos_;
  uint64_t end_;
};

// Counts what it is given and keeps nothing.
class CountingSink final : public ByteSink {
 public:
  bool Write(const uint8_t*, size_t n) override {
    count_ += n;
    return true;
  }
  uint64_t count() const { return count_; }

 private:
  uint64_t count_ = 0;
};

class VectorSink final : public ByteSink {
 public:
  bool Write(const uint8_t* src, size_t n) override {
    out_.insert(out_.end(), src, src + n);
    return true;
  }
  std::vector<uint8_t>& bytes() { return out_; }

 private:
  std::vector<uint8_t> out_;
};

// Writes into an open file.
class FileSink final : public ByteSink {
 public:
  explicit FileSink(WritableFile& file) : file_(file) {}
  bool Write(const uint8_t* src, size_t n) override {
    failure_ = file_.Write(src, n);
    return failure_.ok();
  }
  // Why the last write failed; ok while none has.
  const Status& failure() const { return failure_; }

 private:
  WritableFile& file_;
  Status failure_;
};

// Decodes one zlib stream from source into sink through fixed buffers,
// stopping at the stream's end (later bytes are not read). More than
// capacity decoded bytes is kOverflow; sink sees at most capacity bytes.
DecodeStatus InflateStream(ByteSource& source, ByteSink& sink, uint64_t capacity);

// The capacity of a compressed block, once its header is checked.
struct BlockHeader {
  uint32_t capacity = 0;
};
std::optional<BlockHeader> ParseBlockHeader(std::span<const uint8_t> block);

// Decodes a block held in memory. The capacity must not exceed max_capacity.
DecodeStatus DecodeBlock(std::span<const uint8_t> block, ByteSink& sink, uint32_t max_capacity);

// Decodes a block held in memory into a file, created or truncated. The
// stream is checked whole before the file is touched, so a damaged block
// leaves no file and an existing one unchanged; a write that fails removes
// the partial file.
Status WriteBlockToFile(Platform& platform, std::span<const uint8_t> block, const std::string& path,
                      uint32_t max_capacity);

// Decodes the record item (u32 capacity + zlib stream); a kCorrupt failure
// when it does not decode or its capacity is over kMaxRecordDecoded.
StatusOr<std::vector<uint8_t>> DecodeRecord(std::span<const uint8_t> item);

// ---- writing ---------------------------------------------------------------

// A zlib stream of `content` at `level` (0 to 9).
std::vector<uint8_t> CompressZlib(std::span<const uint8_t> content, int level);

// "TVZB", the content's length, and its zlib stream.
std::vector<uint8_t> EncodeBlock(std::span<const uint8_t> content, int level);
// Wraps an already-made zlib stream of `content_size` bytes into a block.
std::vector<uint8_t> WrapBlock(uint32_t content_size, std::span<const uint8_t> zlib_stream);
// The record's length and its zlib stream.
std::vector<uint8_t> EncodeRecordItem(std::span<const uint8_t> record, int level);

struct PackageContents {
  std::vector<uint8_t> record_item;        // from EncodeRecordItem
  std::vector<uint8_t> picture_block;      // from EncodeBlock, or empty
  std::vector<uint8_t> uninstaller_block;  // from EncodeBlock, or empty
  std::vector<uint8_t> companion_program;  // stored as is, or empty
  std::vector<uint8_t> screensaver_block;  // from EncodeBlock
};

// Appends the package, zero padding and the trailer to an installer image so
// that the result's length is a multiple of 8. False when the image is
// already signed or the result would not fit the format's 32-bit offsets.
bool AppendPackage(std::vector<uint8_t>& image, const PackageContents& contents);

}  // namespace lumiset
