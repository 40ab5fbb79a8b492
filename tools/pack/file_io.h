#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <span>
#include <string>
#include <vector>

#include "base/platform.h"
#include "package/package_format.h"
#include "result.h"

namespace lumipack {

std::filesystem::path PathFromUtf8(std::string_view utf8);
std::string Utf8FromPath(const std::filesystem::path& path);

// The whole of a file no larger than max_size. Messages name the file.
Result<std::vector<uint8_t>> ReadFileBytes(const std::filesystem::path& path, uint64_t max_size);

// Creates or truncates a file and writes the bytes; a failed write removes
// what it made.
Status WriteFileBytes(const std::filesystem::path& path, std::span<const uint8_t> bytes);

// A file read at arbitrary offsets without loading it, for installers that
// may be large and may be hostile.
class FileReader final : public lumiset::ReadableFile {
 public:
  static Result<std::unique_ptr<FileReader>> Open(const std::filesystem::path& path);
  uint64_t Size() override { return size_; }
  bool ReadAt(uint64_t offset, void* dst, size_t n) override;

 private:
  FileReader(std::ifstream stream, uint64_t size) : stream_(std::move(stream)), size_(size) {}
  std::ifstream stream_;
  uint64_t size_;
};

// Writes decoded bytes into a file stream.
class StreamSink final : public lumiset::ByteSink {
 public:
  explicit StreamSink(std::ofstream& stream) : stream_(stream) {}
  bool Write(const uint8_t* src, size_t n) override;

 private:
  std::ofstream& stream_;
};

}  // namespace lumipack
