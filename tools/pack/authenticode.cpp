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

SignatureCheck CheckSignature(lumiset::ReadableFile& file, const lumiset::PeFacts& pe) {
  SignatureCheck check;
  if (pe.cert_offset == 0) return check;
  check.state = SignatureCheck::State::kUnreadable;
  const uint64_t size = file.Size();
  if (pe.cert_size > kMaxCertificateTable || pe.cert_offset > size ||
      pe.cert_size > size - pe.cert_offset || pe.cert_entry_offset + 8u > pe.cert_offset) {
    return check;
  }
  std::vector<uint8_t> table(pe.cert_size);
  if (!file.ReadAt(pe.cert_offset, table.data(), table.size()).ok()) return check;
  const std::optional<SignedDigest> signed_digest = ReadSignedDigest(table);
  if (!signed_digest) return check;
  check.algorithm = signed_digest->algorithm;
  std::optional<Sha::Kind> kind;
  if (signed_digest->algorithm == "SHA-256") kind = Sha::Kind::kSha256;
  if (signed_digest->algorithm == "SHA-1") kind = Sha::Kind::kSha1;
  if (!kind) {
    check.state = SignatureCheck::State::kUnknownHash;
    return check;
  }
  // The checksum field lies in the optional header, 64 bytes in, before
  // the directory entry that the package format has already located.
  uint8_t lfanew[4];
  if (!file.ReadAt(0x3C, lfanew, sizeof lfanew).ok()) return check;
  const uint64_t checksum_at = uint64_t{lumiset::LoadU32(lfanew)} + 4 + 20 + 64;
  if (checksum_at + 4 > pe.cert_entry_offset) return check;
  Sha sha(*kind);
  std::vector<uint8_t> piece;
  const auto hash = [&](uint64_t from, uint64_t to) {
    constexpr uint64_t kPiece = 1u << 20;
    while (from < to) {
      piece.resize(static_cast<size_t>(std::min(kPiece, to - from)));
      if (!file.ReadAt(from, piece.data(), piece.size()).ok()) return false;
      sha.Add(piece);
      from += piece.size();
    }
    return true;
  };
  if (!hash(0, checksum_at) || !hash(checksum_at + 4, pe.cert_entry_offset) ||
      !hash(pe.cert_entry_offset + 8, pe.cert_offset)) {
    return check;
  }
  check.state = sha.Finish() == signed_digest->digest ? SignatureCheck::State::kIntact
                                                      : SignatureCheck::State::kAltered;
  return check;
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
