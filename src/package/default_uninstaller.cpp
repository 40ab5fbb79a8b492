#include "package/default_uninstaller.h"

#include <algorithm>
#include <string_view>
#include <vector>

#include "package/package_format.h"

namespace lumiset {
namespace {

// The marker as it lies in the resources: UTF-16, little-endian.
std::vector<uint8_t> WideMarker() {
  const std::string_view marker = LUMISET_DEFAULT_UNINSTALLER_MARKER;
  std::vector<uint8_t> wide;
  wide.reserve(marker.size() * 2);
  for (char c : marker) {
    wide.push_back(static_cast<uint8_t>(c));
    wide.push_back(0);
  }
  return wide;
}

// Looks for the marker in a stream of decoded bytes, keeping only the
// bytes that may begin a match across two writes.
class MarkerSink final : public ByteSink {
 public:
  MarkerSink() : marker_(WideMarker()) {}
  bool Write(const uint8_t* src, size_t n) override {
    if (found_) return true;
    window_.insert(window_.end(), src, src + n);
    found_ = std::search(window_.begin(), window_.end(), marker_.begin(), marker_.end()) !=
             window_.end();
    const size_t keep = marker_.size() - 1;
    if (window_.size() > keep) window_.erase(window_.begin(), window_.end() - static_cast<long>(keep));
    return true;
  }
  bool found() const { return found_; }

 private:
  std::vector<uint8_t> marker_;
  std::vector<uint8_t> window_;
  bool found_ = false;
};

}  // namespace

bool IsDefaultUninstaller(std::span<const uint8_t> program) {
  const std::vector<uint8_t> marker = WideMarker();
  return std::search(program.begin(), program.end(), marker.begin(), marker.end()) !=
         program.end();
}

bool BlockHoldsDefaultUninstaller(std::span<const uint8_t> block, uint32_t max_capacity) {
  MarkerSink sink;
  return DecodeBlock(block, sink, max_capacity) == DecodeStatus::kOk && sink.found();
}

}  // namespace lumiset
