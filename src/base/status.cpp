#include "base/status.h"

namespace lumiset {

struct Status::State {
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

Status Status::Failure(std::string_view what, std::string_view path, uint32_t system_code) {
  Status status;
  status.state_.reset(new State{std::string(what), std::string(path), system_code});
  return status;
}

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
