#pragma once

#include <cstddef>
#include <ostream>
#include <string>
#include <string_view>

#include "result.h"

namespace lumipack {

// How `build` and `check` report: as lines for people, or as one JSON
// object a line on `out` for programs.
enum class MessageFormat { kHuman, kJson };

// Where a command reports: results on `out`; warnings, errors, notes and the
// progress bar on `err`, or with MessageFormat::kJson warnings and errors as
// JSON objects on `out`. `terminal` says whether `err` is a terminal.
struct Console {
  std::ostream& out;
  std::ostream& err;
  bool terminal = false;
  bool quiet = false;    // no summary and no progress; warnings and errors still
  bool verbose = false;  // notes about each step
  bool progress = true;  // a progress bar when `err` is a terminal
  MessageFormat format = MessageFormat::kHuman;
  size_t warnings = 0;  // reported so far

  // `message` is complete (it names its file and line where it has them);
  // `place` repeats the parts for JSON readers.
  void Warn(std::string_view message, const Place& place = {});
  void Error(std::string_view message, const Place& place = {});
  void Error(const Status& failure) { Error(failure.message(), failure.place()); }
  void Note(std::string_view message);

  bool ShowsProgress() const { return terminal && progress && !quiet; }
  // Whether the human summary of a command goes to `out`.
  bool ShowsSummary() const { return !quiet && format == MessageFormat::kHuman; }
};

}  // namespace lumipack
