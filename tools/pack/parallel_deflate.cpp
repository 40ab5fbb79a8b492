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

bool DeflateChunk(std::span<const uint8_t> content, size_t begin, size_t end, bool last, int level,
                  Chunk* chunk) {
  z_stream zs{};
  if (deflateInit2(&zs, level, Z_DEFLATED, kRawWindowBits, kMemLevel, Z_DEFAULT_STRATEGY) != Z_OK) {
    return false;
  }
  struct Closer {
    z_stream* zs;
    ~Closer() { deflateEnd(zs); }
  } closer{&zs};

  if (begin != 0) {
    const size_t dictionary = std::min(begin, kDeflateDictionarySize);
    if (deflateSetDictionary(&zs, content.data() + begin - dictionary,
                             static_cast<uInt>(dictionary)) != Z_OK) {
      return false;
    }
  }
  const size_t length = end - begin;
  // A sync flush adds an empty stored block (5 bytes) that the bound for a
  // finished stream does not count.
  std::vector<uint8_t>& out = chunk->deflated;
  out.resize(deflateBound(&zs, static_cast<uLong>(length)) + 16);
  zs.next_in = const_cast<Bytef*>(content.data() + begin);
  zs.avail_in = static_cast<uInt>(length);
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
  chunk->adler = adler32(1, content.data() + begin, static_cast<uInt>(length));
  return true;
}

}  // namespace

bool AppendParallelDeflate(std::span<const uint8_t> content, const DeflateOptions& options,
                           std::vector<uint8_t>& out) {
  if (options.level < 0 || options.level > 9 || options.chunk_size == 0 ||
      options.chunk_size > kMaxDeflateChunkSize) {
    return false;
  }
  const size_t chunk_size = options.chunk_size;
  // Empty content still makes one chunk: the final block an inflater needs.
  const size_t count = std::max<size_t>(1, (content.size() + chunk_size - 1) / chunk_size);
  const size_t start = out.size();
  try {
    std::vector<Chunk> chunks(count);
    std::vector<std::atomic<bool>> finished(count);
    std::atomic<uint64_t> done{0};
    const auto task = [&](size_t i) {
      const size_t begin = i * chunk_size;
      const size_t end = std::min(content.size(), begin + chunk_size);
      if (!DeflateChunk(content, begin, end, i + 1 == count, options.level, &chunks[i])) {
        return false;
      }
      done.fetch_add(end - begin);
      finished[i].store(true, std::memory_order_release);
      return true;
    };

    // The calling thread moves finished chunks into `out` in order while the
    // others still compress, so little copying is left for the end. The
    // reserve covers the worst case; memory it does not use is never touched.
    out.reserve(start + 2 + compressBound(static_cast<uLong>(content.size())) + count * 16 + 4);
    AppendZlibHeader(out, options.level);
    uLong adler = adler32(0, nullptr, 0);
    size_t appended = 0;
    const auto append_finished = [&] {
      while (appended < count && finished[appended].load(std::memory_order_acquire)) {
        Chunk& c = chunks[appended];
        out.insert(out.end(), c.deflated.begin(), c.deflated.end());
        std::vector<uint8_t>().swap(c.deflated);
        const size_t length = std::min(content.size() - appended * chunk_size, chunk_size);
        adler = adler32_combine(adler, c.adler, static_cast<z_off_t>(length));
        ++appended;
      }
    };
    const auto after_own_task = [&] {
      append_finished();
      if (options.progress) options.progress(done.load());
    };
    if (!RunTasks(count, options.threads, task, after_own_task)) {
      out.resize(start);
      return false;
    }
    append_finished();
    for (int shift = 24; shift >= 0; shift -= 8)
      out.push_back(static_cast<uint8_t>(adler >> shift));
  } catch (const std::bad_alloc&) {
    out.resize(start);
    return false;
  }
  if (options.progress) options.progress(content.size());
  return true;
}

std::optional<std::vector<uint8_t>> ParallelDeflate(std::span<const uint8_t> content,
                                                    const DeflateOptions& options) {
  std::vector<uint8_t> out;
  if (!AppendParallelDeflate(content, options, out)) return std::nullopt;
  return out;
}

}  // namespace lumipack
