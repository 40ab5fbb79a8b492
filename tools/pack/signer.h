#pragma once

#include <filesystem>

#include "result.h"

namespace lumipack {

// The program that signs installers; it must be on the PATH.
inline constexpr const char* kSigningProgram = "osslsigncode";

// Signs `input` into `output` with a PEM certificate and its private key,
// then checks that the package can still be found behind the signature.
// `output` is left behind only on success.
Status SignInstaller(const std::filesystem::path& input, const std::filesystem::path& output,
                     const std::filesystem::path& certificate, const std::filesystem::path& key);

}  // namespace lumipack
