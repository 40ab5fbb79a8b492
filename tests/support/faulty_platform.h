#pragma once

#include <functional>
#include <string>

#include "base/platform.h"

namespace lumiset::testing {

// Forwards to another platform but lets a test break what it needs: opening,
// creating, reading, writing, removing. Each hook returns true to make that
// call fail; unset hooks fail nothing.
class FaultyPlatform : public ForwardingPlatform {
 public:
  using ForwardingPlatform::ForwardingPlatform;

  std::function<bool(const std::string& path)> fail_open;
  std::function<bool(const std::string& path)> fail_create;
  std::function<bool(const std::string& path, uint64_t offset)> fail_read;
  std::function<bool(const std::string& path, uint64_t position)> fail_write;
  std::function<bool(const std::string& path)> fail_remove;
  std::function<void(const std::string& path)> on_close;  // after a written file closes
  // A staged file's commit over `destination` (a running program holds it).
  std::function<bool(const std::string& destination)> fail_commit;

  // The system error code an injected failure reports, as a file held open
  // by another program does (ERROR_SHARING_VIOLATION).
  uint32_t injected_error = 32;

  // The injected failures say why, like the real platform.
  Status Injected(const char* what, const std::string& path) const {
    return Status::Failure(what, path, injected_error);
  }

  StatusOr<std::unique_ptr<ReadableFile>> OpenForRead(const std::string& path,
                                                      bool share_write) override;
  StatusOr<std::unique_ptr<WritableFile>> CreateForWrite(const std::string& path,
                                                         bool create_new) override;
  Status RemoveFile(const std::string& path) override;
  // fail_create sees a link by its path.
  Status CreateShellLink(const std::string& link_path, const std::string& target,
                         const std::string& arguments, const std::string& description,
                         const std::string& working_folder) override {
    if (fail_create && fail_create(link_path)) return Injected("save the shell link", link_path);
    return ForwardingPlatform::CreateShellLink(link_path, target, arguments, description,
                                               working_folder);
  }
  // fail_create and fail_write see a staged file by its destination.
  StatusOr<std::unique_ptr<StagedFile>> CreateStagedFile(const std::string& destination) override;
};

}  // namespace lumiset::testing
