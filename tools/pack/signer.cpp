#include "signer.h"

#include <charconv>
#include <system_error>
#include <vector>

#include "file_io.h"
#include "host.h"
#include "package/package_format.h"

namespace lumipack {
namespace {

Status CheckReadable(const std::filesystem::path& path, const char* what) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) {
    return Status::Failure(Utf8FromPath(path) + ": no such " + what + " file");
  }
  return {};
}

Status CheckSigned(const std::filesystem::path& path) {
  Result<std::unique_ptr<FileReader>> file = FileReader::Open(path);
  if (!file) return file.status();
  std::optional<lumiset::PackageLocation> where = lumiset::LocatePackage(**file);
  if (!where || !lumiset::ReadPackageItems(**file, *where)) {
    return Status::Failure(std::string(kSigningProgram) +
                           " wrote an installer whose package cannot be found any more");
  }
  if (where->pe.cert_offset == 0) {
    return Status::Failure(std::string(kSigningProgram) + " wrote an installer with no signature");
  }
  return {};
}

}  // namespace

Result<std::optional<int64_t>> SigningTimeFrom(const char* value) {
  if (value == nullptr) return std::optional<int64_t>();
  const std::string_view text(value);
  int64_t seconds = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), seconds);
  if (text.empty() || error != std::errc() || end != text.data() + text.size() || seconds < 0 ||
      seconds > kMaxSigningTime) {
    return Status::Failure("SOURCE_DATE_EPOCH=" + std::string(text) +
                           " is not a number of seconds since 1970 (0 to " +
                           std::to_string(kMaxSigningTime) + ")");
  }
  return std::optional<int64_t>(seconds);
}

Status SignInstaller(const std::filesystem::path& input, const std::filesystem::path& output,
                     const std::filesystem::path& certificate, const std::filesystem::path& key,
                     std::optional<int64_t> signing_time) {
  if (Status s = CheckReadable(certificate, "certificate"); !s) return s;
  if (Status s = CheckReadable(key, "key"); !s) return s;
  std::vector<std::string> args = {kSigningProgram,           "sign", "-certs",
                                   Utf8FromPath(certificate), "-key", Utf8FromPath(key)};
  if (signing_time) {
    args.push_back("-time");
    args.push_back(std::to_string(*signing_time));
  }
  args.insert(args.end(), {"-in", Utf8FromPath(input), "-out", Utf8FromPath(output)});
  const ProgramRun run = RunProgram(args);
  if (!run.started) {
    return Status::Failure(std::string(kSigningProgram) +
                           " is not installed; --sign-with needs it on the PATH");
  }
  Status status;
  if (run.exit_code != 0) {
    std::string output_text = run.output;
    while (!output_text.empty() && (output_text.back() == '\n' || output_text.back() == '\r')) {
      output_text.pop_back();
    }
    status = Status::Failure(std::string(kSigningProgram) + " failed with exit code " +
                             std::to_string(run.exit_code) +
                             (output_text.empty() ? "" : ":\n" + output_text));
  } else {
    status = CheckSigned(output);
  }
  if (!status) {
    std::error_code ec;
    std::filesystem::remove(output, ec);
  }
  return status;
}

}  // namespace lumipack
