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
};

}  // namespace lumiset::testing
