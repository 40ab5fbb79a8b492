#include "package/default_uninstaller.h"

#include <gtest/gtest.h>

#include <string_view>

#include "package/package_format.h"

namespace lumiset {
namespace {

std::vector<uint8_t> Wide(std::string_view text) {
  std::vector<uint8_t> out;
  for (char c : text) out.insert(out.end(), {static_cast<uint8_t>(c), 0});
  return out;
}

// A program of `size` bytes with `insert` at `at`.
std::vector<uint8_t> Program(size_t size, size_t at, const std::vector<uint8_t>& insert) {
  std::vector<uint8_t> program(size);
  for (size_t i = 0; i < size; ++i) program[i] = static_cast<uint8_t>(i * 7 + i / 251);
  std::copy(insert.begin(), insert.end(), program.begin() + static_cast<long>(at));
  return program;
}

TEST(DefaultUninstaller, ToldByItsMarkerInUtf16Anywhere) {
  const std::vector<uint8_t> wide = Wide(LUMISET_DEFAULT_UNINSTALLER_MARKER);
  const std::string_view narrow = LUMISET_DEFAULT_UNINSTALLER_MARKER;
  struct Case {
    const char* name;
    std::vector<uint8_t> program;
    bool is_default;
  };
  const Case cases[] = {
      {"at the start", Program(1000, 0, wide), true},
      // Decoded in pieces, the marker may straddle two of them.
      {"across every piece boundary of a large file", Program(300000, 65536 - 5, wide), true},
      {"at the very end", Program(5000, 5000 - wide.size(), wide), true},
      {"8-bit text only, as the stub holds it",
       Program(1000, 10, std::vector<uint8_t>(narrow.begin(), narrow.end())), false},
      {"cut by one character", Program(1000, 10, {wide.begin(), wide.end() - 2}), false},
      {"another program", Program(1000, 0, {}), false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(IsDefaultUninstaller(c.program), c.is_default) << c.name;
    const std::vector<uint8_t> block = EncodeBlock(c.program, 6);
    EXPECT_EQ(BlockHoldsDefaultUninstaller(block, kMaxUninstallerDecoded), c.is_default) << c.name;
  }
  std::vector<uint8_t> damaged = EncodeBlock(Program(1000, 0, wide), 6);
  damaged.resize(damaged.size() / 2);
  EXPECT_FALSE(BlockHoldsDefaultUninstaller(damaged, kMaxUninstallerDecoded));
}

}  // namespace
}  // namespace lumiset
