#include "parallel_deflate.h"

#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <new>

#include "task_runner.h"

namespace lumipack {
namespace {

constexpr int kRawWindowBits = -15;
// zlib's largest hash table: at level 9 it packs a few percent faster than
// the default's, for output about a quarter of a percent larger.
constexpr int kMemLevel = 9;

struct Chunk {
  std::vector<uint8_t> deflated;
  uLong adler = 1;
};

// The two header bytes zlib itself writes for a 32 KiB window at `level`,
// with no dictionary: the level hint, then the check bits.
void AppendZlibHeader(std::vector<uint8_t>& out, int level) {
  constexpr unsigned kCmf = 0x78;
  const unsigned level_hint = level < 2 ? 0 : level < 6 ? 1 : level == 6 ? 2 : 3;
  unsigned flg = level_hint << 6;
  flg += 31 - (kCmf * 256 + flg) % 31;
  out.push_back(static_cast<uint8_t>(kCmf));
  out.push_back(static_cast<uint8_t>(flg));
}

// Deflates `data` as one chunk of the stream, with `dictionary` (the
// content just before it) as zlib's preset dictionary.
bool DeflateChunk(std::span<const uint8_t> dictionary, std::span<const uint8_t> data, bool last,
                  int level, Chunk* chunk) {
  z_stream zs{};
  if (deflateInit2(&zs, level, Z_DEFLATED, kRawWindowBits, kMemLevel, Z_DEFAULT_STRATEGY) != Z_OK) {
    return false;
  }
  struct Closer {
    z_stream* zs;
    ~Closer() { deflateEnd(zs); }
  } closer{&zs};

  if (!dictionary.empty() &&
      deflateSetDictionary(&zs, dictionary.data(), static_cast<uInt>(dictionary.size())) != Z_OK) {
    return false;
  }
  // A sync flush adds an empty stored block (5 bytes) that the bound for a
  // finished stream does not count.
  std::vector<uint8_t>& out = chunk->deflated;
  out.resize(deflateBound(&zs, static_cast<uLong>(data.size())) + 16);
  zs.next_in = const_cast<Bytef*>(data.data());
  zs.avail_in = static_cast<uInt>(data.size());
  zs.next_out = out.data();
  zs.avail_out = static_cast<uInt>(out.size());
  const int flush = last ? Z_FINISH : Z_SYNC_FLUSH;
  for (;;) {
    const int rc = deflate(&zs, flush);
    if (rc == Z_STREAM_ERROR) return false;
    if (last ? rc == Z_STREAM_END : zs.avail_out != 0) break;
    if (zs.avail_out == 0) {
      const size_t used = out.size();
      out.resize(used + used / 2 + 64);
      zs.next_out = out.data() + used;
      zs.avail_out = static_cast<uInt>(out.size() - used);
    }
  }
  out.resize(out.size() - zs.avail_out);
  chunk->adler = adler32(1, data.data(), static_cast<uInt>(data.size()));
  return true;
}

}  // namespace

bool StreamParallelDeflate(uint64_t size, const DeflateReader& read, const DeflateWriter& write,
                           const DeflateOptions& options) {
  if (options.level < 0 || options.level > 9 || options.chunk_size == 0 ||
      options.chunk_size > kMaxDeflateChunkSize || options.threads == 0) {
    return false;
  }
  const size_t chunk_size = options.chunk_size;
  // Empty content still makes one chunk: the final block an inflater needs.
  const uint64_t count = std::max<uint64_t>(1, (size + chunk_size - 1) / chunk_size);
  const size_t batch = kChunksPerThread * options.threads;
  try {
    std::vector<uint8_t> header;
    AppendZlibHeader(header, options.level);
    if (!write(header)) return false;
    // The batch's content behind the previous batch's last kDeflateDictionarySize
    // bytes, each chunk's dictionary.
    std::vector<uint8_t> window;
    std::vector<Chunk> chunks;
    size_t dictionary = 0;
    uLong adler = adler32(0, nullptr, 0);
    uint64_t done = 0;
    for (uint64_t first = 0; first < count; first += batch) {
      const size_t in_batch = static_cast<size_t>(std::min<uint64_t>(batch, count - first));
      const uint64_t begin = first * chunk_size;
      const size_t length = static_cast<size_t>(std::min<uint64_t>(size - begin, in_batch * chunk_size));
      window.resize(dictionary + length);
      if (!read(std::span(window).subspan(dictionary, length))) return false;
      chunks.assign(in_batch, Chunk{});
      std::atomic<uint64_t> compressed{0};
      const auto task = [&](size_t i) {
        const size_t at = dictionary + i * chunk_size;
        const size_t end = std::min(window.size(), at + chunk_size);
        const size_t dictionary_begin = at - std::min(at, kDeflateDictionarySize);
        if (!DeflateChunk(std::span(window).subspan(dictionary_begin, at - dictionary_begin),
                          std::span(window).subspan(at, end - at), first + i + 1 == count,
                          options.level, &chunks[i])) {
          return false;
        }
        compressed.fetch_add(end - at);
        return true;
      };
      const auto report = [&] {
        if (options.progress) options.progress(done + compressed.load());
      };
      if (!RunTasks(in_batch, options.threads, task, report)) return false;
      for (size_t i = 0; i < in_batch; ++i) {
        if (!write(chunks[i].deflated)) return false;
        const size_t chunk_length = std::min<size_t>(window.size() - dictionary - i * chunk_size, chunk_size);
        adler = adler32_combine(adler, chunks[i].adler, static_cast<z_off_t>(chunk_length));
      }
      done += length;
      // The next batch's first chunk sees this batch's last bytes.
      const size_t keep = std::min(window.size(), kDeflateDictionarySize);
      std::copy(window.end() - static_cast<std::ptrdiff_t>(keep), window.end(), window.begin());
      dictionary = keep;
    }
    uint8_t trailer[4];
    for (int i = 0; i < 4; ++i) trailer[i] = static_cast<uint8_t>(adler >> (24 - 8 * i));
    if (!write(trailer)) return false;
  } catch (const std::bad_alloc&) {
    return false;
  }
  if (options.progress) options.progress(size);
  return true;
}

bool AppendParallelDeflate(std::span<const uint8_t> content, const DeflateOptions& options,
                           std::vector<uint8_t>& out) {
  const size_t start = out.size();
  size_t read_at = 0;
  const bool ok = StreamParallelDeflate(
      content.size(),
      [&](std::span<uint8_t> dst) {
        std::copy_n(content.begin() + static_cast<std::ptrdiff_t>(read_at), dst.size(), dst.begin());
        read_at += dst.size();
        return true;
      },
      [&](std::span<const uint8_t> piece) {
        try {
          out.insert(out.end(), piece.begin(), piece.end());
        } catch (const std::bad_alloc&) {
          return false;
        }
        return true;
      },
      options);
  if (!ok) out.resize(start);
  return ok;
}

std::optional<std::vector<uint8_t>> ParallelDeflate(std::span<const uint8_t> content,
                                                    const DeflateOptions& options) {
  std::vector<uint8_t> out;
  if (!AppendParallelDeflate(content, options, out)) return std::nullopt;
  return out;
}

}  // namespace lumipack
