// Hostile certificate tables as lumipack inspect reads them to check an
// installer's Authenticode digest: the WIN_CERTIFICATE header and the DER
// of the PKCS #7 signature down to the digest. The input is also read as a
// whole signed program, streamed through the digest check.
#include <cstddef>
#include <cstdint>
#include <span>

#include "authenticode.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> bytes(data, size);
  if (const auto digest = lumipack::ReadSignedDigest(bytes)) {
    if (digest->algorithm.empty()) __builtin_trap();
  }
  const lumipack::SignatureCheck check = lumipack::CheckSignature(bytes);
  if (check.state == lumipack::SignatureCheck::State::kIntact && check.algorithm.empty()) {
    __builtin_trap();
  }
  return 0;
}
