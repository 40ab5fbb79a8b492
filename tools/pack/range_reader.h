#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "base/platform.h"

namespace lumipack {

// A run of bytes in a file.
struct ByteRange {
  uint64_t offset = 0;
  uint32_t size = 0;
};

// Reads a file's bytes a batch of ranges at a time. Readers of a program's
// headers ask for everything one step needs at once, so that a program held
// as a compressed stream is decoded once a step rather than once a read.
class RangeReader {
 public:
  virtual ~RangeReader() = default;
  // The file's size in bytes.
  virtual uint64_t Size() = 0;
  // Sets out[i] to the bytes of ranges[i], cut short where the file ends
  // (empty for a range that starts past it). False when the bytes cannot be
  // had: a read fails or a compressed stream is damaged before the last
  // range ends.
  virtual bool Read(std::span<const ByteRange> ranges, std::vector<std::vector<uint8_t>>& out) = 0;
};

// Ranges of a file read in place.
class FileRangeReader final : public RangeReader {
 public:
  explicit FileRangeReader(lumiset::ReadableFile& file) : file_(file) {}
  uint64_t Size() override { return file_.Size(); }
  bool Read(std::span<const ByteRange> ranges, std::vector<std::vector<uint8_t>>& out) override;

 private:
  lumiset::ReadableFile& file_;
};

// Ranges of what a zlib stream decodes to: the stream lies in `file` from
// `offset` to `end` and decodes to `decoded_size` bytes. Each batch inflates
// the stream from its start through fixed buffers, keeping only the bytes
// asked for and stopping after the last of them.
class InflatedRangeReader final : public RangeReader {
 public:
  InflatedRangeReader(lumiset::ReadableFile& file, uint64_t offset, uint64_t end,
                      uint64_t decoded_size)
      : file_(file), offset_(offset), end_(end), decoded_size_(decoded_size) {}
  uint64_t Size() override { return decoded_size_; }
  bool Read(std::span<const ByteRange> ranges, std::vector<std::vector<uint8_t>>& out) override;

 private:
  lumiset::ReadableFile& file_;
  uint64_t offset_;
  uint64_t end_;
  uint64_t decoded_size_;
};

}  // namespace lumipack
