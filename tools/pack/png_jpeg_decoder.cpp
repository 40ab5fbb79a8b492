#include "png_jpeg_decoder.h"

#include <zlib.h>

#include <array>
#include <cstring>

namespace lumipack {
namespace {

// The installer never shows a PNG or JPEG header picture, so lumipack needs
// to know only whether such a file is whole and sound, not its pixels. Both
// are checked here by their structure, by code that bounds every read and
// every allocation: a PNG's chunks with their check values and its whole
// compressed image stream; a JPEG's segments from its start to its end.

uint32_t BigEndian32(const uint8_t* p) {
  return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3];
}
uint16_t BigEndian16(const uint8_t* p) { return static_cast<uint16_t>(p[0] << 8 | p[1]); }

std::string SizeProblem(uint32_t width, uint32_t height, uint32_t max_side,
                        uint64_t max_pixel_bytes) {
  // Four bytes a pixel: what a decoder would hold at most (8-bit RGBA).
  const uint64_t pixel_bytes = uint64_t{width} * height * 4;
  if (width == 0 || height == 0) return "it has no pixels (" + std::to_string(width) + "x" +
                                        std::to_string(height) + ")";
  if (width > max_side || height > max_side || pixel_bytes > max_pixel_bytes) {
    return std::to_string(width) + "x" + std::to_string(height) +
           " pixels is more than the installer's limit for pictures (" +
           std::to_string(max_side) + " pixels a side, " + std::to_string(max_pixel_bytes >> 20) +
           " MiB of pixels)";
  }
  return {};
}

// ---- PNG --------------------------------------------------------------------

constexpr size_t kPngSignature = 8;
constexpr size_t kChunkOverhead = 12;  // length, type, check value
constexpr uint32_t kMaxChunkLength = 0x7FFFFFFF;
constexpr size_t kInflateBuffer = 16u << 10;

// Bytes the filtered image holds: each row a filter byte and its pixels,
// and for an interlaced image the seven passes one after another.
uint64_t PngImageBytes(uint32_t width, uint32_t height, uint32_t bits_per_pixel, bool interlaced) {
  auto rows = [&](uint64_t w, uint64_t h) {
    return w == 0 || h == 0 ? 0 : h * (1 + (w * bits_per_pixel + 7) / 8);
  };
  if (!interlaced) return rows(width, height);
  static constexpr std::array<std::array<uint32_t, 4>, 7> kPasses = {{
      {0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4}, {0, 2, 2, 4}, {1, 0, 2, 2},
      {0, 1, 1, 2}}};  // x start, y start, x step, y step
  uint64_t total = 0;
  for (const auto& [x0, y0, dx, dy] : kPasses) {
    const uint64_t w = width > x0 ? (width - x0 + dx - 1) / dx : 0;
    const uint64_t h = height > y0 ? (height - y0 + dy - 1) / dy : 0;
    total += rows(w, h);
  }
  return total;
}

class ImageStream {
 public:
  ImageStream() { ok_ = inflateInit(&z_) == Z_OK; }
  ~ImageStream() {
    if (ok_) inflateEnd(&z_);
  }
  ImageStream(const ImageStream&) = delete;
  ImageStream& operator=(const ImageStream&) = delete;

  // Feeds one chunk's compressed bytes; false once the stream is damaged
  // or holds more than `limit` bytes.
  bool Feed(const uint8_t* data, size_t size, uint64_t limit) {
    if (!ok_ || ended_) return ok_ && size == 0;
    z_.next_in = const_cast<Bytef*>(data);
    z_.avail_in = static_cast<uInt>(size);
    while (z_.avail_in != 0 && !ended_) {
      z_.next_out = buffer_.data();
      z_.avail_out = static_cast<uInt>(buffer_.size());
      const int result = inflate(&z_, Z_NO_FLUSH);
      produced_ += buffer_.size() - z_.avail_out;
      if (produced_ > limit) return false;
      if (result == Z_STREAM_END) {
        ended_ = true;
      } else if (result != Z_OK && !(result == Z_BUF_ERROR && z_.avail_in == 0)) {
        return false;
      }
    }
    return true;
  }
  bool ended() const { return ended_; }
  uint64_t produced() const { return produced_; }

 private:
  z_stream z_{};
  bool ok_ = false;
  bool ended_ = false;
  uint64_t produced_ = 0;
  std::array<uint8_t, kInflateBuffer> buffer_{};
};

std::optional<std::string> PngProblem(std::span<const uint8_t> bytes, uint32_t max_side,
                                      uint64_t max_pixel_bytes) {
  size_t at = kPngSignature;
  bool header_seen = false;
  uint64_t expected = 0;
  ImageStream image;
  bool data_seen = false;
  for (;;) {
    if (bytes.size() - at < kChunkOverhead) return "it is cut short: it ends before its last chunk";
    const uint32_t length = BigEndian32(&bytes[at]);
    if (length > kMaxChunkLength || length > bytes.size() - at - kChunkOverhead) {
      return "it is cut short or damaged: a chunk runs past the end of the file";
    }
    const uint8_t* type = &bytes[at + 4];
    const uint8_t* data = &bytes[at + 8];
    const uLong check = crc32(crc32(0, nullptr, 0), type, static_cast<uInt>(4 + length));
    if (check != BigEndian32(data + length)) return "it is damaged: a chunk's check value is wrong";
    const std::string name(reinterpret_cast<const char*>(type), 4);
    if (!header_seen) {
      if (name != "IHDR" || length != 13) return "it is damaged: it does not start with its header";
      const uint32_t width = BigEndian32(data);
      const uint32_t height = BigEndian32(data + 4);
      if (std::string size = SizeProblem(width, height, max_side, max_pixel_bytes); !size.empty()) {
        return size;
      }
      const uint8_t depth = data[8];
      const uint8_t colour = data[9];
      uint32_t channels = 0;
      switch (colour) {
        case 0: case 3: channels = 1; break;
        case 2: channels = 3; break;
        case 4: channels = 2; break;
        case 6: channels = 4; break;
        default: return "it is damaged: its colour type is unknown";
      }
      if (depth != 1 && depth != 2 && depth != 4 && depth != 8 && depth != 16) {
        return "it is damaged: its bit depth is unknown";
      }
      if (data[10] != 0 || data[11] != 0 || data[12] > 1) {
        return "it is damaged: its compression, filter or interlace method is unknown";
      }
      expected = PngImageBytes(width, height, channels * depth, data[12] == 1);
      header_seen = true;
    } else if (name == "IDAT") {
      data_seen = true;
      if (!image.Feed(data, length, expected)) {
        return "it is damaged: its compressed image does not decode";
      }
    } else if (name == "IEND") {
      break;
    }
    at += kChunkOverhead + length;
  }
  if (!data_seen || !image.ended() || image.produced() != expected) {
    return "it is cut short or damaged: its image holds " + std::to_string(image.produced()) +
           " of " + std::to_string(expected) + " bytes";
  }
  return std::nullopt;
}

// ---- JPEG -------------------------------------------------------------------

constexpr uint8_t kMarker = 0xFF;
constexpr uint8_t kStartOfImage = 0xD8;
constexpr uint8_t kEndOfImage = 0xD9;
constexpr uint8_t kStartOfScan = 0xDA;
constexpr uint8_t kDefineHuffman = 0xC4;
constexpr size_t kMaxHuffmanSymbols = 256;

bool IsStartOfFrame(uint8_t m) {
  return m >= 0xC0 && m <= 0xCF && m != kDefineHuffman && m != 0xC8 && m != 0xCC;
}
bool IsRestart(uint8_t m) { return m >= 0xD0 && m <= 0xD7; }

std::optional<std::string> JpegProblem(std::span<const uint8_t> bytes, uint32_t max_side,
                                       uint64_t max_pixel_bytes) {
  const std::string cut = "it is cut short: it ends before its end marker";
  size_t at = 2;
  bool frame_seen = false;
  bool scan_seen = false;
  for (;;) {
    if (at + 2 > bytes.size()) return cut;
    if (bytes[at] != kMarker) return "it is damaged: bytes stand where a segment should start";
    const uint8_t marker = bytes[at + 1];
    if (marker == kMarker) {  // fill byte before a marker
      ++at;
      continue;
    }
    if (marker == kEndOfImage) break;
    if (marker == kStartOfImage || IsRestart(marker) || marker == 0x01) {
      at += 2;  // markers without a segment
      continue;
    }
    if (at + 4 > bytes.size()) return cut;
    const size_t length = BigEndian16(&bytes[at + 2]);
    if (length < 2 || length > bytes.size() - at - 2) {
      return "it is cut short or damaged: a segment runs past the end of the file";
    }
    const uint8_t* data = &bytes[at + 4];
    const size_t data_length = length - 2;
    if (IsStartOfFrame(marker)) {
      if (data_length < 6) return "it is damaged: its frame header is too short";
      const uint32_t height = BigEndian16(data + 1);
      const uint32_t width = BigEndian16(data + 3);
      const size_t components = data[5];
      if (components == 0 || components > 4 || data_length < 6 + 3 * components) {
        return "it is damaged: its frame header is inconsistent";
      }
      if (std::string size = SizeProblem(width, height, max_side, max_pixel_bytes); !size.empty()) {
        return size;
      }
      frame_seen = true;
    } else if (marker == kDefineHuffman) {
      size_t table = 0;
      while (table < data_length) {
        if (data_length - table < 17) return "it is damaged: a Huffman table is cut short";
        size_t symbols = 0;
        for (size_t i = 1; i <= 16; ++i) symbols += data[table + i];
        if (symbols > kMaxHuffmanSymbols || data_length - table - 17 < symbols) {
          return "it is damaged: a Huffman table holds more codes than it may";
        }
        table += 17 + symbols;
      }
    }
    at += 2 + length;
    if (marker == kStartOfScan) {
      if (!frame_seen) return "it is damaged: image data comes before its frame header";
      scan_seen = true;
      // Entropy-coded data up to the next marker: 0xFF 0x00 is a stuffed
      // byte and restart markers stand inside the data.
      while (at + 1 < bytes.size() &&
             !(bytes[at] == kMarker && bytes[at + 1] != 0 && !IsRestart(bytes[at + 1]))) {
        ++at;
      }
    }
  }
  if (!frame_seen || !scan_seen) return "it is damaged: it holds no image";
  return std::nullopt;
}

}  // namespace

std::optional<std::string> PngOrJpegProblem(std::span<const uint8_t> bytes, uint32_t max_side,
                                            uint64_t max_pixel_bytes) {
  static constexpr uint8_t kPng[kPngSignature] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  if (bytes.size() >= kPngSignature && std::memcmp(bytes.data(), kPng, kPngSignature) == 0) {
    return PngProblem(bytes, max_side, max_pixel_bytes);
  }
  if (bytes.size() >= 2 && bytes[0] == kMarker && bytes[1] == kStartOfImage) {
    return JpegProblem(bytes, max_side, max_pixel_bytes);
  }
  return "it is neither a PNG nor a JPEG file";
}

}  // namespace lumipack
