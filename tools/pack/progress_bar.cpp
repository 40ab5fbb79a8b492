#include "progress_bar.h"

#include <algorithm>

namespace lumipack {
namespace {

// Without a known width, the narrowest terminal most people use.
constexpr unsigned kDefaultColumns = 80;
constexpr size_t kMaxBarWidth = 30;
constexpr size_t kMinBarWidth = 6;
constexpr size_t kMinLabelChars = 8;
constexpr unsigned kLastStepPercent = 99;
// " [" before the bar, "] " after it and "100%".
constexpr size_t kBarFrameChars = 2 + 2 + 4;
constexpr std::string_view kEllipsis = "...";

// Characters, not bytes: UTF-8 continuation bytes start none.
size_t CountChars(std::string_view text) {
  return static_cast<size_t>(std::count_if(text.begin(), text.end(), [](char c) {
    return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  }));
}

// The text in at most `limit` characters: its end, which names the file,
// behind "..." when it is cut.
std::string ShortenEnd(const std::string& text, size_t limit) {
  const size_t chars = CountChars(text);
  if (chars <= limit) return text;
  if (limit <= kEllipsis.size()) return std::string(kEllipsis.substr(0, limit));
  size_t skip = chars - (limit - kEllipsis.size());
  size_t at = 0;
  while (at < text.size() && skip > 0) {
    ++at;
    while (at < text.size() && (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80) ++at;
    --skip;
  }
  return std::string(kEllipsis) + text.substr(at);
}

// A label, "compressing starfield.scr", in at most `limit` characters: its
// first word, which says what is being done, and the end of the rest, when
// both fit; else just the end.
std::string Shorten(const std::string& label, size_t limit) {
  const size_t space = label.find(' ');
  if (CountChars(label) <= limit || space == std::string::npos) return ShortenEnd(label, limit);
  const std::string verb = label.substr(0, space + 1);
  const size_t verb_chars = CountChars(verb);
  if (verb_chars + kEllipsis.size() + 4 > limit) return ShortenEnd(label, limit);
  return verb + ShortenEnd(label.substr(space + 1), limit - verb_chars);
}

}  // namespace

ProgressBar::ProgressBar(std::ostream& out, bool enabled, unsigned columns)
    : out_(out), enabled_(enabled), columns_(columns == 0 ? kDefaultColumns : columns) {}

ProgressBar::~ProgressBar() {
  if (enabled_ && shown_ >= 0 && !finished_) out_ << '\n' << std::flush;
}

void ProgressBar::Step(std::string label, uint64_t total, unsigned first_percent,
                       unsigned last_percent) {
  label_ = std::move(label);
  total_ = total;
  first_ = std::min(first_percent, kLastStepPercent);
  last_ = std::clamp(last_percent, first_, kLastStepPercent);
  label_changed_ = true;
  Update(0);
}

void ProgressBar::Update(uint64_t done) {
  if (!enabled_ || finished_) return;
  const uint64_t clamped = std::min(done, total_);
  const uint64_t span = last_ - first_;
  const auto percent =
      static_cast<unsigned>(first_ + (total_ == 0 ? span : clamped * span / total_));
  if (static_cast<int>(percent) == shown_ && !label_changed_) return;
  Draw(percent);
}

void ProgressBar::Finish() {
  if (!enabled_ || finished_) return;
  Draw(100);
  out_ << '\n' << std::flush;
  finished_ = true;
}

void ProgressBar::Draw(unsigned percent) {
  shown_ = static_cast<int>(percent);
  label_changed_ = false;
  // One column short of the width: a line that fills the last column makes
  // some terminals move to the next line at once.
  const size_t usable = columns_ - 1;
  std::string label = label_;
  size_t bar = 0;
  if (usable >= CountChars(label) + kBarFrameChars + kMinBarWidth) {
    bar = std::min(kMaxBarWidth, usable - CountChars(label) - kBarFrameChars);
  } else if (usable >= kMinLabelChars + kBarFrameChars + kMinBarWidth) {
    bar = kMinBarWidth;
    label = Shorten(label, usable - kBarFrameChars - kMinBarWidth);
  } else {
    // Too narrow for a bar: the label and the percentage alone.
    label = Shorten(label, usable > 5 ? usable - 5 : 0);
  }
  std::string line = label;
  if (bar != 0) {
    const size_t filled = percent * bar / 100;
    line += " [" + std::string(filled, '#') + std::string(bar - filled, '.') + "]";
  }
  std::string number = std::to_string(percent) + "%";
  line += std::string(5 - std::min<size_t>(number.size(), 5), ' ') + number;
  const size_t chars = CountChars(line);
  // Blanks over what is left of a longer line drawn before.
  const size_t blanks = drawn_chars_ > chars ? drawn_chars_ - chars : 0;
  out_ << '\r' << line << std::string(blanks, ' ');
  if (blanks != 0) out_ << '\r' << line;
  out_ << std::flush;
  drawn_chars_ = chars;
}

}  // namespace lumipack
