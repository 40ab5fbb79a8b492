#pragma once

#include <cstring>
#include <span>

#include "base/platform.h"

namespace lumiset {

// The failure of a read that asks for bytes past the end of what is there.
inline Status ShortRead() { return Status::Failure("read past the end of the data", "", 0); }

// A read-only file over bytes in memory, for the packer's own output, the
// fuzz targets and tests. The bytes must outlive it.
class MemoryFile final : public ReadableFile {
 public:
  explicit MemoryFile(std::span<const uint8_t> bytes) : bytes_(bytes) {}
  uint64_t Size() override { return bytes_.size(); }
  Status ReadAt(uint64_t offset, void* dst, size_t n) override {
    if (offset > bytes_.size() || n > bytes_.size() - offset) return ShortRead();
    if (n != 0) std::memcpy(dst, bytes_.data() + offset, n);
    return Status::Ok();
  }

 private:
  std::span<const uint8_t> bytes_;
};

}  // namespace lumiset
