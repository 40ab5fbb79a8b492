#include "installer_reader.h"

#include "authenticode.h"

#include <algorithm>
#include <cstring>

#include "ansi_text.h"
#include "base/byte_io.h"
#include "base/memory_file.h"
#include "pe_image.h"

namespace lumipack {
namespace {

using lumiset::DecodeStatus;

// Enough of a program's start for its PE headers: the header offset is at
// most 64 KiB and the section table follows it.
constexpr size_t kPeHeaderPrefix = 128u << 10;

// Keeps a decoded program's first bytes, counts the rest and checks its
// signature on the way.
class PrefixSink final : public lumiset::ByteSink {
 public:
  bool Write(const uint8_t* src, size_t n) override {
    const size_t keep = std::min(n, kPeHeaderPrefix - std::min(prefix_.size(), kPeHeaderPrefix));
    prefix_.insert(prefix_.end(), src, src + keep);
    total_ += n;
    signature_.Add(std::span(src, n));
    return true;
  }
  const std::vector<uint8_t>& prefix() const { return prefix_; }
  uint64_t total() const { return total_; }
  SignatureCheck Signature() { return signature_.Finish(); }

 private:
  std::vector<uint8_t> prefix_;
  uint64_t total_ = 0;
  SignatureReader signature_;
};

// A file of `size` bytes of which only the first are known, for reading
// the PE headers of a program that is not kept whole.
class PrefixFile final : public lumiset::ReadableFile {
 public:
  PrefixFile(const std::vector<uint8_t>& prefix, uint64_t size) : prefix_(prefix), size_(size) {}
  uint64_t Size() override { return size_; }
  lumiset::Status ReadAt(uint64_t offset, void* dst, size_t n) override {
    if (offset > prefix_.size() || n > prefix_.size() - offset) return lumiset::ShortRead();
    if (n != 0) std::memcpy(dst, prefix_.data() + offset, n);
    return lumiset::Status::Ok();
  }

 private:
  const std::vector<uint8_t>& prefix_;
  uint64_t size_;
};

ItemCheck DecodeItem(const std::vector<uint8_t>& item, uint64_t offset, uint32_t limit,
                     std::vector<uint8_t>* decoded) {
  ItemCheck check;
  check.present = !item.empty();
  check.offset = offset;
  check.stored_size = item.size();
  if (!check.present) return check;
  if (std::optional<lumiset::BlockHeader> header = lumiset::ParseBlockHeader(item)) {
    check.capacity = header->capacity;
  }
  lumiset::VectorSink sink;
  check.status = lumiset::DecodeBlock(item, sink, limit);
  check.decoded_size = sink.bytes().size();
  if (check.status == DecodeStatus::kOk) *decoded = std::move(sink.bytes());
  return check;
}

ItemCheck DecodeRecordItem(const std::vector<uint8_t>& item, uint64_t offset,
                           std::vector<uint8_t>* decoded) {
  ItemCheck check;
  check.present = true;
  check.offset = offset;
  check.stored_size = item.size();
  if (item.size() < lumiset::kRecordHeaderSize) {
    check.status = DecodeStatus::kBadHeader;
    return check;
  }
  check.capacity = lumiset::LoadU32(item.data());
  if (*check.capacity > lumiset::kMaxRecordDecoded) {
    check.status = DecodeStatus::kTooLarge;
    return check;
  }
  lumiset::SpanSource source(std::span<const uint8_t>(item).subspan(lumiset::kRecordHeaderSize));
  lumiset::VectorSink sink;
  check.status = lumiset::InflateStream(source, sink, *check.capacity);
  check.decoded_size = sink.bytes().size();
  if (check.status == DecodeStatus::kOk) *decoded = std::move(sink.bytes());
  return check;
}

ItemCheck DecodeScreensaver(lumiset::ReadableFile& file, const lumiset::PackageItems& items,
                            std::optional<lumiset::PeFacts>* pe, SignatureCheck* signature) {
  ItemCheck check;
  check.present = true;
  check.offset = items.data_offset;
  check.stored_size = items.data_end - items.data_offset;
  uint8_t header[lumiset::kBlockHeaderSize];
  if (check.stored_size < sizeof header || !file.ReadAt(items.data_offset, header, sizeof header)) {
    check.status = DecodeStatus::kBadHeader;
    return check;
  }
  std::optional<lumiset::BlockHeader> parsed = lumiset::ParseBlockHeader(header);
  if (!parsed) {
    check.status = DecodeStatus::kBadHeader;
    return check;
  }
  check.capacity = parsed->capacity;
  lumiset::FileRegionSource source(file, items.data_offset + sizeof header, items.data_end);
  PrefixSink sink;
  check.status = lumiset::InflateStream(source, sink, parsed->capacity);
  check.decoded_size = sink.total();
  if (check.status == DecodeStatus::kOk) {
    PrefixFile program(sink.prefix(), sink.total());
    *pe = PeFactsOf(program);
    if (*pe) *signature = sink.Signature();
  }
  return check;
}

}  // namespace

std::string_view DecodeStatusName(DecodeStatus status) {
  switch (status) {
    case DecodeStatus::kOk:
      return "ok";
    case DecodeStatus::kBadHeader:
      return "bad block header";
    case DecodeStatus::kTooLarge:
      return "stated size over the installer's limit";
    case DecodeStatus::kCorrupt:
      return "corrupt or cut short";
    case DecodeStatus::kOverflow:
      return "decodes to more than its stated size";
    case DecodeStatus::kReadFailed:
      return "cannot be read";
    case DecodeStatus::kWriteFailed:
      return "cannot be written";
  }
  return "unknown";
}

std::vector<StoredText> RecordTexts(const lumiset::SetupRecord& r) {
  std::vector<StoredText> texts = {{r.title},         {r.copyright},
                                   {r.company},       {r.licence_text, true},
                                   {r.scr_file_name}, {r.info_text, true}};
  if (r.HasExtension()) {
    for (const std::string& text : r.extension.texts) texts.push_back({text});
  }
  return texts;
}

std::string InstallerContents::Utf8(const std::string& stored, bool has_blocks) const {
  return DecodeStoredText({stored, has_blocks}, code_page);
}

bool InstallerContents::ok() const { return FirstProblem().empty(); }

bool InstallerContents::ItemsDecode() const {
  return record && record_item.ok() && picture.ok() && uninstaller.ok() && companion.ok() &&
         screensaver.ok();
}

bool InstallerContents::BlockLengthMatches() const {
  if (!record) return false;
  const uint64_t length = record->screensaver_block_length;
  return length <= screensaver.stored_size &&
         screensaver.stored_size - length < lumiset::kSignatureAlignment;
}

std::string InstallerContents::FirstProblem() const {
  const std::pair<const char*, const ItemCheck*> checks[] = {{"the record", &record_item},
                                                             {"the page picture", &picture},
                                                             {"the uninstaller", &uninstaller},
                                                             {"the companion program", &companion},
                                                             {"the screensaver", &screensaver}};
  for (const auto& [what, check] : checks) {
    if (!check->ok())
      return std::string(what) + ": " + std::string(DecodeStatusName(check->status));
  }
  if (!record) return "the record: its fields run past its end";
  const std::pair<const char*, const SignatureCheck*> signatures[] = {
      {"the signature", &signature},
      {"the uninstaller's signature", &uninstaller_signature},
      {"the companion program's signature", &companion_signature},
      {"the screensaver's signature", &screensaver_signature}};
  for (const auto& [what, check] : signatures) {
    if (check->state == SignatureCheck::State::kAltered) {
      return std::string(what) + ": the program was changed after it was signed (its " +
             check->algorithm + " digest does not match its bytes)";
    }
  }
  if (!picture_problem.empty()) return "the page picture: " + picture_problem;
  return {};
}

Result<InstallerContents> ReadInstaller(const std::filesystem::path& path) {
  Result<std::unique_ptr<FileReader>> opened = FileReader::Open(path);
  if (!opened) return opened.status();
  lumiset::ReadableFile& file = **opened;

  InstallerContents c;
  c.name = Utf8FromPath(path);
  c.file_size = file.Size();
  c.stub_pe = PeFactsOf(file);
  if (!c.stub_pe) return Status::Failure(c.name + ": not a PE image, so not an installer");
  lumiset::StatusOr<lumiset::PackageLocation> where = lumiset::LocatePackage(file);
  if (!where) {
    return Status::Failure(c.name + ": no package found (not an installer, or cut short or " +
                           "damaged: " + std::string(where.status().what()) + ")");
  }
  c.where = *where;
  lumiset::StatusOr<lumiset::PackageItems> items = lumiset::ReadPackageItems(file, *where);
  if (!items) {
    return Status::Failure(c.name + ": " + std::string(items.status().what()) +
                           " (cut short or damaged)");
  }
  c.items = std::move(*items);
  c.signature = CheckSignature(file);

  uint64_t offset = c.where.package_offset + 4;
  std::vector<uint8_t> record_bytes;
  c.record_item = DecodeRecordItem(c.items.record_item, offset, &record_bytes);
  if (c.record_item.ok()) {
    if (lumiset::StatusOr<lumiset::SetupRecord> record = lumiset::ParseSetupRecord(record_bytes)) {
      c.record = std::move(*record);
    }
  }
  offset += c.items.record_item.size() + 4;

  c.picture =
      DecodeItem(c.items.picture_item, offset, lumiset::kMaxPictureDecoded, &c.picture_bytes);
  if (c.picture.present && c.picture.ok()) {
    c.picture_info = IdentifyPicture(c.picture_bytes);
    if (!c.picture_info) {
      c.picture_problem = "not a BMP, JPEG or PNG file";
    } else if (std::optional<std::string> problem =
                   PictureProblem(c.picture_bytes, *c.picture_info)) {
      c.picture_problem = "the " + std::string(PictureFormatName(c.picture_info->format)) +
                          " cannot be used: " + *problem;
    }
  }
  offset += c.items.picture_item.size() + 4;

  c.uninstaller = DecodeItem(c.items.uninstaller_item, offset, lumiset::kMaxUninstallerDecoded,
                             &c.uninstaller_bytes);
  if (c.uninstaller.present && c.uninstaller.ok()) {
    c.uninstaller_pe = ReadPeOf(c.uninstaller_bytes);
    if (c.uninstaller_pe) c.uninstaller_signature = CheckSignature(c.uninstaller_bytes);
  }
  offset += c.items.uninstaller_item.size() + 4;

  c.companion.present = !c.items.companion_item.empty();
  c.companion.offset = offset;
  c.companion.stored_size = c.items.companion_item.size();
  c.companion.compressed = false;
  c.companion.decoded_size = c.companion.stored_size;
  if (c.companion.present) c.companion_pe = ReadPeOf(c.items.companion_item);
  if (c.companion_pe) c.companion_signature = CheckSignature(c.items.companion_item);

  c.screensaver =
      DecodeScreensaver(file, c.items, &c.screensaver_pe, &c.screensaver_signature);
  if (c.screensaver.ok()) {
    // Decoded again, in bounded passes, for the few parts the lint reads.
    InflatedRangeReader program(file, c.items.data_offset + lumiset::kBlockHeaderSize,
                                c.items.data_end, c.screensaver.decoded_size);
    c.screensaver_findings = LintScreensaverBytes(program, ArchOf(*c.stub_pe));
  }

  if (c.record) c.code_page = ReadingCodePage(RecordTexts(*c.record), c.record->language);
  return c;
}

}  // namespace lumipack
