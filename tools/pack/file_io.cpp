#include "file_io.h"

#include <system_error>

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

Status WriteFileBytes(const std::filesystem::path& path, std::span<const uint8_t> bytes) {
  const std::string name = Utf8FromPath(path);
  bool ok = false;
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) return Status::Failure(name + ": cannot be created");
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    out.close();
    ok = !out.fail();
  }
  if (ok) return {};
  std::error_code ec;
  std::filesystem::remove(path, ec);
  return Status::Failure(name + ": cannot be written (is the disk full?)");
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

bool FileReader::ReadAt(uint64_t offset, void* dst, size_t n) {
  if (offset > size_ || n > size_ - offset) return false;
  if (n == 0) return true;
  stream_.clear();
  stream_.seekg(static_cast<std::streamoff>(offset), std::ios::beg);
  stream_.read(static_cast<char*>(dst), static_cast<std::streamsize>(n));
  return static_cast<size_t>(stream_.gcount()) == n;
}

bool StreamSink::Write(const uint8_t* src, size_t n) {
  stream_.write(reinterpret_cast<const char*>(src), static_cast<std::streamsize>(n));
  return !stream_.fail();
}

}  // namespace lumipack
