#pragma once

#include <optional>
#include <string>
#include <utility>

namespace lumipack {

// The outcome of a step that may fail: success, or a message for the user
// that names the file or value and the problem.
class [[nodiscard]] Status {
 public:
  Status() = default;
  static Status Failure(std::string message) { return Status(std::move(message)); }

  bool ok() const { return !failed_; }
  explicit operator bool() const { return ok(); }
  const std::string& message() const { return message_; }

 private:
  explicit Status(std::string message) : message_(std::move(message)), failed_(true) {}

  std::string message_;
  bool failed_ = false;
};

// A value, or the message of why there is none.
template <typename T>
class [[nodiscard]] Result {
 public:
  Result(T value) : value_(std::move(value)) {}          // NOLINT: implicit by design
  Result(Status failure) : error_(failure.message()) {}  // NOLINT: implicit by design

  bool ok() const { return value_.has_value(); }
  explicit operator bool() const { return ok(); }
  const std::string& message() const { return error_; }
  Status status() const { return ok() ? Status() : Status::Failure(error_); }

  T& operator*() { return *value_; }
  const T& operator*() const { return *value_; }
  T* operator->() { return &*value_; }
  const T* operator->() const { return &*value_; }

 private:
  std::optional<T> value_;
  std::string error_;
};

}  // namespace lumipack
