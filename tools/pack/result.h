#pragma once

#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <utility>

namespace lumipack {

// Where a message points, for readers that want it apart from the text: a
// file and a position in it, and the manifest key the message is about.
// Each part is empty or 0 when unknown.
struct Place {
  std::string file;
  uint32_t line = 0;    // counted from 1
  uint32_t column = 0;  // counted from 1, in characters
  std::string key;      // a manifest key, dotted inside tables: "options.desktop_icon"
};

// The outcome of a step that may fail: success, or a message for the user
// that names the file or value and the problem, and the same place apart.
class [[nodiscard]] Status {
 public:
  Status() = default;
  static Status Failure(std::string message, Place place = {}) {
    return Status(std::move(message), std::move(place));
  }

  bool ok() const { return !failed_; }
  explicit operator bool() const { return ok(); }
  const std::string& message() const { return message_; }
  const Place& place() const { return place_; }

 private:
  Status(std::string message, Place place)
      : message_(std::move(message)), place_(std::move(place)), failed_(true) {}

  std::string message_;
  Place place_;
  bool failed_ = false;
};

// A value, or the status that says why there is none. A success without a
// value is a fault of the code, never of the input: it becomes a failure
// that says so rather than an empty message; reaching for a value that is
// not there stops the program rather than reading garbage.
template <typename T>
class [[nodiscard]] Result {
 public:
  Result(T value) : value_(std::move(value)) {}  // NOLINT: implicit by design
  Result(Status failure)                         // NOLINT: implicit by design
      : failure_(failure.ok() ? Status::Failure("internal error: a step succeeded without a result")
                              : std::move(failure)) {}

  bool ok() const { return value_.has_value(); }
  explicit operator bool() const { return ok(); }
  const std::string& message() const { return failure_.message(); }
  const Status& status() const { return failure_; }

  T& operator*() { return Checked(value_); }
  const T& operator*() const { return Checked(value_); }
  T* operator->() { return &Checked(value_); }
  const T* operator->() const { return &Checked(value_); }

 private:
  template <typename Optional>
  static auto& Checked(Optional& value) {
    if (!value) std::abort();
    return *value;
  }

  std::optional<T> value_;
  Status failure_;
};

}  // namespace lumipack
