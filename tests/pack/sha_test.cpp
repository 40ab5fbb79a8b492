#include "sha.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace lumipack {
namespace {

std::string Hex(const std::vector<uint8_t>& bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string text;
  for (uint8_t b : bytes) text += {kDigits[b >> 4], kDigits[b & 15]};
  return text;
}

// The FIPS 180 examples, and a message fed in uneven pieces across blocks.
TEST(Sha, GivesTheStandardDigests) {
  const std::string million(1000000, 'a');
  const struct {
    Sha::Kind kind;
    std::string message;
    const char* digest;
  } cases[] = {
      {Sha::Kind::kSha1, "abc", "a9993e364706816aba3e25717850c26c9cd0d89d"},
      {Sha::Kind::kSha1, "", "da39a3ee5e6b4b0d3255bfef95601890afd80709"},
      {Sha::Kind::kSha1, million, "34aa973cd4c4daa4f61eeb2bdbad27316534016f"},
      {Sha::Kind::kSha256, "", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
      {Sha::Kind::kSha256, "abc",
       "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      {Sha::Kind::kSha256, "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
       "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
      {Sha::Kind::kSha256, million,
       "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.message.substr(0, 20));
    for (size_t piece : {size_t{1000000}, size_t{63}, size_t{7}}) {
      Sha sha(c.kind);
      for (size_t at = 0; at < c.message.size(); at += piece) {
        const std::string part = c.message.substr(at, piece);
        sha.Add(std::span(reinterpret_cast<const uint8_t*>(part.data()), part.size()));
      }
      EXPECT_EQ(Hex(sha.Finish()), c.digest) << piece;
    }
  }
}

}  // namespace
}  // namespace lumipack
