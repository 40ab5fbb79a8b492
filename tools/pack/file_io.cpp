#include "file_io.h"

#include <algorithm>
#include <system_error>

#include "base/memory_file.h"
#include "host.h"

namespace lumipack {

std::filesystem::path PathFromUtf8(std::string_view utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string Utf8FromPath(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

namespace {

Status CheckRegularFile(const std::filesystem::path& path, const std::string& name) {
  std::error_code ec;
  const std::filesystem::file_status status = std::filesystem::status(path, ec);
  if (ec || !std::filesystem::exists(status)) return Status::Failure(name + ": no such file");
  if (std::filesystem::is_directory(status)) return Status::Failure(name + ": is a folder");
  if (!std::filesystem::is_regular_file(status)) {
    return Status::Failure(name + ": not a regular file");
  }
  return {};
}

}  // namespace

Result<std::vector<uint8_t>> ReadFileBytes(const std::filesystem::path& path, uint64_t max_size) {
  const std::string name = Utf8FromPath(path);
  if (Status s = CheckRegularFile(path, name); !s) return s;
  std::ifstream in(path, std::ios::binary);
  if (!in) return Status::Failure(name + ": cannot be opened for reading");
  in.seekg(0, std::ios::end);
  const std::streamoff size = in.tellg();
  in.seekg(0, std::ios::beg);
  if (size < 0 || !in) return Status::Failure(name + ": cannot be read");
  if (static_cast<uint64_t>(size) > max_size) {
    return Status::Failure(name + ": " + std::to_string(size) + " bytes, more than the " +
                           std::to_string(max_size) + " bytes allowed");
  }
  std::vector<uint8_t> bytes(static_cast<size_t>(size));
  if (!bytes.empty() &&
      !in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(size))) {
    return Status::Failure(name + ": cannot be read");
  }
  return bytes;
}

Status WriteFileBytes(const std::filesystem::path& path, std::span<const uint8_t> bytes,
                      std::optional<std::filesystem::perms> mode,
                      const std::function<void(uint64_t done)>& progress) {
  // Pieces small enough for a progress bar to move and for an interrupt to
  // be noticed between them.
  constexpr size_t kPiece = 1u << 20;
  Result<std::unique_ptr<NewFile>> file = NewFile::Create(path, mode);
  if (!file) return file.status();
  bool ok = true;
  for (size_t done = 0; ok && done < bytes.size();) {
    const size_t n = std::min(kPiece, bytes.size() - done);
    ok = (*file)->Write(bytes.subspan(done, n));
    done += n;
    if (ok && progress) progress(done);
  }
  ok = (*file)->Close() && ok;
  if (ok) return {};
  const std::string reason = (*file)->Failure();
  std::error_code ec;
  std::filesystem::remove(path, ec);
  return Status::Failure(Utf8FromPath(path) + ": cannot be written" +
                         (reason.empty() ? std::string() : " (" + reason + ")"));
}

namespace {

std::string KindOf(std::filesystem::file_type type) {
  switch (type) {
    case std::filesystem::file_type::directory:
      return "a folder";
    case std::filesystem::file_type::character:
      return "a character device";
    case std::filesystem::file_type::block:
      return "a block device";
    case std::filesystem::file_type::fifo:
      return "a named pipe (FIFO)";
    case std::filesystem::file_type::socket:
      return "a socket";
    default:
      return "not a regular file";
  }
}

constexpr std::filesystem::perms kAnyWrite = std::filesystem::perms::owner_write |
                                             std::filesystem::perms::group_write |
                                             std::filesystem::perms::others_write;

}  // namespace

Result<OutputTarget> ResolveOutput(const std::filesystem::path& output) {
  namespace fs = std::filesystem;
  const std::string name = Utf8FromPath(output);
  std::error_code ec;
  OutputTarget target{output, std::nullopt};
  const fs::file_status link = fs::symlink_status(output, ec);
  std::string via;  // ", a link to TARGET," when the output is a link
  if (fs::is_symlink(link)) {
    // Written through: the link stays and the file it names is replaced.
    const fs::path resolved = fs::canonical(output, ec);
    if (ec) {
      const fs::path to = fs::read_symlink(output, ec);
      return Status::Failure(name + ": is a symbolic link to " + Utf8FromPath(to) +
                             ", which does not exist; lumipack writes through links only to "
                             "existing files");
    }
    target.path = resolved;
    via = " (a symbolic link to " + Utf8FromPath(resolved) + ")";
  }
  const fs::file_status status = fs::status(target.path, ec);
  if (!fs::exists(status)) {
    const fs::path parent = target.path.parent_path();
    if (!parent.empty() && !fs::is_directory(parent, ec)) {
      return Status::Failure(name + ": the folder " + Utf8FromPath(parent) + " does not exist");
    }
    return target;
  }
  if (!fs::is_regular_file(status)) {
    return Status::Failure(name + via + ": is " + KindOf(status.type()) +
                           "; lumipack writes installers only to regular files");
  }
  if ((status.permissions() & kAnyWrite) == fs::perms::none) {
    return Status::Failure(name + via +
                           ": is read-only; lumipack does not replace it (make it writable or "
                           "remove it first)");
  }
  target.keep_permissions = status.permissions() & fs::perms::mask;
  return target;
}

Result<std::unique_ptr<FileReader>> FileReader::Open(const std::filesystem::path& path) {
  const std::string name = Utf8FromPath(path);
  if (Status s = CheckRegularFile(path, name); !s) return s;
  std::ifstream in(path, std::ios::binary);
  if (!in) return Status::Failure(name + ": cannot be opened for reading");
  in.seekg(0, std::ios::end);
  const std::streamoff size = in.tellg();
  if (size < 0 || !in) return Status::Failure(name + ": cannot be read");
  return std::unique_ptr<FileReader>(new FileReader(std::move(in), static_cast<uint64_t>(size)));
}

lumiset::Status FileReader::ReadAt(uint64_t offset, void* dst, size_t n) {
  if (offset > size_ || n > size_ - offset) return lumiset::ShortRead();
  if (n == 0) return lumiset::Status::Ok();
  stream_.clear();
  stream_.seekg(static_cast<std::streamoff>(offset), std::ios::beg);
  stream_.read(static_cast<char*>(dst), static_cast<std::streamsize>(n));
  if (static_cast<size_t>(stream_.gcount()) != n) return lumiset::ShortRead();
  return lumiset::Status::Ok();
}

bool FileSink::Write(const uint8_t* src, size_t n) { return file_.Write(std::span(src, n)); }

}  // namespace lumipack
