#pragma once

#include <ostream>
#include <string_view>

namespace lumipack {

// Where a command reports: results on `out`, warnings, errors and the
// progress bar on `err`. `terminal` says whether `err` is a terminal.
struct Console {
  std::ostream& out;
  std::ostream& err;
  bool terminal = false;

  void Warn(std::string_view message) const { err << "lumipack: warning: " << message << '\n'; }
};

}  // namespace lumipack
