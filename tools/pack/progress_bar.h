#pragma once

#include <cstdint>
#include <ostream>
#include <string>

namespace lumipack {

// A one-line bar redrawn in place on a terminal: a label, the bar and a
// percentage, kept narrower than the terminal so that it never wraps (each
// redraw returns to the line's start with a carriage return, which a wrapped
// line would defeat). A disabled bar draws nothing, so callers need not ask
// whether output goes to a terminal.
//
// The work is done in steps, each shown as a part of the bar; 100 % is shown
// only by Finish, once everything is done.
class ProgressBar {
 public:
  // `columns` is the terminal's width; 0 when unknown.
  ProgressBar(std::ostream& out, bool enabled, unsigned columns);
  // Ends the line if anything was drawn and Finish was not called.
  ~ProgressBar();
  ProgressBar(const ProgressBar&) = delete;
  ProgressBar& operator=(const ProgressBar&) = delete;

  // Starts a step of `total` units, labelled `label`, that fills the bar
  // from `first_percent` to `last_percent` (at most 99).
  void Step(std::string label, uint64_t total, unsigned first_percent, unsigned last_percent);
  // `done` units of the current step are done.
  void Update(uint64_t done);
  // Shows 100 % and ends the line.
  void Finish();

 private:
  void Draw(unsigned percent);

  std::ostream& out_;
  bool enabled_;
  unsigned columns_;
  std::string label_;
  uint64_t total_ = 0;
  unsigned first_ = 0;
  unsigned last_ = 0;
  int shown_ = -1;  // the percentage on the line, -1 before the first draw
  size_t drawn_chars_ = 0;
  bool label_changed_ = false;
  bool finished_ = false;
};

}  // namespace lumipack
