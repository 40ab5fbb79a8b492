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

// Damage found while reading: `reason` says what is wrong with the file; a
// read that failed keeps the system's error code.
Status Damaged(std::string_view reason, const Status& read) {
  return Status::Failure(StatusCode::kCorrupt, reason, "", read.system_code());
}
Status Damaged(std::string_view reason) { return Status::Corrupt(reason); }

// Reads n bytes at offset; a failure is damage described by `reason`.
Status ReadOr(ReadableFile& file, uint64_t offset, void* dst, size_t n, std::string_view reason) {
  Status read = file.ReadAt(offset, dst, n);
  return read ? read : Damaged(reason, read);
}

Status ReadU32At(ReadableFile& file, uint64_t offset, uint32_t* value, std::string_view reason) {
  uint8_t raw[4];
  Status read = ReadOr(file, offset, raw, sizeof raw, reason);
  if (read) *value = LoadU32(raw);
  return read;
}

bool MagicMatches(std::span<const uint8_t> bytes) {
  for (size_t i = 0; i < 4; ++i) {
    uint8_t c = bytes[i];
    if (c >= 'a' && c <= 'z') c = static_cast<uint8_t>(c - 'a' + 'A');
    if (c != kBlockMagic[i]) return false;
  }
  return true;
}

// Damage of one item, worded in one place: "the <item> item<problem>".
Status ItemDamaged(std::string_view item, std::string_view problem, const Status& read) {
  std::string reason = "the ";
  reason += item;
  reason += " item";
  reason += problem;
  return Damaged(reason, read);
}

// Reads one length-prefixed item whose bytes must lie before `end`; `name`
// says which item in a failure.
Status ReadItem(ReadableFile& file, uint64_t* pos, uint64_t end, uint32_t limit,
                std::string_view name, std::vector<uint8_t>* out) {
  const Status ok;
  uint8_t raw[4];
  if (*pos > end || end - *pos < 4) return ItemDamaged(name, "'s length lies past the package", ok);
  if (Status read = file.ReadAt(*pos, raw, sizeof raw); !read) {
    return ItemDamaged(name, "'s length cannot be read", read);
  }
  const uint32_t length = LoadU32(raw);
  *pos += 4;
  if (length > limit) return ItemDamaged(name, " is larger than any package holds", ok);
  if (length > end - *pos) return ItemDamaged(name, " runs past the package", ok);
  out->resize(length);
  if (length != 0) {
    if (Status read = file.ReadAt(*pos, out->data(), length); !read) {
      return ItemDamaged(name, " cannot be read", read);
    }
  }
  *pos += length;
  return Status::Ok();
}

// The PE reader's work; every failure is one Status return, so that the
// many checks cost a call each.
Status ReadPeFactsInto(ReadableFile& file, PeFacts& facts) {
  const uint64_t size = file.Size();
  uint8_t mz[2];
  if (!file.ReadAt(0, mz, 2) || mz[0] != 'M' || mz[1] != 'Z') {
    return Damaged("the file does not start with an MZ header");
  }
  uint32_t lfanew = 0;
  if (Status read = ReadU32At(file, pe::kDosLfanew, &lfanew, "the file ends inside its DOS header");
      !read) {
    return read;
  }
  if (lfanew > kMaxLfanew) return Damaged("the PE header lies too far into the file");

  std::array<uint8_t, pe::kSignatureSize + pe::kCoffHeaderSize> coff{};
  if (Status read = ReadOr(file, lfanew, coff.data(), coff.size(), "the file ends inside its PE header");
      !read) {
    return read;
  }
  if (std::memcmp(coff.data(), "PE\0\0", 4) != 0) return Damaged("the PE signature is missing");
  const uint16_t sections = LoadU16(&coff[pe::kSignatureSize + pe::kCoffNumberOfSections]);
  const uint16_t optional_size = LoadU16(&coff[pe::kSignatureSize + pe::kCoffSizeOfOptionalHeader]);
  if (sections > kMaxSections) return Damaged("the PE header declares too many sections");

  const uint64_t optional_at = uint64_t{lfanew} + coff.size();
  std::vector<uint8_t> optional(optional_size);
  if (optional_size < 2) return Damaged("the PE optional header is missing");
  if (Status read = ReadOr(file, optional_at, optional.data(), optional.size(),
                           "the file ends inside its PE optional header");
      !read) {
    return read;
  }
  facts.machine = LoadU16(&coff[pe::kSignatureSize + pe::kCoffMachine]);
  const uint16_t magic = LoadU16(&optional[pe::kOptMagic]);
  uint32_t directory_start = 0;
  if (magic == pe::kPe32Magic) {
    directory_start = pe::kPe32DirectoryStart;
  } else if (magic == pe::kPe32PlusMagic) {
    directory_start = pe::kPe32PlusDirectoryStart;
    facts.is_64bit = true;
  } else {
    return Damaged("the PE optional header is neither PE32 nor PE32+");
  }
  // NumberOfRvaAndSizes sits just before the directory.
  if (optional_size < directory_start) return Damaged("the PE optional header is cut short");
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
  if (!table.empty()) {
    if (Status read = ReadOr(file, optional_at + optional_size, table.data(), table.size(),
                             "the file ends inside its section table");
        !read) {
      return read;
    }
  }
  image_end = std::max<uint64_t>(image_end, optional_at + optional_size + table.size());
  for (uint16_t i = 0; i < sections; ++i) {
    const uint8_t* s = &table[size_t{i} * pe::kSectionHeaderSize];
    const uint64_t raw_size = LoadU32(s + pe::kSectionSizeOfRawData);
    const uint64_t raw_pointer = LoadU32(s + pe::kSectionPointerToRawData);
    if (raw_size != 0) image_end = std::max(image_end, raw_pointer + raw_size);
  }
  if (image_end > size) return Damaged("the program's sections run past the end of the file");
  facts.image_end = image_end;
  return Status::Ok();
}

Status LocatePackageInto(ReadableFile& file, PackageLocation& where) {
  if (Status read = ReadPeFactsInto(file, where.pe); !read) return read;
  const PeFacts* pe = &where.pe;
  const uint64_t size = file.Size();
  // Without a signature the trailer ends the file; with one it ends just
  // before the certificate table.
  const uint64_t trailer_end = pe->cert_offset != 0 ? pe->cert_offset : size;
  if (trailer_end > size) return Damaged("the signature's table lies past the end of the file");
  if (trailer_end < pe->image_end + kTrailerSize) {
    return Damaged("no package follows the program");
  }
  where.trailer_offset = trailer_end - kTrailerSize;
  uint32_t p = 0;
  if (Status read = ReadU32At(file, where.trailer_offset, &p, "the package's trailer cannot be read");
      !read) {
    return read;
  }
  where.package_offset = p;
  if (where.package_offset < where.pe.image_end ||
      where.package_offset + kPackageLengthFields * 4 > where.trailer_offset) {
    return Damaged("the trailer points outside the package");
  }
  return Status::Ok();
}

}  // namespace

StatusOr<PeFacts> ReadPeFacts(ReadableFile& file) {
  PeFacts facts;
  if (Status read = ReadPeFactsInto(file, facts); !read) return read;
  return facts;
}

StatusOr<PackageLocation> LocatePackage(ReadableFile& file) {
  PackageLocation where;
  if (Status read = LocatePackageInto(file, where); !read) return read;
  return where;
}

StatusOr<PackageItems> ReadPackageItems(ReadableFile& file, const PackageLocation& where) {
  PackageItems items;
  uint64_t pos = where.package_offset;
  const uint64_t end = where.trailer_offset;
  const struct {
    std::string_view name;
    uint32_t limit;
    std::vector<uint8_t>* out;
  } fields[] = {
      {"setup record", kMaxRecordItem, &items.record_item},
      {"picture", kMaxPictureItem, &items.picture_item},
      {"uninstaller", kMaxUninstallerItem, &items.uninstaller_item},
      {"companion program", kMaxCompanionItem, &items.companion_item},
  };
  for (const auto& field : fields) {
    if (Status read = ReadItem(file, &pos, end, field.limit, field.name, field.out); !read) {
      return read;
    }
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

StatusOr<std::vector<uint8_t>> DecodeRecord(std::span<const uint8_t> item) {
  if (item.size() < kRecordHeaderSize) return Damaged("the setup record is cut short");
  const uint32_t capacity = LoadU32(item.data());
  if (capacity > kMaxRecordDecoded) return Damaged("the setup record is larger than any package holds");
  SpanSource source(item.subspan(kRecordHeaderSize));
  VectorSink sink;
  if (InflateStream(source, sink, capacity) != DecodeStatus::kOk) {
    return Damaged("the setup record does not decode");
  }
  return std::move(sink.bytes());
}

}  // namespace lumiset
