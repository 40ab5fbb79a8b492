#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>

#include "result.h"

namespace lumipack {

// The program that signs installers; it must be on the PATH.
inline constexpr const char* kSigningProgram = "osslsigncode";

// Signs `input` into `output` with a PEM certificate and its private key,
// then checks that the package can still be found behind the signature.
// `output` is left behind only on success. The signature's signing time is
// `signing_time` (seconds since 1970) when given, else the present.
//
// With a fixed signing time the signature depends only on the installer,
// the certificate and the key for keys whose signatures are deterministic
// (RSA, which the signer uses with PKCS #1 v1.5 padding); an ECDSA or DSA
// key signs with a random number, so those signatures differ on every run.
Status SignInstaller(const std::filesystem::path& input, const std::filesystem::path& output,
                     const std::filesystem::path& certificate, const std::filesystem::path& key,
                     std::optional<int64_t> signing_time = std::nullopt);

// The signing time SOURCE_DATE_EPOCH asks for: nullopt when `value` is
// null (the variable is unset); a failure when it is not a whole number of
// seconds from 0 to kMaxSigningTime.
Result<std::optional<int64_t>> SigningTimeFrom(const char* value);
// 9999-12-31 23:59:59 UTC, the last moment a certificate's time can hold.
inline constexpr int64_t kMaxSigningTime = 253402300799;

}  // namespace lumipack
