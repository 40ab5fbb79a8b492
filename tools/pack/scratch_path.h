#pragma once

#include <filesystem>
#include <list>
#include <optional>
#include <string_view>

#include "interrupt.h"
#include "result.h"

namespace lumipack {

// An unused name beside a final output, for writing the output under before
// it is complete. Whatever is left at that name (a file, or a folder and its
// contents) is removed when the object goes, unless it was moved into place,
// so a failure never leaves a partial output behind. An interrupt removes it
// too (see interrupt.h): a scratch folder, and each file made through
// FileInside.
class ScratchPath {
 public:
  using Kind = InterruptCleanup::Kind;
  explicit ScratchPath(const std::filesystem::path& final_path, Kind kind = Kind::kFile);
  ~ScratchPath();
  ScratchPath(const ScratchPath&) = delete;
  ScratchPath& operator=(const ScratchPath&) = delete;

  const std::filesystem::path& path() const { return path_; }

  // The path of a file to be made inside a scratch folder, registered for
  // removal on an interrupt.
  std::filesystem::path FileInside(std::string_view name);

  // Moves the scratch file over `final_path`, replacing a file there.
  Status MoveFileTo(const std::filesystem::path& final_path);
  // Moves the scratch folder to `final_path`, which must not exist or be an
  // empty folder.
  Status MoveFolderTo(const std::filesystem::path& final_path);

 private:
  std::filesystem::path path_;
  bool moved_ = false;
  std::optional<InterruptCleanup> cleanup_;
  std::list<InterruptCleanup> inside_;
};

// Removes the scratch files that earlier runs of lumipack left beside
// `final_path` when they were killed before they could remove them: names
// of ScratchPath's pattern for this output whose process has ended.
// Scratch files of running processes, and everything else, stay.
void RemoveStaleScratchFiles(const std::filesystem::path& final_path);

}  // namespace lumipack
