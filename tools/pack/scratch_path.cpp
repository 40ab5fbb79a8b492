#include "scratch_path.h"

#include <atomic>
#include <string>
#include <system_error>

#include "file_io.h"
#include "host.h"

namespace lumipack {
namespace {

std::atomic<unsigned> next_serial{0};

}  // namespace

ScratchPath::ScratchPath(const std::filesystem::path& final_path, Kind kind) {
  const std::filesystem::path folder = final_path.parent_path();
  std::string stem(1, '.');
  stem += Utf8FromPath(final_path.filename());
  stem += '.';
  stem += std::to_string(ProcessId());
  stem += '-';
  std::error_code ec;
  do {
    path_ = folder / PathFromUtf8(stem + std::to_string(next_serial.fetch_add(1)) + ".partial");
  } while (std::filesystem::exists(std::filesystem::symlink_status(path_, ec)));
  cleanup_.emplace(path_, kind);
}

std::filesystem::path ScratchPath::FileInside(std::string_view name) {
  std::filesystem::path file = path_ / PathFromUtf8(name);
  inside_.emplace_back(file, Kind::kFile);
  return file;
}

ScratchPath::~ScratchPath() {
  if (moved_) return;
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

Status ScratchPath::MoveFileTo(const std::filesystem::path& final_path) {
  if (!MoveFileOver(path_, final_path)) {
    return Status::Failure(Utf8FromPath(final_path) + ": cannot be replaced");
  }
  moved_ = true;
  return {};
}

Status ScratchPath::MoveFolderTo(const std::filesystem::path& final_path) {
  std::error_code ec;
  if (std::filesystem::is_directory(final_path, ec)) std::filesystem::remove(final_path, ec);
  std::filesystem::rename(path_, final_path, ec);
  if (ec) return Status::Failure(Utf8FromPath(final_path) + ": " + ec.message());
  moved_ = true;
  return {};
}

}  // namespace lumipack
