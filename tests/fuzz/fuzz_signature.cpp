// Hostile certificate tables as lumipack inspect reads them to check an
// installer's Authenticode digest: the WIN_CERTIFICATE header and the DER
// of the PKCS #7 signature down to the digest. The input is also read as a
// whole signed file.
#include <cstddef>
#include <cstdint>
#include <span>

#include "authenticode.h"
#include "base/memory_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> bytes(data, size);
  if (const auto digest = lumipack::ReadSignedDigest(bytes)) {
    if (digest->algorithm.empty()) __builtin_trap();
  }
  lumiset::MemoryFile file(bytes);
  if (const auto pe = lumiset::ReadPeFacts(file)) {
    const lumipack::SignatureCheck check = lumipack::CheckSignature(file, *pe);
    if (pe->cert_offset == 0 && check.state != lumipack::SignatureCheck::State::kUnsigned) {
      __builtin_trap();
    }
  }
  return 0;
}
