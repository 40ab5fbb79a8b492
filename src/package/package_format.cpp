#include "package/package_format.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstring>

#include "base/byte_io.h"
#include "package/pe_layout.h"

namespace lumiset {
namespace {

// Limits on where a sane PE image keeps its headers; the field offsets are
// in pe_layout.h.
constexpr uint32_t kMaxLfanew = 64u << 10;
constexpr uint16_t kMaxSections = 96;

constexpr size_t kInflateChunk = 64u << 10;

bool ReadU32At(ReadableFile& file, uint64_t offset, uint32_t* value) {
  uint8_t raw[4];
  if (!file.ReadAt(offset, raw, sizeof raw)) return false;
  *value = LoadU32(raw);
  return true;
}

bool MagicMatches(std::span<const uint8_t> bytes) {
  for (size_t i = 0; i < 4; ++i) {
    uint8_t c = bytes[i];
    if (c >= 'a' && c <= 'z') c = static_cast<uint8_t>(c - 'a' + 'A');
    if (c != kBlockMagic[i]) return false;
  }
  return true;
}

// Reads one length-prefixed item whose bytes must lie before `end`.
bool ReadItem(ReadableFile& file, uint64_t* pos, uint64_t end, uint32_t limit,
              std::vector<uint8_t>* out) {
  uint32_t length = 0;
  if (*pos > end || end - *pos < 4 || !ReadU32At(file, *pos, &length)) return false;
  *pos += 4;
  if (length > limit || length > end - *pos) return false;
  out->resize(length);
  if (length != 0 && !file.ReadAt(*pos, out->data(), length)) return false;
  *pos += length;
  return true;
}

}  // namespace

std::optional<PeFacts> ReadPeFacts(ReadableFile& file) {
  const uint64_t size = file.Size();
  uint8_t mz[2];
  if (!file.ReadAt(0, mz, 2) || mz[0] != 'M' || mz[1] != 'Z') return std::nullopt;
  uint32_t lfanew = 0;
  if (!ReadU32At(file, pe::kDosLfanew, &lfanew) || lfanew > kMaxLfanew) return std::nullopt;

  std::array<uint8_t, pe::kSignatureSize + pe::kCoffHeaderSize> coff{};
  if (!file.ReadAt(lfanew, coff.data(), coff.size())) return std::nullopt;
  if (std::memcmp(coff.data(), "PE\0\0", 4) != 0) return std::nullopt;
  const uint16_t sections = LoadU16(&coff[pe::kSignatureSize + pe::kCoffNumberOfSections]);
  const uint16_t optional_size = LoadU16(&coff[pe::kSignatureSize + pe::kCoffSizeOfOptionalHeader]);
  if (sections > kMaxSections) return std::nullopt;

  const uint64_t optional_at = uint64_t{lfanew} + coff.size();
  std::vector<uint8_t> optional(optional_size);
  if (optional_size < 2 || !file.ReadAt(optional_at, optional.data(), optional.size())) {
    return std::nullopt;
  }
  PeFacts facts;
  facts.machine = LoadU16(&coff[pe::kSignatureSize + pe::kCoffMachine]);
  const uint16_t magic = LoadU16(&optional[pe::kOptMagic]);
  uint32_t directory_start = 0;
  if (magic == pe::kPe32Magic) {
    directory_start = pe::kPe32DirectoryStart;
  } else if (magic == pe::kPe32PlusMagic) {
    directory_start = pe::kPe32PlusDirectoryStart;
    facts.is_64bit = true;
  } else {
    return std::nullopt;
  }
  // NumberOfRvaAndSizes sits just before the directory.
  if (optional_size < directory_start) return std::nullopt;
  const uint32_t directory_count = LoadU32(&optional[directory_start - 4]);
  const uint64_t header_end = LoadU32(&optional[pe::kOptSizeOfHeaders]);
  const uint32_t entry = directory_start + pe::kCertificateDirectory * pe::kDirectoryEntrySize;
  if (directory_count > pe::kCertificateDirectory &&
      entry + pe::kDirectoryEntrySize <= optional_size) {
    facts.cert_offset = LoadU32(&optional[entry]);
    facts.cert_size = LoadU32(&optional[entry + 4]);  // its size follows its offset
    facts.cert_entry_offset = static_cast<uint32_t>(optional_at + entry);
  }

  uint64_t image_end = std::max<uint64_t>(header_end, optional_at + optional_size);
  std::vector<uint8_t> table(size_t{sections} * pe::kSectionHeaderSize);
  if (!table.empty() && !file.ReadAt(optional_at + optional_size, table.data(), table.size())) {
    return std::nullopt;
  }
  image_end = std::max<uint64_t>(image_end, optional_at + optional_size + table.size());
  for (uint16_t i = 0; i < sections; ++i) {
    const uint8_t* s = &table[size_t{i} * pe::kSectionHeaderSize];
    const uint64_t raw_size = LoadU32(s + pe::kSectionSizeOfRawData);
    const uint64_t raw_pointer = LoadU32(s + pe::kSectionPointerToRawData);
    if (raw_size != 0) image_end = std::max(image_end, raw_pointer + raw_size);
  }
  if (image_end > size) return std::nullopt;
  facts.image_end = image_end;
  return facts;
}

std::optional<PackageLocation> LocatePackage(ReadableFile& file) {
  std::optional<PeFacts> pe = ReadPeFacts(file);
  if (!pe) return std::nullopt;
  const uint64_t size = file.Size();
  // Without a signature the trailer ends the file; with one it ends just
  // before the certificate table.
  const uint64_t trailer_end = pe->cert_offset != 0 ? pe->cert_offset : size;
  if (trailer_end > size || trailer_end < pe->image_end + kTrailerSize) return std::nullopt;
  PackageLocation where;
  where.pe = *pe;
  where.trailer_offset = trailer_end - kTrailerSize;
  uint32_t p = 0;
  if (!ReadU32At(file, where.trailer_offset, &p)) return std::nullopt;
  where.package_offset = p;
  if (where.package_offset < pe->image_end ||
      where.package_offset + kPackageLengthFields * 4 > where.trailer_offset) {
    return std::nullopt;
  }
  return where;
}

std::optional<PackageItems> ReadPackageItems(ReadableFile& file, const PackageLocation& where) {
  PackageItems items;
  uint64_t pos = where.package_offset;
  const uint64_t end = where.trailer_offset;
  if (!ReadItem(file, &pos, end, kMaxRecordItem, &items.record_item) ||
      !ReadItem(file, &pos, end, kMaxPictureItem, &items.picture_item) ||
      !ReadItem(file, &pos, end, kMaxUninstallerItem, &items.uninstaller_item) ||
      !ReadItem(file, &pos, end, kMaxCompanionItem, &items.companion_item)) {
    return std::nullopt;
  }
  items.data_offset = pos;
  items.data_end = end;
  return items;
}

bool SpanSource::Read(uint8_t* dst, size_t max, size_t* got) {
  const size_t n = std::min(max, bytes_.size() - pos_);
  if (n != 0) std::memcpy(dst, bytes_.data() + pos_, n);
  pos_ += n;
  *got = n;
  return true;
}

bool FileRegionSource::Read(uint8_t* dst, size_t max, size_t* got) {
  const uint64_t left = end_ > pos_ ? end_ - pos_ : 0;
  const size_t n = static_cast<size_t>(std::min<uint64_t>(max, left));
  *got = 0;
  if (n != 0) {
    failure_ = file_.ReadAt(pos_, dst, n);
    if (!failure_) return false;
  }
  pos_ += n;
  *got = n;
  return true;
}

DecodeStatus InflateStream(ByteSource& source, ByteSink& sink, uint64_t capacity) {
  z_stream zs{};
  if (inflateInit(&zs) != Z_OK) return DecodeStatus::kCorrupt;
  struct Closer {
    z_stream* zs;
    ~Closer() { inflateEnd(zs); }
  } closer{&zs};

  std::vector<uint8_t> in(kInflateChunk);
  std::vector<uint8_t> out(kInflateChunk);
  uint64_t produced = 0;
  bool input_done = false;
  for (;;) {
    if (zs.avail_in == 0 && !input_done) {
      size_t got = 0;
      if (!source.Read(in.data(), in.size(), &got)) return DecodeStatus::kReadFailed;
      if (got == 0) input_done = true;
      zs.next_in = in.data();
      zs.avail_in = static_cast<uInt>(got);
    }
    zs.next_out = out.data();
    zs.avail_out = static_cast<uInt>(out.size());
    const int rc = inflate(&zs, Z_NO_FLUSH);
    const size_t have = out.size() - zs.avail_out;
    if (have != 0) {
      if (have > capacity - produced) return DecodeStatus::kOverflow;
      if (!sink.Write(out.data(), have)) return DecodeStatus::kWriteFailed;
      produced += have;
    }
    if (rc == Z_STREAM_END) return DecodeStatus::kOk;
    if (rc == Z_BUF_ERROR) {
      // No progress possible: the input ran out before the stream ended.
      if (input_done && zs.avail_in == 0) return DecodeStatus::kCorrupt;
      continue;
    }
    if (rc != Z_OK) return DecodeStatus::kCorrupt;
    if (input_done && zs.avail_in == 0 && have == 0) return DecodeStatus::kCorrupt;
  }
}

std::optional<BlockHeader> ParseBlockHeader(std::span<const uint8_t> block) {
  if (block.size() < kBlockHeaderSize || !MagicMatches(block)) return std::nullopt;
  return BlockHeader{LoadU32(block.data() + 4)};
}

DecodeStatus DecodeBlock(std::span<const uint8_t> block, ByteSink& sink, uint32_t max_capacity) {
  std::optional<BlockHeader> header = ParseBlockHeader(block);
  if (!header) return DecodeStatus::kBadHeader;
  if (header->capacity > max_capacity) return DecodeStatus::kTooLarge;
  SpanSource source(block.subspan(kBlockHeaderSize));
  return InflateStream(source, sink, header->capacity);
}

Status WriteBlockToFile(Platform& platform, std::span<const uint8_t> block,
                        const std::string& path, uint32_t max_capacity) {
  CountingSink check;
  if (DecodeBlock(block, check, max_capacity) != DecodeStatus::kOk) {
    return Status::Failure("decode the damaged block for", path, 0);
  }
  StatusOr<std::unique_ptr<WritableFile>> created =
      platform.CreateForWrite(path, /*create_new=*/false);
  if (!created) return created.status();
  std::unique_ptr<WritableFile> file = std::move(created).value();
  FileSink sink(*file);
  const DecodeStatus decoded = DecodeBlock(block, sink, max_capacity);
  Status written = sink.failure();
  if (written && decoded != DecodeStatus::kOk) written = Status::Failure("decode", path, 0);
  const Status closed = file->Close();
  if (written && closed) return Status::Ok();
  file.reset();
  platform.RemoveFile(path).IgnoreError();
  return written ? closed : written;
}

std::optional<std::vector<uint8_t>> DecodeRecord(std::span<const uint8_t> item) {
  if (item.size() < kRecordHeaderSize) return std::nullopt;
  const uint32_t capacity = LoadU32(item.data());
  if (capacity > kMaxRecordDecoded) return std::nullopt;
  SpanSource source(item.subspan(kRecordHeaderSize));
  VectorSink sink;
  if (InflateStream(source, sink, capacity) != DecodeStatus::kOk) return std::nullopt;
  return std::move(sink.bytes());
}

}  // namespace lumiset
