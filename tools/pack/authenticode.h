#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "base/platform.h"
#include "package/package_format.h"
#include "sha.h"

namespace lumipack {

// The digest an Authenticode signature names: the hash algorithm and the
// hash of the signed file it was made over.
struct SignedDigest {
  std::string algorithm;  // "SHA-256", "SHA-1", or the OID of another
  std::vector<uint8_t> digest;
};

// The largest certificate table read; real ones hold a few kilobytes.
inline constexpr uint32_t kMaxCertificateTable = 1u << 20;

// The digest in the first signature of a certificate table (WIN_CERTIFICATE
// holding PKCS #7 SignedData of SpcIndirectDataContent): nullopt when the
// bytes are not such a table. Every length is checked against the bytes.
std::optional<SignedDigest> ReadSignedDigest(std::span<const uint8_t> table);

// What an Authenticode signature's digest says about the file it is in.
struct SignatureCheck {
  enum class State {
    kUnsigned,     // no certificate table
    kIntact,       // the digest matches the file's bytes
    kAltered,      // the file changed after it was signed
    kUnreadable,   // the certificate table is not a signature lumipack reads
    kUnknownHash,  // a hash algorithm lumipack does not compute
  };
  State state = State::kUnsigned;
  std::string algorithm;
};

// Checks a program's signature from its bytes given in order, for programs
// that are decoded as a stream and never held whole: hashes them as
// Authenticode does (all bytes before the certificate table but the
// checksum field and the certificate table's directory entry), keeps the
// certificate table, and compares the hash with the signature's digest.
// Only the digest is checked, not the signer's certificate chain.
class SignatureReader {
 public:
  SignatureReader() = default;
  void Add(std::span<const uint8_t> bytes);
  // The check of what was added, which must be the whole program.
  SignatureCheck Finish();

 private:
  // Reads the headers once `head_` holds them; false while it needs more.
  bool ReadHeaders();
  void Hash(std::span<const uint8_t> bytes);

  enum class Phase { kHead, kBody, kUnsigned, kUnreadable };
  Phase phase_ = Phase::kHead;
  std::vector<uint8_t> head_;
  uint64_t at_ = 0;  // of the next byte Hash() sees
  uint64_t checksum_at_ = 0;
  uint64_t entry_at_ = 0;
  uint64_t cert_offset_ = 0;
  uint64_t cert_size_ = 0;
  std::optional<Sha> sha1_;
  std::optional<Sha> sha256_;
  std::vector<uint8_t> table_;
};

// SignatureReader over a whole file.
SignatureCheck CheckSignature(lumiset::ReadableFile& file);
SignatureCheck CheckSignature(std::span<const uint8_t> program);

// "intact", "altered after signing", ...: the state as reports name it.
std::string_view SignatureStateName(SignatureCheck::State state);

}  // namespace lumipack
