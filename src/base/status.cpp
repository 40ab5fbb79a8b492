#include "base/status.h"

namespace lumiset {

struct Status::State {
  StatusCode code = StatusCode::kIoError;
  std::string what;
  std::string path;
  uint32_t system_code = 0;
};

void Status::Deleter::operator()(State* state) const noexcept { delete state; }

Status::Status(const Status& other) {
  if (other.state_) state_.reset(new State(*other.state_));
}

Status& Status::operator=(const Status& other) {
  if (this != &other) state_.reset(other.state_ ? new State(*other.state_) : nullptr);
  return *this;
}

StatusCode StatusCodeOfSystemError(uint32_t system_code) {
  switch (system_code) {
    case 2:     // ERROR_FILE_NOT_FOUND
    case 3:     // ERROR_PATH_NOT_FOUND
    case 15:    // ERROR_INVALID_DRIVE
    case 1168:  // ERROR_NOT_FOUND
      return StatusCode::kNotFound;
    case 5:     // ERROR_ACCESS_DENIED
    case 19:    // ERROR_WRITE_PROTECT
    case 1314:  // ERROR_PRIVILEGE_NOT_HELD
      return StatusCode::kAccessDenied;
    case 32:    // ERROR_SHARING_VIOLATION
    case 33:    // ERROR_LOCK_VIOLATION
    case 1224:  // ERROR_USER_MAPPED_FILE
      return StatusCode::kInUse;
    case 39:    // ERROR_HANDLE_DISK_FULL
    case 112:   // ERROR_DISK_FULL
      return StatusCode::kDiskFull;
    case 13:    // ERROR_INVALID_DATA
    case 1392:  // ERROR_FILE_CORRUPT
      return StatusCode::kCorrupt;
    case 87:    // ERROR_INVALID_PARAMETER
    case 123:   // ERROR_INVALID_NAME
    case 161:   // ERROR_BAD_PATHNAME
    case 206:   // ERROR_FILENAME_EXCED_RANGE
      return StatusCode::kInvalidArgument;
    default:
      return StatusCode::kIoError;
  }
}

Status Status::Failure(std::string_view what, std::string_view path, uint32_t system_code) {
  return Failure(StatusCodeOfSystemError(system_code), what, path, system_code);
}

Status Status::Failure(StatusCode code, std::string_view what, std::string_view path,
                       uint32_t system_code) {
  Status status;
  if (code == StatusCode::kOk) code = StatusCode::kIoError;
  status.state_.reset(new State{code, std::string(what), std::string(path), system_code});
  return status;
}

Status Status::FailureOf(Status status) {
  if (status.ok()) return Failure(StatusCode::kInvalidArgument, "a result without a value", "");
  return status;
}

StatusCode Status::code() const { return state_ ? state_->code : StatusCode::kOk; }

std::string_view Status::what() const { return state_ ? std::string_view(state_->what) : ""; }

std::string_view Status::path() const { return state_ ? std::string_view(state_->path) : ""; }

uint32_t Status::system_code() const { return state_ ? state_->system_code : 0; }

std::string Status::ToString() const {
  if (ok()) return "ok";
  std::string text = state_->what;
  if (!state_->path.empty()) text += " " + state_->path;
  if (state_->system_code != 0) text += ": error " + std::to_string(state_->system_code);
  return text;
}

}  // namespace lumiset
