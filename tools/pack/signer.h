#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "result.h"

namespace lumipack {

// The program that signs installers; it must be on the PATH.
inline constexpr const char* kSigningProgram = "osslsigncode";

inline constexpr unsigned kDefaultSignTimeoutSeconds = 120;
inline constexpr unsigned kMaxSignTimeoutSeconds = 3600;

// How to sign: with a PEM certificate and its private key, or with a
// PKCS #12 file that holds both, through osslsigncode; or with a command of
// the author's that signs a file in place.
struct Signing {
  // The command, with {file} standing for the file to sign (its path is put
  // in quoted for the shell); run through /bin/sh (cmd on Windows). Set, it
  // replaces osslsigncode and every other field but the timeout.
  std::string command;
  std::optional<std::filesystem::path> certificate;  // PEM; unset with PKCS #12
  std::filesystem::path key;                         // the PEM key or the PKCS #12 file
  // The key's password, when it has one. It reaches the signer through a
  // pipe, never on a command line or in a file.
  std::optional<std::string> password;
  // What the password came from, for messages ("LUMI_KEY_PASSWORD").
  std::string password_source;
  // The signature's signing time in seconds since 1970 when given (from
  // SOURCE_DATE_EPOCH), else the present. A timestamp overrides it.
  std::optional<int64_t> signing_time;
  // An RFC 3161 time-stamping server's URL: its countersignature keeps the
  // signature valid after the certificate expires. Empty: none.
  std::string timestamp_url;
  std::string description;  // the signed program's name, shown when asked to run it
  std::string url;          // the page for more about the program
  // The signer is stopped after this long (a timestamp server that takes
  // the request and never answers would hold the build for ever).
  unsigned timeout_seconds = kDefaultSignTimeoutSeconds;
};

// Signs `input` into `output`, then checks that the package can still be
// found behind the signature. `output` is left behind only on success.
//
// With a fixed signing time and no timestamp the signature depends only on
// the installer, the certificate and the key for keys whose signatures are
// deterministic (RSA, which the signer uses with PKCS #1 v1.5 padding); an
// ECDSA or DSA key signs with a random number, so those signatures differ
// on every run, and a timestamp differs on every run anyway.
Status SignInstaller(const std::filesystem::path& input, const std::filesystem::path& output,
                     const Signing& signing);

// Signs any PE image `input` into `output` as SignInstaller does, without
// looking for a package; `output` is left behind only on success. With a
// command, `output` is a copy of `input` that the command signs in place,
// and must carry a signature afterwards.
Status SignProgram(const std::filesystem::path& input, const std::filesystem::path& output,
                   const Signing& signing);

// The signing time SOURCE_DATE_EPOCH asks for: nullopt when `value` is
// null (the variable is unset); a failure when it is not a whole number of
// seconds from 0 to kMaxSigningTime.
Result<std::optional<int64_t>> SigningTimeFrom(const char* value);
// 9999-12-31 23:59:59 UTC, the last moment a certificate's time can hold.
inline constexpr int64_t kMaxSigningTime = 253402300799;

// A timestamp server's URL: http:// or https://, at most this long.
inline constexpr size_t kMaxTimestampUrlBytes = 1024;
Status CheckTimestampUrl(const std::string& url);

// The signing command as the shell runs it on `file`: each {file} replaced
// by the path, quoted. A command without {file} is a failure.
Result<std::string> SignCommandFor(const std::string& command, const std::filesystem::path& file);

}  // namespace lumipack
