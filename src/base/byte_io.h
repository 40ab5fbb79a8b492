#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace lumiset {

// Reads little-endian integers and byte runs from a span, never past its end.
// A read that does not fit sets the failed flag, returns zero or empty, and
// leaves the position where it was; later reads keep failing.
class ByteReader {
 public:
  explicit ByteReader(std::span<const uint8_t> bytes) : bytes_(bytes) {}

  bool ok() const { return !failed_; }
  size_t position() const { return pos_; }
  size_t remaining() const { return failed_ ? 0 : bytes_.size() - pos_; }

  uint16_t U16() { return static_cast<uint16_t>(Little(2)); }
  uint32_t U32() { return static_cast<uint32_t>(Little(4)); }

  std::span<const uint8_t> Bytes(size_t n) {
    if (!Fits(n)) return {};
    std::span<const uint8_t> out = bytes_.subspan(pos_, n);
    pos_ += n;
    return out;
  }

 private:
  bool Fits(size_t n) {
    if (failed_ || n > bytes_.size() - pos_) {
      failed_ = true;
      return false;
    }
    return true;
  }

  uint64_t Little(size_t n) {
    if (!Fits(n)) return 0;
    uint64_t value = 0;
    for (size_t i = 0; i < n; ++i) value |= uint64_t{bytes_[pos_ + i]} << (8 * i);
    pos_ += n;
    return value;
  }

  std::span<const uint8_t> bytes_;
  size_t pos_ = 0;
  bool failed_ = false;
};

// Appends little-endian integers and byte runs to a growing buffer.
class ByteWriter {
 public:
  void U16(uint16_t v) { Little(v, 2); }
  void U32(uint32_t v) { Little(v, 4); }
  void Bytes(std::span<const uint8_t> b) { out_.insert(out_.end(), b.begin(), b.end()); }
  void Text(std::string_view s) {
    out_.insert(out_.end(), s.begin(), s.end());
  }
  std::vector<uint8_t>& buffer() { return out_; }
  std::vector<uint8_t> Take() { return std::move(out_); }

 private:
  void Little(uint64_t v, size_t n) {
    for (size_t i = 0; i < n; ++i) out_.push_back(static_cast<uint8_t>(v >> (8 * i)));
  }
  std::vector<uint8_t> out_;
};

inline uint32_t LoadU32(const uint8_t* p) {
  return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}
inline uint16_t LoadU16(const uint8_t* p) {
  return static_cast<uint16_t>(p[0] | p[1] << 8);
}
inline void StoreU32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
inline void StoreU16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}

// The same at a byte offset into a buffer whose length the caller has
// already checked. The span may be formed before the other arguments are
// evaluated, so none of them may grow the buffer.
inline uint16_t LoadU16(std::span<const uint8_t> b, size_t at) { return LoadU16(b.data() + at); }
inline uint32_t LoadU32(std::span<const uint8_t> b, size_t at) { return LoadU32(b.data() + at); }
inline void StoreU16(std::span<uint8_t> b, size_t at, uint16_t v) { StoreU16(b.data() + at, v); }
inline void StoreU32(std::span<uint8_t> b, size_t at, uint32_t v) { StoreU32(b.data() + at, v); }

}  // namespace lumiset
