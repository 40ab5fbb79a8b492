#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>

#include "base/platform.h"
#include "result.h"

namespace lumipack {

// SHA-256 (FIPS 180-4), fed in pieces of any size.
class Sha256 {
 public:
  Sha256();
  void Update(std::span<const uint8_t> bytes);
  // The digest of everything fed; the object is spent afterwards.
  std::array<uint8_t, 32> Finish();

 private:
  void Block(const uint8_t* block);

  std::array<uint32_t, 8> state_;
  std::array<uint8_t, 64> pending_{};
  size_t pending_size_ = 0;
  uint64_t total_ = 0;
};

// The digest in upper-case hexadecimal, as installer manifests write it.
std::string HexUpper(std::span<const uint8_t> bytes);

// The SHA-256 of a whole file, read through a fixed buffer; `name` names it
// in the message of a read that fails.
Result<std::string> FileSha256(lumiset::ReadableFile& file, const std::string& name);

}  // namespace lumipack
