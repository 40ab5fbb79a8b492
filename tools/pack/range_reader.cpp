#include "range_reader.h"

#include <algorithm>
#include <cstring>

#include "package/package_format.h"

namespace lumipack {
namespace {

// The part of `range` that lies inside a file of `size` bytes.
uint64_t ClippedSize(const ByteRange& range, uint64_t size) {
  if (range.offset >= size) return 0;
  return std::min<uint64_t>(range.size, size - range.offset);
}

// Copies the decoded bytes that fall into the ranges and asks the decoder to
// stop once the last range is complete.
class RangeSink final : public lumiset::ByteSink {
 public:
  RangeSink(std::span<const ByteRange> ranges, std::vector<std::vector<uint8_t>>& out)
      : ranges_(ranges), out_(out) {
    for (size_t i = 0; i < ranges_.size(); ++i) {
      if (!out_[i].empty()) last_end_ = std::max(last_end_, ranges_[i].offset + out_[i].size());
    }
  }

  bool Write(const uint8_t* src, size_t n) override {
    const uint64_t start = position_;
    const uint64_t end = position_ + n;
    for (size_t i = 0; i < ranges_.size(); ++i) {
      const uint64_t from = std::max(start, ranges_[i].offset);
      const uint64_t to = std::min(end, ranges_[i].offset + out_[i].size());
      if (from < to) {
        std::memcpy(out_[i].data() + (from - ranges_[i].offset), src + (from - start),
                    static_cast<size_t>(to - from));
      }
    }
    position_ = end;
    return position_ < last_end_;
  }

  // Whether every range has all its bytes.
  bool Complete() const { return position_ >= last_end_; }

 private:
  std::span<const ByteRange> ranges_;
  std::vector<std::vector<uint8_t>>& out_;
  uint64_t position_ = 0;
  uint64_t last_end_ = 0;
};

}  // namespace

bool FileRangeReader::Read(std::span<const ByteRange> ranges,
                           std::vector<std::vector<uint8_t>>& out) {
  const uint64_t size = file_.Size();
  out.assign(ranges.size(), {});
  for (size_t i = 0; i < ranges.size(); ++i) {
    out[i].resize(static_cast<size_t>(ClippedSize(ranges[i], size)));
    if (!out[i].empty() && !file_.ReadAt(ranges[i].offset, out[i].data(), out[i].size())) {
      return false;
    }
  }
  return true;
}

bool InflatedRangeReader::Read(std::span<const ByteRange> ranges,
                               std::vector<std::vector<uint8_t>>& out) {
  out.assign(ranges.size(), {});
  for (size_t i = 0; i < ranges.size(); ++i) {
    out[i].resize(static_cast<size_t>(ClippedSize(ranges[i], decoded_size_)));
  }
  RangeSink sink(ranges, out);
  if (sink.Complete()) return true;
  lumiset::FileRegionSource source(file_, offset_, end_);
  const lumiset::DecodeStatus status = lumiset::InflateStream(source, sink, decoded_size_);
  return sink.Complete() &&
         (status == lumiset::DecodeStatus::kOk || status == lumiset::DecodeStatus::kWriteFailed);
}

}  // namespace lumipack
