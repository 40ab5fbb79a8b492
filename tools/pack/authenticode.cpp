#include "authenticode.h"

#include <algorithm>

#include "base/byte_io.h"
#include "sha.h"

namespace lumipack {
namespace {

// One DER element: its tag and its content within the bytes it was read from.
struct Der {
  uint8_t tag = 0;
  std::span<const uint8_t> content;
};

constexpr uint8_t kSequence = 0x30;
constexpr uint8_t kSet = 0x31;
constexpr uint8_t kOid = 0x06;
constexpr uint8_t kOctetString = 0x04;
constexpr uint8_t kInteger = 0x02;
constexpr uint8_t kContextZero = 0xA0;

// Reads the element at the front of `bytes` and moves past it; nullopt when
// it is not a whole, definite-length element with a one-byte tag.
std::optional<Der> Next(std::span<const uint8_t>& bytes) {
  if (bytes.size() < 2 || (bytes[0] & 0x1F) == 0x1F) return std::nullopt;
  const uint8_t tag = bytes[0];
  size_t length = bytes[1];
  size_t header = 2;
  if (length & 0x80) {
    const size_t count = length & 0x7F;
    if (count == 0 || count > 4 || bytes.size() < 2 + count) return std::nullopt;
    length = 0;
    for (size_t i = 0; i < count; ++i) length = length << 8 | bytes[2 + i];
    header += count;
  }
  if (length > bytes.size() - header) return std::nullopt;
  Der der{tag, bytes.subspan(header, length)};
  bytes = bytes.subspan(header + length);
  return der;
}

// The element at the front of `bytes` when it has `tag`.
std::optional<Der> Expect(std::span<const uint8_t>& bytes, uint8_t tag) {
  std::optional<Der> der = Next(bytes);
  if (!der || der->tag != tag) return std::nullopt;
  return der;
}

bool OidIs(const Der& oid, std::initializer_list<uint8_t> encoded) {
  return oid.tag == kOid && std::equal(oid.content.begin(), oid.content.end(), encoded.begin(),
                                       encoded.end());
}

std::string OidText(std::span<const uint8_t> oid) {
  if (oid.empty()) return "?";
  std::string text = std::to_string(oid[0] / 40) + "." + std::to_string(oid[0] % 40);
  uint64_t value = 0;
  for (size_t i = 1; i < oid.size(); ++i) {
    value = value << 7 | (oid[i] & 0x7F);
    if ((oid[i] & 0x80) == 0) {
      text += "." + std::to_string(value);
      value = 0;
    }
    if (value > (uint64_t{1} << 56)) return "?";
  }
  return text;
}

constexpr uint16_t kCertificateRevision2 = 0x0200;
constexpr uint16_t kPkcsSignedData = 0x0002;
constexpr size_t kWinCertificateHeader = 8;

}  // namespace

std::optional<SignedDigest> ReadSignedDigest(std::span<const uint8_t> table) {
  if (table.size() < kWinCertificateHeader) return std::nullopt;
  const uint32_t length = lumiset::LoadU32(table, 0);
  if (length < kWinCertificateHeader || length > table.size() ||
      lumiset::LoadU16(table, 4) != kCertificateRevision2 ||
      lumiset::LoadU16(table, 6) != kPkcsSignedData) {
    return std::nullopt;
  }
  std::span<const uint8_t> bytes = table.subspan(kWinCertificateHeader, length - kWinCertificateHeader);
  // ContentInfo { signedData, [0] SignedData }
  std::optional<Der> content_info = Expect(bytes, kSequence);
  if (!content_info) return std::nullopt;
  std::span<const uint8_t> ci = content_info->content;
  std::optional<Der> type = Expect(ci, kOid);
  if (!type || !OidIs(*type, {0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x07, 0x02})) {
    return std::nullopt;
  }
  std::optional<Der> explicit_signed = Expect(ci, kContextZero);
  if (!explicit_signed) return std::nullopt;
  std::span<const uint8_t> sd_bytes = explicit_signed->content;
  std::optional<Der> signed_data = Expect(sd_bytes, kSequence);
  if (!signed_data) return std::nullopt;
  // SignedData { version, digestAlgorithms, contentInfo, ... }
  std::span<const uint8_t> sd = signed_data->content;
  if (!Expect(sd, kInteger) || !Expect(sd, kSet)) return std::nullopt;
  std::optional<Der> inner = Expect(sd, kSequence);
  if (!inner) return std::nullopt;
  std::span<const uint8_t> in = inner->content;
  std::optional<Der> inner_type = Expect(in, kOid);
  // SPC_INDIRECT_DATA_OBJID 1.3.6.1.4.1.311.2.1.4
  if (!inner_type ||
      !OidIs(*inner_type, {0x2B, 0x06, 0x01, 0x04, 0x01, 0x82, 0x37, 0x02, 0x01, 0x04})) {
    return std::nullopt;
  }
  std::optional<Der> explicit_indirect = Expect(in, kContextZero);
  if (!explicit_indirect) return std::nullopt;
  std::span<const uint8_t> ind_bytes = explicit_indirect->content;
  std::optional<Der> indirect = Expect(ind_bytes, kSequence);
  if (!indirect) return std::nullopt;
  // SpcIndirectDataContent { data, messageDigest DigestInfo }
  std::span<const uint8_t> id = indirect->content;
  if (!Expect(id, kSequence)) return std::nullopt;
  std::optional<Der> digest_info = Expect(id, kSequence);
  if (!digest_info) return std::nullopt;
  std::span<const uint8_t> di = digest_info->content;
  std::optional<Der> algorithm = Expect(di, kSequence);
  std::optional<Der> digest = Expect(di, kOctetString);
  if (!algorithm || !digest) return std::nullopt;
  std::span<const uint8_t> alg = algorithm->content;
  std::optional<Der> alg_oid = Expect(alg, kOid);
  if (!alg_oid) return std::nullopt;
  SignedDigest result;
  if (OidIs(*alg_oid, {0x60, 0x86, 0x48, 0x01, 0x65, 0x03, 0x04, 0x02, 0x01})) {
    result.algorithm = "SHA-256";
  } else if (OidIs(*alg_oid, {0x2B, 0x0E, 0x03, 0x02, 0x1A})) {
    result.algorithm = "SHA-1";
  } else {
    result.algorithm = OidText(alg_oid->content);
  }
  result.digest.assign(digest->content.begin(), digest->content.end());
  return result;
}

// The headers of a PE image are read from its first bytes, at most these.
constexpr size_t kMaxHeadBytes = 64u << 10;

bool SignatureReader::ReadHeaders() {
  constexpr size_t kLfanewAt = 0x3C;
  constexpr uint64_t kOptionalAt = 4 + 20;  // after "PE\0\0" and the COFF header
  constexpr uint64_t kChecksumInOptional = 64;
  constexpr uint16_t kPe32 = 0x10B;
  constexpr uint16_t kPe32Plus = 0x20B;
  constexpr uint64_t kCertificateEntry = 4 * 8;
  if (head_.size() < kLfanewAt + 4) return false;
  const uint64_t optional = uint64_t{lumiset::LoadU32(head_, kLfanewAt)} + kOptionalAt;
  if (optional + 2 > kMaxHeadBytes) {
    phase_ = Phase::kUnreadable;
    return true;
  }
  if (head_.size() < optional + 2) return false;
  const uint16_t magic = lumiset::LoadU16(head_, static_cast<size_t>(optional));
  if (magic != kPe32 && magic != kPe32Plus) {
    phase_ = Phase::kUnreadable;
    return true;
  }
  const uint64_t directories = optional + (magic == kPe32 ? 96 : 112);
  const uint64_t entry = directories + kCertificateEntry;
  if (head_.size() < entry + 8) return false;
  const uint32_t count = lumiset::LoadU32(head_, static_cast<size_t>(directories - 4));
  checksum_at_ = optional + kChecksumInOptional;
  entry_at_ = entry;
  if (count <= 4) {
    phase_ = Phase::kUnsigned;
    return true;
  }
  cert_offset_ = lumiset::LoadU32(head_, static_cast<size_t>(entry));
  cert_size_ = lumiset::LoadU32(head_, static_cast<size_t>(entry) + 4);
  if (cert_offset_ == 0) {
    phase_ = Phase::kUnsigned;
    return true;
  }
  if (cert_size_ > kMaxCertificateTable || cert_offset_ < entry + 8) {
    phase_ = Phase::kUnreadable;
    return true;
  }
  // The digest's algorithm is known only from the table at the end, so
  // both are computed.
  sha1_.emplace(Sha::Kind::kSha1);
  sha256_.emplace(Sha::Kind::kSha256);
  phase_ = Phase::kBody;
  return true;
}

void SignatureReader::Hash(std::span<const uint8_t> bytes) {
  while (!bytes.empty()) {
    // The part of `bytes` up to the next place where what happens changes.
    uint64_t end = at_ + bytes.size();
    bool skip = false;
    bool table = false;
    for (const auto& [from, to] : {std::pair{checksum_at_, checksum_at_ + 4},
                                  std::pair{entry_at_, entry_at_ + 8},
                                  std::pair{cert_offset_, cert_offset_ + cert_size_}}) {
      if (at_ >= from && at_ < to) {
        skip = true;
        table = from == cert_offset_;
        end = std::min(end, to);
      } else if (at_ < from) {
        end = std::min(end, from);
      }
    }
    if (at_ >= cert_offset_ + cert_size_) skip = true;  // after the table: not signed
    const std::span<const uint8_t> part = bytes.first(static_cast<size_t>(end - at_));
    if (table) table_.insert(table_.end(), part.begin(), part.end());
    if (!skip) {
      sha1_->Add(part);
      sha256_->Add(part);
    }
    at_ = end;
    bytes = bytes.subspan(part.size());
  }
}

void SignatureReader::Add(std::span<const uint8_t> bytes) {
  if (phase_ == Phase::kHead) {
    const size_t take = std::min(bytes.size(), kMaxHeadBytes - head_.size());
    head_.insert(head_.end(), bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(take));
    bytes = bytes.subspan(take);
    if (!ReadHeaders()) {
      if (head_.size() == kMaxHeadBytes) phase_ = Phase::kUnreadable;
      return;
    }
    if (phase_ != Phase::kBody) return;
    std::vector<uint8_t> head = std::move(head_);
    head_.clear();
    Hash(head);
  }
  if (phase_ == Phase::kBody) Hash(bytes);
}

SignatureCheck SignatureReader::Finish() {
  SignatureCheck check;
  if (phase_ == Phase::kUnsigned || (phase_ == Phase::kHead && head_.size() < 0x40)) return check;
  check.state = SignatureCheck::State::kUnreadable;
  if (phase_ != Phase::kBody || table_.size() != cert_size_) return check;
  const std::optional<SignedDigest> signed_digest = ReadSignedDigest(table_);
  if (!signed_digest) return check;
  check.algorithm = signed_digest->algorithm;
  std::optional<Sha>* sha = signed_digest->algorithm == "SHA-256" ? &sha256_
                            : signed_digest->algorithm == "SHA-1" ? &sha1_
                                                                  : nullptr;
  if (sha == nullptr) {
    check.state = SignatureCheck::State::kUnknownHash;
    return check;
  }
  check.state = (*sha)->Finish() == signed_digest->digest ? SignatureCheck::State::kIntact
                                                          : SignatureCheck::State::kAltered;
  return check;
}

SignatureCheck CheckSignature(lumiset::ReadableFile& file) {
  SignatureReader reader;
  constexpr uint64_t kPiece = 1u << 20;
  std::vector<uint8_t> piece;
  for (uint64_t at = 0; at < file.Size();) {
    piece.resize(static_cast<size_t>(std::min(kPiece, file.Size() - at)));
    if (!file.ReadAt(at, piece.data(), piece.size()).ok()) {
      return SignatureCheck{SignatureCheck::State::kUnreadable, {}};
    }
    reader.Add(piece);
    at += piece.size();
  }
  return reader.Finish();
}

SignatureCheck CheckSignature(std::span<const uint8_t> program) {
  SignatureReader reader;
  reader.Add(program);
  return reader.Finish();
}

std::string_view SignatureStateName(SignatureCheck::State state) {
  switch (state) {
    case SignatureCheck::State::kUnsigned:
      return "unsigned";
    case SignatureCheck::State::kIntact:
      return "intact";
    case SignatureCheck::State::kAltered:
      return "altered after signing";
    case SignatureCheck::State::kUnreadable:
      return "unreadable";
    case SignatureCheck::State::kUnknownHash:
      return "not checked";
  }
  return "unreadable";
}

}  // namespace lumipack
