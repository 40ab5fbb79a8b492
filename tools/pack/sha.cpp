#include "sha.h"

#include <algorithm>

namespace lumipack {
namespace {

constexpr uint32_t Rotl(uint32_t x, int n) { return (x << n) | (x >> (32 - n)); }
constexpr uint32_t Rotr(uint32_t x, int n) { return (x >> n) | (x << (32 - n)); }

constexpr std::array<uint32_t, 64> kSha256Rounds = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4,
    0xab1c5ed5, 0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe,
    0x9bdc06a7, 0xc19bf174, 0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f,
    0x4a7484aa, 0x5cb0a9dc, 0x76f988da, 0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7,
    0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967, 0x27b70a85, 0x2e1b2138, 0x4d2c6dfc,
    0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85, 0xa2bfe8a1, 0xa81a664b,
    0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070, 0x19a4c116,
    0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7,
    0xc67178f2};

uint32_t LoadBig32(const uint8_t* p) {
  return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3];
}

}  // namespace

Sha::Sha(Kind kind) : kind_(kind) {
  if (kind == Kind::kSha1) {
    state_ = {0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476, 0xC3D2E1F0, 0, 0, 0};
  } else {
    state_ = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
              0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
  }
}

void Sha::Block(const uint8_t* block) {
  if (kind_ == Kind::kSha1) {
    uint32_t w[80];
    for (int i = 0; i < 16; ++i) w[i] = LoadBig32(block + 4 * i);
    for (int i = 16; i < 80; ++i) w[i] = Rotl(w[i - 3] ^ w[i - 8] ^ w[i - 14] ^ w[i - 16], 1);
    uint32_t a = state_[0], b = state_[1], c = state_[2], d = state_[3], e = state_[4];
    for (int i = 0; i < 80; ++i) {
      uint32_t f = 0;
      uint32_t k = 0;
      if (i < 20) {
        f = (b & c) | (~b & d), k = 0x5A827999;
      } else if (i < 40) {
        f = b ^ c ^ d, k = 0x6ED9EBA1;
      } else if (i < 60) {
        f = (b & c) | (b & d) | (c & d), k = 0x8F1BBCDC;
      } else {
        f = b ^ c ^ d, k = 0xCA62C1D6;
      }
      const uint32_t t = Rotl(a, 5) + f + e + k + w[i];
      e = d, d = c, c = Rotl(b, 30), b = a, a = t;
    }
    state_[0] += a, state_[1] += b, state_[2] += c, state_[3] += d, state_[4] += e;
    return;
  }
  uint32_t w[64];
  for (int i = 0; i < 16; ++i) w[i] = LoadBig32(block + 4 * i);
  for (int i = 16; i < 64; ++i) {
    const uint32_t s0 = Rotr(w[i - 15], 7) ^ Rotr(w[i - 15], 18) ^ (w[i - 15] >> 3);
    const uint32_t s1 = Rotr(w[i - 2], 17) ^ Rotr(w[i - 2], 19) ^ (w[i - 2] >> 10);
    w[i] = w[i - 16] + s0 + w[i - 7] + s1;
  }
  std::array<uint32_t, 8> v = state_;
  for (int i = 0; i < 64; ++i) {
    const uint32_t s1 = Rotr(v[4], 6) ^ Rotr(v[4], 11) ^ Rotr(v[4], 25);
    const uint32_t ch = (v[4] & v[5]) ^ (~v[4] & v[6]);
    const uint32_t t1 = v[7] + s1 + ch + kSha256Rounds[static_cast<size_t>(i)] + w[i];
    const uint32_t s0 = Rotr(v[0], 2) ^ Rotr(v[0], 13) ^ Rotr(v[0], 22);
    const uint32_t maj = (v[0] & v[1]) ^ (v[0] & v[2]) ^ (v[1] & v[2]);
    const uint32_t t2 = s0 + maj;
    v = {t1 + t2, v[0], v[1], v[2], v[3] + t1, v[4], v[5], v[6]};
  }
  for (size_t i = 0; i < 8; ++i) state_[i] += v[i];
}

void Sha::Add(std::span<const uint8_t> bytes) {
  length_ += bytes.size();
  while (!bytes.empty()) {
    if (pending_size_ == 0 && bytes.size() >= 64) {
      Block(bytes.data());
      bytes = bytes.subspan(64);
      continue;
    }
    const size_t n = std::min(bytes.size(), 64 - pending_size_);
    std::copy_n(bytes.begin(), n, pending_.begin() + static_cast<std::ptrdiff_t>(pending_size_));
    pending_size_ += n;
    bytes = bytes.subspan(n);
    if (pending_size_ == 64) {
      Block(pending_.data());
      pending_size_ = 0;
    }
  }
}

std::vector<uint8_t> Sha::Finish() {
  const uint64_t bits = length_ * 8;
  uint8_t tail[72] = {0x80};
  const size_t pad = (pending_size_ < 56 ? 56 : 120) - pending_size_;
  for (int i = 0; i < 8; ++i) tail[pad + static_cast<size_t>(i)] = static_cast<uint8_t>(bits >> (56 - 8 * i));
  Add(std::span<const uint8_t>(tail, pad + 8));
  const size_t words = kind_ == Kind::kSha1 ? 5 : 8;
  std::vector<uint8_t> digest;
  for (size_t i = 0; i < words; ++i) {
    for (int shift = 24; shift >= 0; shift -= 8) digest.push_back(static_cast<uint8_t>(state_[i] >> shift));
  }
  return digest;
}

std::string HexUpper(std::span<const uint8_t> bytes) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text;
  for (uint8_t b : bytes) {
    text.push_back(kDigits[b >> 4]);
    text.push_back(kDigits[b & 0xF]);
  }
  return text;
}

// A fixed buffer, so that hashing a large installer takes little memory.
constexpr size_t kChunkBytes = 1u << 20;

Result<std::string> FileSha256(lumiset::ReadableFile& file, const std::string& name) {
  Sha hash(Sha::Kind::kSha256);
  std::vector<uint8_t> chunk(kChunkBytes);
  const uint64_t size = file.Size();
  for (uint64_t at = 0; at < size;) {
    const size_t n = static_cast<size_t>(std::min<uint64_t>(chunk.size(), size - at));
    if (!file.ReadAt(at, chunk.data(), n)) return Status::Failure(name + ": cannot be read");
    hash.Add(std::span<const uint8_t>(chunk.data(), n));
    at += n;
  }
  return HexUpper(hash.Finish());
}

}  // namespace lumipack
