#pragma once

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace lumiset {

// What kind of failure a Status reports, so that callers can decide (retry,
// say it is damaged, name the reason) without reading system codes.
enum class StatusCode : uint8_t {
  kOk,
  kNotFound,         // the file, folder, key or value is not there
  kAccessDenied,     // the system refused access
  kInUse,            // another program holds the file
  kDiskFull,         // no room left on the drive
  kCorrupt,          // the data is damaged: no retry can mend it
  kInvalidArgument,  // a name or path the system cannot take (too long, reserved)
  kIoError,          // any other failure
};

// The StatusCode of a Windows system error code (0 and unknown codes are
// kIoError); portable, so every layer classifies the same way.
StatusCode StatusCodeOfSystemError(uint32_t system_code);

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
  // A failure whose kind follows from the system's error code.
  static Status Failure(std::string_view what, std::string_view path, uint32_t system_code);
  static Status Failure(StatusCode code, std::string_view what, std::string_view path,
                        uint32_t system_code = 0);
  // Damaged data: "what PATH".
  static Status Corrupt(std::string_view what, std::string_view path = {}) {
    return Failure(StatusCode::kCorrupt, what, path);
  }

  bool ok() const { return state_ == nullptr; }
  explicit operator bool() const { return ok(); }
  StatusCode code() const;
  // Empty, and 0, for success.
  std::string_view what() const;
  std::string_view path() const;
  uint32_t system_code() const;

  // "what PATH: error CODE", or "ok".
  std::string ToString() const;

  // Marks a best-effort call: clean-up that goes on whatever happens.
  void IgnoreError() const {}

  // `status` when it is a failure; for success, the failure of a result
  // that has no value. Out of line, so that each `return failure;` into a
  // StatusOr costs one call.
  static Status FailureOf(Status status);

 private:
  struct State;
  struct Deleter {
    void operator()(State* state) const noexcept;
  };
  std::unique_ptr<State, Deleter> state_;
};

// A value, or the Status that says why there is none. Built from a Status,
// it holds a failure: an ok Status without a value becomes one. A failure
// constructs no T.
template <typename T>
class [[nodiscard]] StatusOr {
 public:
  StatusOr(T value) : value_(std::move(value)) {}  // NOLINT: implicit by design
  StatusOr(Status failure)                          // NOLINT: implicit by design
      : status_(Status::FailureOf(std::move(failure))) {}

  bool ok() const { return status_.ok(); }
  explicit operator bool() const { return ok(); }
  const Status& status() const { return status_; }

  // The value. Asking a failure for its value is a programming error: the
  // process ends rather than go on with a value that is not there.
  T& value() & {
    CheckHasValue();
    return *value_;
  }
  const T& value() const& {
    CheckHasValue();
    return *value_;
  }
  T&& value() && {
    CheckHasValue();
    return std::move(*value_);
  }
  T* operator->() {
    CheckHasValue();
    return &*value_;
  }
  const T* operator->() const {
    CheckHasValue();
    return &*value_;
  }
  T& operator*() & { return value(); }
  const T& operator*() const& { return value(); }

 private:
  void CheckHasValue() const {
    if (!ok()) std::abort();
  }

  std::optional<T> value_;
  Status status_;
};

}  // namespace lumiset
