#include "signer.h"

#include <charconv>
#include <memory>
#include <system_error>
#include <vector>

#include "file_io.h"
#include "host.h"
#include "package/package_format.h"
#include "pe_image.h"

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
  lumiset::StatusOr<lumiset::PackageLocation> where = lumiset::LocatePackage(**file);
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

Result<std::string> SignCommandFor(const std::string& command, const std::filesystem::path& file) {
  constexpr std::string_view kFile = "{file}";
  if (command.find(kFile) == std::string::npos) {
    return Status::Failure("the signing command '" + command +
                           "' has no {file} to stand for the file it signs");
  }
  const std::string path = Utf8FromPath(file);
#ifdef _WIN32
  // cmd takes a double-quoted path whole; a path holds no double quote.
  const std::string quoted = "\"" + path + "\"";
#else
  std::string quoted = "'";
  for (char c : path) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  quoted += "'";
#endif
  std::string line = command;
  for (size_t at = line.find(kFile); at != std::string::npos; at = line.find(kFile, at)) {
    line.replace(at, kFile.size(), quoted);
    at += quoted.size();
  }
  return line;
}

namespace {

// The output's last lines, without the final line end.
std::string Trimmed(std::string text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  return text;
}

Status SignWithCommand(const std::filesystem::path& input, const std::filesystem::path& output,
                       const Signing& signing) {
  Result<std::string> line = SignCommandFor(signing.command, output);
  if (!line) return line.status();
  std::error_code ec;
  std::filesystem::copy_file(input, output, ec);
  if (ec) return Status::Failure(Utf8FromPath(output) + ": cannot be written (" + ec.message() + ")");
#ifdef _WIN32
  const std::vector<std::string> args = {"cmd", "/d", "/s", "/c", *line};
#else
  const std::vector<std::string> args = {"/bin/sh", "-c", *line};
#endif
  ProgramOptions options;
  options.timeout_seconds = signing.timeout_seconds;
  const ProgramRun run = RunProgram(args, options);
  const std::string said = Trimmed(run.output);
  Status status;
  if (!run.started) {
    status = Status::Failure("cannot sign: the shell to run the signing command cannot start");
  } else if (run.timed_out || run.exit_code != 0) {
    status = Status::Failure(
        "cannot sign " + Utf8FromPath(input.filename()) + ": the signing command " +
        (run.timed_out ? "did not finish within " + std::to_string(signing.timeout_seconds) +
                             " seconds (--sign-timeout sets the limit)"
                       : "failed with exit code " + std::to_string(run.exit_code)) +
        "\ncommand: " + *line + (said.empty() ? "" : "\n" + said));
  } else {
    Result<std::unique_ptr<FileReader>> signed_file = FileReader::Open(output);
    std::optional<lumiset::PeFacts> pe;
    if (signed_file) pe = PeFactsOf(**signed_file);
    if (!pe || pe->cert_offset == 0) {
      status = Status::Failure("cannot sign " + Utf8FromPath(input.filename()) +
                               ": the signing command succeeded but left no signature in it" +
                               "\ncommand: " + *line + (said.empty() ? "" : "\n" + said));
    }
  }
  if (!status) std::filesystem::remove(output, ec);
  return status;
}

}  // namespace

Status SignProgram(const std::filesystem::path& input, const std::filesystem::path& output,
                   const Signing& signing) {
  if (!signing.command.empty()) return SignWithCommand(input, output, signing);
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
  ProgramOptions options;
  options.timeout_seconds = signing.timeout_seconds;
  if (signing.password) {
    // Through a pipe the signer opens by name: a -pass argument would show
    // it to every user who lists the processes, a file would leave it on
    // the disk if lumipack were killed.
    if (signing.password->size() > kMaxProgramInput) {
      return Status::Failure(signing.password_source + ": the password is longer than " +
                             std::to_string(kMaxProgramInput) + " bytes");
    }
    options.input = *signing.password;
    args.insert(args.end(), {"-readpass", std::string(kProgramInputArgument)});
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
  const ProgramRun run = RunProgram(args, options);
  if (!run.started) {
    return Status::Failure(std::string(kSigningProgram) +
                           " is not installed; --sign-with needs it on the PATH");
  }
  Status status;
  std::string output_text = run.output;
  while (!output_text.empty() && (output_text.back() == '\n' || output_text.back() == '\r')) {
    output_text.pop_back();
  }
  const auto says = [&](std::initializer_list<const char*> words) {
    for (const char* word : words) {
      if (output_text.find(word) != std::string::npos) return true;
    }
    return false;
  };
  if (run.timed_out || run.exit_code != 0) {
    // The signer's own words are long and technical; say first what the
    // author can act on.
    std::string cause;
    if (run.timed_out) {
      cause = std::string(kSigningProgram) + " did not finish within " +
              std::to_string(signing.timeout_seconds) + " seconds" +
              (signing.timestamp_url.empty()
                   ? std::string()
                   : " (does the timestamp server " + signing.timestamp_url + " answer?)") +
              "; --sign-timeout sets the limit";
    } else if (!signing.timestamp_url.empty() &&
               says({"timestamp", "Timestamp", "connect", "TSA", "curl"})) {
      cause = "the timestamp server " + signing.timestamp_url + " did not answer with a timestamp";
    } else if (says({"key values mismatch", "check_private_key", "does not match"})) {
      cause = "the certificate and the key do not belong together";
    } else if (says({"assword", "mac verify", "Failed to read key", "Failed to parse PKCS#12",
                     "PKCS12"})) {
      cause = "the key cannot be read: a wrong password" +
              (signing.password_source.empty() ? std::string()
                                               : " in " + signing.password_source) +
              ", or not a key";
    } else if (says({"certificate", "Certificate", "PEM"})) {
      cause = "the certificate cannot be read";
    } else {
      cause = std::string(kSigningProgram) + " refused to sign";
    }
    status = Status::Failure(
        "cannot sign: " + cause + "\n" + std::string(kSigningProgram) +
        (run.timed_out ? " was stopped" : " failed with exit code " + std::to_string(run.exit_code)) +
        (output_text.empty() ? "" : ":\n" + output_text));
  }
  if (!status) {
    std::error_code ec;
    std::filesystem::remove(output, ec);
  }
  return status;
}

Status SignInstaller(const std::filesystem::path& input, const std::filesystem::path& output,
                     const Signing& signing) {
  if (Status s = SignProgram(input, output, signing); !s) return s;
  Status status = CheckSigned(output);
  if (!status) {
    std::error_code ec;
    std::filesystem::remove(output, ec);
  }
  return status;
}

}  // namespace lumipack
