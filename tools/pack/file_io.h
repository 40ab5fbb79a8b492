#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
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

// Creates a new file (the name must be free) and writes the bytes in pieces,
// calling `progress` with the bytes written so far after each; a failed
// write removes what it made. `mode` as for NewFile::Create.
Status WriteFileBytes(const std::filesystem::path& path, std::span<const uint8_t> bytes,
                      std::optional<std::filesystem::perms> mode = std::nullopt,
                      const std::function<void(uint64_t done)>& progress = {});

// The file an output path finally names, and what to keep of the file it
// replaces.
struct OutputTarget {
  // Where the new file goes: the output path itself, or the file a symbolic
  // link there points at (the link is written through and stays).
  std::filesystem::path path;
  // The permissions of the regular file being replaced, which the new one
  // keeps so that replacing never widens them; unset for a new file.
  std::optional<std::filesystem::perms> keep_permissions;
};

// Checks that `output` may be written: its folder exists, and anything
// already there (after following symbolic links) is a regular file that is
// not read-only. Refuses folders, devices, pipes and sockets by their kind,
// and a link that points nowhere.
Result<OutputTarget> ResolveOutput(const std::filesystem::path& output);

// A file read at arbitrary offsets without loading it, for installers that
// may be large and may be hostile.
class FileReader final : public lumiset::ReadableFile {
 public:
  static Result<std::unique_ptr<FileReader>> Open(const std::filesystem::path& path);
  uint64_t Size() override { return size_; }
  lumiset::Status ReadAt(uint64_t offset, void* dst, size_t n) override;

 private:
  FileReader(std::ifstream stream, uint64_t size) : stream_(std::move(stream)), size_(size) {}
  std::ifstream stream_;
  uint64_t size_;
};

class NewFile;

// Writes decoded bytes into a new file.
class FileSink final : public lumiset::ByteSink {
 public:
  explicit FileSink(NewFile& file) : file_(file) {}
  bool Write(const uint8_t* src, size_t n) override;

 private:
  NewFile& file_;
};

}  // namespace lumipack
