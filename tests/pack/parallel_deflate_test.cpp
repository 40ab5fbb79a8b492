#include "parallel_deflate.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <random>

#include "package/package_format.h"

namespace lumipack {
namespace {

constexpr size_t kSmallChunk = 64u << 10;

std::vector<uint8_t> RandomBytes(size_t n, uint32_t seed) {
  std::mt19937 rng(seed);
  std::vector<uint8_t> out(n);
  for (uint8_t& b : out) b = static_cast<uint8_t>(rng());
  return out;
}

// Words from a small vocabulary: compresses well, with matches everywhere.
std::vector<uint8_t> TextLike(size_t n, uint32_t seed) {
  static const char* const kWords[] = {"screen ", "saver ", "star ",  "field ",  "{\n",       "}\n",
                                       "return ", "int ",   "0x1F, ", "colour ", "window\r\n"};
  std::mt19937 rng(seed);
  std::vector<uint8_t> out;
  while (out.size() < n) {
    const char* word = kWords[rng() % std::size(kWords)];
    out.insert(out.end(), word, word + std::char_traits<char>::length(word));
  }
  out.resize(n);
  return out;
}

std::vector<uint8_t> Deflate(std::span<const uint8_t> content, size_t chunk, unsigned threads,
                             int level = 9) {
  DeflateOptions options;
  options.level = level;
  options.chunk_size = chunk;
  options.threads = threads;
  std::optional<std::vector<uint8_t>> out = ParallelDeflate(content, options);
  EXPECT_TRUE(out);
  return out.value_or(std::vector<uint8_t>{});
}

// Decodes as the installer does: a block through the core's decoder.
std::vector<uint8_t> DecodeAsInstaller(std::span<const uint8_t> content,
                                       std::span<const uint8_t> stream) {
  const std::vector<uint8_t> block =
      lumiset::WrapBlock(static_cast<uint32_t>(content.size()), stream);
  lumiset::VectorSink sink;
  EXPECT_EQ(lumiset::DecodeBlock(block, sink, UINT32_MAX), lumiset::DecodeStatus::kOk);
  return std::move(sink.bytes());
}

TEST(ParallelDeflate, RoundTripsAtChunkBoundaries) {
  struct Case {
    const char* name;
    size_t size;
    size_t chunk;
  };
  const Case cases[] = {
      {"empty", 0, kSmallChunk},
      {"one byte", 1, kSmallChunk},
      {"one chunk less a byte", kSmallChunk - 1, kSmallChunk},
      {"exactly one chunk", kSmallChunk, kSmallChunk},
      {"one chunk and a byte", kSmallChunk + 1, kSmallChunk},
      {"exactly two chunks", 2 * kSmallChunk, kSmallChunk},
      {"several chunks and a tail", 3 * kSmallChunk + 17, kSmallChunk},
      {"exactly one default chunk", kDeflateChunkSize, kDeflateChunkSize},
      {"chunks smaller than the dictionary", 100000, 1000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    // Half text, half noise, so chunks hold both matches and stored runs.
    std::vector<uint8_t> content = TextLike(c.size / 2, 1);
    const std::vector<uint8_t> noise = RandomBytes(c.size - content.size(), 2);
    content.insert(content.end(), noise.begin(), noise.end());

    const std::vector<uint8_t> stream = Deflate(content, c.chunk, 3);
    EXPECT_EQ(DecodeAsInstaller(content, stream), content);

    // zlib's own one-shot decoder checks the header and the Adler-32 too.
    std::vector<uint8_t> plain(content.size() + 1);
    uLongf plain_size = static_cast<uLongf>(plain.size());
    ASSERT_EQ(
        uncompress(plain.data(), &plain_size, stream.data(), static_cast<uLong>(stream.size())),
        Z_OK);
    plain.resize(plain_size);
    EXPECT_EQ(plain, content);
  }
}

TEST(ParallelDeflate, BytesDoNotDependOnTheThreadCount) {
  const std::vector<uint8_t> content = TextLike(5 * kSmallChunk + 123, 3);
  const std::vector<uint8_t> one = Deflate(content, kSmallChunk, 1);
  for (unsigned threads : {2u, 4u, 16u}) {
    EXPECT_EQ(Deflate(content, kSmallChunk, threads), one) << threads << " threads";
  }
}

TEST(ParallelDeflate, EachChunkSeesThePreviousChunkAsDictionary) {
  // A 16 KiB random block repeated: without the previous chunk's bytes as a
  // dictionary every chunk would have to store the block again.
  const std::vector<uint8_t> block = RandomBytes(16u << 10, 4);
  std::vector<uint8_t> content;
  for (int i = 0; i < 16; ++i) content.insert(content.end(), block.begin(), block.end());
  const std::vector<uint8_t> stream = Deflate(content, kSmallChunk, 2);
  EXPECT_LT(stream.size(), block.size() + (4u << 10));
  EXPECT_EQ(DecodeAsInstaller(content, stream), content);
}

TEST(ParallelDeflate, StaysCloseToOneStream) {
  std::vector<uint8_t> content = TextLike(3 * kDeflateChunkSize + 5000, 5);
  uLongf single_size = compressBound(static_cast<uLong>(content.size()));
  std::vector<uint8_t> single(single_size);
  ASSERT_EQ(
      compress2(single.data(), &single_size, content.data(), static_cast<uLong>(content.size()), 9),
      Z_OK);
  const std::vector<uint8_t> stream = Deflate(content, kDeflateChunkSize, 2);
  EXPECT_LE(static_cast<double>(stream.size()), static_cast<double>(single_size) * 1.005);
}

TEST(ParallelDeflate, HeaderCarriesZlibsLevelHint) {
  // Extraction reads the hint back to tell a --fast installer.
  const std::vector<uint8_t> content = TextLike(1000, 6);
  const std::pair<int, uint8_t> cases[] = {{1, 0x01}, {5, 0x5E}, {6, 0x9C}, {9, 0xDA}};
  for (const auto& [level, flags] : cases) {
    const std::vector<uint8_t> stream = Deflate(content, kSmallChunk, 1, level);
    ASSERT_GE(stream.size(), 2u);
    EXPECT_EQ(stream[0], 0x78) << "level " << level;
    EXPECT_EQ(stream[1], flags) << "level " << level;
  }
}

TEST(ParallelDeflate, ReportsProgressUpToTheTotal) {
  const std::vector<uint8_t> content = TextLike(4 * kSmallChunk, 7);
  std::vector<uint64_t> seen;
  DeflateOptions options;
  options.chunk_size = kSmallChunk;
  options.threads = 2;
  options.progress = [&](uint64_t done) { seen.push_back(done); };
  ASSERT_TRUE(ParallelDeflate(content, options));
  ASSERT_FALSE(seen.empty());
  EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
  EXPECT_EQ(seen.back(), content.size());
}

// Streaming holds a few chunks per thread, whatever the content's size: the
// content is never read further ahead of the stream written than that.
TEST(ParallelDeflate, StreamsThroughBoundedBuffers) {
  const std::vector<uint8_t> content = TextLike(40 * kSmallChunk + 123, 11);
  for (unsigned threads : {1u, 3u}) {
    SCOPED_TRACE(threads);
    DeflateOptions options;
    options.chunk_size = kSmallChunk;
    options.threads = threads;
    size_t read = 0;
    size_t pieces = 0;
    size_t furthest_ahead = 0;
    std::vector<uint8_t> stream;
    const bool ok = StreamParallelDeflate(
        content.size(),
        [&](std::span<uint8_t> dst) {
          std::copy_n(content.begin() + static_cast<std::ptrdiff_t>(read), dst.size(), dst.begin());
          read += dst.size();
          return true;
        },
        [&](std::span<const uint8_t> piece) {
          // The header, then one piece a chunk, then the check value.
          const size_t chunks_written = pieces == 0 ? 0 : pieces - 1;
          furthest_ahead = std::max(furthest_ahead, read - std::min(read, chunks_written * kSmallChunk));
          ++pieces;
          stream.insert(stream.end(), piece.begin(), piece.end());
          return true;
        },
        options);
    ASSERT_TRUE(ok);
    EXPECT_LE(furthest_ahead, kChunksPerThread * threads * kSmallChunk);
    EXPECT_EQ(stream, Deflate(content, kSmallChunk, 2)) << "the same bytes as in memory";
    EXPECT_EQ(DecodeAsInstaller(content, stream), content);
  }
  // A read or a write that fails ends it.
  DeflateOptions options;
  options.chunk_size = kSmallChunk;
  const auto fill = [](std::span<uint8_t> dst) {
    std::fill(dst.begin(), dst.end(), uint8_t{7});
    return true;
  };
  const auto keep = [](std::span<const uint8_t>) { return true; };
  EXPECT_FALSE(StreamParallelDeflate(content.size(), [](std::span<uint8_t>) { return false; }, keep,
                                     options));
  EXPECT_FALSE(StreamParallelDeflate(content.size(), fill, [](std::span<const uint8_t>) { return false; },
                                     options));
}

TEST(ParallelDeflate, RefusesBadOptions) {
  const std::vector<uint8_t> content(10, 1);
  for (const auto& [level, chunk] : {std::pair<int, size_t>{10, kSmallChunk},
                                     {-1, kSmallChunk},
                                     {9, 0},
                                     {9, kMaxDeflateChunkSize + 1}}) {
    DeflateOptions options;
    options.level = level;
    options.chunk_size = chunk;
    EXPECT_FALSE(ParallelDeflate(content, options)) << level << " " << chunk;
  }
}

}  // namespace
}  // namespace lumipack
