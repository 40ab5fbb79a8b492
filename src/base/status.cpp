#include "base/status.h"

namespace lumiset {

std::string Status::ToString() const {
  if (ok()) return "ok";
  std::string text = what_;
  if (!path_.empty()) text += " " + path_;
  if (system_code_ != 0) text += ": error " + std::to_string(system_code_);
  return text;
}

}  // namespace lumiset
