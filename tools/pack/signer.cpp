#include "signer.h"

#include <charconv>
#include <memory>
#include <system_error>
#include <vector>

#include "file_io.h"
#include "host.h"
#include "scratch_path.h"
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

Status CheckTimestampUrl(const std::string& url) {
  if ((!url.starts_with("http://") && !url.starts_with("https://")) ||
      url.size() > kMaxTimestampUrlBytes) {
    return Status::Failure("--timestamp " + url.substr(0, 80) +
                           ": not an http:// or https:// address of at most " +
                           std::to_string(kMaxTimestampUrlBytes) + " bytes");
  }
  return {};
}

Status SignInstaller(const std::filesystem::path& input, const std::filesystem::path& output,
                     const Signing& signing) {
  std::vector<std::string> args = {kSigningProgram, "sign"};
  if (signing.certificate) {
    if (Status s = CheckReadable(*signing.certificate, "certificate"); !s) return s;
    if (Status s = CheckReadable(signing.key, "key"); !s) return s;
    args.insert(args.end(), {"-certs", Utf8FromPath(*signing.certificate), "-key",
                             Utf8FromPath(signing.key)});
  } else {
    if (Status s = CheckReadable(signing.key, "PKCS #12"); !s) return s;
    args.insert(args.end(), {"-pkcs12", Utf8FromPath(signing.key)});
  }
  // The password goes through a file of our own beside the output, readable
  // by this user only, removed whatever happens: a -pass argument would
  // show it to every user who lists the processes.
  std::optional<ScratchPath> password_file;
  if (signing.password) {
    password_file.emplace(output);
    Result<std::unique_ptr<NewFile>> file =
        NewFile::Create(password_file->path(), std::filesystem::perms::owner_read |
                                                   std::filesystem::perms::owner_write);
    if (!file) return file.status();
    const auto* bytes = reinterpret_cast<const uint8_t*>(signing.password->data());
    const bool written = (*file)->Write({bytes, signing.password->size()});
    if (!(*file)->Close() || !written) {
      return Status::Failure(Utf8FromPath(password_file->path()) + ": cannot be written");
    }
    args.insert(args.end(), {"-readpass", Utf8FromPath(password_file->path())});
  }
  if (!signing.description.empty()) args.insert(args.end(), {"-n", signing.description});
  if (!signing.url.empty()) args.insert(args.end(), {"-i", signing.url});
  if (!signing.timestamp_url.empty()) {
    args.insert(args.end(), {"-ts", signing.timestamp_url});
  } else if (signing.signing_time) {
    args.push_back("-time");
    args.push_back(std::to_string(*signing.signing_time));
  }
  args.insert(args.end(), {"-in", Utf8FromPath(input), "-out", Utf8FromPath(output)});
  const ProgramRun run = RunProgram(args);
  password_file.reset();
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
    // The signer's own words are long and technical; say first what the
    // author can act on.
    std::string cause;
    if (!signing.timestamp_url.empty() &&
        (output_text.find("timestamp") != std::string::npos ||
         output_text.find("Timestamp") != std::string::npos ||
         output_text.find("connect") != std::string::npos)) {
      cause = "the timestamp server " + signing.timestamp_url + " did not answer with a timestamp";
    } else if (output_text.find("assword") != std::string::npos ||
               output_text.find("mac verify") != std::string::npos ||
               output_text.find("Failed to read key") != std::string::npos ||
               output_text.find("Failed to parse PKCS#12") != std::string::npos) {
      cause = "the key cannot be read: a wrong password" +
              (signing.password_source.empty() ? std::string()
                                               : " in " + signing.password_source) +
              ", or not a key";
    }
    status = Status::Failure(
        (cause.empty() ? std::string() : "cannot sign: " + cause + "\n") +
        std::string(kSigningProgram) + " failed with exit code " + std::to_string(run.exit_code) +
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
