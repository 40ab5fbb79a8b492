#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

namespace lumiset {

// Why an operation failed: what was being done, the path or key concerned
// and the system's error code (0 when the system gave none). A default
// Status is success. Success is a null pointer, so returning and dropping
// one costs no more than a pointer; only a failure allocates its texts.
// Unused results are a compile error, so a step whose failure changes
// nothing says so at the call with IgnoreError().
class [[nodiscard]] Status {
 public:
  Status() noexcept = default;
  Status(const Status& other);
  Status& operator=(const Status& other);
  Status(Status&&) noexcept = default;
  Status& operator=(Status&&) noexcept = default;

  static Status Ok() { return {}; }
  static Status Failure(std::string_view what, std::string_view path, uint32_t system_code);

  bool ok() const { return state_ == nullptr; }
  explicit operator bool() const { return ok(); }
  // Empty, and 0, for success.
  std::string_view what() const;
  std::string_view path() const;
  uint32_t system_code() const;

  // "what PATH: error CODE", or "ok".
  std::string ToString() const;

  // Marks a best-effort call: clean-up that goes on whatever happens.
  void IgnoreError() const {}

 private:
  struct State;
  struct Deleter {
    void operator()(State* state) const noexcept;
  };
  std::unique_ptr<State, Deleter> state_;
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
