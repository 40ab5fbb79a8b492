#include "scratch_path.h"

#include <atomic>
#include <string>
#include <system_error>

#include "file_io.h"
#include "host.h"

namespace lumipack {
namespace {

std::atomic<unsigned> next_serial{0};

constexpr std::string_view kScratchSuffix = ".partial";

// ".NAME." of a scratch name for `final_path`; the process id, "-", a
// serial number and kScratchSuffix follow.
std::string ScratchPrefix(const std::filesystem::path& final_path) {
  return "." + Utf8FromPath(final_path.filename()) + ".";
}

// The process id in a scratch name of `prefix`'s pattern, or nullopt for
// any other name.
std::optional<uint32_t> ScratchOwner(std::string_view name, std::string_view prefix) {
  if (!name.starts_with(prefix) || !name.ends_with(kScratchSuffix)) return std::nullopt;
  name = name.substr(prefix.size(), name.size() - prefix.size() - kScratchSuffix.size());
  const size_t dash = name.find('-');
  if (dash == std::string_view::npos || dash == 0 || dash + 1 == name.size()) return std::nullopt;
  uint64_t pid = 0;
  for (size_t i = 0; i < name.size(); ++i) {
    if (i == dash) continue;
    if (name[i] < '0' || name[i] > '9' || i > 20) return std::nullopt;
    if (i < dash) pid = pid * 10 + static_cast<uint64_t>(name[i] - '0');
  }
  if (pid > UINT32_MAX) return std::nullopt;
  return static_cast<uint32_t>(pid);
}

}  // namespace

void RemoveStaleScratchFiles(const std::filesystem::path& final_path) {
  std::filesystem::path folder = final_path.parent_path();
  if (folder.empty()) folder = ".";
  const std::string prefix = ScratchPrefix(final_path);
  std::error_code ec;
  std::filesystem::directory_iterator it(folder, ec);
  for (; !ec && it != std::filesystem::directory_iterator(); it.increment(ec)) {
    const std::optional<uint32_t> owner =
        ScratchOwner(Utf8FromPath(it->path().filename()), prefix);
    if (!owner || *owner == ProcessId() || ProcessIsRunning(*owner)) continue;
    std::error_code ignored;
    if (it->is_regular_file(ignored) || it->is_directory(ignored)) {
      std::filesystem::remove_all(it->path(), ignored);
    }
  }
}

ScratchPath::ScratchPath(const std::filesystem::path& final_path, Kind kind) {
  const std::filesystem::path folder = final_path.parent_path();
  std::string stem = ScratchPrefix(final_path);
  stem += std::to_string(ProcessId());
  stem += '-';
  std::error_code ec;
  do {
    path_ = folder / PathFromUtf8(stem + std::to_string(next_serial.fetch_add(1)) + std::string(kScratchSuffix));
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
