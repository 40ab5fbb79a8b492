#pragma once

#include <cstdint>
#include <string>
#include <utility>

namespace lumiset {

// Why an operation failed: what was being done, the path or key concerned
// and the system's error code (0 when the system gave none). A default
// Status is success. Unused results are a compile error, so a step whose
// failure changes nothing says so at the call with IgnoreError().
class [[nodiscard]] Status {
 public:
  Status() = default;
  static Status Ok() { return {}; }
  static Status Failure(std::string what, std::string path, uint32_t system_code) {
    return Status(std::move(what), std::move(path), system_code);
  }

  bool ok() const { return what_.empty(); }
  explicit operator bool() const { return ok(); }
  const std::string& what() const { return what_; }
  const std::string& path() const { return path_; }
  uint32_t system_code() const { return system_code_; }

  // "what PATH: error CODE", or "ok".
  std::string ToString() const;

  // Marks a best-effort call: clean-up that goes on whatever happens.
  void IgnoreError() const {}

 private:
  Status(std::string what, std::string path, uint32_t code)
      : what_(std::move(what)), path_(std::move(path)), system_code_(code) {}

  std::string what_;
  std::string path_;
  uint32_t system_code_ = 0;
};

// A value, or the Status that says why there is none.
template <typename T>
class [[nodiscard]] StatusOr {
 public:
  StatusOr(T value) : value_(std::move(value)) {}             // NOLINT: implicit by design
  StatusOr(Status failure) : status_(std::move(failure)) {}  // NOLINT: implicit by design

  bool ok() const { return status_.ok(); }
  explicit operator bool() const { return ok(); }
  const Status& status() const { return status_; }

  // The value; only meaningful when ok().
  T& value() & { return value_; }
  T&& value() && { return std::move(value_); }

 private:
  T value_{};
  Status status_;
};

}  // namespace lumiset
