#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "base/platform.h"
#include "result.h"

namespace lumipack {

// SHA-1 and SHA-256 (FIPS 180-4), fed in pieces: the digests Authenticode
// signatures of Windows programs are made with.
class Sha {
 public:
  enum class Kind { kSha1, kSha256 };
  explicit Sha(Kind kind);
  void Add(std::span<const uint8_t> bytes);
  // The digest: 20 bytes for SHA-1, 32 for SHA-256. Ends the hashing.
  std::vector<uint8_t> Finish();

 private:
  void Block(const uint8_t* block);

  Kind kind_;
  std::array<uint32_t, 8> state_{};
  std::array<uint8_t, 64> pending_{};
  size_t pending_size_ = 0;
  uint64_t length_ = 0;
};

// Bytes in upper-case hexadecimal, as installer manifests write digests.
std::string HexUpper(std::span<const uint8_t> bytes);

// The SHA-256 of a whole file, read through a fixed buffer; `name` names it
// in the message of a read that fails.
Result<std::string> FileSha256(lumiset::ReadableFile& file, const std::string& name);

}  // namespace lumipack
