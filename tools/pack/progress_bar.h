#pragma once

#include <cstdint>
#include <ostream>
#include <string>

namespace lumipack {

// A one-line bar redrawn in place, for a terminal. A disabled bar draws
// nothing, so callers need not ask whether output goes to a terminal.
class ProgressBar {
 public:
  ProgressBar(std::ostream& out, bool enabled, std::string label, uint64_t total);
  ~ProgressBar();
  ProgressBar(const ProgressBar&) = delete;
  ProgressBar& operator=(const ProgressBar&) = delete;

  void Update(uint64_t done);

 private:
  void Draw(unsigned percent);

  std::ostream& out_;
  bool enabled_;
  std::string label_;
  uint64_t total_;
  int shown_ = -1;
};

}  // namespace lumipack
