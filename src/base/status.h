#pragma once

#include <cstdint>
#include <string>
#include <utility>

namespace lumiset {

// Why an operation failed: what was being done, the path or key concerned
// and the system's error code (0 when the system gave none). A default
// Status is success.
class [[nodiscard]] Status {
 public:
  Status() = default;
  static Status Ok() { return {}; }
  static Status Failure(std::string what, std::string path, uint32_t system_code) {
    return Status(std::move(what), std::move(path), system_code);
  }

  bool ok() const { return what_.empty(); }
  const std::string& what() const { return what_; }
  const std::string& path() const { return path_; }
  uint32_t system_code() const { return system_code_; }

  // "what PATH: error CODE", or "ok".
  std::string ToString() const;

 private:
  Status(std::string what, std::string path, uint32_t code)
      : what_(std::move(what)), path_(std::move(path)), system_code_(code) {}

  std::string what_;
  std::string path_;
  uint32_t system_code_ = 0;
};

}  // namespace lumiset
