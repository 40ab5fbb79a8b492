#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <vector>

namespace lumipack {

// The content is cut into chunks of this size and each chunk is deflated on
// its own, so the bytes produced depend on the content, the level and this
// size, never on the number of threads.
inline constexpr size_t kDeflateChunkSize = 1u << 20;
// Keeps zlib's 32-bit counts far from overflowing.
inline constexpr size_t kMaxDeflateChunkSize = 256u << 20;
// Each chunk sees the previous chunk's last bytes as a preset dictionary:
// deflate's whole window, so matches across the cut are not lost.
inline constexpr size_t kDeflateDictionarySize = 32u << 10;

struct DeflateOptions {
  int level = 9;  // 0 to 9
  size_t chunk_size = kDeflateChunkSize;
  unsigned threads = 1;
  // Called on the calling thread now and then with the content bytes done.
  std::function<void(uint64_t done)> progress;
};

// Content is read and compressed this many chunks per thread at a time, so
// memory holds about twice this many chunks per thread (the content and its
// compressed form) whatever the content's size.
inline constexpr size_t kChunksPerThread = 3;

// Fills `dst` with the next bytes of the content, all of them; false when
// they cannot be read.
using DeflateReader = std::function<bool(std::span<uint8_t> dst)>;
// Takes the next piece of the stream; false when it cannot be kept.
using DeflateWriter = std::function<bool(std::span<const uint8_t> piece)>;

// The stream ParallelDeflate makes of `size` bytes of content, pulled
// through `read` and pushed through `write`, both in order and on the
// calling thread, holding about kChunksPerThread chunks per thread at a
// time. False when reading, writing or zlib fails, or memory runs out.
[[nodiscard]] bool StreamParallelDeflate(uint64_t size, const DeflateReader& read,
                                         const DeflateWriter& write,
                                         const DeflateOptions& options);

// A zlib stream (RFC 1950) of `content`, compressed in chunks on several
// threads: a zlib header, each chunk's raw deflate data ended by a sync
// flush (the last one by the final block), and the Adler-32 of the whole
// content combined from the chunks' own. Any inflater reads it as one
// stream. nullopt when zlib fails or memory runs out.
std::optional<std::vector<uint8_t>> ParallelDeflate(std::span<const uint8_t> content,
                                                    const DeflateOptions& options);

// The same stream appended to `out`, which is grown once to its final size:
// the caller's header and the stream then need no further copy. False (and
// `out` as it was) when zlib fails or memory runs out.
[[nodiscard]] bool AppendParallelDeflate(std::span<const uint8_t> content,
                                         const DeflateOptions& options, std::vector<uint8_t>& out);

}  // namespace lumipack
